// The DXF of a sheet, for CAD programs: ASCII DXF R2000 (AC1015), written
// through dxflib (Debian's libdxflib-dev), which keeps the handles, the
// tables and the objects section that R2000 readers check.
//
// What a reader finds:
// - units: millimetres ($INSUNITS 4, $MEASUREMENT 1), y up, the sheet's
//   lower-left corner at (0, 0): x_dxf = x * mm_per_unit,
//   y_dxf = (height - y) * mm_per_unit;
// - layers CENTER, HIDDEN, VISIBLE, INTERSECTIONS, MARKERS and FRAME (and
//   the standard layer 0, empty), each with its line weight (group 370,
//   the nearest of DXF's weights, shown: $LWDISPLAY 1); CENTER has the
//   chain linetype and HIDDEN the dashed one;
// - linetypes with their real patterns: on a page ISO 128's (HIDDEN2
//   dashed 12/3, CENTERTINY long dash dot 24/3/dot/3, DOTTINY dotted;
//   names chosen for LibreCAD, which draws its own pattern of a name),
//   given for a 1 mm pen; every entity's linetype scale (group 48) is its
//   line width in millimetres, so that the dashes follow the sheet and its
//   weights (a 0.25 mm hidden line: dashes of 3 mm, gaps of 0.75 mm).
//   Without a page the screen's patterns (HIDDEN, CENTER, DOT, DASHDOT),
//   sized the same way. An entity names its linetype only where it is
//   not its layer's;
// - every joined polyline of a Drawing as one LWPOLYLINE, its layer's
//   weight by layer; every marker dot as a CIRCLE of the dot's radius on
//   MARKERS;
// - a drawing sheet's border and title block lines as LINEs, the
//   projection symbol's circles as CIRCLEs and every text as a TEXT in
//   the style ISO3098 (isocp.shx), all on FRAME;
// - colours as the nearest AutoCAD Colour Index (group 62; black and white
//   become 7, the colour CAD programs show against their background), and
//   other colours also as true colour (group 420).
// Entities: the frame, then the views' in the sheet's order (layers,
// styles, polylines).
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
