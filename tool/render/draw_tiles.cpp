#include "tool/render/draw_tiles.h"

#include <stdlib.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <unordered_map>

#include "tool/common/clock.h"
#include "tool/common/errors.h"
#include "tool/common/held_reference.h"
#include "tool/common/worker_process.h"
#include "tool/session/renderer_threads.h"

namespace hlr_tool {

namespace {

namespace fs = std::filesystem;

// The folder of a tiled drawing's files: the one given, or a temporary one.
// Removes the files of the run (and a temporary folder) on every way out.
class Tile_Folder {
 public:
  explicit Tile_Folder(const std::string& given) {
    if (!given.empty()) {
      folder_ = given;
      return;
    }
    std::string pattern = (fs::temp_directory_path() / "hlr-tiles-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
      throw Tool_Error("cannot make a temporary folder for the tiles in " +
                       fs::temp_directory_path().string());
    }
    folder_ = pattern;
    temporary_ = true;
  }
  Tile_Folder(const Tile_Folder&) = delete;
  Tile_Folder& operator=(const Tile_Folder&) = delete;
  ~Tile_Folder() {
    std::error_code error;
    for (const std::string& file : files_) fs::remove(file, error);
    if (temporary_) fs::remove_all(folder_, error);
  }

  std::string file(const std::string& name) {
    files_.push_back((fs::path(folder_) / name).string());
    return files_.back();
  }

 private:
  std::string folder_;
  bool temporary_ = false;
  std::vector<std::string> files_;
};

void progress(const Draw_Hooks& hooks, const std::string& status) {
  if (hooks.progress) hooks.progress(status);
}

std::string last_line(const std::string& text) {
  const std::size_t end = text.find_last_not_of("\r\n");
  if (end == std::string::npos) return "";
  const std::size_t start = text.rfind('\n', end);
  const std::size_t from = start == std::string::npos ? 0 : start + 1;
  return text.substr(from, end - from + 1);
}

// Each job in a worker process of its own, as many at once as `threads`
// allows, each renderer with its share of them.
void run_tile_workers(std::span<const Tile_Job> jobs, const std::string& worker_program,
                      const std::string& module_path, const Thread_Budget& threads) {
  const std::size_t at_once = threads.parts_at_once(jobs.size());
  const std::string tile_threads = std::to_string(threads.share(jobs.size()).threads());
  struct Running {
    std::size_t job;
    std::unique_ptr<Worker_Process> worker;
  };
  std::vector<Running> running;
  std::size_t next = 0;
  while (next < jobs.size() || !running.empty()) {
    while (running.size() < at_once && next < jobs.size()) {
      const Tile_Job& job = jobs[next];
      running.push_back({next++, std::make_unique<Worker_Process>(
                                     worker_program, std::vector<std::string>{
                                                         "tile", job.tile_file, job.drawing_file,
                                                         module_path, tile_threads})});
    }
    std::vector<Worker_Process*> workers;
    for (Running& r : running) workers.push_back(r.worker.get());
    wait_for_workers(workers, std::chrono::milliseconds(200));
    for (auto r = running.begin(); r != running.end();) {
      r->worker->read_available();
      if (!r->worker->pipes_closed()) {
        ++r;
        continue;
      }
      const int status = r->worker->wait();
      if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        const std::string said = last_line(r->worker->err());
        throw Tool_Error("tile " + std::to_string(r->job + 1) + " of " +
                         std::to_string(jobs.size()) + ": its process " + how_it_ended(status) +
                         (said.empty() ? "" : ": " + said));
      }
      r = running.erase(r);
    }
  }
}

// The tile's faces unclipped (the tile holds exactly the faces it needs)
// with the tile as their rendition's clip rectangle, for the intersection
// lines; its edges clipped to the tile.
void capture_tile(Renderer_Session& session, const Tile& tile) {
  KT_Renderer_Data& renderer = session.renderer();
  std::vector<KT_Point> points;
  const auto fill = [&points](const Device_Polyline& line) {
    points.clear();
    for (const Device_Point& p : line) points.push_back({p.x, p.y, p.z});
    return static_cast<int>(points.size());
  };
  for (const Scene_Body& body : tile.scene.bodies) {
    KT_Rendition faces = KT_Rendition::create();
    faces.set_color(KT_RGB32::from_argb(body.face_color), false);
    faces.set_line_pattern(0);
    faces.set_clip_rectangle(tile.rect);
    KT_Rendition lines = KT_Rendition::create();
    lines.set_color(KT_RGB32::from_argb(body.line_color), false);
    lines.set_line_pattern(0);
    lines.set_clip_rectangle(tile.rect);
    for (const Device_Polyline& strip : body.strips) {
      const int count = fill(strip);
      renderer.actions.call(KT_Actions::face<2>(KT_Actions::triangle_strip), faces, count,
                            points.data(), nullptr, nullptr);
    }
    for (const Device_Polyline& line : body.polylines) {
      const int count = fill(line);
      renderer.actions.call(KT_Actions::polyline_form<1>(), lines, count, points.data());
    }
  }
}

double peak_resident_mib() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return double(usage.ru_maxrss) / 1024.0;  // KiB on Linux
}

// --- Joining -------------------------------------------------------------

struct Line_End {
  std::size_t line;
  bool back;
};

class Side_Joiner {
 public:
  Side_Joiner(const Tile_Sides& sides, double height, double reach) : reach_(reach) {
    for (int x : sides.x) xs_.push_back(x);
    for (int y : sides.y) ys_.push_back(height - y);  // the drawing's y runs down
  }

  bool near_side(const Drawing_Point& p) const {
    for (double x : xs_) {
      if (std::fabs(p.x - x) <= reach_) return true;
    }
    for (double y : ys_) {
      if (std::fabs(p.y - y) <= reach_) return true;
    }
    return false;
  }

  // A piece left over where a line was cut at a side: shorter than the
  // reach, every point on a side.
  bool is_sliver(const Drawing_Polyline& line) const {
    double length = 0.0;
    for (std::size_t k = 1; k < line.size(); ++k)
      length += std::hypot(line[k].x - line[k - 1].x, line[k].y - line[k - 1].y);
    if (length > reach_) return false;
    return std::all_of(line.begin(), line.end(),
                       [this](const Drawing_Point& p) { return near_side(p); });
  }

  // The polylines of one style, each with the tile it came from, joined.
  std::vector<Drawing_Polyline> join(std::vector<Drawing_Polyline> lines,
                                     const std::vector<int>& tile_of) const;

 private:
  double reach_;
  std::vector<double> xs_, ys_;
};

const Drawing_Point& end_point(const Drawing_Polyline& line, bool back) {
  return back ? line.back() : line.front();
}

// The joint b between a and c lies on the segment a-c (within `reach`).
bool runs_on(const Drawing_Point& a, const Drawing_Point& b, const Drawing_Point& c, double reach) {
  const double dx = c.x - a.x, dy = c.y - a.y;
  const double length = std::hypot(dx, dy);
  if (length == 0.0) return false;
  const double off_line = std::fabs((b.x - a.x) * dy - (b.y - a.y) * dx) / length;
  const double along = ((b.x - a.x) * dx + (b.y - a.y) * dy) / (length * length);
  return off_line <= reach && along > 0.0 && along < 1.0;
}

std::vector<Drawing_Polyline> Side_Joiner::join(std::vector<Drawing_Polyline> lines,
                                                const std::vector<int>& tile_of) const {
  const std::size_t count = lines.size();
  std::vector<bool> gone(count, false);
  for (std::size_t i = 0; i < count; ++i) gone[i] = is_sliver(lines[i]);

  // Ends on a side, found again by their cell in a grid of the reach.
  const auto cell_of = [this](const Drawing_Point& p) {
    return std::pair<long long, long long>(std::llround(std::floor(p.x / reach_)),
                                           std::llround(std::floor(p.y / reach_)));
  };
  struct Cell_Hash {
    std::size_t operator()(const std::pair<long long, long long>& c) const {
      return std::hash<long long>()(c.first * 1000003LL ^ c.second);
    }
  };
  std::unordered_map<std::pair<long long, long long>, std::vector<Line_End>, Cell_Hash> cells;
  for (std::size_t i = 0; i < count; ++i) {
    if (gone[i]) continue;
    for (bool back : {false, true}) {
      const Drawing_Point& p = end_point(lines[i], back);
      if (near_side(p)) cells[cell_of(p)].push_back({i, back});
    }
  }

  // Each end on a side meets the nearest free end of another tile's line.
  std::vector<std::array<std::optional<Line_End>, 2>> link(count);
  for (std::size_t i = 0; i < count; ++i) {
    if (gone[i]) continue;
    for (bool back : {false, true}) {
      if (link[i][back]) continue;
      const Drawing_Point& p = end_point(lines[i], back);
      if (!near_side(p)) continue;
      const auto [cx, cy] = cell_of(p);
      std::optional<Line_End> best;
      double best_distance = reach_;
      for (long long x = cx - 1; x <= cx + 1; ++x) {
        for (long long y = cy - 1; y <= cy + 1; ++y) {
          const auto found = cells.find({x, y});
          if (found == cells.end()) continue;
          for (const Line_End& other : found->second) {
            if (other.line == i || tile_of[other.line] == tile_of[i] ||
                link[other.line][other.back]) {
              continue;
            }
            const Drawing_Point& q = end_point(lines[other.line], other.back);
            const double distance = std::hypot(q.x - p.x, q.y - p.y);
            if (distance <= best_distance) {
              best_distance = distance;
              best = other;
            }
          }
        }
      }
      if (best) {
        link[i][back] = best;
        link[best->line][best->back] = Line_End{i, back};
      }
    }
  }

  // Chains of linked lines, each started at a free end (a closed chain at
  // its first line), in the order of their first lines.
  std::vector<bool> used(count, false);
  std::vector<Drawing_Polyline> joined;
  const auto walk = [&](std::size_t first, bool from_back) {
    Drawing_Polyline chain;
    std::size_t line = first;
    bool entry_back = from_back;
    for (;;) {
      used[line] = true;
      Drawing_Polyline& part = lines[line];
      if (entry_back) std::reverse(part.begin(), part.end());
      if (chain.empty()) {
        chain = std::move(part);
      } else {
        const Drawing_Point joint = chain.back();
        chain.pop_back();
        // The joint goes where the two pieces run on in one line.
        if (!(chain.size() >= 1 && part.size() >= 2 &&
              runs_on(chain.back(), joint, part[1], reach_))) {
          chain.push_back(joint);
        }
        chain.insert(chain.end(), part.begin() + 1, part.end());
      }
      const bool exit_back = !entry_back;
      const std::optional<Line_End> next = link[line][exit_back];
      if (!next || used[next->line]) {
        if (next && next->line == first) chain.push_back(chain.front());  // closed
        break;
      }
      line = next->line;
      entry_back = next->back;
    }
    joined.push_back(std::move(chain));
  };
  for (std::size_t i = 0; i < count; ++i) {
    if (gone[i] || used[i]) continue;
    // Back along the chain to a line with a free end (or round a closed
    // chain to i again); a line has at most two links, so this ends.
    std::size_t line = i;
    bool entered_back = false;
    for (;;) {
      const std::optional<Line_End> previous = link[line][entered_back];
      if (!previous || used[previous->line]) break;
      if (previous->line == i) {
        line = i;
        entered_back = false;
        break;
      }
      line = previous->line;
      entered_back = !previous->back;
    }
    walk(line, entered_back);
  }
  return joined;
}

}  // namespace

Drawing join_tile_drawings(std::vector<Drawing> tiles, const Tile_Sides& sides, double width,
                           double height) {
  Drawing joined;
  joined.width = width;
  joined.height = height;
  // A few units in the last place of the drawing's largest coordinate: the
  // two tiles' ends of a cut piece differ by their rounding.
  const Side_Joiner joiner(sides, height, std::max(1e-3, std::max(width, height) * 2e-6));
  for (std::size_t l = 0; l < layer_count; ++l) {
    struct Style {
      std::vector<Drawing_Polyline> lines;
      std::vector<int> tile_of;
    };
    std::vector<Style_Group>& groups = joined.layers[l];
    std::vector<Style> styles;
    std::map<std::pair<std::uint32_t, int>, std::size_t> style_index;
    for (std::size_t t = 0; t < tiles.size(); ++t) {
      for (Style_Group& group : tiles[t].layers[l]) {
        const auto key = std::make_pair(group.color_argb, static_cast<int>(group.dash));
        const auto [at, fresh] = style_index.emplace(key, groups.size());
        if (fresh) {
          Style_Group& added = groups.emplace_back();
          added.color_argb = group.color_argb;
          added.dash = group.dash;
          styles.emplace_back();
        }
        Style& style = styles[at->second];
        for (Drawing_Polyline& line : group.polylines) {
          style.lines.push_back(std::move(line));
          style.tile_of.push_back(static_cast<int>(t));
        }
        std::vector<Drawing_Point>& dots = groups[at->second].dots;
        dots.insert(dots.end(), group.dots.begin(), group.dots.end());
      }
    }
    for (std::size_t g = 0; g < groups.size(); ++g) {
      groups[g].polylines = joiner.join(std::move(styles[g].lines), styles[g].tile_of);
    }
  }
  return joined;
}

void draw_tile_file(const Tile_Job& job, const std::string& module_path, int threads) {
  Tile tile = read_tile_file(job.tile_file);
  // The calling thread's number is set back on every way out (a task on a
  // cluster's worker thread leaves the thread as it found it).
  struct Threads_Set_Back {
    int previous;
    ~Threads_Set_Back() { set_renderer_threads(previous); }
  } set_back{set_renderer_threads(threads)};
  const double processor_start = process_processor_milliseconds();
  const KT_Int_Rectangle device{0, tile.width, 0, tile.height};
  auto* collector = new Drawing_Renderer(device);
  Held_Reference collector_reference(collector);
  Tile_Drawing drawn;
  {
    Renderer_Session session(module_path, collector);
    set_draw_options(session, tile.settings);
    // The hidden pieces' rendition clips to the tile too.
    session.set_default_clip(tile.rect);
    const Clock::time_point start = Clock::now();
    session.stage(Host_Stage::establish);
    session.stage(Host_Stage::begin_picture);
    capture_tile(session, tile);
    tile.scene = Scene();
    drawn.capture_ms = milliseconds_since(start);
    const Clock::time_point captured = Clock::now();
    session.stage(Host_Stage::update);
    session.stage(Host_Stage::end_picture);
    drawn.passes_ms = milliseconds_since(captured);
  }
  drawn.processor_ms = process_processor_milliseconds() - processor_start;
  drawn.drawing = collector->drawing();
  drawn.counts = collector->counts();
  drawn.peak_mib = peak_resident_mib();
  write_tile_drawing(job.drawing_file, drawn);
}

Draw_Result draw_in_tiles(std::span<const Model> models, const Draw_Settings& settings,
                          const Tiled_View& tiled, const Thread_Budget& threads,
                          const Draw_Hooks& hooks) {
  Draw_Result result;
  Draw_Stats& stats = result.stats;
  const Clock::time_point start = Clock::now();
  progress(hooks, "projecting, stripping and selecting edges");
  result.camera = Camera::frame(settings.camera, models);
  Tile_Folder folder(tiled.folder);
  std::vector<Tile_Job> jobs;
  std::vector<std::string> tile_files;
  Tile_Sides sides;
  double width = 0.0, height = 0.0;
  {
    const Scene scene = build_scene(models, result.camera, settings.edges);
    stats.bodies = scene.bodies.size();
    stats.scene = scene.stats;
    width = scene.width;
    height = scene.height;
    sides = tile_sides(scene, tiled.grid);
    for (int t = 0; t < tiled.grid.count(); ++t) {
      const std::string name = "tile-" + std::to_string(getpid()) + "-" + std::to_string(t);
      jobs.push_back({folder.file(name + ".hlrtile"), folder.file(name + ".drawing")});
      tile_files.push_back(jobs.back().tile_file);
    }
    progress(hooks, "writing " + std::to_string(jobs.size()) + " tile files");
    write_tile_files(scene, settings, sides, tile_files);
  }
  stats.scene_ms = milliseconds_since(start);

  const Clock::time_point drawing = Clock::now();
  progress(hooks, "drawing " + std::to_string(jobs.size()) + " tiles of " +
                      std::to_string(stats.scene.triangles) + " triangles and " +
                      std::to_string(stats.scene.edges) + " edges");
  if (tiled.runner) {
    tiled.runner(jobs);
  } else {
    run_tile_workers(jobs, tiled.worker_program, tiled.module_path, threads);
  }
  std::vector<Drawing> drawings;
  for (const Tile_Job& job : jobs) {
    Tile_Drawing tile = read_tile_drawing(job.drawing_file);
    for (std::size_t l = 0; l < layer_count; ++l) {
      stats.pieces.received[l] += tile.counts.received[l];
      stats.pieces.drawn[l] += tile.counts.drawn[l];
    }
    stats.capture_ms = std::max(stats.capture_ms, tile.capture_ms);
    stats.renderer_processor_ms += tile.processor_ms;
    stats.tile_peak_mib.push_back(tile.peak_mib);
    drawings.push_back(std::move(tile.drawing));
  }
  progress(hooks, "joining " + std::to_string(jobs.size()) + " tiles");
  result.drawing = join_tile_drawings(std::move(drawings), sides, width, height);
  // On the joined drawing: a hidden line on a visible one may lie across a
  // side, with each part in its own tile.
  stats.update_ms = milliseconds_since(drawing) - stats.capture_ms;
  apply_precedence(result.drawing, settings, threads, stats);
  return result;
}

}  // namespace hlr_tool
