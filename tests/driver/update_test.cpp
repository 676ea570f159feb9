// The whole renderer at update: a closed solid drawn with all its edges,
// checked against the faces by brute force. A next renderer that throws at
// any call is the reliability suite's (Fault_Injection).
#include <algorithm>
#include <cmath>
#include <numbers>
#include <optional>
#include <vector>

#include "renderer_fixture.h"

namespace {

using Update = Renderer_Test;

struct Triangle {
  KT_Point v[3];
};

// A sphere of radius 300 around (500, 500, 500) in device units, as a
// latitude-longitude mesh: one strip per band, its triangles, and every
// edge of the mesh once.
struct Sphere {
  std::vector<std::vector<KT_Point>> strips;
  std::vector<Triangle> triangles;
  std::vector<std::pair<KT_Point, KT_Point>> edges;

  Sphere(int bands, int sectors) {
    auto at = [&](int band, int sector) {
      const double theta = std::numbers::pi * band / bands;
      const double phi = 2 * std::numbers::pi * sector / sectors + 0.1;
      return KT_Point{float(500 + 300 * std::sin(theta) * std::cos(phi)),
                      float(500 + 300 * std::cos(theta)),
                      float(500 + 300 * std::sin(theta) * std::sin(phi))};
    };
    for (int band = 0; band < bands; ++band) {
      std::vector<KT_Point>& strip = strips.emplace_back();
      for (int sector = 0; sector <= sectors; ++sector) {
        strip.push_back(at(band, sector % sectors));
        strip.push_back(at(band + 1, sector % sectors));
      }
      for (std::size_t k = 0; k + 2 < strip.size(); ++k)
        triangles.push_back({strip[k], strip[k + 1], strip[k + 2]});
      for (int sector = 0; sector < sectors; ++sector) {
        if (band > 0) edges.push_back({at(band, sector), at(band, sector + 1)});
        edges.push_back({at(band, sector), at(band + 1, sector)});
        if (band > 0 && band + 1 < bands)
          edges.push_back({at(band, sector), at(band + 1, sector + 1)});
      }
    }
  }
};

// Hidden by brute force: inside the triangle by a margin in x-y and behind
// its plane by more than the tolerance, with a margin.
bool hidden_by(const Triangle& t, const KT_Point& p) {
  auto side = [&](const KT_Point& a, const KT_Point& b) {
    return (double(b.x) - a.x) * (double(p.y) - a.y) - (double(b.y) - a.y) * (double(p.x) - a.x);
  };
  const double s0 = side(t.v[0], t.v[1]), s1 = side(t.v[1], t.v[2]), s2 = side(t.v[2], t.v[0]);
  const double margin = 1e-3 * std::fabs(s0 + s1 + s2);
  if (!(s0 > margin && s1 > margin && s2 > margin) &&
      !(s0 < -margin && s1 < -margin && s2 < -margin))
    return false;
  // Depth of the triangle's plane at p, by barycentric weights.
  const double depth = (s1 * t.v[0].z + s2 * t.v[1].z + s0 * t.v[2].z) / (s0 + s1 + s2);
  return p.z > depth + 0.5;
}

// The parameter range of the piece s-e along the edge p-q, or none when the
// piece does not lie on that edge.
std::optional<std::pair<double, double>> range_on(const std::pair<KT_Point, KT_Point>& edge,
                                                  const KT_Point& s, const KT_Point& e) {
  const auto& [p, q] = edge;
  const double dx = double(q.x) - p.x, dy = double(q.y) - p.y, dz = double(q.z) - p.z;
  const double length2 = dx * dx + dy * dy + dz * dz;
  auto param = [&](const KT_Point& x) {
    return ((double(x.x) - p.x) * dx + (double(x.y) - p.y) * dy + (double(x.z) - p.z) * dz) /
           length2;
  };
  auto on_edge = [&](const KT_Point& x, double t) {
    const double ex = p.x + dx * t - x.x, ey = p.y + dy * t - x.y, ez = p.z + dz * t - x.z;
    return ex * ex + ey * ey + ez * ez < 1e-6 && t > -1e-6 && t < 1 + 1e-6;
  };
  const double ts = param(s), te = param(e);
  if (!on_edge(s, ts) || !on_edge(e, te)) return std::nullopt;
  return std::pair{std::min(ts, te), std::max(ts, te)};
}

TEST_F(Update, SphereWithAllEdgesShowsNothingBehindAFaceAndCoversEveryEdge) {
  const Sphere sphere(12, 24);
  renderer_->establish();
  renderer_->begin_picture();
  for (const auto& strip : sphere.strips) {
    renderer_->actions.call(KT_Actions::face<1>(KT_Actions::triangle_strip), rendition_,
                            int(strip.size()), strip.data(), nullptr, nullptr);
  }
  for (const auto& [p, q] : sphere.edges) {
    const KT_Point points[2] = {p, q};
    renderer_->actions.call(KT_Actions::polyline_form<1>(), rendition_, 2, points);
  }
  renderer_->update();

  // Every piece lies on one edge; per edge, the pieces' parameter ranges
  // must tile [0, 1] exactly once.
  std::vector<std::vector<std::pair<double, double>>> ranges(sphere.edges.size());
  for (const KT_Recorded_Call& call : recorder_->calls()) {
    ASSERT_EQ(call.kind, KT_Recorded_Call::Kind::polyline);
    ASSERT_EQ(call.count, 2);
    std::size_t i = 0;
    for (; i < sphere.edges.size(); ++i) {
      if (auto range = range_on(sphere.edges[i], call.float_points[0], call.float_points[1])) {
        ranges[i].push_back(*range);
        break;
      }
    }
    ASSERT_LT(i, sphere.edges.size()) << trace_line(call);
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
  for (const KT_Recorded_Call& call : recorder_->calls()) {
    const KT_Point& s = call.float_points[0];
    const KT_Point& e = call.float_points[1];
    for (double f : {0.25, 0.5, 0.75}) {
      const KT_Point p{float(s.x + (e.x - s.x) * f), float(s.y + (e.y - s.y) * f),
                       float(s.z + (e.z - s.z) * f)};
      for (const Triangle& t : sphere.triangles) {
        ASSERT_FALSE(hidden_by(t, p)) << "visible point of " << trace_line(call);
      }
    }
  }
  int hidden = 0;
  for (HLR_Edge* edge = renderer_->edge_list.head; edge; edge = edge->link)
    hidden += edge->t_min == 1.0;
  EXPECT_GT(recorder_->calls().size(), 100u);
  EXPECT_GT(hidden, 100);  // fully hidden: the far hemisphere's edges
  renderer_->end_picture();
}

}  // namespace
