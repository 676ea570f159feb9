// hlr-render view's server: the models read once, drawn in view after view
// for a page in the browser, over HTTP on 127.0.0.1 only.
//
// What it answers, every request carrying the run's token (?token=...;
// without it 403, whatever the path):
//   /                        the page (page/index.html), then its
//   /viewer.js, /viewer.css  script and style, built into the program
//   /session.json            the models, the start's options and the
//                            option table's per-drawing options, for the page
//   /drawing.FORMAT?QUERY    the drawing (svg, pdf, png, eps, dxf) of the
//                            query's options (viewer_request.h), the bytes
//                            hlr-render draw writes for the same options
// A request naming no option's value the table accepts gets 400 with the
// table's message; anything else gets 404. No request names a file.
//
// Drawings are made one at a time on one thread, each with the run's
// threads (--jobs): the models are shared and never changed, and each
// drawing has its own scene, renderer and sheet. A drawing still running
// after the time limit stops between its phases (before a view's scene,
// before its capture, before the file is written) with 503; the renderer's
// passes of a view, once begun, run to their end, bounded by the models
// the run was started with, and a sheet's views not yet begun never start.
#pragma once

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "tool/render/draw_request.h"
#include "tool/server/viewer_request.h"

namespace hlr_tool {

struct Viewer_Start {
  std::vector<Model_Input> models;
  // The options the command line gave, in the table's order.
  std::vector<Start_Option> options;
  // The renderer module beside the program (Draw_Front_End::default_module).
  std::string default_module;
  int port = 0;  // 0: a free one
  // How long a drawing may take; past it the drawing stops between phases.
  std::chrono::duration<double> time_limit{5.0};
};

class Viewer_Server {
 public:
  // Reads the models (throwing what prepare_models throws), loads the
  // renderer module and binds 127.0.0.1:port. Throws Tool_Error (exit
  // status 1) when the port cannot be bound. `front_end` tells the
  // reading's progress and warnings.
  Viewer_Server(Viewer_Start start, const Draw_Front_End& front_end);
  ~Viewer_Server();
  Viewer_Server(const Viewer_Server&) = delete;
  Viewer_Server& operator=(const Viewer_Server&) = delete;

  // http://127.0.0.1:PORT/?token=TOKEN: the page, with the token (128 bits
  // from the system's random source, new each run).
  const std::string& url() const;

  // Answers requests until stop() is called from another thread.
  void serve();
  void stop();

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace hlr_tool
