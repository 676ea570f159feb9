#include "tool/cad/cad_readers.h"

#include <unistd.h>
#include <BinTools.hxx>
#include <Standard_Failure.hxx>
#include <TopoDS_Iterator.hxx>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <functional>
#include <memory>
#include <sstream>

#include "tool/cad/read_parts.h"
#include "tool/cad/reader_process.h"
#include "tool/common/errors.h"
#include "tool/common/input_files.h"
#include "tool/common/module_open.h"

namespace hlr_tool {

namespace {

using Clock = std::chrono::steady_clock;

// How often a wait looks at the interruption hook: a Ctrl-C in Python is
// answered within this.
constexpr std::chrono::milliseconds interruption_check(100);

std::string sew_argument(const Cad_Reading& reading) {
  if (!reading.sew) return "off";
  if (reading.sew_tolerance <= 0.0) return "auto";
  std::ostringstream text;
  text.precision(17);
  text << reading.sew_tolerance;
  return text.str();
}

std::string format_argument(Cad_Format format) {
  switch (format) {
    case Cad_Format::step:
      return "step";
    case Cad_Format::iges:
      return "iges";
    case Cad_Format::brep:
      break;
  }
  return "brep";
}

std::string file_name(const std::string& path) {
  return std::filesystem::path(path).filename().string();
}

std::string seconds_text(double seconds) {
  std::ostringstream text;
  text << seconds;
  return text.str();
}

}  // namespace

// The two phases of the files' readers: the state a file waits in, the
// one it is in while its reader works.
struct Cad_Readers::Phase {
  std::string name;
  File_State queued, running;
  bool timed;               // by the read timeout
  std::string ended_early;  // what a reader that ended in it had not done
};

const Cad_Readers::Phase Cad_Readers::reading_phase{
    "reading", File_State::waiting, File_State::reading, true,
    "before it had read the file; the file is likely damaged"};
const Cad_Readers::Phase Cad_Readers::tessellating_phase{
    "tessellating", File_State::read, File_State::tessellating, false, "while tessellating it"};

struct Cad_Readers::File {
  using State = File_State;

  std::string path;
  Cad_Format format = Cad_Format::brep;
  State state = State::waiting;
  std::unique_ptr<Reader_Process> process;
  Clock::time_point deadline;
  std::optional<Read_Summary> summary;
  std::vector<Cad_Part> parts;  // names and colours from the read frame; shapes after tessellating
  double done = 0.0;            // of the phase under way, 0 to 1
  std::string fault;            // what the reader's checks found, with keep_going
};

Cad_Readers::Cad_Readers(const std::vector<std::string>& paths, const Cad_Options& options)
    : options_(options) {
  for (const std::string& path : paths) {
    const std::optional<Cad_Format> format = cad_format_of(path);
    if (!format) throw input_error(path + ": not a STEP, IGES or BREP file name");
    check_readable(path, "CAD file");
    File file;
    file.path = path;
    file.format = *format;
    files_.push_back(std::move(file));
  }
}

Cad_Readers::~Cad_Readers() = default;

void Cad_Readers::check_interrupted() const {
  if (options_.interrupted && options_.interrupted()) throw Tool_Error("interrupted");
}

void Cad_Readers::start(File& file) {
  // The reader program is installed beside this module.
  const std::string program =
      path_beside(reinterpret_cast<const void*>(&format_argument), reader_program_name);
  file.process = std::make_unique<Reader_Process>(
      program, std::vector<std::string>{std::to_string(getpid()), format_argument(file.format),
                                        sew_argument(options_.reading), file.path});
  file.state = File::State::reading;
  file.deadline =
      Clock::now() + std::chrono::duration_cast<Clock::duration>(
                         std::chrono::duration<double>(options_.reading.timeout_seconds));
}

// One status for all the files of a phase at once: "reading
// bottle.brep: 40%", or "tessellating 34 CAD files: 40%" over all of
// them, files past the phase counting whole and files not yet in it
// nothing.
void Cad_Readers::show_phase(const Phase& phase) {
  if (!options_.progress) return;
  double done = 0.0;
  std::size_t files = 0;
  for (const File& file : files_) {
    if (file.state == File::State::skipped) continue;
    ++files;
    done += file.state == phase.running ? file.done : file.state == phase.queued ? 0.0 : 1.0;
  }
  if (files == 0) return;
  const int percent = int(std::floor(100.0 * done / double(files)));
  if (percent == shown_percent_) return;
  shown_percent_ = percent;
  const std::string what =
      files == 1 ? file_name(files_[0].path) : std::to_string(files) + " CAD files";
  options_.progress(phase.name + " " + what + ": " + std::to_string(percent) + "%");
}

void Cad_Readers::give_up(File& file, const std::string& why) {
  file.process.reset();  // killed, if it still runs
  if (!options_.tessellation.keep_going) throw input_error(file.path + ": " + why);
  if (options_.warn) {
    options_.warn(file.path + ": " + why +
                  (file.fault.empty() ? "" : " (it read only in part: " + file.fault + ")") +
                  "; skipped");
  }
  file.state = File::State::skipped;
}

void Cad_Readers::handle(File& file, Received_Frame frame) {
  Payload_Reader payload(frame.payload);
  switch (frame.kind) {
    case Reader_Frame::progress: {
      const Reader_Phase phase = payload.get<Reader_Phase>();
      file.done = std::clamp(payload.get<double>(), 0.0, 1.0);
      show_phase(phase == Reader_Phase::reading ? reading_phase : tessellating_phase);
      return;
    }
    case Reader_Frame::fault:
      if (!options_.tessellation.keep_going) {
        throw input_error(file.path + ": read only in part: " + frame.payload +
                          " (--keep-going draws what could be read)");
      }
      // Said when the file is read (or skipped after all): one line.
      file.fault = frame.payload;
      return;
    case Reader_Frame::failure:
      give_up(file, frame.payload);
      return;
    case Reader_Frame::read: {
      const Read_Summary summary = payload.get<Read_Summary>();
      for (std::int32_t k = 0; k < summary.parts; ++k) {
        Cad_Part part;
        part.name = payload.get_text();
        const bool colored = payload.get<bool>();
        const Color_ARGB color = payload.get<Color_ARGB>();
        if (colored) part.color = color;
        file.parts.push_back(std::move(part));
      }
      if (summary.parts == 0) {
        give_up(file, "holds no shape");
      } else if (summary.faces == 0) {
        give_up(file, "holds no faces (nothing to draw a surface of)");
      } else {
        file.summary = summary;
        file.state = File::State::read;
        if (!file.fault.empty() && options_.warn)
          options_.warn(file.path + ": read only in part: " + file.fault + "; drawing the rest");
      }
      return;
    }
    case Reader_Frame::shape: {
      TopoDS_Shape shape;
      std::istringstream bytes(frame.payload);
      try {
        BinTools::Read(shape, bytes);
      } catch (const Standard_Failure& failure) {
        throw Tool_Error(file.path + ": the shape from the CAD reader process is broken: " +
                         failure.GetMessageString());
      }
      std::size_t k = 0;
      for (TopoDS_Iterator x(shape); x.More() && k < file.parts.size(); x.Next(), ++k)
        file.parts[k].shape = x.Value();
      if (k != file.parts.size())
        throw Tool_Error(file.path + ": the CAD reader process sent too few parts");
      file.state = File::State::done;
      file.process.reset();
      return;
    }
    case Reader_Frame::tessellate:
      break;
  }
  throw Tool_Error(file.path + ": the CAD reader process sent a message of no known kind");
}

void Cad_Readers::run_phase(const Phase& phase, const std::function<void(File&)>& start_one) {
  const std::size_t at_once = std::size_t(std::max(1, options_.readers));
  shown_percent_ = -1;
  show_phase(phase);
  for (;;) {
    check_interrupted();
    std::vector<File*> running;
    for (File& file : files_) {
      if (file.state == phase.running) running.push_back(&file);
    }
    for (File& file : files_) {
      if (running.size() >= at_once) break;
      if (file.state != phase.queued) continue;
      file.done = 0.0;
      start_one(file);
      if (file.state == phase.running) running.push_back(&file);
    }
    if (running.empty()) {
      show_phase(phase);
      return;
    }

    std::vector<Reader_Process*> processes;
    for (File* file : running) processes.push_back(file->process.get());
    for (std::size_t k : wait_for_readers(processes, interruption_check)) {
      File& file = *running[k];
      const bool open = file.process->receive();
      while (file.state == phase.running) {
        std::optional<Received_Frame> frame = file.process->take_frame();
        if (!frame) break;
        handle(file, std::move(*frame));
      }
      if (!open && file.state == phase.running)
        give_up(file, "the CAD reader " + file.process->how_it_ended() + " " + phase.ended_early);
    }
    if (!phase.timed) continue;
    const Clock::time_point now = Clock::now();
    for (File* file : running) {
      if (file->state == phase.running && now > file->deadline) {
        give_up(*file, "reading took longer than " +
                           seconds_text(options_.reading.timeout_seconds) +
                           " s (--read-timeout); stopped");
      }
    }
  }
}

void Cad_Readers::read() {
  run_phase(reading_phase, [this](File& file) { start(file); });
}

std::vector<std::optional<Read_Summary>> Cad_Readers::summaries() const {
  std::vector<std::optional<Read_Summary>> summaries;
  for (const File& file : files_) summaries.push_back(file.summary);
  return summaries;
}

std::vector<std::optional<std::vector<Cad_Part>>> Cad_Readers::tessellate(
    const Tessellation_Request& request) {
  Payload_Writer payload;
  payload.put(request);
  run_phase(tessellating_phase, [&](File& file) {
    file.state = File::State::tessellating;
    // A reader that went away shows when its socket is read.
    file.process->send(Reader_Frame::tessellate, payload.bytes());
  });
  std::vector<std::optional<std::vector<Cad_Part>>> parts;
  for (File& file : files_) {
    if (file.state == File::State::done) {
      parts.emplace_back(std::move(file.parts));
    } else {
      parts.emplace_back();
    }
  }
  return parts;
}

}  // namespace hlr_tool
