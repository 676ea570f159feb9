// Micro benchmarks of the hot operations: the edge-against-face test on its
// main paths, the interval bookkeeping, the face index (insertion and the
// three queries), the face-pair intersection, and the whole hidden-line
// pass on a dense generated terrain, with a count of what the pass
// allocates.
#include <benchmark/benchmark.h>

#include <map>
#include <memory>
#include <random>
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
// (and freeing the intervals) gives the edge back as captured.
struct Edge_State {
  float x_min, x_max, y_min, y_max, z_max;
  double t_min, t_max;
};

Edge_State state_of(const HLR_Edge& e) {
  return {e.x_min, e.x_max, e.y_min, e.y_max, e.z_max, e.t_min, e.t_max};
}

void restore(HLR_Edge& e, const Edge_State& s) {
  free_intervals(e);
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

  Face_Scene() {
    HLR_Renderer& r = bench.renderer();
    r.extent = empty_extent;
    make_face(r, r.renderer_rendition, {}, {}, {0, 0, 10}, {100, 0, 10}, {0, 100, 10});
    face = r.face_list.head;
  }
  HLR_Edge* edge(KT_Point p, KT_Point q) {
    HLR_Renderer& r = bench.renderer();
    make_edge(r.edge_list, r.renderer_rendition, {}, p, q, 0.0f, 1.0f);
    return r.edge_list.tail;
  }
};

void run_test_face(benchmark::State& state, KT_Point p, KT_Point q) {
  Face_Scene scene;
  HLR_Edge* edge = scene.edge(p, q);
  const Edge_State captured = state_of(*edge);
  for (auto _ : state) {
    restore(*edge, captured);
    benchmark::DoNotOptimize(test_face(*edge, 0.1f, *scene.face));
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
// allocated and freed per iteration).
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
    restore(*edge, captured);
    for (const HLR_Span& s : spans) hide_interval(*edge, s.from, s.to);
    benchmark::ClobberMemory();
  }
  for (const hidden_interval* n = edge->intervals; n != nullptr; n = n->next_interval) ++nodes_left;
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
    restore(*edge, captured);
    for (int k = 1; k < 8; ++k) hide_interval(*edge, 0.1 * k, 0.1 * k + 0.02);
    for (int k = 1; k < 16; ++k) {
      hide_start(*edge, 0.03 * k);
      hide_end(*edge, 1.0 - 0.03 * k);
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
  void restore_edges() {
    std::size_t k = 0;
    for (HLR_Edge* e = renderer().edge_list.head; e != nullptr; e = e->link)
      restore(*e, captured[k++]);
  }
};

Terrain_Scene& terrain_scene(std::size_t triangles) {
  static std::map<std::size_t, std::unique_ptr<Terrain_Scene>> scenes;
  auto& scene = scenes[triangles];
  if (!scene) scene = std::make_unique<Terrain_Scene>(triangles);
  return *scene;
}

// Building a whole index over the terrain's faces: one item per face,
// nodes as they are first needed.
void BM_index_insert(benchmark::State& state) {
  HLR_Renderer& r = terrain_scene(static_cast<std::size_t>(state.range(0))).renderer();
  const HLR_Index_Node* built = r.face_index;
  for (auto _ : state) {
    auto* root = new HLR_Index_Node{};
    make_index_node(root, nullptr, nullptr, built->x_min, built->x_max, built->y_min, built->y_max);
    for (HLR_Face* f = r.face_list.head; f != nullptr; f = f->link) {
      index_insert(make_index_item(new HLR_Index_Item{}, f), root);
    }
    state.PauseTiming();
    free_face_index(root);
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * r.face_list.count);
}
BENCHMARK(BM_index_insert)->Arg(100000)->Unit(benchmark::kMillisecond);

// One whole iteration per query, over the first 20000 edges (area, with
// the edge's box and z_max as the hidden-line pass starts it; point, at the
// edge's start with its depth) or faces (box, as the intersection pass
// asks).
constexpr int queries_per_iteration = 20000;

void BM_index_query_area(benchmark::State& state) {
  HLR_Renderer& r = terrain_scene(static_cast<std::size_t>(state.range(0))).renderer();
  HLR_Index_Node* root = r.face_index;
  std::uint64_t answers = 0;
  for (auto _ : state) {
    answers = 0;
    int n = 0;
    for (HLR_Edge* e = r.edge_list.head; e != nullptr && n < queries_per_iteration;
         e = e->link, ++n) {
      root->cursor = root->items;
      for (HLR_Index_Node* node =
               index_query_area(root, e->x_min, e->x_max, e->y_min, e->y_max, e->z_max);
           node != nullptr;
           node = index_query_area(node, e->x_min, e->x_max, e->y_min, e->y_max, e->z_max)) {
        ++answers;
        node->cursor = node->cursor->next_item;
      }
    }
  }
  state.SetItemsProcessed(state.iterations() * queries_per_iteration);
  state.counters["answers_per_query"] = static_cast<double>(answers) / queries_per_iteration;
}
BENCHMARK(BM_index_query_area)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);

// The same queries through the packed lists the intersection pass made
// (the lists of 64 items or more); the answers are the same.
void BM_index_query_area_packed(benchmark::State& state) {
  HLR_Renderer& r = terrain_scene(static_cast<std::size_t>(state.range(0))).renderer();
  HLR_Index_Node* root = r.face_index;
  HLR_Index_Packing* packing = index_packing(root);
  std::uint64_t answers = 0;
  for (auto _ : state) {
    answers = 0;
    int n = 0;
    for (HLR_Edge* e = r.edge_list.head; e != nullptr && n < queries_per_iteration;
         e = e->link, ++n) {
      root->cursor = root->items;
      for (HLR_Index_Node* node = index_query_area_packed(packing, root, e->x_min, e->x_max,
                                                          e->y_min, e->y_max, e->z_max);
           node != nullptr; node = index_query_area_packed(packing, node, e->x_min, e->x_max,
                                                           e->y_min, e->y_max, e->z_max)) {
        ++answers;
        node->cursor = node->cursor->next_item;
      }
    }
  }
  state.SetItemsProcessed(state.iterations() * queries_per_iteration);
  state.counters["answers_per_query"] = static_cast<double>(answers) / queries_per_iteration;
  state.counters["packed"] = packing != nullptr ? 1.0 : 0.0;
}
BENCHMARK(BM_index_query_area_packed)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);

void BM_index_query_box(benchmark::State& state) {
  HLR_Renderer& r = terrain_scene(static_cast<std::size_t>(state.range(0))).renderer();
  HLR_Index_Node* root = r.face_index;
  std::vector<HLR_Index_Item> boxes;
  for (HLR_Face* f = r.face_list.head; f != nullptr && boxes.size() < queries_per_iteration;
       f = f->link) {
    HLR_Index_Item box{};
    boxes.push_back(*make_index_item(&box, f));
  }
  std::uint64_t answers = 0;
  for (auto _ : state) {
    answers = 0;
    for (const HLR_Index_Item& b : boxes) {
      root->cursor = root->items;
      for (HLR_Index_Node* node =
               index_query_box(root, b.x_min, b.x_max, b.y_min, b.y_max, b.z_min, b.z_max);
           node != nullptr;
           node = index_query_box(node, b.x_min, b.x_max, b.y_min, b.y_max, b.z_min, b.z_max)) {
        ++answers;
        node->cursor = node->cursor->next_item;
      }
    }
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(boxes.size()));
  state.counters["answers_per_query"] =
      static_cast<double>(answers) / static_cast<double>(boxes.size());
}
BENCHMARK(BM_index_query_box)->Arg(100000)->Unit(benchmark::kMillisecond);

void BM_index_query_point(benchmark::State& state) {
  HLR_Renderer& r = terrain_scene(static_cast<std::size_t>(state.range(0))).renderer();
  HLR_Index_Node* root = r.face_index;
  std::uint64_t answers = 0;
  for (auto _ : state) {
    answers = 0;
    int n = 0;
    for (HLR_Edge* e = r.edge_list.head; e != nullptr && n < queries_per_iteration;
         e = e->link, ++n) {
      const KT_Point p = point_at(*e, 0.5);
      root->cursor = root->items;
      for (HLR_Index_Node* node = index_query_point(root, p.x, p.y, p.z); node != nullptr;
           node = index_query_point(node, p.x, p.y, p.z)) {
        ++answers;
        node->cursor = node->cursor->next_item;
      }
    }
  }
  state.SetItemsProcessed(state.iterations() * queries_per_iteration);
  state.counters["answers_per_query"] = static_cast<double>(answers) / queries_per_iteration;
}
BENCHMARK(BM_index_query_point)->Arg(100000)->Unit(benchmark::kMillisecond);

// Two triangles that cut through one another (a line is captured, through
// the clipped polyline intake, and freed again in the loop), and two whose
// planes keep them apart (rejected after a's three plane distances).
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
  std::int64_t lines = 0;
  for (auto _ : state) {
    intersect_face_pair(r, rendition, a, b);
    if (HLR_Edge* e = r.edge_list.head) {
      ++lines;
      e->rendition.reset();
      delete e;
      r.edge_list = {};
    }
  }
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
// counted: every operator new call during the pass, those of the size of a
// hidden interval node, and the nodes alive at the end. Anything allocated
// that is not an interval node makes the benchmark fail.
void BM_hide_edges(benchmark::State& state) {
  Terrain_Scene& scene = terrain_scene(static_cast<std::size_t>(state.range(0)));
  HLR_Renderer& r = scene.renderer();

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
  if (counts.allocations != counts.watched) {
    state.SkipWithError("the hidden-line pass allocated something other than interval nodes");
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
  state.counters["interval_allocations"] = static_cast<double>(counts.watched);
  state.counters["other_allocations"] = static_cast<double>(counts.allocations - counts.watched);
  state.counters["interval_nodes_alive"] = static_cast<double>(alive);
}
BENCHMARK(BM_hide_edges)->Arg(20000)->Arg(100000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
