// The inputs of a batch and the drawing each is written to.
//
// An input word is a file, a glob pattern (any of * ? [ in it, expanded
// as the shell would, in sorted order) or @FILE, a list of inputs one a
// line (blank lines and lines starting with # skipped; relative paths are
// taken from the working folder, as `find ... > list.txt` writes them).
// The output of an input is the pattern with its fields filled in:
//   {stem}  the input's file name without its last extension ("axle")
//   {name}  the input's file name ("axle.step")
//   {dir}   the input's folder as given ("parts/v2"; "." for none)
// and "{{" and "}}" for a brace.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace hlr_tool {

struct Batch_Item {
  std::string input;
  std::string output;
};

// The files the words name, in the order given, each once (the first time
// it is named). Throws Tool_Error (exit status 2) for a list that cannot be
// read and for a pattern that matches nothing, naming it; a plain path is
// taken as it is, even when there is no such file (drawing it fails and is
// reported with the rest).
std::vector<std::string> expand_inputs(std::span<const std::string> words);

// Throws Tool_Error (exit status 2) for a pattern with an unknown field, an
// unmatched brace, or no field at all (every input would write one file).
void check_output_pattern(std::string_view pattern);

// The output of `input` under a checked pattern.
std::string output_for(std::string_view pattern, const std::string& input);

// Every input with its output. Throws Tool_Error (exit status 2) when two
// inputs would write the same file, naming both.
std::vector<Batch_Item> batch_items(std::span<const std::string> inputs, std::string_view pattern);

// The output exists and was modified after the input (a missing input is
// never up to date: drawing it reports the fault).
bool up_to_date(const Batch_Item& item);

}  // namespace hlr_tool
