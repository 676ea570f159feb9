#include "tool/server/viewer_server.h"

#include <condition_variable>
#include <cstdio>
#include <deque>
#include <functional>
#include <future>
#include <mutex>
#include <nlohmann/json.hpp>
#include <random>
#include <thread>
#include <utility>

#include "module_loader.h"
#include "tool/common/clock.h"
#include "tool/common/errors.h"
#include "tool/models/camera.h"
#include "tool/server/http_server.h"
#include "tool/server/page_files.h"
#include "tool/session/module_path.h"

namespace hlr_tool {

namespace {

// 128 bits from the kernel's random source, as hex.
std::string random_token() {
  std::random_device source("/dev/urandom");
  std::string token;
  for (int word = 0; word < 4; ++word) {
    char digits[9];
    std::snprintf(digits, sizeof digits, "%08x", static_cast<unsigned>(source()));
    token += digits;
  }
  return token;
}

// In time independent of where the texts differ.
bool same_token(const std::string& given, const std::string& token) {
  if (given.size() != token.size()) return false;
  unsigned char difference = 0;
  for (std::size_t i = 0; i < token.size(); ++i) difference |= given[i] ^ token[i];
  return difference == 0;
}

// As --stats times them: the drawing's scene, capture, hidden-line passes
// and line precedence summed over its views, the writing, and the whole
// answer.
std::string server_timing(const Finished_Drawing& drawing, double write_ms, double total_ms) {
  const Draw_Totals totals = draw_totals(drawing);
  char text[200];
  std::snprintf(text, sizeof text,
                "scene;dur=%.1f, capture;dur=%.1f, passes;dur=%.1f, precedence;dur=%.1f, "
                "write;dur=%.1f, total;dur=%.1f",
                totals.scene_ms, totals.capture_ms, totals.update_ms, totals.precedence_ms,
                write_ms, total_ms);
  return text;
}

// A plain-text answer.
Http_Answer message(int status, const std::string& text) {
  return {status, "text/plain; charset=utf-8", text + "\n", {}};
}

// The one thread drawings are made on, one after another: the requests'
// threads hand it their drawing and wait. So the heap a drawing leaves
// for the next is this thread's, whichever connection asked.
class Drawing_Thread {
 public:
  Drawing_Thread() : thread_([this] { run(); }) {}
  ~Drawing_Thread() {
    {
      std::lock_guard lock(mutex_);
      stopping_ = true;
    }
    wake_.notify_one();
    thread_.join();
  }

  Http_Answer draw(std::function<Http_Answer()> work) {
    std::packaged_task<Http_Answer()> task(std::move(work));
    std::future<Http_Answer> answer = task.get_future();
    {
      std::lock_guard lock(mutex_);
      tasks_.push_back(std::move(task));
    }
    wake_.notify_one();
    return answer.get();
  }

 private:
  void run() {
    for (;;) {
      std::packaged_task<Http_Answer()> task;
      {
        std::unique_lock lock(mutex_);
        wake_.wait(lock, [this] { return stopping_ || !tasks_.empty(); });
        if (tasks_.empty()) return;
        task = std::move(tasks_.front());
        tasks_.pop_front();
      }
      task();
    }
  }

  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<std::packaged_task<Http_Answer()>> tasks_;
  bool stopping_ = false;
  std::thread thread_;  // last: starts when the rest is made
};

const char* content_type_of(Output_Format format) {
  switch (format) {
    case Output_Format::svg:
      return "image/svg+xml";
    case Output_Format::pdf:
      return "application/pdf";
    case Output_Format::png:
      return "image/png";
    case Output_Format::eps:
      return "application/postscript";
    case Output_Format::dxf:
      break;
  }
  return "image/vnd.dxf";
}

}  // namespace

struct Viewer_Server::State {
  Viewer_Start start;
  Prepared_Models prepared;
  // Held for the run, so that each drawing's load of it only counts up.
  std::unique_ptr<KT_Renderer_Module> module;
  std::string token = random_token();
  std::string url;
  std::string session_json;
  // Before the server: its handlers wait on the drawing thread until the
  // server has stopped them.
  Drawing_Thread drawing_thread;
  Http_Handler handler = [this](const Http_Request& request) { return answer(request); };
  std::unique_ptr<Http_Server> http;

  Http_Answer drawing(const std::string& extension, const Http_Fields& params) const;
  std::string session() const;
  Http_Answer answer(const Http_Request& request);
};

// Runs on the drawing thread.
Http_Answer Viewer_Server::State::drawing(const std::string& extension,
                                          const Http_Fields& params) const {
  const Clock::time_point begin = Clock::now();
  try {
    const Output_Format format = output_format_of("drawing." + extension);
    std::vector<Query_Parameter> parameters;
    for (const auto& [name, value] : params) {
      if (name != "token") parameters.emplace_back(name, value);
    }
    const Draw_Request request = drawing_request(start.models, start.options, parameters);
    Draw_Front_End front_end;
    front_end.default_module = start.default_module;
    front_end.deadline = begin + std::chrono::duration_cast<Clock::duration>(start.time_limit);
    const Finished_Drawing drawing = draw_prepared(request, prepared, front_end);
    check_viewer_size(drawing, format, request.cairo);
    if (Clock::now() > *front_end.deadline) throw Deadline_Passed();
    const Clock::time_point write = Clock::now();
    Http_Answer answer{
        200, content_type_of(format), drawing_bytes(drawing, format, request.cairo), {}};
    answer.headers.emplace_back("Server-Timing", server_timing(drawing, milliseconds_since(write),
                                                               milliseconds_since(begin)));
    return answer;
  } catch (const Deadline_Passed&) {
    char limit[32];
    std::snprintf(limit, sizeof limit, "%g", start.time_limit.count());
    return message(503, "the drawing took longer than " + std::string(limit) +
                            " s (--time-limit) and was stopped; draw it with hlr-render draw");
  } catch (const Tool_Error& error) {
    return message(error.exit_status() == exit_input_error ? 400 : 500, error.what());
  } catch (const std::bad_alloc&) {
    return message(500, "out of memory");
  } catch (const std::exception& error) {
    return message(500, error.what());
  }
}

std::string Viewer_Server::State::session() const {
  using nlohmann::json;
  json session;
  session["program"] = {"hlr-render", "draw"};
  json& models = session["models"] = json::array();
  for (const Model_Input& input : start.models) models.push_back(input.path);
  json& run = session["run"] = json::array();
  json& initial = session["start"] = json::array();
  for (const Start_Option& given : start.options) {
    (given.option->once_per_run ? run : initial).push_back({given.option->name, given.text});
  }
  json& options = session["options"] = json::array();
  const Draw_Request defaults;
  for (const Draw_Option& option : draw_options()) {
    if (option.once_per_run) continue;
    options.push_back({{"name", option.name},
                       {"flag", option.kind == Option_Kind::flag},
                       {"default", option.show(defaults)},
                       {"choices", option.choices},
                       {"help", option.help}});
  }
  json& views = session["views"] = json::array();
  for (const char* name : {"front", "back", "left", "right", "top", "bottom", "iso"}) {
    const View_Angles angles = parse_view(name);
    views.push_back({name, angles.yaw_degrees, angles.pitch_degrees});
  }
  session["time_limit_s"] = start.time_limit.count();
  // A file name need not be UTF-8: its other bytes are shown as U+FFFD.
  return session.dump(1, ' ', false, json::error_handler_t::replace);
}

// The lower-case extension of /drawing.EXTENSION, or empty.
std::string drawing_extension(const std::string& path) {
  constexpr std::string_view prefix = "/drawing.";
  if (path.size() <= prefix.size() || path.compare(0, prefix.size(), prefix) != 0) return {};
  const std::string extension = path.substr(prefix.size());
  for (const char c : extension) {
    if (c < 'a' || c > 'z') return {};
  }
  return extension;
}

Http_Answer Viewer_Server::State::answer(const Http_Request& request) {
  std::size_t tokens = 0;
  bool right_token = false;
  for (const auto& [name, value] : request.params) {
    if (name != "token") continue;
    ++tokens;
    right_token = same_token(value, token);
  }
  if (tokens != 1 || !right_token) {
    return message(403, "this address needs the token hlr-render view printed");
  }
  if (request.method == "GET" || request.method == "HEAD") {
    for (const Page_File& file : page_files()) {
      if (request.path != file.path) continue;
      // The page's script and style come from the tool alone; it reaches
      // nothing beyond it.
      return {200,
              std::string(file.content_type),
              std::string(file.bytes.data(), file.bytes.size()),
              {{"Content-Security-Policy",
                "default-src 'self'; script-src 'self' 'unsafe-inline'; "
                "img-src 'self' blob: data:; style-src 'self' 'unsafe-inline'"}}};
    }
    if (request.path == "/session.json") return {200, "application/json", session_json, {}};
    if (const std::string extension = drawing_extension(request.path); !extension.empty()) {
      return drawing_thread.draw(
          [this, &extension, &request] { return drawing(extension, request.params); });
    }
  }
  return message(404, "no such page: the viewer serves /, /drawing.FORMAT and its own files");
}

Viewer_Server::Viewer_Server(Viewer_Start start, const Draw_Front_End& front_end)
    : state_(std::make_unique<State>()) {
  State& state = *state_;
  state.start = std::move(start);
  // Read as the start's own options would: their size decides the CAD
  // parts' default deflection.
  Draw_Request reading;
  reading.models = state.start.models;
  for (const Start_Option& given : state.start.options) {
    apply_draw_option(reading, *given.option, given.text);
  }
  state.prepared = prepare_models(reading, front_end);
  try {
    state.module = std::make_unique<KT_Renderer_Module>(
        renderer_module_path(reading.module, state.start.default_module));
  } catch (const std::exception& error) {
    throw Tool_Error(error.what());
  }
  state.session_json = state.session();
  state.http = open_http_server(state.handler, {{"Cache-Control", "no-store"},
                                                {"X-Content-Type-Options", "nosniff"},
                                                {"Referrer-Policy", "no-referrer"}});
  const char* host = "127.0.0.1";
  const int port = state.http->bind(host, state.start.port);
  if (port < 0) {
    throw Tool_Error("cannot listen on " + std::string(host) + ":" +
                     std::to_string(state.start.port) + " (is the port in use?)");
  }
  state.url = "http://" + std::string(host) + ":" + std::to_string(port) + "/?token=" + state.token;
}

Viewer_Server::~Viewer_Server() = default;

const std::string& Viewer_Server::url() const { return state_->url; }

void Viewer_Server::serve() { state_->http->listen(); }

void Viewer_Server::stop() { state_->http->stop(); }

}  // namespace hlr_tool
