#include "tool/batch/batch_inputs.h"

#include <glob.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <set>

#include "tool/common/errors.h"

namespace hlr_tool {

namespace {

namespace fs = std::filesystem;

bool is_pattern(std::string_view word) { return word.find_first_of("*?[") != word.npos; }

// glob(3) owns its result until globfree.
class Glob_Matches {
 public:
  explicit Glob_Matches(const std::string& pattern) {
    status_ = glob(pattern.c_str(), GLOB_ERR, nullptr, &matches_);
  }
  Glob_Matches(const Glob_Matches&) = delete;
  Glob_Matches& operator=(const Glob_Matches&) = delete;
  ~Glob_Matches() { globfree(&matches_); }

  std::vector<std::string> paths() const {
    if (status_ != 0) return {};
    return {matches_.gl_pathv, matches_.gl_pathv + matches_.gl_pathc};
  }

 private:
  glob_t matches_{};
  int status_ = 0;
};

void add_word(const std::string& word, std::vector<std::string>& files, int depth);

void add_list(const std::string& list, std::vector<std::string>& files, int depth) {
  // A list naming itself, directly or not, would never end.
  if (depth > 8) throw input_error("@" + list + ": lists nest more than 8 deep");
  std::ifstream in(list);
  if (!in) throw input_error("@" + list + ": cannot read the list of inputs");
  for (std::string line; std::getline(in, line);) {
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t'))
      line.pop_back();
    const std::size_t start = line.find_first_not_of(" \t");
    if (start == std::string::npos || line[start] == '#') continue;
    add_word(line.substr(start), files, depth + 1);
  }
}

void add_word(const std::string& word, std::vector<std::string>& files, int depth) {
  if (word.size() > 1 && word[0] == '@') {
    add_list(word.substr(1), files, depth);
  } else if (is_pattern(word)) {
    std::vector<std::string> matches = Glob_Matches(word).paths();
    if (matches.empty()) throw input_error("no file matches '" + word + "'");
    files.insert(files.end(), matches.begin(), matches.end());
  } else {
    files.push_back(word);
  }
}

// Calls field(name) for each {name} and text(piece) for the rest.
template <class Field, class Text>
void walk_pattern(std::string_view pattern, Field field, Text text) {
  for (std::size_t i = 0; i < pattern.size();) {
    const char c = pattern[i];
    if ((c == '{' || c == '}') && i + 1 < pattern.size() && pattern[i + 1] == c) {
      text(std::string_view(&pattern[i], 1));
      i += 2;
    } else if (c == '{') {
      const std::size_t close = pattern.find('}', i);
      if (close == std::string_view::npos) {
        throw input_error("-o: the pattern '" + std::string(pattern) + "' has an unclosed {");
      }
      field(pattern.substr(i + 1, close - i - 1));
      i = close + 1;
    } else if (c == '}') {
      throw input_error("-o: the pattern '" + std::string(pattern) +
                        "' has a } without its {; write }} for a brace");
    } else {
      const std::size_t next = pattern.find_first_of("{}", i);
      const std::size_t end = next == std::string_view::npos ? pattern.size() : next;
      text(pattern.substr(i, end - i));
      i = end;
    }
  }
}

std::string field_value(std::string_view field, const std::string& input) {
  const fs::path path(input);
  if (field == "stem") return path.stem().string();
  if (field == "name") return path.filename().string();
  const std::string folder = path.parent_path().string();
  return folder.empty() ? "." : folder;
}

}  // namespace

std::vector<std::string> expand_inputs(std::span<const std::string> words) {
  std::vector<std::string> files;
  for (const std::string& word : words) add_word(word, files, 0);
  std::vector<std::string> once;
  std::set<std::string> seen;
  for (std::string& file : files) {
    if (seen.insert(file).second) once.push_back(std::move(file));
  }
  return once;
}

void check_output_pattern(std::string_view pattern) {
  bool fields = false;
  walk_pattern(
      pattern,
      [&](std::string_view field) {
        if (field != "stem" && field != "name" && field != "dir") {
          throw input_error("-o: unknown field {" + std::string(field) +
                            "} in the pattern; the fields are {stem}, {name} and {dir}");
        }
        fields = true;
      },
      [](std::string_view) {});
  if (!fields) {
    throw input_error("-o: the pattern '" + std::string(pattern) +
                      "' has no field, so every input would write the same file; use {stem}, "
                      "{name} or {dir} (drawings/{stem}.svg)");
  }
}

std::string output_for(std::string_view pattern, const std::string& input) {
  std::string output;
  walk_pattern(
      pattern, [&](std::string_view field) { output += field_value(field, input); },
      [&](std::string_view text) { output += text; });
  return output;
}

std::vector<Batch_Item> batch_items(std::span<const std::string> inputs, std::string_view pattern) {
  std::vector<Batch_Item> items;
  std::map<std::string, std::string> writer_of;
  for (const std::string& input : inputs) {
    Batch_Item item{input, output_for(pattern, input)};
    const std::string key = fs::path(item.output).lexically_normal().string();
    const auto [at, fresh] = writer_of.emplace(key, input);
    if (!fresh) {
      throw input_error("-o: " + at->second + " and " + input + " would both be drawn into " +
                        item.output + "; put {dir} or {name} into the pattern");
    }
    items.push_back(std::move(item));
  }
  return items;
}

bool up_to_date(const Batch_Item& item) {
  std::error_code error;
  const fs::file_time_type input = fs::last_write_time(item.input, error);
  if (error) return false;
  const fs::file_time_type output = fs::last_write_time(item.output, error);
  return !error && output > input;
}

}  // namespace hlr_tool
