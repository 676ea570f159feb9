// hlr-render draw as a user runs it: the executable with the renderer module
// beside it, on the bundled example and on meshes written here. The drawing
// must be well-formed XML (xmllint), hold its four layers, hold every piece
// the renderer passed on as exactly one segment, and come out byte for byte
// the same on a second run; each faulty input ends with its message, exit
// status 2 and no output file.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

std::string read_file(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

void write_file(const fs::path& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary);
  out << text;
}

std::string quoted(const std::string& text) {
  std::string result = "'";
  for (char c : text) {
    if (c == '\'') {
      result += "'\\''";
    } else {
      result += c;
    }
  }
  return result + "'";
}

struct Run_Result {
  int status = -1;
  std::string out;
  std::string err;
};

// A folder of its own per test, removed afterwards.
class Draw_Test : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    folder_ = fs::temp_directory_path() /
              ("hlr_draw_" + std::to_string(getpid()) + "_" + info->name());
    fs::remove_all(folder_);
    fs::create_directories(folder_ / "out");
  }
  void TearDown() override {
    if (!HasFailure()) fs::remove_all(folder_);
  }

  fs::path path(const std::string& name) const { return folder_ / name; }
  fs::path output(const std::string& name) const { return folder_ / "out" / name; }

  Run_Result run(const std::vector<std::string>& arguments) const {
    std::string command = quoted(HLR_RENDER);
    for (const std::string& argument : arguments) command += " " + quoted(argument);
    const fs::path out = folder_ / "stdout.txt";
    const fs::path err = folder_ / "stderr.txt";
    command += " >" + quoted(out.string()) + " 2>" + quoted(err.string()) + " </dev/null";
    const int raw = std::system(command.c_str());
    Run_Result result;
    result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    result.out = read_file(out);
    result.err = read_file(err);
    return result;
  }

  // The names in the output folder, temporary files included.
  std::set<std::string> outputs() const {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder_ / "out")) {
      names.insert(entry.path().filename().string());
    }
    return names;
  }

 private:
  fs::path folder_;
};

bool well_formed(const fs::path& svg) {
  const std::string command = "xmllint --noout " + quoted(svg.string()) + " 2>&1";
  return std::system(command.c_str()) == 0;
}

struct Point {
  double x, y;
};

// What one layer of the drawing holds.
struct Layer {
  std::vector<std::vector<Point>> polylines;
  std::vector<std::string> styles;  // the style group of each polyline
  std::size_t segments() const {
    std::size_t count = 0;
    for (const auto& p : polylines) count += p.size() - 1;
    return count;
  }
};

struct Drawing {
  std::vector<std::string> layer_order;
  std::map<std::string, Layer> layers;
  std::string size;  // width="..." height="..." viewBox="..."
};

bool starts_with(const std::string& text, const std::string& start) {
  return text.compare(0, start.size(), start) == 0;
}

bool ends_with(const std::string& text, const std::string& end) {
  return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// The text between `before` and the next double quote.
std::string quoted_after(const std::string& text, const std::string& before) {
  const std::size_t at = text.find(before);
  if (at == std::string::npos) return "";
  const std::size_t start = at + before.size();
  return text.substr(start, text.find('"', start) - start);
}

Drawing read_drawing(const std::string& svg) {
  Drawing drawing;
  const std::size_t size_at = svg.find(" width=\"");
  if (size_at != std::string::npos) {
    const std::size_t end = svg.find('"', svg.find("viewBox=\"", size_at) + 9);
    drawing.size = svg.substr(size_at + 1, end - size_at);
  }
  std::istringstream lines(svg);
  std::string line, layer, style;
  const std::string polyline_start = "<polyline points=\"";
  while (std::getline(lines, line)) {
    if (starts_with(line, "<g id=\"")) {
      layer = quoted_after(line, "<g id=\"");
      drawing.layer_order.push_back(layer);
      drawing.layers[layer];
    } else if (starts_with(line, "<g ")) {
      style = line;
    } else if (starts_with(line, polyline_start) && ends_with(line, "\"/>")) {
      std::vector<Point> points;
      std::istringstream pairs(quoted_after(line, polyline_start));
      std::string pair;
      while (pairs >> pair) {
        const std::size_t comma = pair.find(',');
        points.push_back({std::stod(pair.substr(0, comma)), std::stod(pair.substr(comma + 1))});
      }
      drawing.layers[layer].polylines.push_back(points);
      drawing.layers[layer].styles.push_back(style);
    }
  }
  return drawing;
}

// The numbers of a --stats line such as "pieces drawn:    1 visible, 2 hidden, 3 ...".
std::vector<std::size_t> stats_numbers(const std::string& stats, const std::string& label) {
  std::vector<std::size_t> numbers;
  std::istringstream lines(stats);
  std::string line;
  while (std::getline(lines, line)) {
    if (line.rfind(label, 0) != 0) continue;
    std::istringstream words(line.substr(label.size()));
    std::string word;
    while (words >> word) {
      if (std::isdigit(static_cast<unsigned char>(word[0]))) numbers.push_back(std::stoul(word));
    }
  }
  return numbers;
}

const std::vector<std::string> all_layers{"hidden", "visible", "intersections", "markers"};

TEST_F(Draw_Test, TheBundledExampleGivesAWellFormedDrawingWithEveryKindOfLine) {
  const std::string example = std::string(EXAMPLES_DIR) + "/bracket.obj";
  const fs::path svg = output("bracket.svg");
  const Run_Result result = run({"draw", example, "-o", svg.string(), "--intersections", "--stats"});
  ASSERT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(result.err, "");  // no progress: standard error is not a terminal
  EXPECT_EQ(outputs(), std::set<std::string>{"bracket.svg"});
  ASSERT_TRUE(well_formed(svg));

  const Drawing drawing = read_drawing(read_file(svg));
  EXPECT_EQ(drawing.layer_order, all_layers);
  EXPECT_EQ(drawing.size, "width=\"1000\" height=\"1000\" viewBox=\"0 0 1000 1000\"");
  // 622 triangles and 263 drawn edges: the part's outline, the holes and
  // the pin give some hundred and fifty to two hundred visible and as many
  // hidden pieces, and the pin's two rings of 24 sides where it passes
  // through the upright give the intersection pieces.
  const std::size_t visible = drawing.layers.at("visible").segments();
  const std::size_t hidden = drawing.layers.at("hidden").segments();
  const std::size_t intersections = drawing.layers.at("intersections").segments();
  EXPECT_GE(visible, 120u);
  EXPECT_LE(visible, 260u);
  EXPECT_GE(hidden, 100u);
  EXPECT_LE(hidden, 260u);
  EXPECT_GE(intersections, 20u);
  EXPECT_LE(intersections, 60u);
  EXPECT_TRUE(drawing.layers.at("markers").polylines.empty());
  // Every drawn piece is exactly one segment of the file.
  EXPECT_EQ(stats_numbers(result.out, "pieces drawn:"),
            (std::vector<std::size_t>{visible, hidden, intersections}));
  EXPECT_EQ(stats_numbers(result.out, "faces:"), (std::vector<std::size_t>{622, 64}));
  // Joining keeps the file small: far fewer polylines than pieces.
  std::size_t polylines = 0;
  for (const auto& [name, layer] : drawing.layers) polylines += layer.polylines.size();
  EXPECT_LT(polylines * 3, visible + hidden + intersections);
  // The steel and brass materials give the visible strokes; hidden lines
  // are dashed.
  for (const std::string& style : drawing.layers.at("visible").styles) {
    EXPECT_TRUE(style == "<g stroke=\"#334D73\">" || style == "<g stroke=\"#BF730D\">") << style;
  }
  for (const std::string& style : drawing.layers.at("hidden").styles) {
    EXPECT_EQ(style, "<g stroke=\"#000000\" stroke-dasharray=\"5 5\">");
  }
}

TEST_F(Draw_Test, TheSameRunTwiceGivesTheSameBytes) {
  const std::string example = std::string(EXAMPLES_DIR) + "/bracket.obj";
  const std::vector<std::string> options{"--intersections", "--view", "iso", "--halo", "2", "-q"};
  std::vector<std::string> first{"draw", example, "-o", output("first.svg").string()};
  std::vector<std::string> second{"draw", example, "-o", output("second.svg").string()};
  first.insert(first.end(), options.begin(), options.end());
  second.insert(second.end(), options.begin(), options.end());
  ASSERT_EQ(run(first).status, 0);
  ASSERT_EQ(run(second).status, 0);
  const std::string text = read_file(output("first.svg"));
  EXPECT_GT(text.size(), 1000u);
  EXPECT_EQ(read_file(output("second.svg")), text);
}

// Two squares facing the viewer (front view looks along -z): a large one at
// z = 1 and a smaller one behind it at z = 0, each two triangles. The large
// square fills the drawing less its margin, 50..950 both ways; the small
// one, half as wide, lies at 275..725, wholly behind the large one.
std::string two_squares() {
  return "v -1 -1 1\nv 1 -1 1\nv 1 1 1\nv -1 1 1\n"
         "v -0.5 -0.5 0\nv 0.5 -0.5 0\nv 0.5 0.5 0\nv -0.5 0.5 0\n"
         "f 1 2 3\nf 1 3 4\nf 5 6 7\nf 5 7 8\n";
}

// The segments of a layer as sorted, rounded end-point pairs.
std::vector<std::array<long, 4>> segments_of(const Layer& layer) {
  std::vector<std::array<long, 4>> segments;
  for (const auto& polyline : layer.polylines) {
    for (std::size_t k = 0; k + 1 < polyline.size(); ++k) {
      std::array<long, 2> a{std::lround(polyline[k].x), std::lround(polyline[k].y)};
      std::array<long, 2> b{std::lround(polyline[k + 1].x), std::lround(polyline[k + 1].y)};
      if (b < a) std::swap(a, b);
      segments.push_back({a[0], a[1], b[0], b[1]});
    }
  }
  std::sort(segments.begin(), segments.end());
  return segments;
}

TEST_F(Draw_Test, ASquareBehindAnotherIsDrawnHiddenAndTheFrontOneVisible) {
  write_file(path("squares.obj"), two_squares());
  const fs::path svg = output("squares.svg");
  const Run_Result result =
      run({"draw", path("squares.obj").string(), "-o", svg.string(), "--view", "front"});
  ASSERT_EQ(result.status, 0) << result.err;
  ASSERT_TRUE(well_formed(svg));
  const Drawing drawing = read_drawing(read_file(svg));
  using Segments = std::vector<std::array<long, 4>>;
  // The boundary edges only: the diagonals join faces in one plane.
  EXPECT_EQ(segments_of(drawing.layers.at("visible")),
            (Segments{{50, 50, 50, 950}, {50, 50, 950, 50}, {50, 950, 950, 950},
                      {950, 50, 950, 950}}));
  EXPECT_EQ(segments_of(drawing.layers.at("hidden")),
            (Segments{{275, 275, 275, 725}, {275, 275, 725, 275}, {275, 725, 725, 725},
                      {725, 275, 725, 725}}));
  // Each square is one closed polyline.
  EXPECT_EQ(drawing.layers.at("visible").polylines.size(), 1u);
  EXPECT_EQ(drawing.layers.at("hidden").polylines.size(), 1u);
  EXPECT_TRUE(drawing.layers.at("intersections").polylines.empty());
}

TEST_F(Draw_Test, HiddenLineOptionsChooseTheLayerStyle) {
  write_file(path("squares.obj"), two_squares());
  struct Case {
    std::vector<std::string> options;
    std::string hidden_style;  // "" when no hidden line is drawn
  };
  const Case cases[] = {
      {{"--hidden", "off"}, ""},
      {{"--hidden", "dotted"}, "<g stroke=\"#000000\" stroke-dasharray=\"0.5 2.5\">"},
      {{"--hidden", "solid", "--hidden-color", "FF8000"}, "<g stroke=\"#FF8000\">"},
      {{"--hidden", "dash-dot", "--stroke", "2", "--hidden-color", "80112233"},
       "<g stroke=\"#112233\" stroke-opacity=\"0.502\" stroke-dasharray=\"14 6 1 6\">"},
      // The model's own colour, black, not the hidden colour.
      {{"--retain-hidden-color", "--hidden-color", "red"},
       "<g stroke=\"#000000\" stroke-dasharray=\"5 5\">"},
  };
  for (const Case& c : cases) {
    std::vector<std::string> arguments{"draw", path("squares.obj").string(), "-o",
                                       output("s.svg").string(), "--view", "front"};
    arguments.insert(arguments.end(), c.options.begin(), c.options.end());
    const Run_Result result = run(arguments);
    ASSERT_EQ(result.status, 0) << result.err;
    const Drawing drawing = read_drawing(read_file(output("s.svg")));
    const Layer& hidden = drawing.layers.at("hidden");
    if (c.hidden_style.empty()) {
      EXPECT_TRUE(hidden.polylines.empty()) << c.options[1];
    } else {
      ASSERT_EQ(hidden.polylines.size(), 1u) << c.options[1];
      EXPECT_EQ(hidden.styles[0], c.hidden_style) << c.options[1];
    }
    EXPECT_EQ(drawing.layers.at("visible").segments(), 4u) << c.options[1];
  }
}

// A square at z = 0 and a second one standing through it, tilted so the
// front view sees both: they cut each other along a segment.
TEST_F(Draw_Test, IntersectionLinesGoToTheirLayerWithTheirPattern) {
  write_file(path("crossing.obj"),
             "v -1 -1 0\nv 1 -1 0\nv 1 1 0\nv -1 1 0\n"
             "v -0.5 -1 -1\nv 0.5 -1 1\nv 0.5 1 1\nv -0.5 1 -1\n"
             "f 1 2 3\nf 1 3 4\nf 5 6 7\nf 5 7 8\n");
  const fs::path svg = output("crossing.svg");
  for (const auto& [pattern, style] :
       std::vector<std::pair<std::string, std::string>>{
           {"solid", "<g stroke=\"#0000FF\">"},
           {"dashed", "<g stroke=\"#0000FF\" stroke-dasharray=\"5 5\">"}}) {
    const Run_Result result =
        run({"draw", path("crossing.obj").string(), "-o", svg.string(), "--view", "front",
             "--intersections", "--intersection-color", "blue", "--intersection-pattern", pattern});
    ASSERT_EQ(result.status, 0) << result.err;
    ASSERT_TRUE(well_formed(svg));
    const Drawing drawing = read_drawing(read_file(svg));
    const Layer& intersections = drawing.layers.at("intersections");
    // The line x = 0 of the square at z = 0, from its lower to its upper
    // side, in the middle of the drawing: x = 500, y from 50 to 950, in
    // pieces (one per pair of triangles that cross).
    ASSERT_FALSE(intersections.polylines.empty()) << pattern;
    double y_min = 1e9, y_max = -1e9;
    for (std::size_t k = 0; k < intersections.polylines.size(); ++k) {
      EXPECT_EQ(intersections.styles[k], style);
      for (const Point& p : intersections.polylines[k]) {
        EXPECT_NEAR(p.x, 500.0, 0.01);
        y_min = std::min(y_min, p.y);
        y_max = std::max(y_max, p.y);
      }
    }
    EXPECT_NEAR(y_min, 50.0, 0.01);
    EXPECT_NEAR(y_max, 950.0, 0.01);
  }
}

// Faulty input: status 2, one line on standard error, nothing in the
// output folder, and an existing output file left alone. The line starts
// with `start` (after the model's path when a model file is at fault) and
// ends with `end`.
struct Bad_Input {
  const char* what;
  std::string model_text;  // written as bad.<extension> unless empty
  const char* extension;
  std::vector<std::string> options;
  bool names_model;
  std::string start;
  std::string end;
};

// One line of text that starts and ends as given.
::testing::AssertionResult one_line(const std::string& text, const std::string& start,
                                    const std::string& end) {
  if (std::count(text.begin(), text.end(), '\n') == 1 && ends_with(text, end + "\n") &&
      starts_with(text, start) && text.size() >= start.size() + end.size() + 1) {
    return ::testing::AssertionSuccess();
  }
  return ::testing::AssertionFailure() << "expected one line \"" << start << "..." << end
                                       << "\", got \"" << text << "\"";
}

TEST_F(Draw_Test, EachBadInputGivesItsMessageAndStatusAndNoOutput) {
  const std::string example = std::string(EXAMPLES_DIR) + "/bracket.obj";
  const Bad_Input cases[] = {
      {"missing file", "", "obj", {}, true, ": no such file", ""},
      {"unreadable format", "hello, this is not a model\n", "xyz", {}, true,
       ": cannot read the model: ", ""},
      {"non-finite coordinate", "v 0 0 0\nv 1 0 0\nv 0 nan 0\nf 1 2 3\n", "obj", {}, true,
       ": coordinate is not finite", ""},
      {"infinite coordinate", "v 0 0 0\nv 1e999 0 0\nv 0 1 0\nf 1 2 3\n", "obj", {}, true,
       ": coordinate is not finite", ""},
      {"empty scene", "v 0 0 0\nv 1 1 1\nv 2 2 2\np 1 2 3\n", "obj", {}, true,
       ": holds no triangles and no lines", ""},
      {"unknown --hidden", "", "", {"--hidden", "dotdash"}, false,
       "hlr-render: --hidden: dotdash not in {", "(see hlr-render --help)"},
      {"unknown --edges", "", "", {"--edges", "some"}, false, "hlr-render: --edges: some not in",
       "(see hlr-render --help)"},
      {"unknown --view", "", "", {"--view", "sideways"}, false,
       "hlr-render draw: --view: view 'sideways' is neither ", ""},
      {"bad --size", "", "", {"--size", "10x10"}, false, "hlr-render draw: --size: expected W,H",
       "'10x10'"},
      {"unknown colour", "", "", {"--hidden-color", "purple"}, false,
       "hlr-render draw: --hidden-color: expected a colour", "'purple'"},
      {"fractional halo", "", "", {"--halo", "1.5"}, false, "hlr-render: ",
       "(see hlr-render --help)"},
      {"crease out of range", "", "", {"--crease", "200"}, false, "hlr-render draw: --crease: ",
       ""},
      {"zero stroke", "", "", {"--stroke", "0"}, false, "hlr-render draw: --stroke: ", ""},
  };
  for (const Bad_Input& c : cases) {
    SCOPED_TRACE(c.what);
    std::string model = example;
    if (std::string(c.what) == "missing file") {
      model = path("missing.obj").string();
    } else if (!c.model_text.empty()) {
      model = path(std::string("bad.") + c.extension).string();
      write_file(model, c.model_text);
    }
    fs::remove_all(path("out"));
    fs::create_directories(path("out"));
    // A fresh output name, and an existing file that must stay as it was.
    write_file(output("old.svg"), "old\n");
    for (const char* name : {"new.svg", "old.svg"}) {
      std::vector<std::string> arguments{"draw", model, "-o", output(name).string()};
      arguments.insert(arguments.end(), c.options.begin(), c.options.end());
      const Run_Result result = run(arguments);
      EXPECT_EQ(result.status, 2) << result.err;
      EXPECT_TRUE(one_line(result.err, (c.names_model ? model : "") + c.start, c.end));
      EXPECT_EQ(result.out, "");
      EXPECT_EQ(outputs(), std::set<std::string>{"old.svg"});
      EXPECT_EQ(read_file(output("old.svg")), "old\n");
    }
  }
}

TEST_F(Draw_Test, AMissingOutputFolderOrModuleFailsBeforeWriting) {
  const std::string example = std::string(EXAMPLES_DIR) + "/bracket.obj";
  Run_Result result = run({"draw", example, "-o", path("nowhere/out.svg").string()});
  EXPECT_EQ(result.status, 2);
  EXPECT_TRUE(one_line(result.err, "cannot write " + path("nowhere/out.svg").string() +
                                       ": no folder " + path("nowhere").string(), ""));
  // The module is not the user's input: status 1.
  result = run({"draw", example, "-o", output("out.svg").string(), "--module",
                "/nonexistent/libnone.so"});
  EXPECT_EQ(result.status, 1);
  EXPECT_TRUE(one_line(result.err, "/nonexistent/libnone.so: cannot load renderer module", ""));
  EXPECT_TRUE(outputs().empty());
}

TEST_F(Draw_Test, RunWritesTheDrawingOfWhatReachedTheNextRenderer) {
  const std::string script = std::string(EXAMPLES_DIR) + "/square_and_line.pic";
  const fs::path svg = output("script.svg");
  const Run_Result result = run({"run", script, "--svg", svg.string()});
  ASSERT_EQ(result.status, 0) << result.err;
  ASSERT_TRUE(well_formed(svg));
  // The line at y = 50 behind the square from x = 10 to 90: hidden in the
  // middle, visible at both ends, over the default rendition's 0..1000.
  const Drawing drawing = read_drawing(read_file(svg));
  using Segments = std::vector<std::array<long, 4>>;
  EXPECT_EQ(segments_of(drawing.layers.at("hidden")), (Segments{{10, 950, 90, 950}}));
  EXPECT_EQ(segments_of(drawing.layers.at("visible")),
            (Segments{{0, 950, 10, 950}, {90, 950, 100, 950}}));
}

}  // namespace
