#include "tool/models/edge_selection.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

namespace hlr_tool {
namespace {

Vertex_Pair ordered(std::uint32_t a, std::uint32_t b) { return {std::min(a, b), std::max(a, b)}; }

// Every step of every polyline is a segment, and the steps together are
// the segments, each exactly once.
void expect_cover(const std::vector<Vertex_Pair>& segments,
                  const std::vector<std::vector<std::uint32_t>>& lines) {
  std::vector<Vertex_Pair> steps;
  for (const auto& line : lines) {
    EXPECT_GE(line.size(), 2u);
    for (std::size_t i = 1; i < line.size(); ++i) steps.push_back(ordered(line[i - 1], line[i]));
  }
  std::vector<Vertex_Pair> expected;
  for (const Vertex_Pair& s : segments) expected.push_back(ordered(s[0], s[1]));
  std::sort(steps.begin(), steps.end());
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(steps, expected);
}

TEST(Chaining, ShapesGiveTheExpectedPolylines) {
  struct Case {
    const char* shape;
    std::vector<Vertex_Pair> segments;
    std::size_t polylines;
    std::size_t closed;  // polylines that end where they start
  };
  const Case cases[] = {
      {"square", {{0, 1}, {2, 3}, {1, 2}, {3, 0}}, 1, 1},
      {"three arms", {{0, 1}, {1, 2}, {0, 3}, {0, 4}, {4, 5}}, 2, 0},
      {"figure eight", {{0, 1}, {1, 2}, {2, 0}, {0, 3}, {3, 4}, {4, 0}}, 1, 1},
      {"square with a tail", {{0, 1}, {1, 2}, {2, 3}, {3, 0}, {0, 5}}, 1, 0},
      {"cube: eight corners of three",
       {{0, 1},
        {2, 3},
        {4, 5},
        {6, 7},
        {0, 2},
        {1, 3},
        {4, 6},
        {5, 7},
        {0, 4},
        {1, 5},
        {2, 6},
        {3, 7}},
       4,
       0},
      {"nothing", {}, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.shape);
    const auto lines = chain_polylines(c.segments, 9);
    EXPECT_EQ(lines.size(), c.polylines);
    EXPECT_EQ(std::size_t(std::count_if(lines.begin(), lines.end(),
                                        [](const auto& l) { return l.front() == l.back(); })),
              c.closed);
    expect_cover(c.segments, lines);
  }
}

// Open polylines can only end where an odd number of segments meet, so
// half the number of such vertices is the fewest there can be.
TEST(Chaining, RandomGraphsAreCoveredOnceWithTheFewestOpenPolylines) {
  std::mt19937 random(11);
  for (int trial = 0; trial < 50; ++trial) {
    const std::uint32_t vertices = 3 + trial;
    std::uniform_int_distribution<std::uint32_t> vertex(0, vertices - 1);
    std::vector<Vertex_Pair> segments;
    for (int i = 0; i < 2 * trial + 1; ++i) {
      const std::uint32_t a = vertex(random), b = vertex(random);
      const Vertex_Pair s = ordered(a, b);
      if (a != b && std::find(segments.begin(), segments.end(), s) == segments.end())
        segments.push_back(random() % 2 ? s : Vertex_Pair{s[1], s[0]});
    }
    SCOPED_TRACE(trial);
    const auto lines = chain_polylines(segments, vertices);
    expect_cover(segments, lines);
    std::vector<int> degree(vertices, 0);
    for (const Vertex_Pair& s : segments) ++degree[s[0]], ++degree[s[1]];
    const auto odd = std::count_if(degree.begin(), degree.end(), [](int d) { return d % 2 == 1; });
    const auto open = std::count_if(lines.begin(), lines.end(),
                                    [](const auto& l) { return l.front() != l.back(); });
    EXPECT_EQ(2 * open, odd);
  }
}

}  // namespace
}  // namespace hlr_tool
