// The renderer's eleven options: registration into both tables, the values
// the constructor assigns in option_table, and read_settings.

#include <array>

#include "hlr_renderer.h"

namespace {

struct Option_Definition {
  HLR_Option_Index index;
  const wchar_t* name;
  KT_Option_Kind kind;
  // The registered value and the value the constructor assigns in
  // option_table, in the option's kind: ints and bools in [0], colours in
  // all four, the float as 0.0 for both.
  KT_Color_Components registered;
  KT_Color_Components assigned;
};

constexpr KT_Color_Components black{0, 0, 0, 255};
constexpr KT_Color_Components white{255, 255, 255, 255};
constexpr KT_Color_Components zero{0, 0, 0, 0};
constexpr KT_Color_Components one{1, 0, 0, 0};

// In registration order: "Display Hidden Lines" comes third.
constexpr std::array<Option_Definition, option_count> definitions{{
    {hidden_line_pattern_option, L"Hidden Line Pattern", KT_Option_Kind::integer, zero, zero},
    {hidden_line_color_option, L"Hidden Line Color", KT_Option_Kind::color, black, white},
    {display_hidden_lines_option, L"Display Hidden Lines", KT_Option_Kind::boolean, one, zero},
    {use_face_color_for_intersections_option, L"Use Face Color For Intersections",
     KT_Option_Kind::boolean, zero, zero},
    {intersection_line_color_option, L"Intersection Line Color", KT_Option_Kind::color, black,
     white},
    {display_intersections_option, L"Display Intersections", KT_Option_Kind::boolean, zero, zero},
    {intersection_line_pattern_option, L"Intersection Line Pattern", KT_Option_Kind::integer, zero,
     zero},
    {retain_hidden_line_color_option, L"Retain Hidden Line Color", KT_Option_Kind::boolean, zero,
     zero},
    {halo_gap_option, L"Halo Gap", KT_Option_Kind::integer, zero, zero},
    {wzero_factor_option, L"WZERO Factor", KT_Option_Kind::real, zero, zero},
    {use_double_precision_option, L"Use Double Precision", KT_Option_Kind::boolean, zero, zero},
}};

KT_Option make_option(const Option_Definition& definition) {
  const KT_String name(definition.name);
  const KT_Color_Components& v = definition.registered;
  constexpr auto scope = static_cast<KT_Option_Enum::Scope>(0);
  switch (definition.kind) {
    case KT_Option_Kind::integer:
      return KT_Option(name, scope, v[0]);
    case KT_Option_Kind::boolean:
      return KT_Option(name, scope, v[0] != 0);
    case KT_Option_Kind::real:
      return KT_Option(name, scope, 0.0f);
    case KT_Option_Kind::color:
      return KT_Option(name, scope, v[0], v[1], v[2], v[3]);
  }
  return KT_Option(name, scope, 0);
}

KT_Option_Value assigned_value(const Option_Definition& definition) {
  const KT_Color_Components& v = definition.assigned;
  switch (definition.kind) {
    case KT_Option_Kind::integer:
      return KT_Option_Value(v[0]);
    case KT_Option_Kind::boolean:
      return KT_Option_Value(v[0] != 0);
    case KT_Option_Kind::real:
      return KT_Option_Value(0.0f);
    case KT_Option_Kind::color:
      return KT_Option_Value(v[0], v[1], v[2], v[3]);
  }
  return KT_Option_Value(0);
}

}  // namespace

void register_options(KT_Option_Table& table, std::array<KT_Option*, option_count>& entries) {
  for (const Option_Definition& definition : definitions) {
    entries[definition.index] = table.add(make_option(definition));
  }
}

void assign_option_defaults(const std::array<KT_Option*, option_count>& entries) {
  // The same order as the registration; "Use Double Precision" keeps its
  // registered value.
  for (const Option_Definition& definition : definitions) {
    if (definition.index == use_double_precision_option) continue;
    entries[definition.index]->set(assigned_value(definition));
  }
}

void HLR_Renderer::read_settings() {
  const auto& e = current_option_entries;
  hidden_line_pattern = e[hidden_line_pattern_option]->integer_value();
  hidden_line_color = pack_color(e[hidden_line_color_option]->color_value());
  use_face_color_for_intersections = e[use_face_color_for_intersections_option]->boolean_value();
  display_hidden_lines = e[display_hidden_lines_option]->boolean_value();
  display_intersections = e[display_intersections_option]->boolean_value();
  intersection_line_pattern = e[intersection_line_pattern_option]->integer_value();
  retain_hidden_line_color = e[retain_hidden_line_color_option]->boolean_value();
  halo_gap = e[halo_gap_option]->integer_value();
  wzero_factor = e[wzero_factor_option]->real_value();
  use_double_precision = e[use_double_precision_option]->boolean_value();
}
