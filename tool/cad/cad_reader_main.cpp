// hlr-cad-read: reads, checks, sews and tessellates one CAD file for the
// CAD module, which starts it (reader_process.h says why in a process of
// its own) and talks to it on reader_socket_fd (reader_channel.h says
// what). Not a program for users: its command line is the module's.
//
//   hlr-cad-read PARENT_PID FORMAT SEW PATH
//
// FORMAT is step, iges or brep; SEW is off, auto or a tolerance in model
// units. The program ends with status 0 after the shape, 2 after a
// failure frame, and as soon as the module closes the socket or ends.
#include <signal.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <BRepBndLib.hxx>
#include <BRep_Builder.hxx>
#include <BinTools.hxx>
#include <Bnd_Box.hxx>
#include <Message.hxx>
#include <Message_Messenger.hxx>
#include <Message_Printer.hxx>
#include <Message_ProgressIndicator.hxx>
#include <Message_ProgressScope.hxx>
#include <Standard_Failure.hxx>
#include <TopExp_Explorer.hxx>
#include <TopoDS_Compound.hxx>
#include <TopoDS_Iterator.hxx>

#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <new>
#include <sstream>
#include <string>
#include <string_view>

#include "tool/cad/read_parts.h"
#include "tool/cad/reader_channel.h"
#include "tool/cad/sewing.h"
#include "tool/cad/shape_checks.h"
#include "tool/cad/tessellation.h"

namespace hlr_tool {
namespace {

// The module's end of the conversation went away: nothing is left to do.
struct Module_Gone {};

void write_all(std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t put = write(reader_socket_fd, bytes.data(), bytes.size());
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) throw Module_Gone{};
    bytes.remove_prefix(std::size_t(put));
  }
}

void send(Reader_Frame kind, std::string_view payload) { write_all(frame_bytes(kind, payload)); }

// The failure frame, the last the reader sends; a module that is gone
// hears nothing.
int fail(const std::string& message, int status) {
  try {
    send(Reader_Frame::failure, message);
  } catch (const Module_Gone&) {
  }
  return status;
}

std::string read_exactly(std::size_t count) {
  std::string bytes(count, '\0');
  std::size_t got = 0;
  while (got < count) {
    const ssize_t read_now = read(reader_socket_fd, bytes.data() + got, count - got);
    if (read_now < 0 && errno == EINTR) continue;
    if (read_now <= 0) throw Module_Gone{};
    got += std::size_t(read_now);
  }
  return bytes;
}

Tessellation_Request receive_tessellation_request() {
  const std::string header = read_exactly(frame_header_bytes);
  const std::string payload = read_exactly(std::size_t(*frame_length(header)));
  if (static_cast<Reader_Frame>(header[0]) != Reader_Frame::tessellate) throw Module_Gone{};
  Payload_Reader reader(payload);
  return reader.get<Tessellation_Request>();
}

// Open CASCADE's progress as frames to the module, at most every 50 ms.
class Channel_Progress : public Message_ProgressIndicator {
 public:
  explicit Channel_Progress(Reader_Phase phase) : phase_(phase) {}

 protected:
  void Show(const Message_ProgressScope&, const Standard_Boolean force) override {
    const auto now = std::chrono::steady_clock::now();
    if (!force && now - last_ < std::chrono::milliseconds(50)) return;
    last_ = now;
    Payload_Writer payload;
    payload.put(phase_);
    payload.put(double(GetPosition()));
    send(Reader_Frame::progress, payload.bytes());
  }

 private:
  Reader_Phase phase_;
  std::chrono::steady_clock::time_point last_{};
};

struct Arguments {
  pid_t parent = 0;
  Cad_Format format = Cad_Format::brep;
  bool sew = true;
  double sew_tolerance = 0.0;  // 0: automatic
  std::string path;
};

Arguments arguments_of(int argc, char** argv) {
  if (argc != 5) throw Tool_Error("usage: hlr-cad-read PARENT_PID FORMAT SEW PATH");
  Arguments arguments;
  arguments.parent = pid_t(std::atol(argv[1]));
  const std::optional<Cad_Format> format = cad_format_of(std::string("x.") + argv[2]);
  if (!format) throw Tool_Error(std::string("unknown format ") + argv[2]);
  arguments.format = *format;
  const std::string sew = argv[3];
  arguments.sew = sew != "off";
  if (arguments.sew && sew != "auto") {
    char* end = nullptr;
    arguments.sew_tolerance = std::strtod(sew.c_str(), &end);
    if (*end != '\0' || !(arguments.sew_tolerance > 0.0))
      throw Tool_Error("bad sewing tolerance " + sew);
  }
  arguments.path = argv[4];
  return arguments;
}

// All parts' shapes in one compound, in order, so that shapes they share
// (instances of one prototype) travel once.
TopoDS_Compound compound_of_parts(const std::vector<Cad_Part>& parts) {
  TopoDS_Compound compound;
  BRep_Builder builder;
  builder.MakeCompound(compound);
  for (const Cad_Part& part : parts) builder.Add(compound, part.shape);
  return compound;
}

Read_Summary summary_of(const TopoDS_Shape& shape, const std::vector<Cad_Part>& parts) {
  Read_Summary summary;
  Bnd_Box box;
  BRepBndLib::Add(shape, box, false);
  if (!box.IsVoid()) {
    summary.has_box = true;
    box.Get(summary.box[0], summary.box[1], summary.box[2], summary.box[3], summary.box[4],
            summary.box[5]);
  }
  for (TopExp_Explorer x(shape, TopAbs_FACE); x.More(); x.Next()) ++summary.faces;
  const TopoDS_Compound dense = dense_faces(shape);
  for (TopoDS_Iterator x(dense); x.More(); x.Next()) ++summary.dense_faces;
  summary.parts = std::int32_t(parts.size());
  return summary;
}

// Open CASCADE's messages are the module's to word: none reach standard
// output (which is /dev/null anyway) from the default messenger; the first
// failure message is kept, to say why a file could not be read when the
// reader itself says no more than that it could not (the STEP parser's
// "Undefined Parsing: Line 19175: ... unexpected end of file").
class First_Failure : public Message_Printer {
 public:
  const std::string& text() const { return text_; }

 protected:
  void send(const TCollection_AsciiString& message, const Message_Gravity gravity) const override {
    if (gravity < Message_Fail || !text_.empty()) return;
    text_ = message.ToCString();
    // "**** ERR StepFile : Undefined Parsing: ... ****": the words only.
    const std::size_t colon = text_.find(" : ");
    if (colon != std::string::npos) text_.erase(0, colon + 3);
    while (!text_.empty() && (text_.back() == '*' || std::isspace((unsigned char)text_.back())))
      text_.pop_back();
  }

 private:
  mutable std::string text_;
};

Handle(First_Failure) keep_first_failure() {
  const Handle(Message_Messenger)& messenger = Message::DefaultMessenger();
  messenger->RemovePrinters(STANDARD_TYPE(Message_Printer));
  Handle(First_Failure) first = new First_Failure();
  messenger->AddPrinter(first);
  return first;
}

void run(const Arguments& arguments, const First_Failure& first_failure) {
  Channel_Progress reading_progress(Reader_Phase::reading);
  Message_ProgressScope reading(reading_progress.Start(), "reading", 10);
  Parts_Read read;
  try {
    read = read_cad_parts(arguments.path, arguments.format, reading.Next(7));
  } catch (const Tool_Error& error) {
    if (first_failure.text().empty()) throw;
    throw Tool_Error(std::string(error.what()) + "; Open CASCADE: " + first_failure.text(),
                     error.exit_status());
  }

  Sewing_Outcome sewing;
  if (arguments.sew) sewing = sew_loose_faces(read.parts, arguments.sew_tolerance, reading.Next(2));
  const TopoDS_Compound shape = compound_of_parts(read.parts);
  if (std::optional<std::string> faults = shape_faults(shape))
    read.faults.push_back(std::move(*faults));
  // One message for all that is wrong with the file.
  if (!read.faults.empty()) {
    std::string faults;
    for (const std::string& fault : read.faults) faults += (faults.empty() ? "" : "; ") + fault;
    send(Reader_Frame::fault, faults);
  }

  Read_Summary summary = summary_of(shape, read.parts);
  if (arguments.sew) {
    summary.free_edges_before = sewing.free_edges_before;
    summary.free_edges_after = sewing.free_edges_after;
  }
  Payload_Writer payload;
  payload.put(summary);
  for (const Cad_Part& part : read.parts) {
    payload.put_text(part.name);
    payload.put(part.color.has_value());
    payload.put(part.color.value_or(0));
  }
  send(Reader_Frame::read, payload.bytes());

  const Tessellation_Request request = receive_tessellation_request();
  Channel_Progress tessellating_progress(Reader_Phase::tessellating);
  Message_ProgressScope tessellating(tessellating_progress.Start(), "tessellating", 10);
  tessellate_shape(shape, request, tessellating.Next(9));
  std::ostringstream bytes;
  BinTools::Write(shape, bytes, true, false, BinTools_FormatVersion_CURRENT, tessellating.Next());
  send(Reader_Frame::shape, bytes.str());
}

}  // namespace
}  // namespace hlr_tool

int main(int argc, char** argv) {
  using namespace hlr_tool;
  // A reader outlives no module: when the process that started it ends,
  // so does it (and the check after prctl catches a parent that ended
  // before it).
  prctl(PR_SET_PDEATHSIG, SIGKILL);
  if (argc > 1 && getppid() != pid_t(std::atol(argv[1]))) return 1;
  signal(SIGPIPE, SIG_IGN);
  const Handle(First_Failure) first_failure = keep_first_failure();
  try {
    run(arguments_of(argc, argv), *first_failure);
    return 0;
  } catch (const Module_Gone&) {
    return 1;
  } catch (const Tool_Error& error) {
    return fail(error.what(), error.exit_status());
  } catch (const Standard_Failure& failure) {
    return fail(open_cascade_error(failure).what(), exit_input_error);
  } catch (const std::bad_alloc&) {
    return fail("out of memory while reading or tessellating it", exit_failure);
  } catch (const std::exception& error) {
    return fail(error.what(), exit_failure);
  }
}
