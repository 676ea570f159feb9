// open_http_server on the tool's side: opens the HTTP module beside the
// binary on first use and calls its one function (http_entry.h).
#include "tool/server/http_entry.h"

namespace hlr_tool {

std::unique_ptr<Http_Server> open_http_server(const Http_Handler& handler,
                                              const Http_Fields& default_headers) {
  std::unique_ptr<Http_Server> server;
  std::string error;
  const Http_Open_Call call{&handler, &default_headers, &server, &error};
  call_module(reinterpret_cast<const void*>(&open_http_server), "libhlr_http.so", http_entry_name,
              call, "HTTP server module");
  return server;
}

}  // namespace hlr_tool
