#include "tool/render/tile_files.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>
#include <sstream>

#include "tool/common/errors.h"
#include "tool/common/numbers.h"

namespace hlr_tool {

namespace {

constexpr char tile_magic[8] = {'H', 'L', 'R', 'T', 'I', 'L', 'E', '1'};
constexpr char drawing_magic[8] = {'H', 'L', 'R', 'T', 'D', 'R', 'W', '1'};

// Plain values into a file, checked once at the end.
class Binary_Writer {
 public:
  explicit Binary_Writer(const std::string& path) : path_(path), out_(path, std::ios::binary) {}
  template <class Value>
  void put(const Value& value) {
    out_.write(reinterpret_cast<const char*>(&value), sizeof value);
  }
  template <class Value>
  void put_array(const Value* values, std::size_t count) {
    out_.write(reinterpret_cast<const char*>(values), std::streamsize(count * sizeof(Value)));
  }
  void finish() {
    out_.flush();
    if (!out_) throw Tool_Error("cannot write " + path_);
  }

 private:
  std::string path_;
  std::ofstream out_;
};

class Binary_Reader {
 public:
  explicit Binary_Reader(const std::string& path) : path_(path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw Tool_Error("cannot read " + path);
    bytes_.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  template <class Value>
  Value get() {
    Value value;
    take(&value, sizeof value);
    return value;
  }
  template <class Value>
  void get_array(Value* values, std::size_t count) {
    if (count > (bytes_.size() - at_) / sizeof(Value)) fail();
    take(values, count * sizeof(Value));
  }
  std::size_t left() const { return bytes_.size() - at_; }
  void expect_magic(const char (&magic)[8]) {
    char found[8];
    take(found, sizeof found);
    if (std::memcmp(found, magic, sizeof found) != 0) fail();
  }
  // A count of things that follow, each at least a byte: no more than the
  // bytes left, so a damaged file cannot ask for more memory than it has.
  std::size_t count() {
    const std::uint64_t n = get<std::uint64_t>();
    if (n > bytes_.size() - at_) fail();
    return static_cast<std::size_t>(n);
  }
  [[noreturn]] void fail() const { throw Tool_Error(path_ + ": not a tile file of this version"); }

 private:
  void take(void* into, std::size_t size) {
    if (size > bytes_.size() - at_) fail();
    std::memcpy(into, bytes_.data() + at_, size);
    at_ += size;
  }
  std::string path_;
  std::string bytes_;
  std::size_t at_ = 0;
};

struct Rect_F {
  float x0, x1, y0, y1;
};

Rect_F rect_f(const KT_Int_Rectangle& r) {
  return {float(r.x_min), float(r.x_max), float(r.y_min), float(r.y_max)};
}

// The box of the points meets the closed rectangle: not all of them beyond
// one side, as the renderer's clipping culls.
bool box_meets(const Device_Point* p, std::size_t count, const Rect_F& r) {
  bool left = true, right = true, below = true, above = true;
  for (std::size_t k = 0; k < count; ++k) {
    left = left && p[k].x < r.x0;
    right = right && p[k].x > r.x1;
    below = below && p[k].y < r.y0;
    above = above && p[k].y > r.y1;
  }
  return !(left || right || below || above);
}

// A triangle the renderer keeps as a face: its signed area in x, y, in
// float and widened, beyond 1e-5f either way.
bool is_face(const Device_Point& p0, const Device_Point& p1, const Device_Point& p2) {
  const float ax = p1.x - p0.x, ay = p2.y - p0.y, bx = p2.x - p0.x, by = p1.y - p0.y;
  const float first = ax * ay;
  const float second = bx * by;
  const double s = double(first - second);
  return s > double(1e-5f) || s < -double(1e-5f);
}

// The triangle k of strip `strip` of body `body`.
struct Triangle_At {
  std::size_t body = 0, strip = 0, k = 0;
};

// The faces of the whole picture that hold its least and greatest depth.
struct Depth_Extremes {
  std::optional<Triangle_At> nearest, farthest;
};

Depth_Extremes depth_extremes(const Scene& scene) {
  Depth_Extremes extremes;
  float z_min = 1e28f, z_max = 0.0f;
  for (std::size_t b = 0; b < scene.bodies.size(); ++b) {
    const auto& strips = scene.bodies[b].strips;
    for (std::size_t s = 0; s < strips.size(); ++s) {
      const Device_Polyline& p = strips[s];
      for (std::size_t k = 0; k + 2 < p.size(); ++k) {
        if (!is_face(p[k], p[k + 1], p[k + 2])) continue;
        for (std::size_t v = k; v < k + 3; ++v) {
          if (p[v].z < z_min) z_min = p[v].z, extremes.nearest = Triangle_At{b, s, k};
          if (p[v].z > z_max) z_max = p[v].z, extremes.farthest = Triangle_At{b, s, k};
        }
      }
    }
  }
  return extremes;
}

// Runs of consecutive items (triangles of a strip, segments of a polyline)
// whose boxes meet the tile, as (first point, point count).
template <class Meets>
void for_each_run(std::size_t items, std::size_t points_per_item, Meets meets,
                  const std::function<void(std::size_t, std::size_t)>& run) {
  std::size_t k = 0;
  while (k < items) {
    if (!meets(k)) {
      ++k;
      continue;
    }
    const std::size_t first = k;
    while (k < items && meets(k)) ++k;
    run(first, k - first + points_per_item - 1);
  }
}

void put_polyline(Binary_Writer& out, const Device_Point* points, std::size_t count) {
  out.put(static_cast<std::uint32_t>(count));
  out.put_array(points, count);
}

void put_settings(Binary_Writer& out, const Draw_Settings& s) {
  out.put(static_cast<std::uint8_t>(s.hidden));
  out.put(static_cast<std::uint8_t>(s.hidden_color.has_value()));
  out.put(s.hidden_color.value_or(0));
  out.put(static_cast<std::uint8_t>(s.retain_hidden_color));
  out.put(static_cast<std::uint8_t>(s.intersections));
  out.put(static_cast<std::uint8_t>(s.intersection_color.has_value()));
  out.put(s.intersection_color.value_or(0));
  out.put(static_cast<std::uint8_t>(s.intersection_pattern));
  out.put(static_cast<std::uint8_t>(s.face_color_intersections));
  out.put(static_cast<std::int32_t>(s.halo));
  out.put(s.wzero);
  out.put(static_cast<std::uint8_t>(s.double_precision));
}

Draw_Settings get_settings(Binary_Reader& in) {
  Draw_Settings s;
  s.hidden = static_cast<Hidden_Lines>(in.get<std::uint8_t>());
  const bool hidden_color = in.get<std::uint8_t>() != 0;
  const std::uint32_t hidden_argb = in.get<std::uint32_t>();
  if (hidden_color) s.hidden_color = hidden_argb;
  s.retain_hidden_color = in.get<std::uint8_t>() != 0;
  s.intersections = in.get<std::uint8_t>() != 0;
  const bool intersection_color = in.get<std::uint8_t>() != 0;
  const std::uint32_t intersection_argb = in.get<std::uint32_t>();
  if (intersection_color) s.intersection_color = intersection_argb;
  s.intersection_pattern = static_cast<Intersection_Lines>(in.get<std::uint8_t>());
  s.face_color_intersections = in.get<std::uint8_t>() != 0;
  s.halo = in.get<std::int32_t>();
  s.wzero = in.get<float>();
  s.double_precision = in.get<std::uint8_t>() != 0;
  return s;
}

void write_tile(const Scene& scene, const Draw_Settings& settings, const KT_Int_Rectangle& rect,
                const Depth_Extremes& extremes, const std::string& path) {
  Binary_Writer out(path);
  out.put(tile_magic);
  for (int value : {scene.width, scene.height, rect.x_min, rect.x_max, rect.y_min, rect.y_max})
    out.put(static_cast<std::int32_t>(value));
  put_settings(out, settings);
  const Rect_F r = rect_f(rect);

  // The tile's runs per body, counted first: each body says how many
  // strips and polylines follow.
  struct Run {
    const Device_Point* points;
    std::size_t count;
  };
  std::vector<Run> strips, lines;
  std::vector<Triangle_At> extreme_faces;
  for (const std::optional<Triangle_At>& extreme : {extremes.nearest, extremes.farthest}) {
    if (!extreme) continue;
    const Device_Point* p = &scene.bodies[extreme->body].strips[extreme->strip][extreme->k];
    const bool again = !extreme_faces.empty() && extreme_faces[0].body == extreme->body &&
                       extreme_faces[0].strip == extreme->strip && extreme_faces[0].k == extreme->k;
    if (!box_meets(p, 3, r) && !again) extreme_faces.push_back(*extreme);
  }
  out.put(static_cast<std::uint32_t>(scene.bodies.size() + 1));
  for (const Scene_Body& body : scene.bodies) {
    strips.clear();
    lines.clear();
    for (const Device_Polyline& strip : body.strips) {
      for_each_run(
          strip.size() - 2, 3, [&](std::size_t k) { return box_meets(&strip[k], 3, r); },
          [&](std::size_t first, std::size_t count) {
            strips.push_back({&strip[first], count});
          });
    }
    for (const Device_Polyline& line : body.polylines) {
      for_each_run(
          line.size() - 1, 2, [&](std::size_t k) { return box_meets(&line[k], 2, r); },
          [&](std::size_t first, std::size_t count) {
            lines.push_back({&line[first], count});
          });
    }
    out.put(body.face_color);
    out.put(body.line_color);
    out.put(static_cast<std::uint64_t>(strips.size()));
    out.put(static_cast<std::uint64_t>(lines.size()));
    for (const Run& run : strips) put_polyline(out, run.points, run.count);
    for (const Run& run : lines) put_polyline(out, run.points, run.count);
  }
  // The depth-extent faces as a body of their own, in the first body's
  // colours (their own colour shows nowhere: whatever they add lies
  // outside the tile).
  out.put(scene.bodies.empty() ? Color_ARGB(0) : scene.bodies[0].face_color);
  out.put(scene.bodies.empty() ? Color_ARGB(0) : scene.bodies[0].line_color);
  out.put(static_cast<std::uint64_t>(extreme_faces.size()));
  out.put(std::uint64_t(0));
  for (const Triangle_At& face : extreme_faces)
    put_polyline(out, &scene.bodies[face.body].strips[face.strip][face.k], 3);
  out.finish();
}

// Integer coordinates that some point of the scene has, per axis.
std::vector<bool> taken_sides(const Scene& scene, bool x_axis, int size) {
  std::vector<bool> taken(static_cast<std::size_t>(size) + 1, false);
  const auto mark = [&](const Device_Polyline& line) {
    for (const Device_Point& p : line) {
      const float v = x_axis ? p.x : p.y;
      if (v >= 0.0f && v <= float(size) && v == std::floor(v)) taken[std::size_t(v)] = true;
    }
  };
  for (const Scene_Body& body : scene.bodies) {
    for (const Device_Polyline& strip : body.strips) mark(strip);
    for (const Device_Polyline& line : body.polylines) mark(line);
  }
  return taken;
}

std::vector<int> sides_of(const std::vector<bool>& taken, int size, int parts) {
  std::vector<int> sides;
  for (int i = 1; i < parts; ++i) {
    const int wanted = static_cast<int>(std::lround(double(size) * i / parts));
    const int low = sides.empty() ? 1 : sides.back() + 1;
    // The nearest free whole unit, inside and after the previous side.
    for (int step = 0; step <= size; ++step) {
      const int candidates[2] = {wanted + step, wanted - step};
      int found = -1;
      for (int c : candidates) {
        if (c >= low && c < size && !taken[std::size_t(c)]) {
          found = c;
          break;
        }
      }
      if (found >= 0) {
        sides.push_back(found);
        break;
      }
    }
    if (static_cast<int>(sides.size()) != i) {
      throw input_error("--tiles: the drawing cannot be cut into " + std::to_string(parts) +
                        " along a side of " + std::to_string(size) + " units");
    }
  }
  return sides;
}

}  // namespace

Tile_Grid parse_tile_grid(std::string_view text) {
  const std::size_t cut = text.find_first_of("x,");
  const std::optional<int> columns =
      cut == std::string_view::npos ? std::nullopt : parse_whole(text.substr(0, cut));
  const std::optional<int> rows =
      cut == std::string_view::npos ? std::nullopt : parse_whole(text.substr(cut + 1));
  const auto fits = [](const std::optional<int>& n) {
    return n && *n >= 1 && *n <= max_tiles_per_side;
  };
  if (!fits(columns) || !fits(rows)) {
    throw input_error("expected NxM, columns by rows of tiles, each from 1 to " +
                      std::to_string(max_tiles_per_side) + ", not '" + std::string(text) + "'");
  }
  return {*columns, *rows};
}

std::string tile_grid_text(const Tile_Grid& grid) {
  return std::to_string(grid.columns) + "x" + std::to_string(grid.rows);
}

Tile_Sides tile_sides(const Scene& scene, const Tile_Grid& grid) {
  return {sides_of(taken_sides(scene, true, scene.width), scene.width, grid.columns),
          sides_of(taken_sides(scene, false, scene.height), scene.height, grid.rows)};
}

void write_tile_files(const Scene& scene, const Draw_Settings& settings, const Tile_Sides& sides,
                      const std::vector<std::string>& paths) {
  const Depth_Extremes extremes = depth_extremes(scene);
  const int columns = static_cast<int>(sides.x.size()) + 1;
  const int rows = static_cast<int>(sides.y.size()) + 1;
  for (int r = 0; r < rows; ++r) {
    for (int c = 0; c < columns; ++c) {
      const KT_Int_Rectangle rect{
          c == 0 ? 0 : sides.x[c - 1], c + 1 == columns ? scene.width : sides.x[c],
          r == 0 ? 0 : sides.y[r - 1], r + 1 == rows ? scene.height : sides.y[r]};
      write_tile(scene, settings, rect, extremes, paths[std::size_t(c + r * columns)]);
    }
  }
}

Tile read_tile_file(const std::string& path) {
  Binary_Reader in(path);
  in.expect_magic(tile_magic);
  Tile tile;
  tile.width = in.get<std::int32_t>();
  tile.height = in.get<std::int32_t>();
  tile.rect.x_min = in.get<std::int32_t>();
  tile.rect.x_max = in.get<std::int32_t>();
  tile.rect.y_min = in.get<std::int32_t>();
  tile.rect.y_max = in.get<std::int32_t>();
  tile.settings = get_settings(in);
  tile.scene.width = tile.width;
  tile.scene.height = tile.height;
  const auto get_polyline = [&in]() {
    const std::uint32_t count = in.get<std::uint32_t>();
    if (count > in.left() / sizeof(Device_Point)) in.fail();
    Device_Polyline line(count);
    in.get_array(line.data(), line.size());
    return line;
  };
  const std::uint32_t bodies = in.get<std::uint32_t>();
  for (std::uint32_t b = 0; b < bodies; ++b) {
    Scene_Body& body = tile.scene.bodies.emplace_back();
    body.face_color = in.get<Color_ARGB>();
    body.line_color = in.get<Color_ARGB>();
    const std::size_t strips = in.count();
    const std::size_t lines = in.count();
    for (std::size_t s = 0; s < strips; ++s) body.strips.push_back(get_polyline());
    for (std::size_t l = 0; l < lines; ++l) body.polylines.push_back(get_polyline());
  }
  return tile;
}

void write_tile_drawing(const std::string& path, const Tile_Drawing& tile) {
  Binary_Writer out(path);
  out.put(drawing_magic);
  out.put(tile.drawing.width);
  out.put(tile.drawing.height);
  for (std::size_t l = 0; l < layer_count; ++l) {
    out.put(static_cast<std::uint64_t>(tile.counts.received[l]));
    out.put(static_cast<std::uint64_t>(tile.counts.drawn[l]));
  }
  out.put(tile.capture_ms);
  out.put(tile.passes_ms);
  out.put(tile.processor_ms);
  out.put(tile.peak_mib);
  for (const std::vector<Style_Group>& layer : tile.drawing.layers) {
    out.put(static_cast<std::uint64_t>(layer.size()));
    for (const Style_Group& group : layer) {
      out.put(group.color_argb);
      out.put(static_cast<std::uint8_t>(group.dash));
      out.put(static_cast<std::uint64_t>(group.polylines.size()));
      for (const Drawing_Polyline& line : group.polylines) {
        out.put(static_cast<std::uint64_t>(line.size()));
        out.put_array(line.data(), line.size());
      }
      out.put(static_cast<std::uint64_t>(group.dots.size()));
      out.put_array(group.dots.data(), group.dots.size());
    }
  }
  out.finish();
}

Tile_Drawing read_tile_drawing(const std::string& path) {
  Binary_Reader in(path);
  in.expect_magic(drawing_magic);
  Tile_Drawing tile;
  tile.drawing.width = in.get<double>();
  tile.drawing.height = in.get<double>();
  for (std::size_t l = 0; l < layer_count; ++l) {
    tile.counts.received[l] = in.get<std::uint64_t>();
    tile.counts.drawn[l] = in.get<std::uint64_t>();
  }
  tile.capture_ms = in.get<double>();
  tile.passes_ms = in.get<double>();
  tile.processor_ms = in.get<double>();
  tile.peak_mib = in.get<double>();
  for (std::vector<Style_Group>& layer : tile.drawing.layers) {
    layer.resize(in.count());
    for (Style_Group& group : layer) {
      group.color_argb = in.get<std::uint32_t>();
      group.dash = static_cast<Dash>(in.get<std::uint8_t>());
      group.polylines.resize(in.count());
      for (Drawing_Polyline& line : group.polylines) {
        line.resize(in.count());
        in.get_array(line.data(), line.size());
      }
      group.dots.resize(in.count());
      in.get_array(group.dots.data(), group.dots.size());
    }
  }
  return tile;
}

}  // namespace hlr_tool
