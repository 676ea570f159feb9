// Reading picture scripts: every fault is refused with one message naming
// the file, the line and the column; what is accepted is read exactly.
#include <gtest/gtest.h>

#include <bit>
#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdio>
#include <random>
#include <string>
#include <variant>

#include "tool/common/errors.h"
#include "tool/script/picture_script.h"
#include "tool/script/script_recorder.h"

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
Body parse_one(const std::string& text) {
  const Picture_Script script = parse_picture_script(text, "t.pic");
  EXPECT_EQ(script.statements.size(), 1u);
  return std::get<Body>(script.statements.at(0).body);
}

// One row per rule; `%` in a message stands for the list of statement words.
TEST(PictureScriptReading, RefusesEachFaultWithFileLineAndColumn) {
  const struct {
    std::string script;
    std::string message;
  } cases[] = {
      // Statement words: known ones only, case-sensitive, never quoted.
      {"frobnicate", "t.pic:1:1: unknown statement 'frobnicate' (expected %)"},
      {"Establish", "t.pic:1:1: unknown statement 'Establish' (expected %)"},
      {"\"establish\"", "t.pic:1:1: expected a statement (%), found \"establish\""},
      {"establish now", "t.pic:1:11: expected the end of the statement, found 'now'"},
      // Lines and columns: blank and comment lines count, a tab and a UTF-8
      // character are one column each, CR LF endings are blank; the first
      // fault is the one reported.
      {"# first\n\n   establish\r\nend_picture x",
       "t.pic:4:13: expected the end of the statement, found 'x'"},
      {"\tupdate x\nfoo", "t.pic:1:9: expected the end of the statement, found 'x'"},
      {"rendition \xC3\xA9 color ZZ",
       "t.pic:1:19: expected a colour of 8 hex digits AARRGGBB, found 'ZZ'"},
      // A number token is read whole; control bytes are shown escaped.
      {std::string("clear 1\0", 8) + "2",
       "t.pic:1:7: expected an integer argument, found '1\\x002'"},
      {"marker \"\x01\x7F\" 1 2 3",
       "t.pic:1:8: rendition \"\\x01\\x7F\" is not defined above (define it with a rendition "
       "statement first)"},
      // Quotes.
      {"option \"Halo Gap 3", "t.pic:1:8: expected a closing '\"' for the quoted name"},
      {"rendition a\"b\"", "t.pic:1:12: unexpected '\"' inside a word (quote the whole name)"},
      {"option \"Halo Gap\"3", "t.pic:1:18: expected a blank after the closing '\"'"},
      {"rendition \"\" color FF000000", "t.pic:1:11: expected a rendition name, found \"\""},
      // Options: known names, values of the option's kind; a missing token
      // is reported one past the last.
      {"option \"Halo gap\" 3", "t.pic:1:8: unknown option \"Halo gap\""},
      {"option", "t.pic:1:7: expected an option name in double quotes"},
      {"option \"Halo Gap\" 10.0",
       "t.pic:1:19: expected an integer for option \"Halo Gap\", found '10.0'"},
      {"option \"Display Hidden Lines\" True",
       "t.pic:1:31: expected true or false for option \"Display Hidden Lines\", found 'True'"},
      {"option \"WZERO Factor\" nan(0x1)",
       "t.pic:1:23: expected a number for option \"WZERO Factor\", found the non-finite "
       "'nan(0x1)'"},
      {"option \"WZERO Factor\" 0x1p3",
       "t.pic:1:23: expected a number for option \"WZERO Factor\" (decimal), found '0x1p3'"},
      {"option \"Hidden Line Color\" 1 2 3",
       "t.pic:1:33: expected four integers c0 c1 c2 c3 for option \"Hidden Line Color\""},
      // Renditions.
      {"rendition r colour FF000000",
       "t.pic:1:13: expected color, pattern or clip, found 'colour'"},
      {"rendition r color FF00000",
       "t.pic:1:19: expected a colour of 8 hex digits AARRGGBB, found 'FF00000'"},
      {"rendition r color GG000000",
       "t.pic:1:19: expected a colour of 8 hex digits AARRGGBB, found 'GG000000'"},
      {"rendition r clip 0 100 0",
       "t.pic:1:25: expected four integers X0 X1 Y0 Y1 of the clip rectangle"},
      {"rendition r clip 0 1e3 0 100",
       "t.pic:1:20: expected four integers X0 X1 Y0 Y1 of the clip rectangle, found '1e3'"},
      {"polyline f r 0 0 0\nrendition r",
       "t.pic:1:12: rendition 'r' is not defined above (define it with a rendition statement "
       "first)"},
      {"rendition r\nmarker R 1 2 3",
       "t.pic:2:8: rendition 'R' is not defined above (define it with a rendition statement "
       "first)"},
      // Family actions: form, rendition, coordinates in threes.
      {"triangle_strip F default",
       "t.pic:1:16: expected a point form (f, f_in, i, i_in or d), found 'F'"},
      {"polyline f default 0 0 0 1 1",
       "t.pic:1:29: expected the z coordinate of point 2 (coordinates come in threes: x y z)"},
      {"face_d i_in default 0 0 0 1 1.5",
       "t.pic:1:29: expected an integer coordinate (integer form), found '1.5'"},
      {"polyline i_in default 0 10.0 0",
       "t.pic:1:25: expected the y coordinate as an integer (integer form), found '10.0'"},
      {"polyline i default 3000000000 0 0",
       "t.pic:1:20: '3000000000' is out of the 32-bit integer range"},
      {"polyline i default inf 0 0",
       "t.pic:1:20: expected the x coordinate as an integer (integer form), found the non-finite "
       "'inf'"},
      // The smallest double that rounds to float infinity lies half an ulp
      // above FLT_MAX (3.40282356779...e38).
      {"polyline f_in default 0 3.4028236e38 0",
       "t.pic:1:25: '3.4028236e38' is out of range for single precision"},
      {"polyline d default 0 0 1e309", "t.pic:1:24: '1e309' is out of range for double precision"},
      {"triangle_strip f default 1 2 z", "t.pic:1:30: expected the z coordinate, found 'z'"},
      // Coloured polylines: mode, colour list, enough colours.
      {"colored_polyline f default both FF000000",
       "t.pic:1:28: expected one or each, found 'both'"},
      {"colored_polyline f default each FF000000, 0 0 0",
       "t.pic:1:42: expected a colour of 8 hex digits AARRGGBB, found ''"},
      {"colored_polyline f default each FF000000 0 0 0 1 1 1 2 2 2",
       "t.pic:1:33: expected at least 2 colours for the 3 points of 'each' (one per segment), "
       "found 1"},
      // One point for a positioned item; the five ignored positions.
      {"positioned_item default 1 2 3 4",
       "t.pic:1:31: expected the end of the statement (a positioned item has one point), found "
       "'4'"},
      {"ignored 88",
       "t.pic:1:9: expected an ignored action position (86, 87, 90, 91 or 100), found '88'"},
  };
  const std::string words =
      "option, rendition, color_system, establish, begin_picture, update, end_picture, "
      "triangle_strip, "
      "face_b, face_c, face_d, polyline, colored_polyline, marker, positioned_item, clear, forward "
      "or ignored";
  for (const auto& c : cases) {
    std::string expected = c.message;
    if (const std::size_t at = expected.find('%'); at != std::string::npos)
      expected.replace(at, 1, words);
    EXPECT_EQ(error_of(c.script), expected) << c.script;
  }
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
  EXPECT_EQ(error_of(""), "(accepted)");
  EXPECT_TRUE(
      parse_picture_script("\xEF\xBB\xBF# only a comment\r\n\t \n", "t.pic").statements.empty());
}

// Float forms and float options take the correctly rounded double, then
// round it to float. 16777217 lies halfway between two floats and rounds to
// even. 1.000000059604644775390626 lies just above the midpoint of 1 and
// the next float, but its nearest double is the midpoint itself, which
// rounds to even, 1.0f (reading it straight as a float would give the next
// float). 3.4028235e38 rounds to FLT_MAX; 1e-50 to zero, which is no error.
TEST(PictureScriptReading, EachFormReadsItsNumbersExactly) {
  const auto f =
      parse_one<Polyline_Statement>(
          "polyline f default 16777217 3.4028235e38 1e-50  1.000000059604644775390626 0 -0")
          .points;
  ASSERT_EQ(f.float_points.size(), 2u);
  EXPECT_EQ(f.float_points[0].x, 16777216.0f);
  EXPECT_EQ(f.float_points[0].y, FLT_MAX);
  EXPECT_EQ(f.float_points[0].z, 0.0f);
  EXPECT_EQ(f.float_points[1].x, 1.0f);
  EXPECT_TRUE(std::signbit(f.float_points[1].z));
  EXPECT_EQ(parse_one<Option_Statement>("option \"WZERO Factor\" 1.000000059604644775390626").real,
            1.0f);
  // Double forms keep every finite double, the smallest subnormal included.
  const auto d =
      parse_one<Polyline_Statement>("polyline d default 0.1 1.7976931348623157e308 4.9e-324")
          .points;
  ASSERT_EQ(d.double_points.size(), 1u);
  EXPECT_EQ(d.double_points[0].x, 0.1);
  EXPECT_EQ(d.double_points[0].y, DBL_MAX);
  EXPECT_EQ(d.double_points[0].z, 4.9e-324);
  // Integer forms take the whole 32-bit range; colour components stay whole.
  const auto i = parse_one<Face_Statement>("face_d i_in default -2147483648 2147483647 +5").points;
  ASSERT_EQ(i.integer_points.size(), 1u);
  EXPECT_EQ(i.integer_points[0].x, INT_MIN);
  EXPECT_EQ(i.integer_points[0].y, INT_MAX);
  EXPECT_EQ(i.integer_points[0].z, 5);
  EXPECT_EQ(parse_one<Option_Statement>("option \"Hidden Line Color\" 300 -1 2147483647 0").color,
            (KT_Color_Components{300, -1, INT_MAX, 0}));
}

TEST(PictureScriptReading, QuotedNamesHoldBlanksAndHashesAndAttributesKeepTheirOrder) {
  const Picture_Script script = parse_picture_script(
      "rendition \"pen # 1\" pattern 3 color 80abCDef pattern 0  # a comment \"with quotes\n"
      "marker \"pen # 1\" 1 2 3 4 5 6\n",
      "t.pic");
  ASSERT_EQ(script.statements.size(), 2u);
  const auto& rendition = std::get<Rendition_Statement>(script.statements[0].body);
  EXPECT_EQ(rendition.id, "pen # 1");
  ASSERT_EQ(rendition.attributes.size(), 3u);
  EXPECT_EQ(rendition.attributes[0].pattern, 3);
  EXPECT_EQ(rendition.attributes[1].color.argb(), 0x80ABCDEFu);
  EXPECT_EQ(rendition.attributes[2].kind, Rendition_Attribute::Kind::pattern);
  EXPECT_EQ(rendition.attributes[2].pattern, 0);
  EXPECT_EQ(std::get<Marker_Statement>(script.statements[1].body).rendition, "pen # 1");
  EXPECT_EQ(script.statements[1].line, 2);
}

// Random damage to a valid script: every result is either a script or one
// message whose line and column lie inside the damaged text.
TEST(PictureScriptReading, DamagedScriptsGiveAScriptOrOneLocatedMessage) {
  const std::string valid =
      "option \"Hidden Line Color\" 1 2 3 4\noption \"WZERO Factor\" 0.25\n"
      "rendition \"a pen\" color FF102030 pattern 2 clip 0 100 0 100\nestablish # "
      "stages\nbegin_picture\n"
      "triangle_strip f \"a pen\" 10 10 1 90 10 1 10 90 1\n"
      "colored_polyline i default each FF000000,FF111111 0 0 0 5 5 5 9 9 9\n"
      "polyline d default 0.5 0.5 0.5 1e300 -1e-300 7\nmarker default 1 2 3\npositioned_item "
      "default 1 2 3\n"
      "clear 3\nforward -4\nignored 90\nupdate\nend_picture\n";
  const std::string alphabet = "0123456789 .-+eEfinaxX\"#,\t\nFrd_";
  std::mt19937 random(20261206);
  int refused = 0;
  for (int trial = 0; trial < 3000; ++trial) {
    std::string text = valid;
    for (int d = 0, damages = 1 + static_cast<int>(random() % 3); d < damages; ++d) {
      const std::size_t at = random() % text.size();
      switch (random() % 3) {
        case 0:
          text.erase(at, 1 + random() % 4);
          break;
        case 1:
          text.insert(at, 1, alphabet[random() % alphabet.size()]);
          break;
        default:
          text[at] = alphabet[random() % alphabet.size()];
          break;
      }
    }
    const std::string message = error_of(text);
    if (message == "(accepted)") continue;
    ++refused;
    int line = 0, column = 0;
    char rest = 0;
    ASSERT_EQ(std::sscanf(message.c_str(), "t.pic:%d:%d: %c", &line, &column, &rest), 3) << message;
    // The column is at most one past the end of its line.
    std::size_t start = 0;
    for (int l = 1; l < line; ++l) {
      start = text.find('\n', start);
      ASSERT_NE(start, std::string::npos) << message;
      ++start;
    }
    const std::size_t end = std::min(text.find('\n', start), text.size());
    EXPECT_GE(column, 1) << message;
    EXPECT_LE(static_cast<std::size_t>(column), end - start + 1) << message;
  }
  // Most damage is caught; some (a changed digit) leaves a valid script.
  EXPECT_GT(refused, 1500);
  EXPECT_LT(refused, 3000);
}

}  // namespace

namespace {

// What --record writes for a float, the reader reads back as the same float,
// bit for bit: random bit patterns of every magnitude, subnormals, both
// zeros and the extremes.
TEST(PictureScriptRecording, FloatsReadBackBitForBit) {
  std::mt19937 random(15);
  std::vector<float> values = {0.0f,        -0.0f,        FLT_MIN, -FLT_MIN, FLT_MAX,   -FLT_MAX,
                               FLT_EPSILON, FLT_TRUE_MIN, 0.1f,    1e-40f,   426.07986f};
  while (values.size() < 20000) {
    const float value = std::bit_cast<float>(static_cast<std::uint32_t>(random()));
    if (std::isfinite(value)) values.push_back(value);
  }
  for (const float value : values) {
    const std::string text = float_text(value);
    const auto option = parse_one<Option_Statement>("option \"WZERO Factor\" " + text);
    ASSERT_EQ(std::bit_cast<std::uint32_t>(option.real), std::bit_cast<std::uint32_t>(value))
        << text;
  }
}

}  // namespace
