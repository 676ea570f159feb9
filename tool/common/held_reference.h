// One reference on a counted host object, dropped on every way out.
#pragma once

#include "counted.h"

namespace hlr_tool {

class Held_Reference {
 public:
  explicit Held_Reference(KT_Counted* object) : object_(object) { object_->add_reference(); }
  Held_Reference(const Held_Reference&) = delete;
  Held_Reference& operator=(const Held_Reference&) = delete;
  ~Held_Reference() { object_->drop_reference(); }

 private:
  KT_Counted* object_;
};

}  // namespace hlr_tool
