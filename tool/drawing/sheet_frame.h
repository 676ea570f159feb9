// The frame of a drawing sheet (Sheet_Settings::title_block): ISO 5457's
// border and centring marks, ISO 7200's title block with ISO 5456-2's
// projection symbol, and the labels of pictorial views, added to a
// Sheet's frame in millimetres.
//
// The title block stands in the border's lower right corner, 180 mm wide
// (the border's width where that is less), in two rows: the creator, the
// date of issue, the scale, the sheet size and the projection symbol
// above; the title and the sheet number below. Labels are lettered 1.8 mm
// high, entries 3.5 mm, the title 5 mm (ISO 3098's series); the border is
// 0.7 mm wide, the block's outline 0.5 mm and its inner lines 0.25 mm.
#pragma once

#include <string>

#include "tool/drawing/page.h"

namespace hlr_tool {

// Where the border and the title block lie on a page, in millimetres from
// its top-left corner.
struct Frame_Geometry {
  double left = 20.0, top = 10.0, right = 0.0, bottom = 0.0;  // the border
  double block_left = 0.0, block_top = 0.0;                   // the title block
};
Frame_Geometry frame_geometry(const Page_Size& page);

// The border, centring marks, title block and projection symbol of `page`.
void add_sheet_frame(Sheet_Frame& frame, const Page_Size& page, const Title_Block& block,
                     const std::string& scale, bool first_angle);

// A pictorial view's name under its lines ("ISOMETRIC VIEW", "VIEW 30,20"),
// centred below the box they fill on the sheet.
void add_view_label(Sheet_Frame& frame, const std::string& view_name, double centre_x,
                    double bottom_y);

// The space a view label takes below its view, and the least space
// between the views and the border or the title block, in millimetres.
inline constexpr double view_label_room = 7.0;
inline constexpr double view_clearance = 5.0;

}  // namespace hlr_tool
