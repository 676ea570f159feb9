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
#include <cstdio>
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

const std::string bracket = std::string(EXAMPLES_DIR) + "/bracket.obj";

std::string read_file(const fs::path& path) {
  std::ostringstream text;
  text << std::ifstream(path, std::ios::binary).rdbuf();
  return text.str();
}

std::string quoted(const std::string& text) {
  std::string result = "'";
  for (char c : text) result += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return result + "'";
}

struct Run_Result {
  int status = -1;
  std::string out, err;
};

// A folder of its own per test, kept only when the test fails.
class Draw_Test : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = fs::temp_directory_path() /
              ("hlr_draw_" + std::to_string(getpid()) + "_" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(folder_);
    fs::create_directories(folder_ / "out");
  }
  void TearDown() override {
    if (!HasFailure()) fs::remove_all(folder_);
  }

  std::string path(const std::string& name) const { return (folder_ / name).string(); }
  std::string output(const std::string& name) const { return (folder_ / "out" / name).string(); }
  std::string write(const std::string& name, const std::string& text) const {
    std::ofstream(path(name), std::ios::binary) << text;
    return path(name);
  }

  Run_Result run(const std::vector<std::string>& arguments) const {
    std::string command = quoted(HLR_RENDER);
    for (const std::string& argument : arguments) command += " " + quoted(argument);
    command +=
        " >" + quoted(path("stdout.txt")) + " 2>" + quoted(path("stderr.txt")) + " </dev/null";
    const int raw = std::system(command.c_str());
    return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, read_file(path("stdout.txt")),
            read_file(path("stderr.txt"))};
  }

  // The names in the output folder, temporary files included.
  std::set<std::string> outputs() const {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder_ / "out"))
      names.insert(entry.path().filename().string());
    return names;
  }

 private:
  fs::path folder_;
};

bool well_formed(const std::string& svg) {
  return std::system(("xmllint --noout " + quoted(svg) + " 2>&1").c_str()) == 0;
}

// One <polyline>: the style group it is in and its points.
struct Polyline {
  std::string style;
  std::vector<std::array<double, 2>> points;
};

// The layers in the order written, and their polylines.
struct Drawing {
  std::vector<std::string> order;
  std::map<std::string, std::vector<Polyline>> layers;
  std::size_t segments(const std::string& layer) const {
    std::size_t count = 0;
    for (const Polyline& p : layers.at(layer)) count += p.points.size() - 1;
    return count;
  }
};

Drawing read_drawing(const std::string& file) {
  Drawing drawing;
  std::istringstream lines(read_file(file));
  std::string line, layer, style;
  while (std::getline(lines, line)) {
    if (line.rfind("<g id=\"", 0) == 0) {
      layer = line.substr(7, line.find('"', 7) - 7);
      drawing.order.push_back(layer);
      drawing.layers[layer];
    } else if (line.rfind("<g ", 0) == 0) {
      style = line;
    } else if (line.rfind("<polyline points=\"", 0) == 0) {
      std::istringstream pairs(line.substr(18, line.find('"', 18) - 18));
      Polyline polyline{style, {}};
      for (std::array<double, 2> p; pairs >> p[0] && pairs.ignore(1) && pairs >> p[1];)
        polyline.points.push_back(p);
      drawing.layers[layer].push_back(polyline);
    }
  }
  return drawing;
}

// The segments of a layer as sorted, rounded end-point pairs.
using Segments = std::vector<std::array<long, 4>>;
Segments segments_of(const std::vector<Polyline>& layer) {
  Segments segments;
  for (const Polyline& polyline : layer) {
    for (std::size_t k = 0; k + 1 < polyline.points.size(); ++k) {
      std::array<long, 2> a{std::lround(polyline.points[k][0]), std::lround(polyline.points[k][1])};
      std::array<long, 2> b{std::lround(polyline.points[k + 1][0]),
                            std::lround(polyline.points[k + 1][1])};
      if (b < a) std::swap(a, b);
      segments.push_back({a[0], a[1], b[0], b[1]});
    }
  }
  std::sort(segments.begin(), segments.end());
  return segments;
}

TEST_F(Draw_Test, TheBundledExampleGivesAWellFormedDrawingWithEveryKindOfLine) {
  const std::string svg = output("bracket.svg");
  // As the renderer sent it: no line precedence.
  const Run_Result result =
      run({"draw", bracket, "-o", svg, "--intersections", "--stats", "--keep-coincident"});
  ASSERT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(result.err, "");  // no progress: standard error is not a terminal
  EXPECT_EQ(outputs(), std::set<std::string>{"bracket.svg"});
  ASSERT_TRUE(well_formed(svg));
  const Drawing drawing = read_drawing(svg);
  EXPECT_EQ(drawing.order,
            (std::vector<std::string>{"hidden", "visible", "intersections", "markers"}));
  EXPECT_NE(read_file(svg).find(" width=\"1000\" height=\"1000\" viewBox=\"0 0 1000 1000\""),
            std::string::npos);
  // 622 triangles and 263 drawn edges: the part's outline, the holes and
  // the pin give some hundred and fifty to two hundred visible and as many
  // hidden pieces, and the pin's two rings of 24 sides where it passes
  // through the upright give the intersection pieces.
  const std::size_t visible = drawing.segments("visible"), hidden = drawing.segments("hidden"),
                    intersections = drawing.segments("intersections");
  EXPECT_TRUE(visible >= 120 && visible <= 260) << visible;
  EXPECT_TRUE(hidden >= 100 && hidden <= 260) << hidden;
  EXPECT_TRUE(intersections >= 20 && intersections <= 60) << intersections;
  EXPECT_TRUE(drawing.layers.at("markers").empty());
  // Every drawn piece is exactly one segment of the file.
  const std::size_t stats_at = result.out.find("pieces drawn:");
  std::size_t drawn[3] = {};
  ASSERT_EQ(std::sscanf(result.out.c_str() + std::min(stats_at, result.out.size()),
                        "pieces drawn: %zu visible, %zu hidden, %zu intersections", &drawn[0],
                        &drawn[1], &drawn[2]),
            3)
      << result.out;
  EXPECT_EQ((std::array<std::size_t, 3>{drawn[0], drawn[1], drawn[2]}),
            (std::array<std::size_t, 3>{visible, hidden, intersections}));
  EXPECT_NE(result.out.find(" 622 triangles in "), std::string::npos) << result.out;
  // Joining keeps the file small: far fewer polylines than pieces. The
  // steel and brass materials give the visible strokes; hidden lines are
  // dashed.
  std::size_t polylines = 0;
  for (const auto& [name, layer] : drawing.layers) polylines += layer.size();
  EXPECT_LT(polylines * 3, visible + hidden + intersections);
  for (const Polyline& p : drawing.layers.at("visible"))
    EXPECT_TRUE(p.style == "<g stroke=\"#334D73\">" || p.style == "<g stroke=\"#BF730D\">")
        << p.style;
  for (const Polyline& p : drawing.layers.at("hidden"))
    EXPECT_EQ(p.style, "<g stroke=\"#000000\" stroke-dasharray=\"5 5\">");
}

// --record writes the picture script of every call the drawing made on the
// renderer; `run` on it makes the same calls, so the SVG it draws from
// what reached its recording renderer is the drawing byte for byte. A
// second draw gives the same drawing and the same script.
TEST_F(Draw_Test, ARecordedDrawReplaysToTheSameDrawing) {
  const std::vector<std::string> option_sets[] = {
      {},
      {"--intersections", "--view", "iso", "--halo", "2", "--perspective", "40"},
      {"--hidden", "dotted", "--hidden-color", "80ff0000", "--wzero", "0.001", "--double",
       "--edges", "all", "--size", "640,480"},
  };
  for (const std::vector<std::string>& options : option_sets) {
    SCOPED_TRACE(options.empty() ? "defaults" : options[0]);
    for (const char* name : {"first", "second"}) {
      std::vector<std::string> arguments{"draw",     bracket,
                                         "-o",       output(name + std::string(".svg")),
                                         "--record", output(name + std::string(".pic"))};
      arguments.insert(arguments.end(), options.begin(), options.end());
      const Run_Result result = run(arguments);
      ASSERT_EQ(result.status, 0) << result.err;
    }
    const std::string drawing = read_file(output("first.svg"));
    EXPECT_GT(drawing.size(), 1000u);
    EXPECT_EQ(read_file(output("second.svg")), drawing);
    EXPECT_EQ(read_file(output("second.pic")), read_file(output("first.pic")));
    const Run_Result replay = run({"run", output("first.pic"), "--svg", output("replay.svg"),
                                   "--trace", output("replay.trace")});
    ASSERT_EQ(replay.status, 0) << replay.err;
    EXPECT_EQ(read_file(output("replay.svg")), drawing);
  }
}

// Two wavy sheets of 100 x 100 points that cut through each other: 39204
// triangles, enough for every step of the passes to be shared among
// threads, and intersection lines between them.
std::string two_sheets() {
  std::ostringstream obj;
  constexpr int n = 100;
  for (int sheet = 0; sheet < 2; ++sheet) {
    for (int i = 0; i < n; ++i) {
      for (int j = 0; j < n; ++j) {
        const double z = sheet == 0 ? 3.0 * std::sin(i * 0.3) * std::cos(j * 0.2) : 0.1 * (i - j);
        obj << "v " << i << ' ' << j << ' ' << z << '\n';
      }
    }
  }
  for (int sheet = 0; sheet < 2; ++sheet) {
    for (int i = 0; i + 1 < n; ++i) {
      for (int j = 0; j + 1 < n; ++j) {
        const int v = sheet * n * n + i * n + j + 1;
        obj << "f " << v << ' ' << v + n << ' ' << v + 1 << "\nf " << v + 1 << ' ' << v + n << ' '
            << v + n + 1 << '\n';
      }
    }
  }
  return obj.str();
}

// The renderer shares its passes among threads; the calls it hands on, and
// so the trace and the drawing, are byte for byte the same for every number
// of them: for every setting that changes what is sent (two models drawn
// together give several bodies), on a scene large enough that every step
// is shared (two_sheets), and for every golden picture.
TEST_F(Draw_Test, EveryNumberOfThreadsGivesTheSameCallsAndBytes) {
  const std::vector<std::vector<std::string>> settings = {
      {"--intersections", "--edges", "all"},
      {"--intersections", "--halo", "2", "--retain-hidden-color", "--hidden", "dotted"},
      {"--intersections", "--double", "--face-color-intersections", "--view", "iso"},
      {"--hidden", "off", "--intersections", "--intersection-pattern", "dashed"},
      {"--edges", "all", "--perspective", "40", "--wzero", "0.001"},
  };
  const std::string shifted = write(
      "pin.obj", "v 0 0 -5\nv 40 0 -5\nv 0 40 30\nv 0 0 60\nf 1 2 3\nf 1 3 4\nl 1 4\nl 2 3\n");
  std::vector<std::vector<std::string>> scenes;
  for (const auto& setting : settings) {
    scenes.push_back({"draw", bracket, shifted, "-q"});
    scenes.back().insert(scenes.back().end(), setting.begin(), setting.end());
  }
  scenes.push_back({"draw", write("sheets.obj", two_sheets()), "-q", "--intersections", "--edges",
                    "all", "--view", "30,40"});
  for (const auto& scene : scenes) {
    SCOPED_TRACE(scene[scene.size() - 2] + " " + scene.back());
    auto direct = scene;
    direct.insert(direct.end(), {"-o", output("direct.svg"), "--jobs", "1"});
    ASSERT_EQ(run(direct).status, 0);
    const std::string svg = read_file(output("direct.svg"));
    std::string trace;
    for (int threads = 1; threads <= 7; ++threads) {
      auto traced = scene;
      traced.insert(traced.end(), {"-o", output("traced.svg"), "--jobs", std::to_string(threads),
                                   "--trace", output("t.trace")});
      ASSERT_EQ(run(traced).status, 0) << threads << " threads";
      EXPECT_EQ(read_file(output("traced.svg")), svg) << threads << " threads";
      if (trace.empty()) trace = read_file(output("t.trace"));
      EXPECT_EQ(read_file(output("t.trace")), trace) << threads << " threads";
    }
    EXPECT_GT(trace.size(), 1000u);
  }
  for (const auto& golden : fs::directory_iterator(GOLDEN_DIR)) {
    if (golden.path().extension() != ".pic") continue;
    SCOPED_TRACE(golden.path().filename().string());
    const std::string expected = read_file(fs::path(golden.path()).replace_extension(".trace"));
    for (int threads = 1; threads <= 7; ++threads) {
      const std::string command =
          "cd " + quoted(GOLDEN_DIR) + " && OMP_NUM_THREADS=" + std::to_string(threads) + " " +
          quoted(HLR_RENDER) + " run " + quoted(golden.path().filename().string()) + " >" +
          quoted(output("golden.trace"));
      ASSERT_EQ(std::system(command.c_str()), 0) << threads << " threads";
      EXPECT_EQ(read_file(output("golden.trace")), expected) << threads << " threads";
    }
  }
}

// The part of the hidden length that lies on visible lines: sampled every
// half unit, a sample counts when it lies within a unit of a visible
// segment running parallel to its own within ten degrees, beside it (its
// foot on the segment, not past an end): what line precedence takes away.
// A hidden line that merely ends on a visible one, or goes on where it
// ends, does not lie on it.
double hidden_fraction_on_visible(const Drawing& drawing) {
  std::vector<std::array<double, 4>> visible;
  for (const Polyline& p : drawing.layers.at("visible"))
    for (std::size_t k = 0; k + 1 < p.points.size(); ++k)
      visible.push_back({p.points[k][0], p.points[k][1], p.points[k + 1][0], p.points[k + 1][1]});
  const double sin_parallel = std::sin(10.0 * 3.14159265358979 / 180.0);
  double total = 0.0, on = 0.0;
  for (const Polyline& p : drawing.layers.at("hidden")) {
    for (std::size_t k = 0; k + 1 < p.points.size(); ++k) {
      const double ax = p.points[k][0], ay = p.points[k][1];
      const double sx = p.points[k + 1][0] - ax, sy = p.points[k + 1][1] - ay;
      const double length = std::hypot(sx, sy);
      const int samples = std::max(1, int(std::ceil(length / 0.5)));
      for (int i = 0; i < samples; ++i) {
        const double t = (i + 0.5) / samples, x = ax + t * sx, y = ay + t * sy;
        total += length / samples;
        for (const auto& v : visible) {
          const double vx = v[2] - v[0], vy = v[3] - v[1], v_length = std::hypot(vx, vy);
          if (std::fabs(sx * vy - sy * vx) > sin_parallel * length * v_length) continue;
          const double u = ((x - v[0]) * vx + (y - v[1]) * vy) / (v_length * v_length);
          if (u < 0.0 || u > 1.0) continue;
          if (std::hypot(x - v[0] - u * vx, y - v[1] - u * vy) <= 1.0) {
            on += length / samples;
            break;
          }
        }
      }
    }
  }
  return total > 0.0 ? on / total : 0.0;
}

// Drafting's line precedence: in the bracket's front view most hidden
// lines lie on visible ones (the back edges behind the front ones); drawn
// with precedence under 1% of the hidden length is left there, and with
// --keep-coincident the drawing is the renderer's own, which `run
// --keep-coincident` replays from the recorded script byte for byte. So
// on fandisk's right view, where Debian's libcgal-demo meshes have been
// fetched (bench/bench_lib.sh).
TEST_F(Draw_Test, HiddenLinesOnVisibleOnesAreLeftOutUnlessKept) {
  std::vector<std::pair<std::string, std::string>> models{{bracket, "front"}};
  if (const char* home = std::getenv("HOME"); home != nullptr) {
    const fs::path fandisk = fs::path(home) / ".cache/hlr-bench/data/meshes/fandisk.off";
    if (fs::exists(fandisk)) models.push_back({fandisk.string(), "right"});
  }
  for (const auto& [model, view] : models) {
    SCOPED_TRACE(model);
    ASSERT_EQ(run({"draw", model, "-o", output("thin.svg"), "--view", view}).status, 0);
    ASSERT_EQ(run({"draw", model, "-o", output("kept.svg"), "--view", view, "--keep-coincident",
                   "--record", output("kept.pic")})
                  .status,
              0);
    const double thin = hidden_fraction_on_visible(read_drawing(output("thin.svg")));
    const double kept = hidden_fraction_on_visible(read_drawing(output("kept.svg")));
    EXPECT_LT(thin, 0.01);
    EXPECT_GT(kept, 0.5);
    ASSERT_EQ(run({"run", output("kept.pic"), "--svg", output("replay.svg"), "--keep-coincident",
                   "--trace", output("t.trace")})
                  .status,
              0);
    EXPECT_EQ(read_file(output("replay.svg")), read_file(output("kept.svg")));
    // The visible lines are the same either way.
    EXPECT_EQ(segments_of(read_drawing(output("thin.svg")).layers.at("visible")),
              segments_of(read_drawing(output("kept.svg")).layers.at("visible")));
  }
  if (models.size() < 2) {
    std::printf("fandisk: skipped (no ~/.cache/hlr-bench/data/meshes/fandisk.off)\n");
  }
}

// Two squares facing the viewer (front view looks along -z): a large one at
// z = 1 and a smaller one behind it at z = 0, each two triangles. The large
// square fills the drawing less its margin, 50..950 both ways; the small
// one, half as wide, lies at 275..725, wholly behind the large one.
const std::string two_squares =
    "v -1 -1 1\nv 1 -1 1\nv 1 1 1\nv -1 1 1\nv -0.5 -0.5 0\nv 0.5 -0.5 0\nv 0.5 0.5 0\nv -0.5 0.5 "
    "0\n"
    "f 1 2 3\nf 1 3 4\nf 5 6 7\nf 5 7 8\n";

TEST_F(Draw_Test, ASquareBehindAnotherIsDrawnHiddenAndTheFrontOneVisible) {
  const std::string svg = output("squares.svg");
  const Run_Result result =
      run({"draw", write("squares.obj", two_squares), "-o", svg, "--view", "front"});
  ASSERT_EQ(result.status, 0) << result.err;
  ASSERT_TRUE(well_formed(svg));
  const Drawing drawing = read_drawing(svg);
  // The boundary edges only: the diagonals join faces in one plane. Each
  // square is one closed polyline.
  EXPECT_EQ(
      segments_of(drawing.layers.at("visible")),
      (Segments{{50, 50, 50, 950}, {50, 50, 950, 50}, {50, 950, 950, 950}, {950, 50, 950, 950}}));
  EXPECT_EQ(
      segments_of(drawing.layers.at("hidden")),
      (Segments{
          {275, 275, 275, 725}, {275, 275, 725, 275}, {275, 725, 725, 725}, {725, 275, 725, 725}}));
  EXPECT_EQ(drawing.layers.at("visible").size(), 1u);
  EXPECT_EQ(drawing.layers.at("hidden").size(), 1u);
  EXPECT_TRUE(drawing.layers.at("intersections").empty());
}

// Each line option reaches the drawing as the style of its layer: the
// hidden one of the squares, and the intersection line of a square at
// z = 0 and a second one standing through it.
TEST_F(Draw_Test, LineOptionsChooseTheStyleOfTheirLayer) {
  const std::string squares = write("squares.obj", two_squares);
  const std::string crossing =
      write("crossing.obj",
            "v -1 -1 0\nv 1 -1 0\nv 1 1 0\nv -1 1 0\nv -0.5 -1 -1\n"
            "v 0.5 -1 1\nv 0.5 1 1\nv -0.5 1 -1\nf 1 2 3\nf 1 3 4\nf 5 6 7\nf 5 7 8\n");
  const struct {
    const std::string& model;
    std::vector<std::string> options;
    std::string layer, style;  // style "" when the layer stays empty
  } cases[] = {
      {squares, {"--hidden", "off"}, "hidden", ""},
      {squares,
       {"--hidden", "dotted"},
       "hidden",
       "<g stroke=\"#000000\" stroke-dasharray=\"0.5 2.5\">"},
      {squares,
       {"--hidden", "dash-dot", "--stroke", "2", "--hidden-color", "80112233"},
       "hidden",
       "<g stroke=\"#112233\" stroke-opacity=\"0.502\" stroke-dasharray=\"14 6 1 6\">"},
      // The model's own colour, black, not the hidden colour.
      {squares,
       {"--retain-hidden-color", "--hidden-color", "red"},
       "hidden",
       "<g stroke=\"#000000\" stroke-dasharray=\"5 5\">"},
      {crossing,
       {"--intersections", "--intersection-color", "blue", "--intersection-pattern", "dashed"},
       "intersections",
       "<g stroke=\"#0000FF\" stroke-dasharray=\"5 5\">"},
  };
  for (const auto& c : cases) {
    std::vector<std::string> arguments{"draw", c.model, "-o", output("s.svg"), "--view", "front"};
    arguments.insert(arguments.end(), c.options.begin(), c.options.end());
    const Run_Result result = run(arguments);
    ASSERT_EQ(result.status, 0) << result.err;
    const Drawing drawing = read_drawing(output("s.svg"));
    std::set<std::string> styles;
    for (const Polyline& p : drawing.layers.at(c.layer)) styles.insert(p.style);
    EXPECT_EQ(styles, c.style.empty() ? std::set<std::string>{} : std::set<std::string>{c.style})
        << c.options[1];
  }
}

// Faulty input: status 2, one line on standard error that starts as given
// (after "hlr-render draw: " and the model's path when a model file is at
// fault) and ends so, nothing in the output folder, and an existing output
// file left alone. What each option accepts is the option table's, the
// same text Python's ValueError carries (tests/python/test_errors.py).
TEST_F(Draw_Test, EachBadInputGivesItsMessageAndStatusAndNoOutput) {
  const struct {
    std::string model;  // a file written here, "missing.obj" (not written), or "" for the example
    std::string model_text;
    std::vector<std::string> options;
    std::string start, end;
  } cases[] = {
      {"missing.obj", "", {}, ": no such file", ""},
      {"bad.xyz", "hello, this is not a model\n", {}, ": cannot read the model: ", ""},
      {"nan.obj", "v 0 0 0\nv 1 0 0\nv 0 nan 0\nf 1 2 3\n", {}, ":4: coordinate is not finite", ""},
      {"points.obj",
       "v 0 0 0\nv 1 1 1\nv 2 2 2\np 1 2 3\n",
       {},
       ": holds no triangles and no lines",
       ""},
      {"flat.obj",
       "v 0 0 0\nv 1 0 0\nv 0 0 0\nf 1 2 3\n",
       {},
       ": holds no triangles and no lines",
       ""},
      {"",
       "",
       {"--hidden", "dotdash"},
       "--hidden: expected one of dashed, dotted, dash-dot, solid, off, not 'dotdash'",
       ""},
      {"",
       "",
       {"--intersection"},
       "unknown option --intersection; did you mean --intersections?",
       ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.model + " " + (c.options.empty() ? "" : c.options[0]));
    const std::string model = c.model.empty()        ? bracket
                              : c.model_text.empty() ? path(c.model)
                                                     : write(c.model, c.model_text);
    fs::remove_all(path("out"));
    fs::create_directories(path("out"));
    std::ofstream(output("old.svg")) << "old\n";
    for (const char* name : {"new.svg", "old.svg"}) {
      std::vector<std::string> arguments{"draw", model, "-o", output(name)};
      arguments.insert(arguments.end(), c.options.begin(), c.options.end());
      const Run_Result result = run(arguments);
      EXPECT_EQ(result.status, 2) << result.err;
      const std::string start = "hlr-render draw: " + (c.model.empty() ? "" : model) + c.start;
      EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << result.err;
      EXPECT_EQ(result.err.rfind(start, 0), 0u) << result.err;
      EXPECT_TRUE(result.err.size() > start.size() + c.end.size() &&
                  result.err.compare(result.err.size() - c.end.size() - 1, c.end.size(), c.end) ==
                      0)
          << result.err;
      EXPECT_EQ(result.out, "");
      EXPECT_EQ(outputs(), std::set<std::string>{"old.svg"});
      EXPECT_EQ(read_file(output("old.svg")), "old\n");
    }
  }
  // A mistyped command is named with the one meant.
  EXPECT_EQ(
      run({"drw", bracket}).err,
      "hlr-render: unknown command 'drw'; did you mean draw? (commands: draw, run, view, batch)\n");
}

// Mesh files are read on several threads at once; the error is still that
// of the first faulty file in the order given, though a later one (a line
// of text) fails long before the first (a large file whose last vertex is
// not a number) has been read.
TEST_F(Draw_Test, OfSeveralFaultyFilesTheFirstGivenIsReported) {
  std::string slow;
  for (int i = 0; i < 200000; ++i) slow += "v 0 0 " + std::to_string(i) + "\n";
  slow += "v 0 nan 0\nf 1 2 200001\n";
  const std::string first = write("slow.obj", slow);
  const std::string second = write("quick.xyz", "hello, this is not a model\n");
  for (const auto& [models, start] :
       {std::pair{std::vector{first, second}, first + ":200002: coordinate is not finite"},
        std::pair{std::vector{second, first}, second + ": cannot read the model: "}}) {
    std::vector<std::string> arguments{"draw"};
    arguments.insert(arguments.end(), models.begin(), models.end());
    arguments.insert(arguments.end(), {"-o", output("out.svg"), "--quiet"});
    const Run_Result result = run(arguments);
    EXPECT_EQ(result.status, 2) << result.err;
    EXPECT_EQ(result.err.rfind("hlr-render draw: " + start, 0), 0u) << result.err;
    EXPECT_TRUE(outputs().empty());
  }
}

// The drawing is written as it is formatted; a file that cannot take all
// of it (here a limit on file size) fails the run and leaves what was
// there before, and no piece of the new one.
TEST_F(Draw_Test, AnOutputThatCannotBeWrittenWhollyLeavesTheOldFile) {
  std::ofstream(output("old.svg")) << "old\n";
  const std::string command =
      "bash -c " +
      quoted("trap '' XFSZ; ulimit -f 16; exec " + quoted(HLR_RENDER) + " draw " + quoted(bracket) +
             " -o " + quoted(output("old.svg")) + " --edges all --quiet") +
      " 2>" + quoted(path("stderr.txt"));
  const int raw = std::system(command.c_str());
  ASSERT_TRUE(WIFEXITED(raw));
  EXPECT_EQ(WEXITSTATUS(raw), 1);
  const std::string err = read_file(path("stderr.txt"));
  EXPECT_EQ(err, "hlr-render draw: cannot write " + output("old.svg") + ": File too large\n");
  EXPECT_EQ(outputs(), std::set<std::string>{"old.svg"});
  EXPECT_EQ(read_file(output("old.svg")), "old\n");
  // Without the limit the same run writes it (so the drawing is larger
  // than the limit).
  ASSERT_EQ(run({"draw", bracket, "-o", output("old.svg"), "--edges", "all", "--quiet"}).status, 0);
  EXPECT_GT(read_file(output("old.svg")).size(), 16u * 1024u);
}

// The module is not the user's input: status 1, and nothing written.
TEST_F(Draw_Test, AModuleThatCannotBeLoadedFailsBeforeWriting) {
  const Run_Result result =
      run({"draw", bracket, "-o", output("out.svg"), "--module", "/nonexistent/libnone.so"});
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(
      result.err.rfind("hlr-render draw: /nonexistent/libnone.so: cannot load renderer module", 0),
      0u)
      << result.err;
  EXPECT_TRUE(outputs().empty());
}

// Assimp and cairo are dynamically linked only by a run that uses them:
// a model the tool's own readers take, drawn to SVG or DXF, loads neither.
TEST_F(Draw_Test, AssimpAndCairoAreLoadedOnlyByTheRunsThatUseThem) {
  // A pentagon: the tool's OFF reader leaves it to Assimp.
  const std::string pentagon =
      write("pentagon.off", "OFF\n5 1 0\n0 0 0\n1 0 0\n1 1 0\n.5 2 0\n0 1 0\n5 0 1 2 3 4\n");
  struct Row {
    std::string model, output;
    bool assimp, cairo;
  };
  const std::vector<Row> rows = {{bracket, "out.svg", false, false},
                                 {bracket, "out.pdf", false, true},
                                 {pentagon, "out.dxf", true, false}};
  // The dynamic linker names every library it loads on standard error.
  setenv("LD_DEBUG", "files", 1);
  for (const Row& row : rows) {
    SCOPED_TRACE(row.model + " to " + row.output);
    const Run_Result result = run({"draw", row.model, "-o", output(row.output), "--quiet"});
    EXPECT_EQ(result.status, 0);
    EXPECT_NE(result.err.find("file=libstdc++.so"), std::string::npos);
    EXPECT_EQ(result.err.find("file=libassimp.so") != std::string::npos, row.assimp);
    EXPECT_EQ(result.err.find("file=libcairo.so") != std::string::npos, row.cairo);
  }
  unsetenv("LD_DEBUG");
}

}  // namespace
