// Micro benchmarks of the hot operations: the edge-against-face test on its
// main paths, the interval bookkeeping, the face index (building it and the
// three queries), the face-pair intersection, and the two passes on a dense
// generated terrain on 1 and 2 threads, with a count of what the hidden-line
// pass allocates.
#include <benchmark/benchmark.h>
#include <omp.h>

#include <algorithm>
#include <initializer_list>
#include <map>
#include <memory>
#include <random>
#include <utility>
#include <vector>

#include "allocation_counter.h"
#include "bench_support.h"
#include "edge_face.h"
#include "face_index.h"
#include "face_pair.h"
#include "generated_mesh.h"
#include "hidden_pass.h"
#include "intersection_pass.h"
#include "intervals.h"
#include "store.h"

using namespace hlr_bench;

namespace {

// The fields of an edge that the hidden-line pass changes; restoring them
// (and letting go of the intervals, which stay with their pool) gives the
// edge back as captured.
struct Edge_State {
  float x_min, x_max, y_min, y_max, z_max;
  double t_min, t_max;
};

Edge_State state_of(const HLR_Edge& e) {
  return {e.x_min, e.x_max, e.y_min, e.y_max, e.z_max, e.t_min, e.t_max};
}

void restore(HLR_Edge& e, const Edge_State& s) {
  e.intervals = nullptr;
  e.intervals_tail = nullptr;
  e.x_min = s.x_min;
  e.x_max = s.x_max;
  e.y_min = s.y_min;
  e.y_max = s.y_max;
  e.z_max = s.z_max;
  e.t_min = s.t_min;
  e.t_max = s.t_max;
}

// A renderer holding one face, the triangle (0,0) (100,0) (0,100) at depth
// 10, and the edges the test_face benchmarks send against it.
struct Face_Scene {
  Bench_Renderer bench{false};
  HLR_Face* face = nullptr;
  HLR_Interval_Pool intervals;

  Face_Scene() {
    HLR_Renderer& r = bench.renderer();
    r.extent = empty_extent;
    make_face(r, r.renderer_rendition, {}, {}, {0, 0, 10}, {100, 0, 10}, {0, 100, 10});
    face = r.face_list.head;
  }
  HLR_Edge* edge(KT_Point p, KT_Point q) {
    HLR_Renderer& r = bench.renderer();
    make_edge(r, r.renderer_rendition, {}, p, q, 0.0f, 1.0f);
    return r.edge_list.tail;
  }
};

void run_test_face(benchmark::State& state, KT_Point p, KT_Point q) {
  Face_Scene scene;
  HLR_Edge* edge = scene.edge(p, q);
  const Edge_State captured = state_of(*edge);
  for (auto _ : state) {
    free_intervals(*edge, scene.intervals);
    restore(*edge, captured);
    benchmark::DoNotOptimize(test_face(*edge, 0.1f, *scene.face, scene.intervals));
    benchmark::ClobberMemory();
  }
  restore(*edge, captured);
}

// In front of the plane: rejected after the two plane values, the commonest
// answer in a real picture.
void BM_test_face_miss_in_front(benchmark::State& state) {
  run_test_face(state, {10, 10, 5}, {40, 20, 5});
}
// Behind the plane but beside the triangle: runs the whole covered_span.
void BM_test_face_miss_beside(benchmark::State& state) {
  run_test_face(state, {60, 60, 20}, {90, 70, 20});
}
// Behind, both ends inside: fully hidden by the one face.
void BM_test_face_hit_whole(benchmark::State& state) {
  run_test_face(state, {10, 10, 20}, {40, 20, 20});
}
// Behind, passing from outside to outside: one hidden interval (one node
// taken from the pool and given back per iteration).
void BM_test_face_hit_interval(benchmark::State& state) {
  run_test_face(state, {-10, 30, 20}, {110, 40, 20});
}
// Piercing the triangle: the part behind, from the piercing point on.
void BM_test_face_hit_piercing(benchmark::State& state) {
  run_test_face(state, {10, 10, 5}, {40, 20, 15});
}
BENCHMARK(BM_test_face_miss_in_front);
BENCHMARK(BM_test_face_miss_beside);
BENCHMARK(BM_test_face_hit_whole);
BENCHMARK(BM_test_face_hit_interval);
BENCHMARK(BM_test_face_hit_piercing);

// Random hidden intervals on a long edge (tolerance 1e-5): merges, inserts
// and trims at both ends, 256 per iteration, then the list is freed.
void BM_hide_interval_sequence(benchmark::State& state) {
  Face_Scene scene;
  HLR_Edge* edge = scene.edge({0, 0, 1}, {1000, 0, 1});
  const Edge_State captured = state_of(*edge);
  std::mt19937 random(12345);
  std::uniform_real_distribution<double> start(0.0, 1.0);
  std::uniform_real_distribution<double> length(1e-4, static_cast<double>(state.range(0)) * 1e-4);
  std::vector<HLR_Span> spans;
  for (int i = 0; i < 256; ++i) {
    const double from = start(random);
    spans.push_back({from, std::min(1.0, from + length(random))});
  }
  std::uint64_t nodes_left = 0;
  for (auto _ : state) {
    free_intervals(*edge, scene.intervals);
    restore(*edge, captured);
    for (const HLR_Span& s : spans) hide_interval(*edge, s.from, s.to, scene.intervals);
    benchmark::ClobberMemory();
  }
  for (const hidden_interval* n = edge->intervals; n != nullptr; n = n->next_interval) ++nodes_left;
  free_intervals(*edge, scene.intervals);
  restore(*edge, captured);
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(spans.size()));
  state.counters["nodes_left"] = static_cast<double>(nodes_left);
}
BENCHMARK(BM_hide_interval_sequence)->Arg(5)->Arg(50);

// Trims from both ends towards the middle, with a few nodes in between to
// absorb: hide_start, hide_end and their box refresh.
void BM_hide_start_end(benchmark::State& state) {
  Face_Scene scene;
  HLR_Edge* edge = scene.edge({0, 0, 1}, {1000, 300, 1});
  const Edge_State captured = state_of(*edge);
  for (auto _ : state) {
    free_intervals(*edge, scene.intervals);
    restore(*edge, captured);
    for (int k = 1; k < 8; ++k) hide_interval(*edge, 0.1 * k, 0.1 * k + 0.02, scene.intervals);
    for (int k = 1; k < 16; ++k) {
      hide_start(*edge, 0.03 * k, scene.intervals);
      hide_end(*edge, 1.0 - 0.03 * k, scene.intervals);
    }
    benchmark::ClobberMemory();
  }
  restore(*edge, captured);
  state.SetItemsProcessed(state.iterations() * 30);
}
BENCHMARK(BM_hide_start_end);

// A captured terrain scene with its face index, built once per size and
// kept for every benchmark that asks for it. Edges are all the triangle
// edges, intersections off.
struct Terrain_Scene {
  Bench_Renderer bench{false};
  std::vector<Edge_State> captured;

  explicit Terrain_Scene(std::size_t triangles) {
    const hlr_tool::Model model = generate_mesh(Mesh_Shape::terrain, triangles);
    const hlr_tool::Scene scene =
        build_tool_scene(std::span(&model, 1), "35,25", 1000, 1000, "all");
    HLR_Renderer& r = bench.renderer();
    r.establish();
    r.begin_picture();
    bench.capture(scene);
    r.read_settings();
    set_depth_tolerance(r);
    intersection_pass(r);
    for (HLR_Edge* e = r.edge_list.head; e != nullptr; e = e->link)
      captured.push_back(state_of(*e));
  }
  HLR_Renderer& renderer() { return bench.renderer(); }
  // The edges as captured, their interval pools gone.
  void restore_edges() {
    std::size_t k = 0;
    for (HLR_Edge* e = renderer().edge_list.head; e != nullptr; e = e->link)
      restore(*e, captured[k++]);
    delete std::exchange(renderer().interval_pools, nullptr);
  }
};

Terrain_Scene& terrain_scene(std::size_t triangles) {
  static std::map<std::size_t, std::unique_ptr<Terrain_Scene>> scenes;
  auto& scene = scenes[triangles];
  if (!scene) scene = std::make_unique<Terrain_Scene>(triangles);
  return *scene;
}

// The terrain sizes and thread counts of the benchmarks that run a pass:
// range(0) triangles, range(1) threads (omp_set_num_threads in the
// benchmark's thread, as the tool's renderer session sets it).
void with_threads(benchmark::internal::Benchmark* b, std::initializer_list<std::int64_t> sizes) {
  for (std::int64_t size : sizes) {
    for (std::int64_t threads : {1, 2}) b->Args({size, threads});
  }
  b->Unit(benchmark::kMillisecond)->UseRealTime();
}

// Building the whole index over the terrain's faces, as the intersection
// pass does.
void BM_index_build(benchmark::State& state) {
  HLR_Renderer& r = terrain_scene(static_cast<std::size_t>(state.range(0))).renderer();
  omp_set_num_threads(static_cast<int>(state.range(1)));
  const HLR_Index_Node& root = r.face_index->root();
  std::vector<HLR_Face*> faces;
  for (HLR_Face* f = r.face_list.head; f != nullptr; f = f->link) faces.push_back(f);
  for (auto _ : state) {
    HLR_Face_Index index({root.x_min, root.x_max, root.y_min, root.y_max}, faces);
    benchmark::DoNotOptimize(index.nodes().data());
  }
  state.SetItemsProcessed(state.iterations() * r.face_list.count);
  state.counters["cell_entries_per_face"] =
      static_cast<double>(r.face_index->cell_entry_count()) / r.face_list.count;
}
BENCHMARK(BM_index_build)->Apply([](auto* b) { with_threads(b, {100000, 1000000}); });

// One whole iteration per query, over the first 20000 edges (area, with
// the edge's box and z_max as the hidden-line pass starts it; point, at the
// edge's start with its depth) or faces (box, as the intersection pass
// asks: the faces before its own).
constexpr int queries_per_iteration = 20000;

void BM_index_query_area(benchmark::State& state) {
  HLR_Renderer& r = terrain_scene(static_cast<std::size_t>(state.range(0))).renderer();
  const HLR_Face_Index& index = *r.face_index;
  std::uint64_t answers = 0;
  for (auto _ : state) {
    answers = 0;
    int n = 0;
    for (HLR_Edge* e = r.edge_list.head; e != nullptr && n < queries_per_iteration;
         e = e->link, ++n) {
      HLR_Area_Query faces(index);
      while (faces.next(e->x_min, e->x_max, e->y_min, e->y_max, e->z_max) != nullptr) ++answers;
    }
  }
  state.SetItemsProcessed(state.iterations() * queries_per_iteration);
  state.counters["answers_per_query"] = static_cast<double>(answers) / queries_per_iteration;
}
BENCHMARK(BM_index_query_area)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);

void BM_index_query_box(benchmark::State& state) {
  HLR_Renderer& r = terrain_scene(static_cast<std::size_t>(state.range(0))).renderer();
  const HLR_Face_Index& index = *r.face_index;
  std::uint64_t answers = 0;
  const auto queries =
      static_cast<std::uint32_t>(std::min<std::size_t>(queries_per_iteration, index.face_count()));
  for (auto _ : state) {
    answers = 0;
    for (std::uint32_t k = 0; k < queries; ++k) {
      const KT_Point* v = index.face(k)->vertices;
      HLR_Box_Query partners(index, k);
      while (partners.next(std::min({v[0].x, v[1].x, v[2].x}), std::max({v[0].x, v[1].x, v[2].x}),
                           std::min({v[0].y, v[1].y, v[2].y}), std::max({v[0].y, v[1].y, v[2].y}),
                           std::min({v[0].z, v[1].z, v[2].z}),
                           std::max({v[0].z, v[1].z, v[2].z})) != nullptr) {
        ++answers;
      }
    }
  }
  state.SetItemsProcessed(state.iterations() * queries);
  state.counters["answers_per_query"] = static_cast<double>(answers) / queries;
}
BENCHMARK(BM_index_query_box)->Arg(100000)->Unit(benchmark::kMillisecond);

void BM_index_query_point(benchmark::State& state) {
  HLR_Renderer& r = terrain_scene(static_cast<std::size_t>(state.range(0))).renderer();
  const HLR_Face_Index& index = *r.face_index;
  std::uint64_t answers = 0;
  for (auto _ : state) {
    answers = 0;
    int n = 0;
    for (HLR_Edge* e = r.edge_list.head; e != nullptr && n < queries_per_iteration;
         e = e->link, ++n) {
      const KT_Point p = point_at(*e, 0.5);
      HLR_Point_Query faces(index);
      while (faces.next(p.x, p.y, p.z) != nullptr) ++answers;
    }
  }
  state.SetItemsProcessed(state.iterations() * queries_per_iteration);
  state.counters["answers_per_query"] = static_cast<double>(answers) / queries_per_iteration;
}
BENCHMARK(BM_index_query_point)->Arg(100000)->Unit(benchmark::kMillisecond);

// Two triangles that cut through one another (a line is captured, through
// the clipped polyline intake, into a second renderer whose records are
// cleared now and then, untimed), and two whose planes keep them apart
// (rejected after a's three plane distances).
void run_face_pair(benchmark::State& state, bool crossing) {
  Bench_Renderer bench(true);
  HLR_Renderer& r = bench.renderer();
  r.establish();
  r.begin_picture();
  r.read_settings();
  r.extent = empty_extent;
  r.depth_tolerance = 0.1f;
  r.renderer_rendition.set_clip_rectangle({0, 1000, 0, 1000});
  make_face(r, r.renderer_rendition, {}, {}, {100, 100, 10}, {300, 100, 10}, {100, 300, 10});
  const float z0 = crossing ? 5.0f : 20.0f;
  const float z1 = crossing ? 15.0f : 30.0f;
  // b's plane meets a's (z = 10) along x = 185 when crossing: the line runs
  // from (185, 150) to (185, 165), inside both triangles.
  make_face(r, r.renderer_rendition, {}, {}, {120, 150, z0}, {250, 150, z1}, {120, 180, z0});
  HLR_Face* b = r.face_list.head;
  HLR_Face* a = b->link;
  KT_Rendition rendition = r.renderer_rendition;
  Bench_Renderer capture(true);
  HLR_Renderer& c = capture.renderer();
  c.read_settings();
  c.depth_tolerance = r.depth_tolerance;
  std::int64_t lines = 0;
  for (auto _ : state) {
    intersect_face_pair(c, rendition, a, b);
    if (c.edge_list.count == 4096) {
      state.PauseTiming();
      lines += c.edge_list.count;
      clear_records(c);
      state.ResumeTiming();
    }
  }
  lines += c.edge_list.count;
  state.counters["lines_per_call"] =
      static_cast<double>(lines) /
      static_cast<double>(std::max<std::int64_t>(state.iterations(), 1));
}
void BM_intersect_face_pair_crossing(benchmark::State& state) { run_face_pair(state, true); }
void BM_intersect_face_pair_apart(benchmark::State& state) { run_face_pair(state, false); }
BENCHMARK(BM_intersect_face_pair_crossing);
BENCHMARK(BM_intersect_face_pair_apart);

// The whole hidden-line pass over a terrain with all its edges, the edges
// given back as captured before every run (not timed). The first run is
// counted: every operator new call during the pass, and the interval nodes
// alive at the end. The pass takes its nodes from a pool per thread, so
// its allocations must not grow with the edges: more than a handful (the
// chunk list, the pools and their first blocks) makes the benchmark fail.
void BM_hide_edges(benchmark::State& state) {
  Terrain_Scene& scene = terrain_scene(static_cast<std::size_t>(state.range(0)));
  HLR_Renderer& r = scene.renderer();
  omp_set_num_threads(static_cast<int>(state.range(1)));

  scene.restore_edges();
  allocation_counter::start(sizeof(hidden_interval));
  hide_edges(r);
  const allocation_counter::Counts counts = allocation_counter::stop();
  std::uint64_t alive = 0;
  std::uint64_t hidden_whole = 0;
  for (const HLR_Edge* e = r.edge_list.head; e != nullptr; e = e->link) {
    if (e->t_min == 1.0) ++hidden_whole;
    for (const hidden_interval* n = e->intervals; n != nullptr; n = n->next_interval) ++alive;
  }
  if (counts.allocations > 4 + 2 * static_cast<std::uint64_t>(state.range(1))) {
    state.SkipWithError("the hidden-line pass allocated in its loop");
  }

  for (auto _ : state) {
    state.PauseTiming();
    scene.restore_edges();
    state.ResumeTiming();
    hide_edges(r);
  }
  state.SetItemsProcessed(state.iterations() * r.edge_list.count);
  state.counters["faces"] = static_cast<double>(r.face_list.count);
  state.counters["edges"] = static_cast<double>(r.edge_list.count);
  state.counters["edges_hidden_whole"] = static_cast<double>(hidden_whole);
  state.counters["allocations"] = static_cast<double>(counts.allocations);
  state.counters["interval_nodes_alive"] = static_cast<double>(alive);
}
BENCHMARK(BM_hide_edges)->Apply([](auto* b) { with_threads(b, {20000, 100000, 1000000}); });

// The intersection pass with intersections displayed: the index build and
// every face's box query and pair tests, on the terrain (whose faces meet
// only along their edges: no line is captured).
void BM_intersection_pass(benchmark::State& state) {
  HLR_Renderer& r = terrain_scene(static_cast<std::size_t>(state.range(0))).renderer();
  omp_set_num_threads(static_cast<int>(state.range(1)));
  const std::uint32_t edges = r.edge_list.count;
  r.display_intersections = true;
  for (auto _ : state) {
    state.PauseTiming();
    delete std::exchange(r.face_index, nullptr);
    state.ResumeTiming();
    intersection_pass(r);
  }
  r.display_intersections = false;
  if (r.edge_list.count != edges) state.SkipWithError("the terrain's faces crossed");
  state.SetItemsProcessed(state.iterations() * r.face_list.count);
}
BENCHMARK(BM_intersection_pass)->Apply([](auto* b) { with_threads(b, {100000, 1000000}); });

}  // namespace

BENCHMARK_MAIN();
