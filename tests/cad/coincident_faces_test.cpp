// Intersection lines on Motor-c.brep, whose shafts sit in their bores:
// where faces of two bodies coincide the two tessellations cross all over
// them, and none of those crossings may be drawn; what the drawing's own
// edges give must stay as it was, and every intersection piece left must
// lie where no two faces of two bodies coincide, checked against every
// triangle of the scene.
#include <gtest/gtest.h>

#include "parts.h"
#include "tool/cad/cad_model.h"
#include "tool/render/coincident_faces.h"
#include "tool/render/draw_pipeline.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <tuple>

namespace {

using namespace hlr_tool;

using Piece_Key = std::tuple<long, long, long, long>;

// Every segment of a layer, ends in order, at a hundredth of a unit.
std::map<Piece_Key, int> segments_of(const Drawing& drawing, Layer layer) {
  std::map<Piece_Key, int> segments;
  const auto at = [](double v) { return std::lround(v * 100.0); };
  for (const Style_Group& group : drawing.layer(layer)) {
    for (const Drawing_Polyline& line : group.polylines) {
      for (std::size_t k = 0; k + 1 < line.size(); ++k) {
        Piece_Key key{at(line[k].x), at(line[k].y), at(line[k + 1].x), at(line[k + 1].y)};
        if (key > Piece_Key{std::get<2>(key), std::get<3>(key), std::get<0>(key), std::get<1>(key)})
          key = {std::get<2>(key), std::get<3>(key), std::get<0>(key), std::get<1>(key)};
        ++segments[key];
      }
    }
  }
  return segments;
}

struct Face {
  double x[3], y[3], z[3];
  std::size_t body;
};

// Whether, by every pair of triangles of two bodies, the drawing point
// (x, y) lies where two of them coincide (coincident_faces.h's terms).
bool on_coincident_faces(const std::vector<Face>& faces, double x, double y) {
  struct Under {
    const Face* face;
    double z;
  };
  std::vector<Under> under;
  for (const Face& f : faces) {
    const double area =
        (f.x[1] - f.x[0]) * (f.y[2] - f.y[0]) - (f.y[1] - f.y[0]) * (f.x[2] - f.x[0]);
    if (!(std::fabs(area) > 1e-12)) continue;
    const double b = ((x - f.x[0]) * (f.y[2] - f.y[0]) - (y - f.y[0]) * (f.x[2] - f.x[0])) / area;
    const double c = ((f.x[1] - f.x[0]) * (y - f.y[0]) - (f.y[1] - f.y[0]) * (x - f.x[0])) / area;
    if (b < -1e-6 || c < -1e-6 || 1.0 - b - c < -1e-6) continue;
    under.push_back({&f, (1.0 - b - c) * f.z[0] + b * f.z[1] + c * f.z[2]});
  }
  // Distance of each corner of `p` from the plane of `q`, at most.
  const auto farthest = [](const Face& p, const Face& q) {
    const double ux = q.x[1] - q.x[0], uy = q.y[1] - q.y[0], uz = q.z[1] - q.z[0];
    const double vx = q.x[2] - q.x[0], vy = q.y[2] - q.y[0], vz = q.z[2] - q.z[0];
    const double nx = uy * vz - uz * vy, ny = uz * vx - ux * vz, nz = ux * vy - uy * vx;
    const double n = std::sqrt(nx * nx + ny * ny + nz * nz);
    double most = 0.0;
    for (int k = 0; k < 3; ++k)
      most = std::max(
          most,
          std::fabs(nx * (p.x[k] - q.x[0]) + ny * (p.y[k] - q.y[0]) + nz * (p.z[k] - q.z[0])) / n);
    return most;
  };
  for (const Under& a : under) {
    for (const Under& b : under) {
      if (a.face->body != b.face->body && std::fabs(a.z - b.z) <= coincidence_tolerance &&
          farthest(*a.face, *b.face) <= coincident_faces_tolerance &&
          farthest(*b.face, *a.face) <= coincident_faces_tolerance)
        return true;
    }
  }
  return false;
}

TEST(Cad_Intersections, CoincidentFacesOfTwoBodiesGiveNoIntersectionLines) {
  std::string why;
  const std::optional<std::string> data = hlr_cad_test::occt_parts(why);
  if (!data) GTEST_SKIP() << why;
  const std::vector<Model> models{load_cad_model(*data + "/occ/Motor-c.brep", {})};
  Draw_Settings settings;
  settings.camera.width = settings.camera.height = 1000;
  settings.keep_coincident = true;  // every piece as the renderer sent it
  const Draw_Result plain = draw_models({models}, settings, HLR_MODULE_PATH, Thread_Budget(1));
  settings.intersections = true;
  const Draw_Result crossed = draw_models({models}, settings, HLR_MODULE_PATH, Thread_Budget(1));

  // The shafts in their bores: about 11,000 of 11,500 units of intersection
  // lines (3,446 -> 4,786 hidden pieces when they were drawn).
  EXPECT_GT(crossed.stats.coincident.left_out, 0.9 * crossed.stats.coincident.intersection_length);

  const std::map<Piece_Key, int> plain_hidden = segments_of(plain.drawing, Layer::hidden);
  const std::map<Piece_Key, int> crossed_hidden = segments_of(crossed.drawing, Layer::hidden);
  EXPECT_EQ(segments_of(plain.drawing, Layer::visible),
            segments_of(crossed.drawing, Layer::visible));
  for (const auto& [key, count] : plain_hidden) {
    const auto it = crossed_hidden.find(key);
    EXPECT_TRUE(it != crossed_hidden.end() && it->second >= count) << "an edge's hidden piece went";
  }

  // What is left of the intersection lines, against every triangle.
  Scene scene = build_scene(models, crossed.camera, settings.edges);
  std::vector<Face> faces;
  const double height = crossed.drawing.height;
  for (std::size_t b = 0; b < scene.bodies.size(); ++b) {
    for (const Device_Polyline& strip : scene.bodies[b].strips) {
      for (std::size_t k = 0; k + 2 < strip.size(); ++k) {
        Face f{{}, {}, {}, b};
        for (int c = 0; c < 3; ++c) {
          f.x[c] = strip[k + c].x, f.y[c] = height - strip[k + c].y, f.z[c] = strip[k + c].z;
        }
        faces.push_back(f);
      }
    }
  }
  // A hidden piece is an intersection piece when it lies on no edge; an
  // edge's hidden pieces may be split a little differently once
  // intersection lines are there too.
  const auto on_an_edge = [&](const Piece_Key& key) {
    const double ends[2][2] = {{0.01 * double(std::get<0>(key)), 0.01 * double(std::get<1>(key))},
                               {0.01 * double(std::get<2>(key)), 0.01 * double(std::get<3>(key))}};
    for (const Scene_Body& body : scene.bodies) {
      for (const Device_Polyline& line : body.polylines) {
        for (std::size_t k = 0; k + 1 < line.size(); ++k) {
          const double ax = line[k].x, ay = height - line[k].y;
          const double dx = line[k + 1].x - ax, dy = height - line[k + 1].y - ay;
          const auto off = [&](const double* p) {
            const double t = std::clamp(
                ((p[0] - ax) * dx + (p[1] - ay) * dy) / std::max(dx * dx + dy * dy, 1e-300), 0.0,
                1.0);
            return std::hypot(p[0] - ax - t * dx, p[1] - ay - t * dy);
          };
          if (off(ends[0]) <= 0.05 && off(ends[1]) <= 0.05) return true;
        }
      }
    }
    return false;
  };
  std::map<Piece_Key, int> left = segments_of(crossed.drawing, Layer::intersections);
  for (const auto& [key, count] : crossed_hidden)
    if (!plain_hidden.contains(key) && !on_an_edge(key)) left[key] += count;
  EXPECT_LT(left.size(), 200u);
  for (const auto& [key, count] : left) {
    const double x = 0.005 * double(std::get<0>(key) + std::get<2>(key));
    const double y = 0.005 * double(std::get<1>(key) + std::get<3>(key));
    EXPECT_FALSE(on_coincident_faces(faces, x, y)) << "at " << x << ", " << y;
  }
}

}  // namespace
