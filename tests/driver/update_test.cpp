// The whole renderer at update: a closed solid drawn with all its edges,
// checked against the faces by brute force. A next renderer that throws at
// any call is the reliability suite's (Fault_Injection).
#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

#include "renderer_fixture.h"

namespace {

using Update = Renderer_Test;

// A sphere of radius 300 around (500, 500, 500) in device units, as a
// latitude-longitude mesh.
struct Sphere {
  std::vector<std::vector<KT_Point>> strips;  // one strip per band
  std::vector<std::pair<KT_Point, KT_Point>> edges;
};

Sphere make_sphere(int bands, int sectors) {
  auto at = [&](int band, int sector) {
    const double theta = std::numbers::pi * band / bands;
    const double phi = 2 * std::numbers::pi * sector / sectors + 0.1;
    return KT_Point{static_cast<float>(500 + 300 * std::sin(theta) * std::cos(phi)),
                    static_cast<float>(500 + 300 * std::cos(theta)),
                    static_cast<float>(500 + 300 * std::sin(theta) * std::sin(phi))};
  };
  Sphere sphere;
  for (int band = 0; band < bands; ++band) {
    std::vector<KT_Point> strip;
    for (int sector = 0; sector <= sectors; ++sector) {
      strip.push_back(at(band, sector % sectors));
      strip.push_back(at(band + 1, sector % sectors));
    }
    sphere.strips.push_back(strip);
    for (int sector = 0; sector < sectors; ++sector) {
      if (band > 0) sphere.edges.push_back({at(band, sector), at(band, sector + 1)});
      sphere.edges.push_back({at(band, sector), at(band + 1, sector)});
      if (band > 0 && band + 1 < bands)
        sphere.edges.push_back({at(band, sector), at(band + 1, sector + 1)});
    }
  }
  return sphere;
}

struct Triangle {
  KT_Point v[3];
};

// Hidden by brute force: inside the triangle by a margin in x-y and behind
// its plane by more than the tolerance, with a margin.
bool hidden_by(const Triangle& t, const KT_Point& p) {
  auto side = [&](const KT_Point& a, const KT_Point& b) {
    return (double(b.x) - a.x) * (double(p.y) - a.y) - (double(b.y) - a.y) * (double(p.x) - a.x);
  };
  const double s0 = side(t.v[0], t.v[1]), s1 = side(t.v[1], t.v[2]), s2 = side(t.v[2], t.v[0]);
  const double area = side(t.v[0], t.v[1]) + side(t.v[1], t.v[2]) + side(t.v[2], t.v[0]);
  const double margin = 1e-3 * std::fabs(area);
  const bool inside =
      (s0 > margin && s1 > margin && s2 > margin) || (s0 < -margin && s1 < -margin && s2 < -margin);
  if (!inside) return false;
  // Depth of the triangle's plane at p, by barycentric weights.
  const double total = s0 + s1 + s2;
  const double depth = (s1 * t.v[0].z + s2 * t.v[1].z + s0 * t.v[2].z) / total;
  return p.z > depth + 0.5;
}

TEST_F(Update, SphereWithAllEdgesShowsNothingBehindAFaceAndCoversEveryEdge) {
  const Sphere sphere = make_sphere(12, 24);
  std::vector<Triangle> triangles;
  for (const auto& strip : sphere.strips) {
    for (std::size_t k = 0; k + 2 < strip.size(); ++k)
      triangles.push_back({strip[k], strip[k + 1], strip[k + 2]});
  }

  renderer_->establish();
  renderer_->begin_picture();
  {
    KT_Rendition rendition = KT_Rendition::create();
    rendition.set_clip_rectangle({0, 1000, 0, 1000});
    for (const auto& strip : sphere.strips) {
      renderer_->actions.call(KT_Actions::face<1>(KT_Actions::triangle_strip), rendition,
                              static_cast<int>(strip.size()), strip.data(), nullptr, nullptr);
    }
    for (const auto& [p, q] : sphere.edges) {
      const KT_Point points[2] = {p, q};
      renderer_->actions.call(KT_Actions::polyline_form<1>(), rendition, 2, points);
    }
  }
  renderer_->update();

  // Every piece lies on one edge; per edge, the pieces' parameter ranges
  // must tile [0, 1] exactly once.
  std::vector<std::vector<std::pair<double, double>>> ranges(sphere.edges.size());
  for (const KT_Recorded_Call& call : recorder_->calls()) {
    ASSERT_EQ(call.kind, KT_Recorded_Call::Kind::polyline);
    ASSERT_EQ(call.count, 2);
    const KT_Point& s = call.float_points[0];
    const KT_Point& e = call.float_points[1];
    bool placed = false;
    for (std::size_t i = 0; i < sphere.edges.size() && !placed; ++i) {
      const auto& [p, q] = sphere.edges[i];
      const double dx = double(q.x) - p.x, dy = double(q.y) - p.y, dz = double(q.z) - p.z;
      const double length2 = dx * dx + dy * dy + dz * dz;
      auto param = [&](const KT_Point& x) {
        return ((double(x.x) - p.x) * dx + (double(x.y) - p.y) * dy + (double(x.z) - p.z) * dz) /
               length2;
      };
      auto distance2 = [&](const KT_Point& x, double t) {
        const double ex = p.x + dx * t - x.x, ey = p.y + dy * t - x.y, ez = p.z + dz * t - x.z;
        return ex * ex + ey * ey + ez * ez;
      };
      const double ts = param(s), te = param(e);
      if (distance2(s, ts) < 1e-6 && distance2(e, te) < 1e-6 && ts > -1e-6 && te < 1 + 1e-6 &&
          ts < 1 + 1e-6 && te > -1e-6) {
        ranges[i].push_back({std::min(ts, te), std::max(ts, te)});
        placed = true;
      }
    }
    ASSERT_TRUE(placed) << trace_line(call);
  }

  for (std::size_t i = 0; i < ranges.size(); ++i) {
    auto& r = ranges[i];
    std::sort(r.begin(), r.end());
    ASSERT_FALSE(r.empty()) << "edge " << i;
    EXPECT_NEAR(r.front().first, 0.0, 1e-5) << "edge " << i;
    EXPECT_NEAR(r.back().second, 1.0, 1e-5) << "edge " << i;
    for (std::size_t k = 1; k < r.size(); ++k) {
      EXPECT_NEAR(r[k].first, r[k - 1].second, 1e-5) << "edge " << i << " piece " << k;
    }
  }

  // The visible pieces, re-emitted alone: no sampled point lies behind a face.
  recorder_->forget_calls();
  renderer_->current_option_entries[display_hidden_lines_option]->set(KT_Option_Value(false));
  renderer_->update();
  int visible = 0;
  for (const KT_Recorded_Call& call : recorder_->calls()) {
    ++visible;
    const KT_Point& s = call.float_points[0];
    const KT_Point& e = call.float_points[1];
    for (double f : {0.25, 0.5, 0.75}) {
      const KT_Point p{static_cast<float>(s.x + (e.x - s.x) * f),
                       static_cast<float>(s.y + (e.y - s.y) * f),
                       static_cast<float>(s.z + (e.z - s.z) * f)};
      for (const Triangle& t : triangles) {
        ASSERT_FALSE(hidden_by(t, p)) << "visible point (" << p.x << ", " << p.y << ", " << p.z
                                      << ") of " << trace_line(call);
      }
    }
  }
  int hidden = 0;
  for (HLR_Edge* edge = renderer_->edge_list.head; edge; edge = edge->link)
    hidden += edge->t_min == 1.0;
  EXPECT_GT(visible, 100);
  EXPECT_GT(hidden, 100);  // fully hidden: the far hemisphere's edges
  renderer_->end_picture();
}

}  // namespace
