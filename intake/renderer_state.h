// What the renderer keeps beside the host's renderer base: its option
// entries, the settings copied from them, and the store of the current
// picture. Every part of the renderer works on this state; the renderer
// object (driver/hlr_renderer.h) adds the host base and the stages.
//
// Every member starts at zero: the renderer's storage is zero-filled before
// construction.
#pragma once

#include <array>
#include <cstdint>

#include "geometry.h"
#include "options.h"
#include "record_arena.h"
#include "records.h"

class HLR_Face_Index;
struct HLR_Interval_Pools;

// Positions of the options in option_entries and current_option_entries.
enum HLR_Option_Index : int {
  hidden_line_pattern_option = 0,
  hidden_line_color_option = 1,
  use_face_color_for_intersections_option = 2,
  intersection_line_color_option = 3,
  display_hidden_lines_option = 4,
  display_intersections_option = 5,
  intersection_line_pattern_option = 6,
  retain_hidden_line_color_option = 7,
  halo_gap_option = 8,
  wzero_factor_option = 9,
  use_double_precision_option = 10,
  option_count = 11,
};

struct HLR_Edge_List {
  HLR_Edge* head;
  HLR_Edge* tail;
  std::uint32_t count;
};

struct HLR_Face_List {
  HLR_Face* head;
  std::uint32_t count;
};

struct HLR_Marker_List {
  HLR_Marker* head;
};

// Bounds over the vertices of the picture's faces. Empty: every minimum
// 1e28 and every maximum 0.0 (not -1e28), so the maxima never fall below 0.
struct HLR_Extent {
  float x_min;
  float x_max;
  float y_min;
  float y_max;
  float z_min;
  float z_max;
};

constexpr HLR_Extent empty_extent{1e28f, 0.0f, 1e28f, 0.0f, 1e28f, 0.0f};

struct HLR_Renderer_State {
  std::array<KT_Option*, option_count> option_entries;
  std::array<KT_Option*, option_count> current_option_entries;

  // The settings, copied from current_option_table by read_settings.
  std::int32_t hidden_line_pattern;
  KT_RGB32 hidden_line_color;
  bool display_hidden_lines;
  bool retain_hidden_line_color;
  bool use_face_color_for_intersections;
  bool display_intersections;
  std::int32_t intersection_line_pattern;
  std::int32_t halo_gap;
  float wzero_factor;
  bool use_double_precision;

  // The store of the current picture; its records live in `records`.
  HLR_Record_Arena records;
  HLR_Edge_List edge_list;
  HLR_Face_List face_list;
  HLR_Marker_List marker_list;
  // The renditions the records point to, the latest first.
  HLR_Held_Rendition* held_renditions;
  HLR_Face_Index* face_index;  // null until the intersection pass builds it
  // Where the edges' hidden intervals live; null until the hidden-line
  // pass makes it.
  HLR_Interval_Pools* interval_pools;
  HLR_Extent extent;
  float depth_tolerance;
};

// A colour option's four ints (c0, c1, c2, c3) as a colour: the low 8 bits
// of each, c0 red, c1 green, c2 blue, c3 alpha, so (0, 0, 0, 255) is
// 0xFF000000.
KT_RGB32 pack_color(const KT_Color_Components& components);
// The inverse: ((h >> 16) & 255, (h >> 8) & 255, h & 255, h >> 24).
KT_Color_Components unpack_color(KT_RGB32 color);
