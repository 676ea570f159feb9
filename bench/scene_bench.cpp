// Times the renderer's phases on one scene inside one process, so that the
// hidden-line pass can be read apart from everything around it.
//
// The scene is the one `hlr-render draw` builds (import, camera, strips,
// edge selection), from a model file or from a generated mesh, and it is
// captured through the renderer's actions as draw captures it. Then the
// steps of update run one by one, each timed: the intersection pass (which
// builds the face index), the hidden-line pass, the emission into a sink
// that only counts pieces, and the clearing of the store. With --runs N the
// renderer part is repeated N times and each figure is the median; with
// --threads N the passes use N threads (omp_set_num_threads in this
// thread; the default is the OpenMP default, every processor).
//
//   hlr_scene_bench (--model FILE | --generate terrain|sphere:TRIANGLES)
//       [--edges all|feature] [--intersections] [--view YAW,PITCH]
//       [--size W,H] [--runs N] [--threads N] [--counts]
//
// --counts adds what the pass did: how many faces the face index offered
// per edge, and the shape of the index (items per depth, crowded lists and
// their cells).
#include <omp.h>
#include <sys/resource.h>

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "bench_support.h"
#include "edge_face.h"
#include "face_index.h"
#include "generated_mesh.h"
#include "hidden_pass.h"
#include "hlr_renderer.h"
#include "intersection_pass.h"
#include "intervals.h"
#include "tool/common/clock.h"
#include "tool/models/model.h"
#include "tool/models/scene.h"

using namespace hlr_bench;
using hlr_tool::Clock;
using hlr_tool::milliseconds_since;
using hlr_tool::process_processor_milliseconds;
using hlr_tool::thread_processor_milliseconds;

namespace {

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const std::size_t n = values.size();
  return n % 2 == 1 ? values[n / 2] : 0.5 * (values[n / 2 - 1] + values[n / 2]);
}

struct Phase_Times {
  double capture = 0, intersection_pass = 0, hidden_line_pass = 0, emission = 0, clear = 0;
  double hidden_line_pass_cpu = 0;
};

struct Run_Result {
  Phase_Times times;
  std::uint64_t faces = 0, edges = 0, pieces = 0, output_hash = 0;
};

struct Pass_Counts {
  std::uint64_t edges = 0, edges_outside_root = 0, edges_fully_hidden = 0;
  std::uint64_t faces_offered = 0, max_faces_offered = 0;
  std::uint64_t interval_nodes = 0;
};

// The hidden-line pass's own loop with counters, on this thread alone; it
// offers the same faces in the same order as hide_edges, so the edges end
// in the same state.
Pass_Counts counted_hide_edges(HLR_Renderer_State& renderer) {
  Pass_Counts counts;
  const HLR_Face_Index& index = *renderer.face_index;
  const HLR_Index_Node& root = index.root();
  if (renderer.interval_pools == nullptr) renderer.interval_pools = new HLR_Interval_Pools;
  HLR_Interval_Pool& pool = renderer.interval_pools->of_thread.emplace_back();
  for (HLR_Edge* edge = renderer.edge_list.head; edge != nullptr; edge = edge->link) {
    ++counts.edges;
    if (!(root.x_max >= edge->x_min && root.y_max >= edge->y_min && edge->x_max >= root.x_min &&
          edge->y_max >= root.y_min)) {
      ++counts.edges_outside_root;
      continue;
    }
    std::uint64_t offered = 0;
    HLR_Area_Query faces(index);
    while (const HLR_Face* face =
               faces.next(edge->x_min, edge->x_max, edge->y_min, edge->y_max, edge->z_max)) {
      ++offered;
      if (test_face(*edge, renderer.depth_tolerance, *face, pool)) break;
    }
    counts.faces_offered += offered;
    counts.max_faces_offered = std::max(counts.max_faces_offered, offered);
    if (edge->t_min == 1.0) ++counts.edges_fully_hidden;
    for (const hidden_interval* n = edge->intervals; n != nullptr; n = n->next_interval) {
      ++counts.interval_nodes;
    }
  }
  return counts;
}

// The shape of the face index: nodes and items per depth, the longest
// item lists, and the cells of the crowded ones.
void print_index_shape(const HLR_Face_Index& index) {
  constexpr int depth_count = index_depth_limit + 1;
  std::uint64_t nodes[depth_count] = {}, items[depth_count] = {}, longest[depth_count] = {};
  std::uint64_t leaves_over_100 = 0, items_in_them = 0;
  for (const HLR_Index_Node& node : index.nodes()) {
    const std::uint64_t length = node.end_item - node.first_item;
    ++nodes[node.depth];
    items[node.depth] += length;
    longest[node.depth] = std::max(longest[node.depth], length);
    if (length > 100) {
      ++leaves_over_100;
      items_in_them += length;
    }
  }
  std::printf("index: depth  nodes  items  longest list\n");
  for (int d = 0; d < depth_count; ++d) {
    std::printf("index: %5d %6llu %6llu %6llu\n", d, static_cast<unsigned long long>(nodes[d]),
                static_cast<unsigned long long>(items[d]),
                static_cast<unsigned long long>(longest[d]));
  }
  std::printf("index: lists holding more than 100 items: %llu, with %llu items\n",
              static_cast<unsigned long long>(leaves_over_100),
              static_cast<unsigned long long>(items_in_them));
  std::printf("index: %zu lists with cells, %zu entries in the cells\n", index.grid_count(),
              index.cell_entry_count());
}

struct Bench_Options {
  std::string model;
  std::string generate;
  std::string edges = "all";
  bool intersections = false;
  std::string view = "35,25";
  int width = 1000;
  int height = 1000;
  int runs = 3;
  int threads = 0;  // 0: the OpenMP default
  bool counts = false;
};

Run_Result run_renderer(const hlr_tool::Scene& scene, const Bench_Options& options,
                        bool with_counts) {
  Run_Result result;
  Bench_Renderer bench(options.intersections);
  HLR_Renderer& renderer = bench.renderer();

  Clock::time_point start = Clock::now();
  renderer.establish();
  renderer.begin_picture();
  bench.capture(scene);
  result.times.capture = milliseconds_since(start);
  result.faces = renderer.face_list.count;

  // The first steps of update, one by one: the same tolerance, then the
  // two passes. update itself then only emits, as it does after a first
  // update of the picture.
  renderer.read_settings();
  set_depth_tolerance(renderer);
  if (renderer.face_list.head != nullptr) {
    start = Clock::now();
    intersection_pass(renderer);
    result.times.intersection_pass = milliseconds_since(start);
    result.edges = renderer.edge_list.count;
    start = Clock::now();
    const double cpu_start = process_processor_milliseconds();
    if (with_counts) {
      print_index_shape(*renderer.face_index);
      const Pass_Counts c = counted_hide_edges(renderer);
      std::printf(
          "pass: %llu edges, %llu outside the root box, %llu fully hidden; faces offered "
          "%llu (%.1f per edge, at most %llu); %llu interval nodes left\n",
          static_cast<unsigned long long>(c.edges),
          static_cast<unsigned long long>(c.edges_outside_root),
          static_cast<unsigned long long>(c.edges_fully_hidden),
          static_cast<unsigned long long>(c.faces_offered),
          c.edges > 0 ? static_cast<double>(c.faces_offered) / static_cast<double>(c.edges) : 0.0,
          static_cast<unsigned long long>(c.max_faces_offered),
          static_cast<unsigned long long>(c.interval_nodes));
    } else {
      hide_edges(renderer);
    }
    result.times.hidden_line_pass = milliseconds_since(start);
    result.times.hidden_line_pass_cpu = process_processor_milliseconds() - cpu_start;
  }
  start = Clock::now();
  renderer.update();
  result.times.emission = milliseconds_since(start);
  result.pieces = bench.sink().pieces;
  result.output_hash = bench.sink().output_hash;
  start = Clock::now();
  renderer.end_picture();
  result.times.clear = milliseconds_since(start);
  return result;
}

int run(const Bench_Options& options) {
  Clock::time_point start = Clock::now();
  std::vector<hlr_tool::Model> models;
  if (!options.model.empty()) {
    models.push_back(hlr_tool::load_model(options.model));
  } else {
    const std::size_t colon = options.generate.find(':');
    if (colon == std::string::npos) throw std::invalid_argument("--generate wants SHAPE:TRIANGLES");
    models.push_back(
        hlr_bench::generate_mesh(hlr_bench::parse_mesh_shape(options.generate.substr(0, colon)),
                                 std::stoul(options.generate.substr(colon + 1))));
  }
  const double import_ms = milliseconds_since(start);

  start = Clock::now();
  const hlr_tool::Scene scene =
      build_tool_scene(models, options.view, options.width, options.height, options.edges);
  models.clear();
  const double scene_ms = milliseconds_since(start);

  std::vector<Run_Result> results;
  for (int r = 0; r < options.runs; ++r) results.push_back(run_renderer(scene, options, false));
  const auto median_of = [&results](double Phase_Times::*phase) {
    std::vector<double> values;
    for (const Run_Result& r : results) values.push_back(r.times.*phase);
    return median(values);
  };

  const Run_Result& first = results.front();
  std::printf("scene: %zu triangles in %zu strips, %zu edges in %zu polylines\n",
              scene.stats.triangles, scene.stats.strips, scene.stats.edges, scene.stats.polylines);
  std::printf(
      "captured: %llu faces, %llu edges (intersection lines included), %llu pieces out, "
      "output hash %016llx\n",
      static_cast<unsigned long long>(first.faces), static_cast<unsigned long long>(first.edges),
      static_cast<unsigned long long>(first.pieces),
      static_cast<unsigned long long>(first.output_hash));
  std::printf(
      "time (ms, median of %d): import %.1f (once), scene %.1f (once), capture %.1f, "
      "intersection pass %.1f, hidden-line pass %.1f, emission %.1f, clear %.1f\n",
      options.runs, import_ms, scene_ms, median_of(&Phase_Times::capture),
      median_of(&Phase_Times::intersection_pass), median_of(&Phase_Times::hidden_line_pass),
      median_of(&Phase_Times::emission), median_of(&Phase_Times::clear));
  std::printf("hidden-line pass runs (ms):");
  for (const Run_Result& r : results) std::printf(" %.1f", r.times.hidden_line_pass);
  std::printf("; processor time median %.1f (%d threads)\n",
              median_of(&Phase_Times::hidden_line_pass_cpu), omp_get_max_threads());
  if (options.counts) run_renderer(scene, options, true);

  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  std::printf("peak RSS: %.1f MB\n", static_cast<double>(usage.ru_maxrss) / 1024.0);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app("Times the renderer's phases on one scene, in process.", "hlr_scene_bench");
  Bench_Options options;
  auto* model = app.add_option("--model", options.model, "A model file (anything the tool reads)");
  auto* generate =
      app.add_option("--generate", options.generate, "A generated mesh: terrain:N or sphere:N");
  model->excludes(generate);
  generate->excludes(model);
  app.add_option("--edges", options.edges, "all or feature")->capture_default_str();
  app.add_flag("--intersections", options.intersections, "Display intersection lines");
  app.add_option("--view", options.view, "yaw,pitch in degrees or a name")->capture_default_str();
  app.add_option("--width", options.width, "Device width")->capture_default_str();
  app.add_option("--height", options.height, "Device height")->capture_default_str();
  app.add_option("--runs", options.runs, "Renderer runs; figures are medians")
      ->check(CLI::Range(1, 1000))
      ->capture_default_str();
  app.add_option("--threads", options.threads, "Threads of the passes (0: the OpenMP default)")
      ->check(CLI::Range(0, 1024))
      ->capture_default_str();
  app.add_flag("--counts", options.counts, "One more run that counts what the pass did");
  CLI11_PARSE(app, argc, argv);
  if (options.threads > 0) omp_set_num_threads(options.threads);
  if (options.model.empty() && options.generate.empty()) {
    std::fprintf(stderr, "hlr_scene_bench: give --model FILE or --generate SHAPE:N\n");
    return 2;
  }
  try {
    return run(options);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "hlr_scene_bench: %s\n", error.what());
    return 1;
  }
}
