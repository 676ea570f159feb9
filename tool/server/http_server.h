// HTTP on one address for hlr-render view: the requests, the answers and
// the server that passes one to the other. The server lives in the module
// libhlr_http.so (http_entry.h), which is all of the tool that links
// cpp-httplib; only `view` opens it.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace hlr_tool {

using Http_Fields = std::vector<std::pair<std::string, std::string>>;

struct Http_Request {
  std::string method;  // "GET", "POST", ...
  std::string path;    // without the query
  Http_Fields params;  // the query's, decoded, in order; a name may repeat
};

struct Http_Answer {
  int status = 200;
  std::string content_type = "text/plain; charset=utf-8";
  std::string body;
  Http_Fields headers;  // besides the content type and length
};

// Called on the server's threads, several at once.
using Http_Handler = std::function<Http_Answer(const Http_Request&)>;

class Http_Server {
 public:
  virtual ~Http_Server() = default;
  // Binds host:port, or a free port of host for 0; the port bound, or -1.
  // Another program listening on the port keeps it: the port is not
  // shared (SO_REUSEADDR alone, so one just closed may be taken again).
  virtual int bind(const std::string& host, int port) = 0;
  // Answers every request through the handler, each answer with
  // `default_headers` too, until stop() is called from another thread.
  virtual void listen() = 0;
  virtual void stop() = 0;
};

// A server whose every request `handler` answers (it must outlive the
// server). Opens the HTTP module beside the binary on first use; throws
// Tool_Error when it cannot be loaded.
std::unique_ptr<Http_Server> open_http_server(const Http_Handler& handler,
                                              const Http_Fields& default_headers);

}  // namespace hlr_tool
