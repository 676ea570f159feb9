// Picture scripts: a text file that drives a renderer exactly as the host
// does, one statement a line (docs: the picture-script format).
//
// Reading checks the whole file before anything runs: a script that is
// returned holds only statements the runner can carry out as they stand
// (known options with values of their kind, renditions defined above their
// first use, complete points, values in range). Any fault ends the reading
// with one Tool_Error (exit status 2) whose message is
//   FILE:LINE:COL: what was expected
// LINE and COL 1-based, COL counting characters (a tab is one) and naming
// the offending token, or one past the last token when one is missing.
#pragma once

#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "geometry.h"
#include "options.h"

namespace hlr_tool {

// `option "NAME" VALUE`: the value in the option's own kind.
struct Option_Statement {
  std::string name;
  KT_Option_Kind kind = KT_Option_Kind::integer;
  int integer = 0;
  bool boolean = false;
  float real = 0.0f;
  KT_Color_Components color{};
};

// One attribute of a `rendition` statement; they apply in script order.
struct Rendition_Attribute {
  enum class Kind { color, pattern, clip };
  Kind kind = Kind::color;
  KT_RGB32 color{};
  int pattern = 0;
  KT_Int_Rectangle clip{};
};

// `rendition ID ...`: defines ID (as `default` is at that moment) or
// changes it. The name "default" is the renderer's own rendition.
struct Rendition_Statement {
  std::string id;
  std::vector<Rendition_Attribute> attributes;
};

struct Color_System_Statement {
  int kind = 0;
};

enum class Stage { establish, begin_picture, update, end_picture };

struct Stage_Statement {
  Stage stage = Stage::establish;
};

// The point forms of the action families, numbered as the action table
// numbers them.
enum class Point_Form { f = 1, f_in = 2, i = 3, i_in = 4, d = 5 };

// Points in the precision of their form; exactly the vector of the form is
// filled (float for f, f_in and every marker or positioned item, integer for
// i and i_in, double for d).
struct Script_Points {
  Point_Form form = Point_Form::f;
  std::vector<KT_Point> float_points;
  std::vector<KT_Point_I> integer_points;
  std::vector<KT_Point_D> double_points;

  int count() const;
};

enum class Face_Family { triangle_strip, face_b, face_c, face_d };

// `triangle_strip|face_b|face_c|face_d FORM ID x y z ...`
struct Face_Statement {
  Face_Family family = Face_Family::triangle_strip;
  std::string rendition;
  Script_Points points;
};

// `polyline FORM ID x y z ...`
struct Polyline_Statement {
  std::string rendition;
  Script_Points points;
};

// `colored_polyline FORM ID one|each C1,C2,... x y z ...`; `colors` holds
// every colour the script gives (at least as many as the action reads).
struct Colored_Polyline_Statement {
  std::string rendition;
  bool one_color = false;
  std::vector<KT_RGB32> colors;
  Script_Points points;
};

// `marker ID x y z ...` (float points).
struct Marker_Statement {
  std::string rendition;
  std::vector<KT_Point> points;
};

// `positioned_item ID x y z`
struct Positioned_Item_Statement {
  std::string rendition;
  KT_Point position{};
};

// `clear N` and `forward N`.
struct Argument_Statement {
  bool clear = true;  // false: the forwarded action
  int argument = 0;
};

// `ignored POSITION`: one of 86, 87, 90, 91, 100.
struct Ignored_Statement {
  int position = 0;
};

using Statement_Body =
    std::variant<Option_Statement, Rendition_Statement, Color_System_Statement, Stage_Statement,
                 Face_Statement, Polyline_Statement, Colored_Polyline_Statement, Marker_Statement,
                 Positioned_Item_Statement, Argument_Statement, Ignored_Statement>;

struct Statement {
  int line = 0;  // 1-based, for messages while running
  Statement_Body body;
};

struct Picture_Script {
  std::string file_name;  // as given, for messages
  std::vector<Statement> statements;
};

// The eleven options a script may set, with the kind of their value.
struct Script_Option {
  const char* name;
  KT_Option_Kind kind;
};
const std::vector<Script_Option>& script_options();

// Reads a script from `text`; `file_name` only names it in messages.
Picture_Script parse_picture_script(std::string_view text, const std::string& file_name);

// Reads the script file at `path`; an unreadable file gives
// "PATH:1:1: cannot read ...".
Picture_Script read_picture_script(const std::string& path);

}  // namespace hlr_tool
