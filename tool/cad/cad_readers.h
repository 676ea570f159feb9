// The CAD files of one load, each read, checked, sewn and tessellated by a
// reader process of its own (reader_process.h), and what the CAD module
// decides about each: used, drawn in part, or (with keep_going) skipped.
//
// Two steps, since the default deflection follows the size of all the
// files together: read() waits until every file is read (its size known),
// tessellate() then meshes them, one after the other, to one request.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "tool/cad/cad_model.h"
#include "tool/cad/reader_channel.h"
#include "tool/cad/reader_process.h"
#include "tool/cad/xde_entry.h"

namespace hlr_tool {

class Cad_Readers {
 public:
  // Checks every path (an unknown extension or a missing file is
  // Tool_Error even with keep_going: it is the command line that is
  // wrong). Starts nothing yet.
  Cad_Readers(const std::vector<std::string>& paths, const Cad_Options& options);
  Cad_Readers(const Cad_Readers&) = delete;
  Cad_Readers& operator=(const Cad_Readers&) = delete;
  // Stops the readers still running.
  ~Cad_Readers();

  // Reads every file, up to options.readers at a time, each within the
  // read timeout. A file that cannot be used (it cannot be read, its
  // reader crashed or ran out of time, it holds no face) throws
  // Tool_Error (exit status 2) naming it, or with keep_going is skipped
  // with a warning; so is a file that reads only in part, except that with
  // keep_going it is drawn. Throws when options.interrupted says so.
  void read();

  // The read files' summaries (skipped ones: nullopt), in path order.
  std::vector<std::optional<Read_Summary>> summaries() const;

  // Tessellates every file that was read, up to options.readers at a
  // time, and returns its parts with their meshes (skipped files:
  // nullopt), in path order. Failures as read().
  std::vector<std::optional<std::vector<Cad_Part>>> tessellate(const Tessellation_Request& request);

 private:
  enum class File_State { waiting, reading, read, tessellating, done, skipped };
  struct File;
  struct Phase;
  static const Phase reading_phase;
  static const Phase tessellating_phase;

  void start(File& file);
  // Runs the phase until no file is left in it: up to options.readers
  // files at once, each started with `start_one`, their frames handled as
  // they come.
  void run_phase(const Phase& phase, const std::function<void(File&)>& start_one);
  void handle(File& file, Received_Frame frame);
  void give_up(File& file, const std::string& why);
  void check_interrupted() const;
  void show_phase(const Phase& phase);

  const Cad_Options& options_;
  std::vector<File> files_;
  int shown_percent_ = -1;
};

}  // namespace hlr_tool
