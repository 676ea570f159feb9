#include "tool/cli/draw_option_registry.h"

#include "tool/common/closest_name.h"
#include "tool/common/errors.h"

namespace hlr_tool {

namespace {

std::string help_of(const Draw_Option& option) {
  const std::string default_value = default_text(option);
  if (default_value.empty()) return option.help;
  return option.help + " (default" + (default_value.front() == ':' ? "" : " ") + default_value +
         ")";
}

}  // namespace

void Draw_Option_Registry::register_options(CLI::App& command,
                                            const std::function<bool(const Draw_Option&)>& take,
                                            bool output_required) {
  for (const Draw_Option& option : draw_options()) {
    if (take && !take(option)) continue;
    auto& registered = *options_.emplace_back(std::make_unique<Registered>());
    registered.option = &option;
    std::string names = "--" + option.name;
    if (option.short_name != 0) names = std::string("-") + option.short_name + "," + names;
    if (option.kind == Option_Kind::flag) {
      registered.cli = command.add_flag(names)->description(help_of(option));
    } else {
      registered.cli = command.add_option(names, registered.text, help_of(option))
                           ->option_text(option.value_name);
    }
    registered.cli->group(option.group)
        ->required(output_required && option.required_on_command_line);
  }
}

// CLI11 leaves what it does not know to us (allow_extras).
void Draw_Option_Registry::refuse_unknown_options(const CLI::App& command) const {
  const std::string help = " (hlr-render " + command.get_name() + " --help lists them)";
  for (const std::string& word : command.remaining()) {
    if (word.rfind("--", 0) != 0) continue;
    std::vector<std::string> names;
    for (const auto& registered : options_) names.push_back("--" + registered->option->name);
    for (const CLI::Option* option : command.get_options()) {
      for (const std::string& name : option->get_lnames()) names.push_back("--" + name);
    }
    const std::string name = word.substr(0, word.find('='));
    const std::string closest = closest_name(name, names);
    throw input_error("unknown option " + name +
                      (closest.empty() ? "" : "; did you mean " + closest + "?") + help);
  }
  if (!command.remaining().empty()) {
    throw input_error("unknown option " + command.remaining().front() + help);
  }
}

std::vector<Given_Option> Draw_Option_Registry::given() const {
  std::vector<Given_Option> given;
  for (const auto& registered : options_) {
    if (registered->cli->count() == 0) continue;
    const bool flag = registered->option->kind == Option_Kind::flag;
    given.push_back({registered->option, flag ? "true" : registered->text});
  }
  return given;
}

Draw_Request request_of(const std::vector<std::string>& models,
                        const std::vector<Given_Option>& options) {
  Draw_Request request;
  for (const std::string& path : models) request.models.push_back({path, nullptr});
  for (const Given_Option& given : options) apply_draw_option(request, *given.option, given.text);
  return request;
}

}  // namespace hlr_tool
