// Loading a renderer module: a dynamic library that exports one entry
// point, KD_Renderer, which creates a renderer whose output goes to the
// renderer that its argument points at.
#pragma once

#include <string>

#include "korvo_api.h"
#include "renderer_data.h"

using KD_Renderer_Function = KT_Renderer_Data* (*)(const KT_Renderer_Data* const* next);

class KORVO_API KT_Renderer_Module {
 public:
  // Loads the library at `path`; throws std::runtime_error naming the path
  // and the system's reason when it cannot be loaded or lacks KD_Renderer.
  explicit KT_Renderer_Module(const std::string& path);
  KT_Renderer_Module(const KT_Renderer_Module&) = delete;
  KT_Renderer_Module& operator=(const KT_Renderer_Module&) = delete;
  // Unloads the library: every renderer it made must be gone by then.
  ~KT_Renderer_Module();

  // A new renderer (reference count 0) whose output goes to `next`.
  KT_Renderer_Data* create(KT_Renderer_Data* next) const;
  KD_Renderer_Function entry() const { return entry_; }

  // The platform's file name of a module called `name` ("libNAME.so",
  // "NAME.dll").
  static std::string file_name(const std::string& name);

 private:
  void* handle_;
  KD_Renderer_Function entry_;
};
