#include "tool/script/picture_script.h"

#include <cctype>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <set>
#include <string>

#include "tool/common/color.h"
#include "tool/common/errors.h"

namespace hlr_tool {

namespace {

// One token of a line. Columns count characters (UTF-8 continuation bytes
// add nothing), 1-based; `end_column` is one past the token's last
// character, the closing quote included.
struct Token {
  std::string text;
  bool quoted = false;
  int column = 0;
  int end_column = 0;
};

bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }
bool is_continuation_byte(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

[[noreturn]] void fail_at(const std::string& file_name, int line, int column,
                          const std::string& message) {
  throw input_error(file_name + ":" + std::to_string(line) + ":" + std::to_string(column) + ": " +
                    message);
}

// How a token is named in a message: 'word' or "quoted name", control
// bytes (a NUL included, which would cut the message short) as \xHH.
std::string shown(const Token& token) {
  std::string text;
  for (const char c : token.text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F) {
      static const char digits[] = "0123456789ABCDEF";
      text += {'\\', 'x', digits[byte >> 4], digits[byte & 0xF]};
    } else {
      text += c;
    }
  }
  return token.quoted ? "\"" + text + "\"" : "'" + text + "'";
}

std::vector<Token> split_line(std::string_view text, const std::string& file_name, int line) {
  std::vector<Token> tokens;
  std::size_t at = 0;
  int column = 1;
  auto advance = [&] {
    ++at;
    if (at == text.size() || !is_continuation_byte(text[at])) ++column;
  };
  while (true) {
    while (at < text.size() && is_blank(text[at])) advance();
    if (at == text.size() || text[at] == '#') break;
    Token token;
    token.column = column;
    if (text[at] == '"') {
      token.quoted = true;
      advance();
      while (at < text.size() && text[at] != '"') {
        token.text += text[at];
        advance();
      }
      if (at == text.size()) {
        fail_at(file_name, line, token.column, "expected a closing '\"' for the quoted name");
      }
      advance();
      if (at < text.size() && !is_blank(text[at]) && text[at] != '#') {
        fail_at(file_name, line, column, "expected a blank after the closing '\"'");
      }
    } else {
      while (at < text.size() && !is_blank(text[at]) && text[at] != '#') {
        if (text[at] == '"') {
          fail_at(file_name, line, column, "unexpected '\"' inside a word (quote the whole name)");
        }
        token.text += text[at];
        advance();
      }
    }
    token.end_column = column;
    tokens.push_back(std::move(token));
  }
  return tokens;
}

// A non-finite spelling that strtod would accept: inf, infinity, nan,
// nan(...), in any case, with an optional sign.
bool is_non_finite_spelling(std::string_view text) {
  if (!text.empty() && (text[0] == '+' || text[0] == '-')) text.remove_prefix(1);
  if (text.size() < 3) return false;
  std::string head;
  for (std::size_t i = 0; i < 3; ++i) {
    head += static_cast<char>(std::tolower(static_cast<unsigned char>(text[i])));
  }
  return head == "inf" || head == "nan";
}

const char* const statement_words =
    "option, rendition, color_system, establish, begin_picture, update, end_picture, "
    "triangle_strip, face_b, face_c, face_d, polyline, colored_polyline, marker, "
    "positioned_item, clear, forward or ignored";

// The tokens of one line and the reading position in them.
class Line_Reader {
 public:
  Line_Reader(std::vector<Token> tokens, const std::string& file_name, int line)
      : tokens_(std::move(tokens)), file_name_(file_name), line_(line) {}

  bool at_end() const { return next_ == tokens_.size(); }
  const Token& peek() const { return tokens_[next_]; }

  // The next token; when the line has run out, fails one past its last
  // token saying what was expected.
  const Token& take(const std::string& expected) {
    if (at_end()) fail_at(end_column(), "expected " + expected);
    return tokens_[next_++];
  }

  void expect_end() {
    if (!at_end()) {
      fail(peek(), "expected the end of the statement, found " + shown(peek()));
    }
  }

  std::size_t remaining() const { return tokens_.size() - next_; }
  int end_column() const { return tokens_.empty() ? 1 : tokens_.back().end_column; }

  [[noreturn]] void fail(const Token& token, const std::string& message) const {
    fail_at(token.column, message);
  }
  [[noreturn]] void fail_at(int column, const std::string& message) const {
    hlr_tool::fail_at(file_name_, line_, column, message);
  }

  // A bare word, for numbers, colours and keywords: a quoted token is not
  // one.
  const Token& take_word(const std::string& expected) {
    const Token& token = take(expected);
    if (token.quoted) fail(token, "expected " + expected + ", found " + shown(token));
    return token;
  }

  // A decimal number as strtod reads it, correctly rounded to double; an
  // overflow is refused, naming the precision the value was meant for.
  double read_decimal(const Token& token, const std::string& expected,
                      const char* precision) const {
    if (token.quoted) fail(token, "expected " + expected + ", found " + shown(token));
    if (is_non_finite_spelling(token.text)) {
      fail(token, "expected " + expected + ", found the non-finite " + shown(token));
    }
    // strtod would also read hexadecimal; script numbers are decimal.
    if (token.text.find_first_of("xX") != std::string::npos) {
      fail(token, "expected " + expected + " (decimal), found " + shown(token));
    }
    // The whole token must be the number (a NUL byte inside it included).
    const char* begin = token.text.c_str();
    char* end = nullptr;
    const double value = std::strtod(begin, &end);
    if (end == begin || end != begin + token.text.size()) {
      fail(token, "expected " + expected + ", found " + shown(token));
    }
    // strtod's ERANGE also reports underflow: a tiny value is kept as
    // strtod rounds it, only an overflow is refused.
    if (std::isinf(value)) {
      fail(token, shown(token) + " is out of range for " + precision);
    }
    return value;
  }

  double read_double(const Token& token, const std::string& expected) const {
    return read_decimal(token, expected, "double precision");
  }

  // Read as a double, correctly rounded, then rounded to float: exactly
  // static_cast<float>(strtod(...)).
  float read_float(const Token& token, const std::string& expected) const {
    const float rounded = static_cast<float>(read_decimal(token, expected, "single precision"));
    if (std::isinf(rounded)) {
      fail(token, shown(token) + " is out of range for single precision");
    }
    return rounded;
  }

  std::int32_t read_int32(const Token& token, const std::string& expected) const {
    if (token.quoted) fail(token, "expected " + expected + ", found " + shown(token));
    if (is_non_finite_spelling(token.text)) {
      fail(token, "expected " + expected + ", found the non-finite " + shown(token));
    }
    const char* begin = token.text.c_str();
    char* end = nullptr;
    errno = 0;
    const long long value = std::strtoll(begin, &end, 10);
    if (end == begin || end != begin + token.text.size()) {
      fail(token, "expected " + expected + ", found " + shown(token));
    }
    if (errno == ERANGE || value < INT32_MIN || value > INT32_MAX) {
      fail(token, shown(token) + " is out of the 32-bit integer range");
    }
    return static_cast<std::int32_t>(value);
  }

  std::int32_t take_int32(const std::string& expected) {
    return read_int32(take(expected), expected);
  }

  KT_RGB32 read_color(std::string_view text, int column) const {
    const std::optional<std::uint32_t> argb = parse_hex_color(text, false);
    if (!argb) {
      fail_at(column,
              "expected a colour of 8 hex digits AARRGGBB, found '" + std::string(text) + "'");
    }
    return KT_RGB32::from_argb(*argb);
  }

  KT_RGB32 take_color() {
    const Token& token = take_word("a colour of 8 hex digits AARRGGBB");
    return read_color(token.text, token.column);
  }

  // C1,C2,...: one token, colours separated by commas without blanks.
  std::vector<KT_RGB32> take_color_list(const Token*& list_token) {
    const Token& token = take_word("a colour list C1,C2,... of AARRGGBB colours");
    list_token = &token;
    std::vector<KT_RGB32> colors;
    std::size_t start = 0;
    int column = token.column;
    while (true) {
      const std::size_t comma = token.text.find(',', start);
      const std::string_view item =
          std::string_view(token.text)
              .substr(start, comma == std::string::npos ? std::string::npos : comma - start);
      colors.push_back(read_color(item, column));
      if (comma == std::string::npos) break;
      // Colours are ASCII, so the next one starts this many characters on.
      column += static_cast<int>(item.size()) + 1;
      start = comma + 1;
    }
    return colors;
  }

  Point_Form take_form() {
    const std::string expected = "a point form (f, f_in, i, i_in or d)";
    const Token& token = take_word(expected);
    if (token.text == "f") return Point_Form::f;
    if (token.text == "f_in") return Point_Form::f_in;
    if (token.text == "i") return Point_Form::i;
    if (token.text == "i_in") return Point_Form::i_in;
    if (token.text == "d") return Point_Form::d;
    fail(token, "expected " + expected + ", found " + shown(token));
  }

  // The rest of the line as points x y z of `form`.
  Script_Points take_points(Point_Form form) {
    Script_Points points;
    points.form = form;
    const std::size_t values = remaining();
    if (values / 3 > static_cast<std::size_t>(INT_MAX)) {
      fail(peek(), "too many points for one call");
    }
    static const char* const axis_names[3] = {"x", "y", "z"};
    for (std::size_t i = 0; i + 3 <= values; i += 3) {
      double value[3] = {};
      float rounded[3] = {};
      std::int32_t integer[3] = {};
      for (int axis = 0; axis < 3; ++axis) {
        const Token& token = take("a coordinate");
        const std::string what = std::string("the ") + axis_names[axis] + " coordinate";
        switch (form) {
          case Point_Form::f:
          case Point_Form::f_in:
            rounded[axis] = read_float(token, what);
            break;
          case Point_Form::i:
          case Point_Form::i_in:
            integer[axis] = read_int32(token, what + " as an integer (integer form)");
            break;
          case Point_Form::d:
            value[axis] = read_double(token, what);
            break;
        }
      }
      switch (form) {
        case Point_Form::f:
        case Point_Form::f_in:
          points.float_points.push_back({rounded[0], rounded[1], rounded[2]});
          break;
        case Point_Form::i:
        case Point_Form::i_in:
          points.integer_points.push_back({integer[0], integer[1], integer[2]});
          break;
        case Point_Form::d:
          points.double_points.push_back({value[0], value[1], value[2]});
          break;
      }
    }
    if (values % 3 != 0) {
      // Check the values of the incomplete point before saying it is short.
      for (std::size_t i = 0; i < values % 3; ++i) {
        const Token& token = take("a coordinate");
        if (form == Point_Form::i || form == Point_Form::i_in) {
          read_int32(token, "an integer coordinate (integer form)");
        } else if (form == Point_Form::d) {
          read_double(token, "a coordinate");
        } else {
          read_float(token, "a coordinate");
        }
      }
      fail_at(end_column(), std::string("expected the ") + axis_names[values % 3] +
                                " coordinate of point " + std::to_string(values / 3 + 1) +
                                " (coordinates come in threes: x y z)");
    }
    return points;
  }

 private:
  std::vector<Token> tokens_;
  std::size_t next_ = 0;
  const std::string& file_name_;
  int line_;
};

class Script_Parser {
 public:
  Script_Parser() { defined_renditions_.insert("default"); }

  Statement_Body parse_statement(Line_Reader& reader) {
    const Token& word = reader.take("a statement");
    if (word.quoted) {
      reader.fail(word, std::string("expected a statement (") + statement_words + "), found " +
                            shown(word));
    }
    const std::string& w = word.text;
    if (w == "option") return parse_option(reader);
    if (w == "rendition") return parse_rendition(reader);
    if (w == "color_system") {
      Color_System_Statement statement{reader.take_int32("a colour system number (integer)")};
      reader.expect_end();
      return statement;
    }
    if (w == "establish") return stage(reader, Stage::establish);
    if (w == "begin_picture") return stage(reader, Stage::begin_picture);
    if (w == "update") return stage(reader, Stage::update);
    if (w == "end_picture") return stage(reader, Stage::end_picture);
    if (w == "triangle_strip") return parse_face(reader, Face_Family::triangle_strip);
    if (w == "face_b") return parse_face(reader, Face_Family::face_b);
    if (w == "face_c") return parse_face(reader, Face_Family::face_c);
    if (w == "face_d") return parse_face(reader, Face_Family::face_d);
    if (w == "polyline") {
      Polyline_Statement statement;
      const Point_Form form = reader.take_form();
      statement.rendition = take_rendition(reader);
      statement.points = reader.take_points(form);
      return statement;
    }
    if (w == "colored_polyline") return parse_colored_polyline(reader);
    if (w == "marker") {
      Marker_Statement statement;
      statement.rendition = take_rendition(reader);
      statement.points = reader.take_points(Point_Form::f).float_points;
      return statement;
    }
    if (w == "positioned_item") return parse_positioned_item(reader);
    if (w == "clear" || w == "forward") {
      Argument_Statement statement;
      statement.clear = w == "clear";
      statement.argument = reader.take_int32("an integer argument");
      reader.expect_end();
      return statement;
    }
    if (w == "ignored") {
      const std::string expected = "an ignored action position (86, 87, 90, 91 or 100)";
      const Token& token = reader.take(expected);
      const int position = reader.read_int32(token, expected);
      if (position != 86 && position != 87 && position != 90 && position != 91 && position != 100) {
        reader.fail(token, "expected " + expected + ", found " + shown(token));
      }
      reader.expect_end();
      return Ignored_Statement{position};
    }
    reader.fail(word, "unknown statement " + shown(word) + " (expected " + statement_words + ")");
  }

 private:
  static Statement_Body stage(Line_Reader& reader, Stage stage) {
    reader.expect_end();
    return Stage_Statement{stage};
  }

  Statement_Body parse_option(Line_Reader& reader) {
    const Token& name = reader.take("an option name in double quotes");
    const Script_Option* option = nullptr;
    for (const Script_Option& candidate : script_options()) {
      if (name.text == candidate.name) option = &candidate;
    }
    if (!option) reader.fail(name, "unknown option " + shown(name));
    Option_Statement statement;
    statement.name = option->name;
    statement.kind = option->kind;
    const std::string of_option = " for option \"" + statement.name + "\"";
    switch (option->kind) {
      case KT_Option_Kind::integer:
        statement.integer = reader.take_int32("an integer" + of_option);
        break;
      case KT_Option_Kind::boolean: {
        const std::string expected = "true or false" + of_option;
        const Token& token = reader.take_word(expected);
        if (token.text == "true") {
          statement.boolean = true;
        } else if (token.text != "false") {
          reader.fail(token, "expected " + expected + ", found " + shown(token));
        }
        break;
      }
      case KT_Option_Kind::real: {
        const std::string expected = "a number" + of_option;
        statement.real = reader.read_float(reader.take(expected), expected);
        break;
      }
      case KT_Option_Kind::color:
        for (int i = 0; i < 4; ++i) {
          statement.color[i] = reader.take_int32("four integers c0 c1 c2 c3" + of_option);
        }
        break;
    }
    reader.expect_end();
    return statement;
  }

  Statement_Body parse_rendition(Line_Reader& reader) {
    Rendition_Statement statement;
    const Token& id = reader.take("a rendition name");
    if (id.text.empty()) reader.fail(id, "expected a rendition name, found \"\"");
    statement.id = id.text;
    while (!reader.at_end()) {
      const Token& attribute = reader.take_word("color, pattern or clip");
      Rendition_Attribute value;
      if (attribute.text == "color") {
        value.kind = Rendition_Attribute::Kind::color;
        value.color = reader.take_color();
      } else if (attribute.text == "pattern") {
        value.kind = Rendition_Attribute::Kind::pattern;
        value.pattern = reader.take_int32("a line pattern number (integer)");
      } else if (attribute.text == "clip") {
        value.kind = Rendition_Attribute::Kind::clip;
        const std::string expected = "four integers X0 X1 Y0 Y1 of the clip rectangle";
        value.clip.x_min = reader.take_int32(expected);
        value.clip.x_max = reader.take_int32(expected);
        value.clip.y_min = reader.take_int32(expected);
        value.clip.y_max = reader.take_int32(expected);
      } else {
        reader.fail(attribute, "expected color, pattern or clip, found " + shown(attribute));
      }
      statement.attributes.push_back(value);
    }
    defined_renditions_.insert(statement.id);
    return statement;
  }

  std::string take_rendition(Line_Reader& reader) {
    const Token& id = reader.take("a rendition name");
    if (!defined_renditions_.count(id.text)) {
      reader.fail(id, "rendition " + shown(id) +
                          " is not defined above (define it with a rendition statement first)");
    }
    return id.text;
  }

  Statement_Body parse_face(Line_Reader& reader, Face_Family family) {
    Face_Statement statement;
    statement.family = family;
    const Point_Form form = reader.take_form();
    statement.rendition = take_rendition(reader);
    statement.points = reader.take_points(form);
    return statement;
  }

  Statement_Body parse_colored_polyline(Line_Reader& reader) {
    Colored_Polyline_Statement statement;
    const Point_Form form = reader.take_form();
    statement.rendition = take_rendition(reader);
    const Token& mode = reader.take_word("one or each");
    if (mode.text == "one") {
      statement.one_color = true;
    } else if (mode.text != "each") {
      reader.fail(mode, "expected one or each, found " + shown(mode));
    }
    const Token* list = nullptr;
    statement.colors = reader.take_color_list(list);
    statement.points = reader.take_points(form);
    // A list token holds at least one colour, which is all `one` reads;
    // `each` reads one colour per segment.
    const int count = statement.points.count();
    if (!statement.one_color && count - 1 > static_cast<int>(statement.colors.size())) {
      reader.fail(*list, "expected at least " + std::to_string(count - 1) + " colours for the " +
                             std::to_string(count) + " points of 'each' (one per segment), found " +
                             std::to_string(statement.colors.size()));
    }
    return statement;
  }

  Statement_Body parse_positioned_item(Line_Reader& reader) {
    Positioned_Item_Statement statement;
    statement.rendition = take_rendition(reader);
    static const char* const expected[3] = {"the x coordinate", "the y coordinate",
                                            "the z coordinate"};
    float value[3];
    for (int axis = 0; axis < 3; ++axis) {
      value[axis] = reader.read_float(reader.take(expected[axis]), expected[axis]);
    }
    statement.position = {value[0], value[1], value[2]};
    if (!reader.at_end()) {
      reader.fail(reader.peek(),
                  "expected the end of the statement (a positioned item has one "
                  "point), found " +
                      shown(reader.peek()));
    }
    return statement;
  }

  std::set<std::string> defined_renditions_;
};

}  // namespace

int Script_Points::count() const {
  switch (form) {
    case Point_Form::f:
    case Point_Form::f_in:
      return static_cast<int>(float_points.size());
    case Point_Form::i:
    case Point_Form::i_in:
      return static_cast<int>(integer_points.size());
    case Point_Form::d:
      return static_cast<int>(double_points.size());
  }
  return 0;
}

const std::vector<Script_Option>& script_options() {
  static const std::vector<Script_Option> options = {
      {"Hidden Line Pattern", KT_Option_Kind::integer},
      {"Hidden Line Color", KT_Option_Kind::color},
      {"Use Face Color For Intersections", KT_Option_Kind::boolean},
      {"Intersection Line Color", KT_Option_Kind::color},
      {"Display Hidden Lines", KT_Option_Kind::boolean},
      {"Display Intersections", KT_Option_Kind::boolean},
      {"Intersection Line Pattern", KT_Option_Kind::integer},
      {"Retain Hidden Line Color", KT_Option_Kind::boolean},
      {"Halo Gap", KT_Option_Kind::integer},
      {"WZERO Factor", KT_Option_Kind::real},
      {"Use Double Precision", KT_Option_Kind::boolean},
  };
  return options;
}

Picture_Script parse_picture_script(std::string_view text, const std::string& file_name) {
  Picture_Script script;
  script.file_name = file_name;
  Script_Parser parser;
  // A byte-order mark is not part of the first line.
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
  int line = 0;
  while (!text.empty()) {
    ++line;
    const std::size_t newline = text.find('\n');
    const std::string_view line_text = text.substr(0, newline);
    text.remove_prefix(newline == std::string_view::npos ? text.size() : newline + 1);
    std::vector<Token> tokens = split_line(line_text, script.file_name, line);
    if (tokens.empty()) continue;
    Line_Reader reader(std::move(tokens), script.file_name, line);
    script.statements.push_back({line, parser.parse_statement(reader)});
  }
  return script;
}

Picture_Script read_picture_script(const std::string& path) {
  const auto cannot_read = [&path](int error) {
    return input_error(path + ":1:1: cannot read " + path + ": " + std::strerror(error));
  };
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"),
                                                       &std::fclose);
  if (!file) throw cannot_read(errno);
  std::string text;
  char buffer[65536];
  while (true) {
    const std::size_t got = std::fread(buffer, 1, sizeof buffer, file.get());
    text.append(buffer, got);
    if (got < sizeof buffer) break;
  }
  if (std::ferror(file.get())) throw cannot_read(errno);
  return parse_picture_script(text, path);
}

}  // namespace hlr_tool
