// Reading picture scripts: every fault is refused with one message naming
// the file, the line and the column; what is accepted is read exactly.
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstring>
#include <random>
#include <regex>
#include <string>
#include <variant>
#include <vector>

#include "errors.h"
#include "picture_script.h"

namespace {

using namespace hlr_tool;

// The message of the one error that reading `text` must give.
std::string error_of(const std::string& text) {
  try {
    parse_picture_script(text, "t.pic");
  } catch (const Tool_Error& error) {
    EXPECT_EQ(error.exit_status(), 2) << text;
    return error.what();
  }
  return "(accepted)";
}

template <class Body>
const Body& only_statement(const Picture_Script& script) {
  EXPECT_EQ(script.statements.size(), 1u);
  return std::get<Body>(script.statements.at(0).body);
}

template <class Body>
Body parse_one(const std::string& text) {
  return only_statement<Body>(parse_picture_script(text, "t.pic"));
}

struct Error_Case {
  const char* script;
  const char* message;
};

const char* const statement_list =
    " (expected option, rendition, color_system, establish, begin_picture, update, "
    "end_picture, triangle_strip, face_b, face_c, face_d, polyline, colored_polyline, marker, "
    "positioned_item, clear, forward or ignored)";

TEST(PictureScriptReading, RefusesEachFaultWithFileLineAndColumn) {
  const Error_Case cases[] = {
      // Statement words: known ones only, case-sensitive, never quoted.
      {"frobnicate", "t.pic:1:1: unknown statement 'frobnicate'"},
      {"Establish", "t.pic:1:1: unknown statement 'Establish'"},
      {"establish now", "t.pic:1:11: expected the end of the statement, found 'now'"},
      {"update 1 # comment", "t.pic:1:8: expected the end of the statement, found '1'"},
      // Lines and columns: blank and comment lines count, a tab is one
      // column, a UTF-8 character is one column, CR LF endings are blank.
      {"# first\n\n   establish\r\nend_picture x", "t.pic:4:13: expected the end of the "
                                                    "statement, found 'x'"},
      {"\tupdate x", "t.pic:1:9: expected the end of the statement, found 'x'"},
      {"rendition \xC3\xA9 color ZZ",
       "t.pic:1:19: expected a colour of 8 hex digits AARRGGBB, found 'ZZ'"},
      // Quotes.
      {"option \"Halo Gap 3", "t.pic:1:8: expected a closing '\"' for the quoted name"},
      {"rendition a\"b\"", "t.pic:1:12: unexpected '\"' inside a word (quote the whole name)"},
      {"option \"Halo Gap\"3", "t.pic:1:18: expected a blank after the closing '\"'"},
      {"rendition \"\" color FF000000", "t.pic:1:11: expected a rendition name, found \"\""},
      // Options: known names, values of the option's kind.
      {"option \"Halo gap\" 3", "t.pic:1:8: unknown option \"Halo gap\""},
      {"option Halo Gap 3", "t.pic:1:8: unknown option 'Halo'"},
      {"option", "t.pic:1:7: expected an option name in double quotes"},
      {"option \"Halo Gap\"", "t.pic:1:18: expected an integer for option \"Halo Gap\""},
      {"option \"Halo Gap\" 10.0",
       "t.pic:1:19: expected an integer for option \"Halo Gap\", found '10.0'"},
      {"option \"Halo Gap\" \"3\"",
       "t.pic:1:19: expected an integer for option \"Halo Gap\", found \"3\""},
      {"option \"Hidden Line Pattern\" 2147483648",
       "t.pic:1:30: '2147483648' is out of the 32-bit integer range"},
      {"option \"Hidden Line Pattern\" 1 2",
       "t.pic:1:32: expected the end of the statement, found '2'"},
      {"option \"Display Hidden Lines\" yes",
       "t.pic:1:31: expected true or false for option \"Display Hidden Lines\", found 'yes'"},
      {"option \"Display Hidden Lines\" True",
       "t.pic:1:31: expected true or false for option \"Display Hidden Lines\", found 'True'"},
      {"option \"WZERO Factor\" 1e39", "t.pic:1:23: '1e39' is out of range for single precision"},
      {"option \"WZERO Factor\" 1e999",
       "t.pic:1:23: '1e999' is out of range for single precision"},
      {"option \"WZERO Factor\" nan",
       "t.pic:1:23: expected a number for option \"WZERO Factor\", found the non-finite 'nan'"},
      {"option \"WZERO Factor\" -Infinity",
       "t.pic:1:23: expected a number for option \"WZERO Factor\", found the non-finite "
       "'-Infinity'"},
      {"option \"WZERO Factor\" nan(0x1)",
       "t.pic:1:23: expected a number for option \"WZERO Factor\", found the non-finite "
       "'nan(0x1)'"},
      {"option \"WZERO Factor\" 0x1p3",
       "t.pic:1:23: expected a number for option \"WZERO Factor\" (decimal), found '0x1p3'"},
      {"option \"WZERO Factor\" 1,5",
       "t.pic:1:23: expected a number for option \"WZERO Factor\", found '1,5'"},
      {"option \"Hidden Line Color\" 1 2 3",
       "t.pic:1:33: expected four integers c0 c1 c2 c3 for option \"Hidden Line Color\""},
      {"option \"Hidden Line Color\" 1 2 3 4294967296",
       "t.pic:1:34: '4294967296' is out of the 32-bit integer range"},
      {"option \"Intersection Line Color\" 0 0 0 255.0",
       "t.pic:1:40: expected four integers c0 c1 c2 c3 for option \"Intersection Line Color\", "
       "found '255.0'"},
      // Renditions.
      {"rendition", "t.pic:1:10: expected a rendition name"},
      {"rendition r colour FF000000",
       "t.pic:1:13: expected color, pattern or clip, found 'colour'"},
      {"rendition r color", "t.pic:1:18: expected a colour of 8 hex digits AARRGGBB"},
      {"rendition r color FF00000",
       "t.pic:1:19: expected a colour of 8 hex digits AARRGGBB, found 'FF00000'"},
      {"rendition r color FF0000000",
       "t.pic:1:19: expected a colour of 8 hex digits AARRGGBB, found 'FF0000000'"},
      {"rendition r color GG000000",
       "t.pic:1:19: expected a colour of 8 hex digits AARRGGBB, found 'GG000000'"},
      {"rendition r color \"FF000000\"",
       "t.pic:1:19: expected a colour of 8 hex digits AARRGGBB, found \"FF000000\""},
      {"rendition r pattern 1.5",
       "t.pic:1:21: expected a line pattern number (integer), found '1.5'"},
      {"rendition r clip 0 100 0",
       "t.pic:1:25: expected four integers X0 X1 Y0 Y1 of the clip rectangle"},
      {"rendition r clip 0 100.0 0 100",
       "t.pic:1:20: expected four integers X0 X1 Y0 Y1 of the clip rectangle, found '100.0'"},
      {"rendition r clip 0 1e3 0 100",
       "t.pic:1:20: expected four integers X0 X1 Y0 Y1 of the clip rectangle, found '1e3'"},
      {"rendition r clip 0 -2147483649 0 100",
       "t.pic:1:20: '-2147483649' is out of the 32-bit integer range"},
      {"polyline f r 0 0 0 1 1 1",
       "t.pic:1:12: rendition 'r' is not defined above (define it with a rendition statement "
       "first)"},
      {"polyline f r 0 0 0\nrendition r",
       "t.pic:1:12: rendition 'r' is not defined above (define it with a rendition statement "
       "first)"},
      {"rendition r\nmarker R 1 2 3",
       "t.pic:2:8: rendition 'R' is not defined above (define it with a rendition statement "
       "first)"},
      // Family actions: form, rendition, coordinates in threes.
      {"polyline", "t.pic:1:9: expected a point form (f, f_in, i, i_in or d)"},
      {"polyline g default",
       "t.pic:1:10: expected a point form (f, f_in, i, i_in or d), found 'g'"},
      {"triangle_strip F default",
       "t.pic:1:16: expected a point form (f, f_in, i, i_in or d), found 'F'"},
      {"face_b f", "t.pic:1:9: expected a rendition name"},
      {"polyline f default 0 0 0 1 1",
       "t.pic:1:29: expected the z coordinate of point 2 (coordinates come in threes: x y z)"},
      {"face_c d default 0", "t.pic:1:19: expected the y coordinate of point 1 (coordinates come "
                             "in threes: x y z)"},
      {"face_d i_in default 0 0 0 1 1.5",
       "t.pic:1:29: expected an integer coordinate (integer form), found '1.5'"},
      {"polyline i default 0 0 0.5",
       "t.pic:1:24: expected the z coordinate as an integer (integer form), found '0.5'"},
      {"polyline i_in default 0 10.0 0",
       "t.pic:1:25: expected the y coordinate as an integer (integer form), found '10.0'"},
      {"polyline i default 3000000000 0 0",
       "t.pic:1:20: '3000000000' is out of the 32-bit integer range"},
      {"polyline i default inf 0 0",
       "t.pic:1:20: expected the x coordinate as an integer (integer form), found the "
       "non-finite 'inf'"},
      {"polyline f default 0 0 1e39", "t.pic:1:24: '1e39' is out of range for single precision"},
      // The smallest double that rounds to float infinity lies half an ulp
      // above FLT_MAX (3.40282356779...e38).
      {"polyline f_in default 0 3.4028236e38 0",
       "t.pic:1:25: '3.4028236e38' is out of range for single precision"},
      {"polyline d default 0 0 1e309", "t.pic:1:24: '1e309' is out of range for double precision"},
      {"polyline d default NAN 0 0",
       "t.pic:1:20: expected the x coordinate, found the non-finite 'NAN'"},
      {"polyline d default 0 -inf 0",
       "t.pic:1:22: expected the y coordinate, found the non-finite '-inf'"},
      {"polyline d default 0x10 0 0",
       "t.pic:1:20: expected the x coordinate (decimal), found '0x10'"},
      {"triangle_strip f default 1 2 z", "t.pic:1:30: expected the z coordinate, found 'z'"},
      // Coloured polylines: mode, colour list, enough colours.
      {"colored_polyline f default both FF000000",
       "t.pic:1:28: expected one or each, found 'both'"},
      {"colored_polyline f default each", "t.pic:1:32: expected a colour list C1,C2,... of "
                                          "AARRGGBB colours"},
      {"colored_polyline f default each FF000000,FF00 0 0 0",
       "t.pic:1:42: expected a colour of 8 hex digits AARRGGBB, found 'FF00'"},
      {"colored_polyline f default each FF000000, 0 0 0",
       "t.pic:1:42: expected a colour of 8 hex digits AARRGGBB, found ''"},
      {"colored_polyline f default each FF000000 0 0 0 1 1 1 2 2 2",
       "t.pic:1:33: expected at least 2 colours for the 3 points of 'each' (one per segment), "
       "found 1"},
      {"colored_polyline d default one FF000000 0 0 0 1 1",
       "t.pic:1:50: expected the z coordinate of point 2 (coordinates come in threes: x y z)"},
      // Markers and positioned items take float points.
      {"marker default 1 2", "t.pic:1:19: expected the z coordinate of point 1 (coordinates "
                             "come in threes: x y z)"},
      {"marker default 1 2 1e40", "t.pic:1:20: '1e40' is out of range for single precision"},
      {"positioned_item default 1 2", "t.pic:1:28: expected the z coordinate"},
      {"positioned_item default 1 2 3 4",
       "t.pic:1:31: expected the end of the statement (a positioned item has one point), found "
       "'4'"},
      // Integer arguments.
      {"clear", "t.pic:1:6: expected an integer argument"},
      {"clear 1.0", "t.pic:1:7: expected an integer argument, found '1.0'"},
      {"forward 2147483648", "t.pic:1:9: '2147483648' is out of the 32-bit integer range"},
      {"forward -inf", "t.pic:1:9: expected an integer argument, found the non-finite '-inf'"},
      {"color_system 1.0", "t.pic:1:14: expected a colour system number (integer), found '1.0'"},
      {"ignored 88",
       "t.pic:1:9: expected an ignored action position (86, 87, 90, 91 or 100), found '88'"},
      {"ignored 101",
       "t.pic:1:9: expected an ignored action position (86, 87, 90, 91 or 100), found '101'"},
      {"ignored 86.0",
       "t.pic:1:9: expected an ignored action position (86, 87, 90, 91 or 100), found '86.0'"},
  };
  for (const Error_Case& c : cases) {
    std::string expected = c.message;
    if (expected.find("unknown statement") != std::string::npos) expected += statement_list;
    EXPECT_EQ(error_of(c.script), expected) << c.script;
  }
}

TEST(PictureScriptReading, QuotedStatementWordIsNotAStatement) {
  // statement_list without its leading " (expected ".
  const std::string words = std::string(statement_list).substr(11);
  EXPECT_EQ(error_of("\"establish\""),
            "t.pic:1:1: expected a statement (" + words + ", found \"establish\"");
}

TEST(PictureScriptReading, TheFirstFaultInTheFileIsReportedAndNothingElse) {
  EXPECT_EQ(error_of("establish\nupdate 1\nfoo"),
            "t.pic:2:8: expected the end of the statement, found '1'");
}

TEST(PictureScriptReading, UnreadableFileIsReportedAtItsFirstLine) {
  try {
    read_picture_script("/nonexistent-folder/s.pic");
    FAIL() << "read a missing file";
  } catch (const Tool_Error& error) {
    EXPECT_EQ(error.exit_status(), 2);
    EXPECT_STREQ(error.what(),
                 "/nonexistent-folder/s.pic:1:1: cannot read /nonexistent-folder/s.pic: No such "
                 "file or directory");
  }
  try {
    read_picture_script("/");
    FAIL() << "read a folder";
  } catch (const Tool_Error& error) {
    EXPECT_STREQ(error.what(), "/:1:1: cannot read /: Is a directory");
  }
}

TEST(PictureScriptReading, ReadsTheDocumentedExample) {
  const Picture_Script script = parse_picture_script(
      "# one square face in front of a line\n"
      "option \"Hidden Line Pattern\" 1\n"
      "rendition r color FF202020 clip 0 100 0 100\n"
      "establish\n"
      "begin_picture\n"
      "triangle_strip f r  10 10 1  90 10 1  10 90 1  90 90 1\n"
      "polyline f r  0 50 5  100 50 5\n"
      "update\n"
      "end_picture\n",
      "example.pic");
  EXPECT_EQ(script.file_name, "example.pic");
  ASSERT_EQ(script.statements.size(), 8u);
  const int lines[] = {2, 3, 4, 5, 6, 7, 8, 9};
  for (int i = 0; i < 8; ++i) EXPECT_EQ(script.statements[i].line, lines[i]);

  const auto& option = std::get<Option_Statement>(script.statements[0].body);
  EXPECT_EQ(option.name, "Hidden Line Pattern");
  EXPECT_EQ(option.kind, KT_Option_Kind::integer);
  EXPECT_EQ(option.integer, 1);

  const auto& rendition = std::get<Rendition_Statement>(script.statements[1].body);
  EXPECT_EQ(rendition.id, "r");
  ASSERT_EQ(rendition.attributes.size(), 2u);
  EXPECT_EQ(rendition.attributes[0].kind, Rendition_Attribute::Kind::color);
  EXPECT_EQ(rendition.attributes[0].color, (KT_RGB32{0x20, 0x20, 0x20, 0xFF}));
  EXPECT_EQ(rendition.attributes[1].kind, Rendition_Attribute::Kind::clip);
  EXPECT_EQ(rendition.attributes[1].clip, (KT_Int_Rectangle{0, 100, 0, 100}));

  const Stage expected_stages[] = {Stage::establish, Stage::begin_picture};
  for (int i = 0; i < 2; ++i) {
    EXPECT_EQ(std::get<Stage_Statement>(script.statements[2 + i].body).stage, expected_stages[i]);
  }
  const auto& strip = std::get<Face_Statement>(script.statements[4].body);
  EXPECT_EQ(strip.family, Face_Family::triangle_strip);
  EXPECT_EQ(strip.rendition, "r");
  EXPECT_EQ(strip.points.form, Point_Form::f);
  ASSERT_EQ(strip.points.count(), 4);
  EXPECT_TRUE(strip.points.integer_points.empty());
  EXPECT_TRUE(strip.points.double_points.empty());
  const float strip_xy[4][2] = {{10, 10}, {90, 10}, {10, 90}, {90, 90}};
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(strip.points.float_points[i].x, strip_xy[i][0]);
    EXPECT_EQ(strip.points.float_points[i].y, strip_xy[i][1]);
    EXPECT_EQ(strip.points.float_points[i].z, 1.0f);
  }
  const auto& line = std::get<Polyline_Statement>(script.statements[5].body);
  EXPECT_EQ(line.rendition, "r");
  ASSERT_EQ(line.points.count(), 2);
  EXPECT_EQ(line.points.float_points[1].x, 100.0f);
  EXPECT_EQ(line.points.float_points[1].y, 50.0f);
  EXPECT_EQ(line.points.float_points[1].z, 5.0f);
  EXPECT_EQ(std::get<Stage_Statement>(script.statements[6].body).stage, Stage::update);
  EXPECT_EQ(std::get<Stage_Statement>(script.statements[7].body).stage, Stage::end_picture);
}

TEST(PictureScriptReading, EveryOptionTakesAValueOfItsOwnKind) {
  const auto integer = parse_one<Option_Statement>("option \"Halo Gap\" -7");
  EXPECT_EQ(integer.integer, -7);
  const auto boolean = parse_one<Option_Statement>("option \"Use Double Precision\" true");
  EXPECT_EQ(boolean.kind, KT_Option_Kind::boolean);
  EXPECT_TRUE(boolean.boolean);
  const auto off = parse_one<Option_Statement>("option \"Display Intersections\" false");
  EXPECT_FALSE(off.boolean);
  // 0.1 is read as the double nearest 0.1, then rounded to float.
  const auto real = parse_one<Option_Statement>("option \"WZERO Factor\" 0.1");
  EXPECT_EQ(real.kind, KT_Option_Kind::real);
  EXPECT_EQ(real.real, 0.1f);
  // Colour components are kept whole; cutting to 8 bits is the renderer's.
  const auto color =
      parse_one<Option_Statement>("option \"Hidden Line Color\" 300 -1 2147483647 -2147483648");
  EXPECT_EQ(color.kind, KT_Option_Kind::color);
  EXPECT_EQ(color.color, (KT_Color_Components{300, -1, 2147483647, -2147483647 - 1}));

  // The eleven options, each with its kind.
  const std::vector<Script_Option>& options = script_options();
  ASSERT_EQ(options.size(), 11u);
  int colors = 0, booleans = 0, integers = 0, reals = 0;
  for (const Script_Option& option : options) {
    switch (option.kind) {
      case KT_Option_Kind::color: ++colors; break;
      case KT_Option_Kind::boolean: ++booleans; break;
      case KT_Option_Kind::integer: ++integers; break;
      case KT_Option_Kind::real: ++reals; break;
    }
  }
  EXPECT_EQ(colors, 2);
  EXPECT_EQ(booleans, 5);
  EXPECT_EQ(integers, 3);
  EXPECT_EQ(reals, 1);
}

TEST(PictureScriptReading, FloatValuesAreRoundedFromTheCorrectlyRoundedDouble) {
  // 16777217 lies halfway between two floats; the double holds it exactly
  // and rounding to even gives 16777216.
  // 3.4028235e38 rounds to FLT_MAX, still finite.
  // 1e-50 is an ordinary double that rounds to float zero: only float
  // infinity is refused.
  const auto points =
      parse_one<Polyline_Statement>("polyline f default 16777217 3.4028235e38 1e-50").points;
  ASSERT_EQ(points.count(), 1);
  EXPECT_EQ(points.float_points[0].x, 16777216.0f);
  EXPECT_EQ(points.float_points[0].y, FLT_MAX);
  EXPECT_EQ(points.float_points[0].z, 0.0f);
  // Double rounding: 1.00000005960464477539 is just above the midpoint of
  // 1 and the next float as a decimal, but its nearest double is the
  // midpoint itself, which then rounds to even (1.0f).
  const auto midpoint =
      parse_one<Polyline_Statement>("polyline f default 1.000000059604644775390626 0 -0").points;
  EXPECT_EQ(midpoint.float_points[0].x, 1.0f);
  EXPECT_TRUE(std::signbit(midpoint.float_points[0].z));
}

TEST(PictureScriptReading, DoubleFormKeepsEveryFiniteDouble) {
  const auto points =
      parse_one<Polyline_Statement>("polyline d default 0.1 1.7976931348623157e308 4.9e-324")
          .points;
  ASSERT_EQ(points.double_points.size(), 1u);
  EXPECT_TRUE(points.float_points.empty());
  EXPECT_EQ(points.double_points[0].x, 0.1);
  EXPECT_EQ(points.double_points[0].y, DBL_MAX);
  EXPECT_EQ(points.double_points[0].z, 4.9e-324);
}

TEST(PictureScriptReading, IntegerFormsTakeThe32BitRange) {
  const auto points =
      parse_one<Face_Statement>("face_d i_in default -2147483648 2147483647 +5").points;
  ASSERT_EQ(points.integer_points.size(), 1u);
  EXPECT_EQ(points.form, Point_Form::i_in);
  EXPECT_EQ(points.integer_points[0].x, -2147483647 - 1);
  EXPECT_EQ(points.integer_points[0].y, 2147483647);
  EXPECT_EQ(points.integer_points[0].z, 5);
}

TEST(PictureScriptReading, FamilyActionWithoutCoordinatesHasCountZero) {
  const Face_Statement face = parse_one<Face_Statement>("face_b i default");
  EXPECT_EQ(face.family, Face_Family::face_b);
  EXPECT_EQ(face.points.form, Point_Form::i);
  EXPECT_EQ(face.points.count(), 0);
}

TEST(PictureScriptReading, RenditionAttributesKeepTheirOrderAndMayRepeat) {
  const auto statement = parse_one<Rendition_Statement>(
      "rendition \"my pen\" pattern 3 color 80abCDef clip -5 5 6 -6 pattern 0 color FF000000");
  EXPECT_EQ(statement.id, "my pen");
  ASSERT_EQ(statement.attributes.size(), 5u);
  using Kind = Rendition_Attribute::Kind;
  EXPECT_EQ(statement.attributes[0].kind, Kind::pattern);
  EXPECT_EQ(statement.attributes[0].pattern, 3);
  EXPECT_EQ(statement.attributes[1].kind, Kind::color);
  EXPECT_EQ(statement.attributes[1].color.argb(), 0x80ABCDEFu);
  EXPECT_EQ(statement.attributes[2].clip, (KT_Int_Rectangle{-5, 5, 6, -6}));
  EXPECT_EQ(statement.attributes[3].pattern, 0);
  EXPECT_EQ(statement.attributes[4].color.argb(), 0xFF000000u);
}

TEST(PictureScriptReading, QuotedNamesHoldBlanksAndHashes) {
  const Picture_Script script = parse_picture_script(
      "rendition \"pen # 1\" color FF0000FF  # a comment \"with quotes\n"
      "marker \"pen # 1\" 1 2 3 4 5 6\n"
      "rendition \"default\" pattern 2\n"
      "positioned_item default 1.5 2 3\n",
      "t.pic");
  ASSERT_EQ(script.statements.size(), 4u);
  EXPECT_EQ(std::get<Rendition_Statement>(script.statements[0].body).id, "pen # 1");
  const auto& marker = std::get<Marker_Statement>(script.statements[1].body);
  EXPECT_EQ(marker.rendition, "pen # 1");
  ASSERT_EQ(marker.points.size(), 2u);
  EXPECT_EQ(marker.points[1].z, 6.0f);
  EXPECT_EQ(std::get<Rendition_Statement>(script.statements[2].body).id, "default");
  const auto& item = std::get<Positioned_Item_Statement>(script.statements[3].body);
  EXPECT_EQ(item.position.x, 1.5f);
}

TEST(PictureScriptReading, ColouredPolylineReadsItsColoursAndKeepsExtraOnes) {
  const auto each = parse_one<Colored_Polyline_Statement>(
      "colored_polyline i default each FF000001,FF000002,FF000003 0 0 0 1 1 1 2 2 2");
  EXPECT_FALSE(each.one_color);
  ASSERT_EQ(each.colors.size(), 3u);
  EXPECT_EQ(each.colors[2].argb(), 0xFF000003u);
  EXPECT_EQ(each.points.count(), 3);
  // `one` reads only the first colour whatever the count.
  const auto one = parse_one<Colored_Polyline_Statement>(
      "colored_polyline f_in default one 12345678 0 0 0 1 1 1 2 2 2 3 3 3");
  EXPECT_TRUE(one.one_color);
  ASSERT_EQ(one.colors.size(), 1u);
  EXPECT_EQ(one.colors[0], (KT_RGB32{0x78, 0x56, 0x34, 0x12}));
  // `each` with fewer than two points needs no colour beyond the list's
  // first.
  EXPECT_EQ(parse_one<Colored_Polyline_Statement>("colored_polyline d default each 00000000 1 2 3")
                .points.count(),
            1);
}

TEST(PictureScriptReading, SmallStatementsReadTheirArguments) {
  EXPECT_EQ(parse_one<Color_System_Statement>("color_system 1").kind, 1);
  const auto clear = parse_one<Argument_Statement>("clear -3");
  EXPECT_TRUE(clear.clear);
  EXPECT_EQ(clear.argument, -3);
  const auto forward = parse_one<Argument_Statement>("forward 2147483647");
  EXPECT_FALSE(forward.clear);
  EXPECT_EQ(forward.argument, 2147483647);
  for (int position : {86, 87, 90, 91, 100}) {
    EXPECT_EQ(parse_one<Ignored_Statement>("ignored " + std::to_string(position)).position,
              position);
  }
}

TEST(PictureScriptReading, ANulByteInsideANumberIsNotTheEndOfIt) {
  EXPECT_EQ(error_of(std::string("clear 1\0", 8) + "2"),
            "t.pic:1:7: expected an integer argument, found '1\\x002'");
  EXPECT_EQ(error_of(std::string("marker default 1 2 3\0", 21)),
            "t.pic:1:20: expected the z coordinate, found '3\\x00'");
  EXPECT_EQ(error_of("marker \"\x01\x7F\" 1 2 3"),
            "t.pic:1:8: rendition \"\\x01\\x7F\" is not defined above (define it with a "
            "rendition statement first)");
}

// Random damage to a valid script: every result is either a script or one
// message whose line and column lie inside the damaged text.
TEST(PictureScriptReading, DamagedScriptsGiveAScriptOrOneLocatedMessage) {
  const std::string valid =
      "option \"Hidden Line Color\" 1 2 3 4\n"
      "option \"WZERO Factor\" 0.25\n"
      "rendition \"a pen\" color FF102030 pattern 2 clip 0 100 0 100\n"
      "establish # stages\n"
      "begin_picture\n"
      "triangle_strip f \"a pen\" 10 10 1 90 10 1 10 90 1\n"
      "colored_polyline i default each FF000000,FF111111 0 0 0 5 5 5 9 9 9\n"
      "polyline d default 0.5 0.5 0.5 1e300 -1e-300 7\n"
      "marker default 1 2 3\n"
      "positioned_item default 1 2 3\n"
      "clear 3\nforward -4\nignored 90\nupdate\nend_picture\n";
  const std::string alphabet = "0123456789 .-+eEfinaxX\"#,\t\nFrd_";
  std::mt19937 random(20261206);
  const std::regex located("t\\.pic:([0-9]+):([0-9]+): .+");
  int refused = 0;
  for (int trial = 0; trial < 3000; ++trial) {
    std::string text = valid;
    const int damages = 1 + static_cast<int>(random() % 3);
    for (int d = 0; d < damages; ++d) {
      const std::size_t at = random() % text.size();
      switch (random() % 3) {
        case 0: text.erase(at, 1 + random() % 4); break;
        case 1: text.insert(at, 1, alphabet[random() % alphabet.size()]); break;
        default: text[at] = alphabet[random() % alphabet.size()]; break;
      }
    }
    try {
      parse_picture_script(text, "t.pic");
    } catch (const Tool_Error& error) {
      ++refused;
      std::smatch parts;
      const std::string message = error.what();
      ASSERT_TRUE(std::regex_match(message, parts, located)) << message;
      const int line = std::stoi(parts[1]);
      const int column = std::stoi(parts[2]);
      // Find the line's text; the column is at most one past its end.
      std::size_t start = 0;
      for (int l = 1; l < line; ++l) {
        start = text.find('\n', start);
        ASSERT_NE(start, std::string::npos) << message;
        ++start;
      }
      const std::size_t line_end = text.find('\n', start);
      const std::size_t length =
          (line_end == std::string::npos ? text.size() : line_end) - start;
      EXPECT_GE(column, 1) << message;
      EXPECT_LE(static_cast<std::size_t>(column), length + 1) << message;
    }
  }
  // Most damage is caught; some (a changed digit) leaves a valid script.
  EXPECT_GT(refused, 1500);
  EXPECT_LT(refused, 3000);
}

TEST(PictureScriptReading, EmptyAndCommentOnlyScriptsHoldNoStatements) {
  EXPECT_TRUE(parse_picture_script("", "t.pic").statements.empty());
  EXPECT_TRUE(parse_picture_script("\xEF\xBB\xBF# only a comment\r\n\t \n", "t.pic")
                  .statements.empty());
}

}  // namespace
