// Writes the example part, bracket.obj and bracket.mtl, into a folder:
//
//     make_example examples
//
// The part, in millimetres with y up: an L-shaped steel bracket 40 deep,
// its base 100 long and 10 thick with two holes of radius 8, its upright
// 60 high with a filleted inner corner (radius 10, six facets, gentle
// enough to stay below the default crease angle) and a chamfered top
// edge; a brass pin of radius 4 pushed through the upright where it has
// no hole, so its faces cut through the bracket's; and the axes of the
// holes and of the pin as line elements. Holes and pin have 24 sides.
//
// The surfaces share their points exactly (every point is written once and
// found again by its printed form), so the part is closed and a viewer
// sees no seams; every triangle is wound to face outwards.

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <map>
#include <numbers>
#include <string>
#include <vector>

namespace {

constexpr double pi = std::numbers::pi;
constexpr int sides = 24;
constexpr double depth = 40.0;      // the bracket along z
constexpr double cell_half = 20.0;  // half the square around each hole
constexpr double hole_radius = 8.0;
constexpr double hole_x[2] = {40.0, 80.0};
constexpr double hole_z = 20.0;

struct Point {
  double x, y, z;
};

Point operator-(Point a, Point b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }

double dot(Point a, Point b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

Point cross(Point a, Point b) {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

class Obj_Writer {
 public:
  void use_material(const std::string& name) { body_ += "usemtl " + name + "\n"; }
  void group(const std::string& name) { body_ += "g " + name + "\n"; }

  // Winds the triangle so that its normal has a positive part along
  // `outward`.
  void triangle(Point a, Point b, Point c, Point outward) {
    if (dot(cross(b - a, c - a), outward) < 0.0) std::swap(b, c);
    body_ += "f " + std::to_string(index(a)) + ' ' + std::to_string(index(b)) + ' ' +
             std::to_string(index(c)) + '\n';
    ++triangles_;
  }

  void quad(Point a, Point b, Point c, Point d, Point outward) {
    triangle(a, b, c, outward);
    triangle(a, c, d, outward);
  }

  // A polygon that is star-shaped from `centre`, as a fan around it.
  void fan(Point centre, const std::vector<Point>& ring, bool closed, Point outward) {
    const std::size_t n = ring.size();
    for (std::size_t i = 0; i + 1 < n + (closed ? 1 : 0); ++i)
      triangle(centre, ring[i], ring[(i + 1) % n], outward);
  }

  void line(Point a, Point b) {
    body_ += "l " + std::to_string(index(a)) + ' ' + std::to_string(index(b)) + '\n';
  }

  std::string text() const {
    return "# L-bracket with two holes and a pin through it, " + std::to_string(triangles_) +
           " triangles; written by make_example\n" + "mtllib bracket.mtl\n" + vertices_ + body_;
  }

 private:
  int index(Point p) {
    char text[96];
    // Rounded first so that a tiny negative prints as 0, not -0.
    const auto printed = [](double v) { return std::round(v * 1e4) / 1e4 + 0.0; };
    std::snprintf(text, sizeof text, "v %.4f %.4f %.4f\n", printed(p.x), printed(p.y),
                  printed(p.z));
    auto [it, inserted] = index_.try_emplace(text, int(index_.size()) + 1);
    if (inserted) vertices_ += text;
    return it->second;
  }

  std::map<std::string, int> index_;
  std::string vertices_;
  std::string body_;
  int triangles_ = 0;
};

double angle(int i) { return 2.0 * pi * i / sides; }

// Where the ray from a hole's centre at angle i meets its square: with 24
// sides the square's corners (45 degrees) are among the rays, so these
// points trace the square exactly.
void square_point(int i, double cx, double cz, double& x, double& z) {
  const double c = std::cos(angle(i)), s = std::sin(angle(i));
  const double reach = cell_half / std::max(std::abs(c), std::abs(s));
  x = cx + reach * c;
  z = cz + reach * s;
}

// The z values at which the square sides x = const carry points; every
// face running along z is split at them so that its edges meet the
// squares' points.
std::vector<double> z_stations() {
  std::vector<double> z;
  for (int i = -3; i <= 3; ++i) {
    double x, zi;
    square_point(i, 0.0, hole_z, x, zi);
    z.push_back(zi);
  }
  return z;
}

// The x values at which the squares' sides z = 0 (and z = depth) carry
// points, from low to high x, both holes, without repeats.
std::vector<double> x_stations() {
  std::vector<double> xs;
  for (double cx : hole_x) {
    for (int i = 15; i <= 21; ++i) {  // 225 to 315 degrees, the side z = cz - half
      double x, z;
      square_point(i, cx, hole_z, x, z);
      if (xs.empty() || std::abs(xs.back() - x) > 1e-9) xs.push_back(x);
    }
  }
  return xs;
}

// The face y = height of the base around both holes, with the hole walls.
void base_face_with_holes(Obj_Writer& obj, double height, Point outward) {
  for (double cx : hole_x) {
    for (int i = 0; i < sides; ++i) {
      double sx0, sz0, sx1, sz1;
      square_point(i, cx, hole_z, sx0, sz0);
      square_point(i + 1, cx, hole_z, sx1, sz1);
      const Point c0{cx + hole_radius * std::cos(angle(i)), height,
                     hole_z + hole_radius * std::sin(angle(i))};
      const Point c1{cx + hole_radius * std::cos(angle(i + 1)), height,
                     hole_z + hole_radius * std::sin(angle(i + 1))};
      obj.quad(c0, c1, {sx1, height, sz1}, {sx0, height, sz0}, outward);
    }
  }
}

void hole_walls(Obj_Writer& obj) {
  for (double cx : hole_x) {
    for (int i = 0; i < sides; ++i) {
      const double c0 = std::cos(angle(i)), s0 = std::sin(angle(i));
      const double c1 = std::cos(angle(i + 1)), s1 = std::sin(angle(i + 1));
      const double mid = angle(i) + pi / sides;
      // The wall faces into the hole, towards its axis.
      obj.quad({cx + hole_radius * c0, 0, hole_z + hole_radius * s0},
               {cx + hole_radius * c1, 0, hole_z + hole_radius * s1},
               {cx + hole_radius * c1, 10, hole_z + hole_radius * s1},
               {cx + hole_radius * c0, 10, hole_z + hole_radius * s0},
               {-std::cos(mid), 0, -std::sin(mid)});
    }
  }
}

// The profile in the x-y plane, counter-clockwise, from the base's top at
// x = 20 round the fillet, up the upright and down its outer side.
std::vector<Point> fillet_arc() {
  std::vector<Point> arc;
  for (int i = 0; i <= 6; ++i) {
    const double a = 1.5 * pi - i * (0.5 * pi / 6);
    arc.push_back({20.0 + 10.0 * std::cos(a), 20.0 + 10.0 * std::sin(a), 0});
  }
  return arc;  // (20,10) ... (10,20)
}

// The faces running along z between profile points p and q (counter-
// clockwise), split at the z stations.
void extruded(Obj_Writer& obj, Point p, Point q) {
  const Point outward{q.y - p.y, p.x - q.x, 0};
  const std::vector<double> z = z_stations();
  for (std::size_t i = 0; i + 1 < z.size(); ++i)
    obj.quad({p.x, p.y, z[i]}, {q.x, q.y, z[i]}, {q.x, q.y, z[i + 1]}, {p.x, p.y, z[i + 1]},
             outward);
}

// The profile faces z = 0 and z = depth: base, fillet and upright, each
// fanned so that they share every point on their common sides.
void profile_faces(Obj_Writer& obj, double z, Point outward) {
  const std::vector<double> xs = x_stations();  // 20 ... 100 along the base
  std::vector<Point> base{{0, 0, z}, {20, 0, z}};
  for (double x : xs)
    if (x > 20.0 + 1e-9) base.push_back({x, 0, z});
  for (auto it = xs.rbegin(); it != xs.rend(); ++it) base.push_back({*it, 10, z});
  base.push_back({10, 10, z});
  base.push_back({0, 10, z});
  obj.fan({50, 5, z}, base, true, outward);

  std::vector<Point> fillet = fillet_arc();
  for (Point& p : fillet) p.z = z;
  obj.fan({10, 10, z}, fillet, false, outward);

  const std::vector<Point> upright{{0, 10, z},  {10, 10, z}, {10, 20, z},
                                   {10, 60, z}, {5, 60, z},  {0, 55, z}};
  obj.fan({5, 35, z}, upright, true, outward);
}

void bracket(Obj_Writer& obj) {
  obj.group("bracket");
  obj.use_material("steel");
  profile_faces(obj, 0.0, {0, 0, -1});
  profile_faces(obj, depth, {0, 0, 1});

  // Base: bottom and top around the holes; the bottom also has a plain
  // strip under the upright, split at the z stations.
  base_face_with_holes(obj, 0.0, {0, -1, 0});
  base_face_with_holes(obj, 10.0, {0, 1, 0});
  const std::vector<double> z = z_stations();
  for (std::size_t i = 0; i + 1 < z.size(); ++i)
    obj.quad({0, 0, z[i]}, {20, 0, z[i]}, {20, 0, z[i + 1]}, {0, 0, z[i + 1]}, {0, -1, 0});
  hole_walls(obj);

  // The end of the base, x = 100, meets the square's side there.
  extruded(obj, {100, 0, 0}, {100, 10, 0});
  const std::vector<Point> arc = fillet_arc();
  for (std::size_t i = 0; i + 1 < arc.size(); ++i) extruded(obj, arc[i], arc[i + 1]);
  extruded(obj, {10, 20, 0}, {10, 60, 0});
  extruded(obj, {10, 60, 0}, {5, 60, 0});
  extruded(obj, {5, 60, 0}, {0, 55, 0});
  // The outer side is split where the base's and the upright's profile
  // faces meet on it.
  extruded(obj, {0, 55, 0}, {0, 10, 0});
  extruded(obj, {0, 10, 0}, {0, 0, 0});

  // Centre lines of the holes, standing out above and below.
  for (double cx : hole_x) obj.line({cx, -6, hole_z}, {cx, 16, hole_z});
}

// Along x from -15 to 25 at y = 40, z = 20: through the upright (x 0 to 10).
void pin(Obj_Writer& obj) {
  constexpr double radius = 4.0, y = 40.0, z = 20.0, x0 = -15.0, x1 = 25.0;
  obj.group("pin");
  obj.use_material("brass");
  std::vector<Point> near_end, far_end;
  for (int i = 0; i < sides; ++i) {
    const double c0 = std::cos(angle(i)), s0 = std::sin(angle(i));
    const double c1 = std::cos(angle(i + 1)), s1 = std::sin(angle(i + 1));
    obj.quad({x0, y + radius * c0, z + radius * s0}, {x1, y + radius * c0, z + radius * s0},
             {x1, y + radius * c1, z + radius * s1}, {x0, y + radius * c1, z + radius * s1},
             {0, std::cos(angle(i) + pi / sides), std::sin(angle(i) + pi / sides)});
    near_end.push_back({x0, y + radius * c0, z + radius * s0});
    far_end.push_back({x1, y + radius * c0, z + radius * s0});
  }
  obj.fan({x0, y, z}, near_end, true, {-1, 0, 0});
  obj.fan({x1, y, z}, far_end, true, {1, 0, 0});
  obj.line({x0 - 5, y, z}, {x1 + 5, y, z});
}

const char* const materials =
    "# Materials of bracket.obj; written by make_example\n"
    "newmtl steel\n"
    "Kd 0.20 0.30 0.45\n"
    "newmtl brass\n"
    "Kd 0.75 0.45 0.05\n";

bool write_file(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary);
  out << text;
  out.close();
  if (!out) {
    std::cerr << "make_example: cannot write " << path << '\n';
    return false;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: make_example <folder>\n"
                 "writes <folder>/bracket.obj and <folder>/bracket.mtl\n";
    return 2;
  }
  const std::string folder = argv[1];
  Obj_Writer obj;
  bracket(obj);
  pin(obj);
  if (!write_file(folder + "/bracket.obj", obj.text()) ||
      !write_file(folder + "/bracket.mtl", materials))
    return 1;
  return 0;
}
