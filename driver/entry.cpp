#include <cstring>
#include <new>

#include "hlr_renderer.h"

KT_Renderer_Data* KD_Renderer(const KT_Renderer_Data* const* next) {
  // The renderer relies on zero-filled storage for every member its
  // constructor does not set.
  void* storage = ::operator new(sizeof(HLR_Renderer));
  std::memset(storage, 0, sizeof(HLR_Renderer));
  try {
    return new (storage) HLR_Renderer(*next);
  } catch (...) {
    ::operator delete(storage);
    throw;
  }
}
