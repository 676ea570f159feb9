// The one function of the HTTP module (libhlr_http.so). cpp-httplib links
// OpenSSL, zlib and brotli, and OpenSSL reads its configuration when it is
// loaded: 2.5 ms of every run's start, a run that draws included, for the
// one command that serves.
#pragma once

#include <memory>
#include <string>

#include "tool/common/module_open.h"
#include "tool/server/http_server.h"

namespace hlr_tool {

struct Http_Open_Call {
  const Http_Handler* handler;
  const Http_Fields* default_headers;
  std::unique_ptr<Http_Server>* server;  // set when the call returns 0
  std::string* error;                    // the message when it returns an exit status
};

inline constexpr const char* http_entry_name = "hlr_http_open";

extern "C" HLR_MODULE_ENTRY_EXPORT int hlr_http_open(const Http_Open_Call* call);

}  // namespace hlr_tool
