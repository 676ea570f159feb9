// The DXF of a sheet, for CAD programs: ASCII DXF R12 (AC1009), the
// version every CAD program and library reads, written without a library.
//
// What a reader finds:
// - units: millimetres ($INSUNITS 4, $MEASUREMENT 1), y up, the sheet's
//   lower-left corner at (0, 0): x_dxf = x * mm_per_unit,
//   y_dxf = (height - y) * mm_per_unit;
// - layers VISIBLE, HIDDEN, INTERSECTIONS and MARKERS (and the standard
//   layer 0, empty), HIDDEN with the dashed linetype HIDDEN;
// - every joined polyline of a Drawing as one POLYLINE (2D, open) with its
//   VERTEXes and SEQEND, its layer's line weight as the polyline's width
//   (R12 has no line weight), and its linetype written out when it is
//   not its layer's (DASHED_x, DOTTED_x, DASHDOT_x, CONTINUOUS, with x the
//   layer); dash lengths are those of the other formats, round caps
//   included;
// - every marker dot as a CIRCLE of the dot's radius on MARKERS;
// - colours as the nearest AutoCAD Colour Index (group 62); black and
//   white become 7, the colour that CAD programs show against their
//   background. R12 has no true colour (group 420 needs R2004, whose
//   files need handles, owners and object dictionaries that a program
//   checks strictly), so the palette's nearest colour is what survives.
// Entities follow the sheet's order: views, layers, styles, polylines.
#pragma once

#include <cstdint>
#include <string>

#include "tool/drawing/page.h"

namespace hlr_tool {

std::string write_dxf(const Sheet& sheet);

// The AutoCAD Colour Index nearest to 0xAARRGGBB (alpha ignored), 1 to
// 255; black and white give 7.
int nearest_aci(std::uint32_t argb);

}  // namespace hlr_tool
