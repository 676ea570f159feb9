// Export and import markers for the host library and for renderer modules.
//
// The host library exports its classes and functions with KORVO_API; a
// renderer module exports its one entry point with KORVO_MODULE_EXPORT.
// These two macros are the only place where the code branches on the
// platform, together with the module loader (module_loader.cpp).
#pragma once

#if defined(_WIN32)
#if defined(KORVO_BUILDING_HOST)
#define KORVO_API __declspec(dllexport)
#else
#define KORVO_API __declspec(dllimport)
#endif
#define KORVO_MODULE_EXPORT __declspec(dllexport)
#else
#define KORVO_API __attribute__((visibility("default")))
#define KORVO_MODULE_EXPORT __attribute__((visibility("default")))
#endif
