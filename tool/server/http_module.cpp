// The HTTP module (libhlr_http.so): Http_Server over cpp-httplib.
#include <httplib.h>
#include <sys/socket.h>

#include "tool/server/http_entry.h"

namespace hlr_tool {
namespace {

class Httplib_Server final : public Http_Server {
 public:
  Httplib_Server(const Http_Handler& handler, const Http_Fields& default_headers)
      : handler_(handler) {
    http_.set_socket_options([](socket_t socket) {
      int yes = 1;
      setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    });
    // A browser keeps up to six connections open per page, each holding a
    // thread while it idles (httplib's keep-alive, 5 s): room for a few
    // tabs.
    http_.new_task_queue = [] { return new httplib::ThreadPool(24); };
    httplib::Headers headers;
    for (const auto& [name, value] : default_headers) headers.emplace(name, value);
    http_.set_default_headers(headers);
    // Every request, whatever its method and path, goes to the handler
    // before httplib's routing.
    http_.set_pre_routing_handler(
        [this](const httplib::Request& request, httplib::Response& response) {
          Http_Request asked{request.method, request.path, {}};
          for (const auto& [name, value] : request.params) asked.params.emplace_back(name, value);
          const Http_Answer answer = handler_(asked);
          response.status = answer.status;
          for (const auto& [name, value] : answer.headers) response.set_header(name, value);
          response.set_content(answer.body, answer.content_type);
          return httplib::Server::HandlerResponse::Handled;
        });
  }

  int bind(const std::string& host, int port) override {
    if (port == 0) return http_.bind_to_any_port(host);
    return http_.bind_to_port(host, port) ? port : -1;
  }

  void listen() override { http_.listen_after_bind(); }

  void stop() override { http_.stop(); }

 private:
  const Http_Handler& handler_;
  httplib::Server http_;
};

}  // namespace

int hlr_http_open(const Http_Open_Call* call) {
  return module_call_status(*call->error, "out of memory while starting the server", [call] {
    *call->server = std::make_unique<Httplib_Server>(*call->handler, *call->default_headers);
  });
}

}  // namespace hlr_tool
