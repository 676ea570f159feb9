// Named options and option tables.
//
// An option has a wide-character name, a scope and a value of one of four
// kinds: a 32-bit int, a bool, a 32-bit float, or a colour of four 32-bit
// ints. Values are counted host objects; an option table owns its entries
// and hands out stable pointers to them.
#pragma once

#include <array>
#include <deque>
#include <string>

#include "counted.h"
#include "korvo_api.h"

namespace KT_Option_Enum {
enum Scope : int {
  scope_renderer = 0,  // the option belongs to one renderer of the chain
  scope_chain = 1,     // the option is shared along the chain
};
}

class KORVO_API KT_String {
 public:
  KT_String(const wchar_t* text);  // NOLINT: implicit, like the host's own
  explicit KT_String(std::wstring text) : text_(std::move(text)) {}
  const std::wstring& text() const { return text_; }

 private:
  std::wstring text_;
};

enum class KT_Option_Kind { integer, boolean, real, color };

using KT_Color_Components = std::array<int, 4>;

class KORVO_API KT_Option_Value_Data : public KT_Counted {
 public:
  KT_Counted* clone() const override;

  KT_Option_Kind kind = KT_Option_Kind::integer;
  int integer = 0;
  bool boolean = false;
  float real = 0.0f;
  KT_Color_Components color{};
};

// A handle on a counted value.
class KORVO_API KT_Option_Value {
 public:
  explicit KT_Option_Value(int value);
  explicit KT_Option_Value(bool value);
  explicit KT_Option_Value(float value);
  KT_Option_Value(int c0, int c1, int c2, int c3);
  KT_Option_Value(const KT_Option_Value& other) noexcept;
  KT_Option_Value& operator=(const KT_Option_Value& other) noexcept;
  ~KT_Option_Value();

  KT_Option_Kind kind() const { return data_->kind; }
  int integer() const { return data_->integer; }
  bool boolean() const { return data_->boolean; }
  float real() const { return data_->real; }
  const KT_Color_Components& color() const { return data_->color; }

 private:
  KT_Option_Value_Data* data_;
};

class KORVO_API KT_Option {
 public:
  KT_Option(const KT_String& name, KT_Option_Enum::Scope scope, int value);
  KT_Option(const KT_String& name, KT_Option_Enum::Scope scope, bool value);
  KT_Option(const KT_String& name, KT_Option_Enum::Scope scope, float value);
  KT_Option(const KT_String& name, KT_Option_Enum::Scope scope, int c0, int c1, int c2, int c3);

  // Replaces the current value. Throws std::invalid_argument when the value
  // is not of the option's kind.
  void set(const KT_Option_Value& value);

  const std::wstring& name() const { return name_.text(); }
  KT_Option_Enum::Scope scope() const { return scope_; }
  KT_Option_Kind kind() const { return value_.kind(); }
  const KT_Option_Value& value() const { return value_; }

  // The current value in the option's kind; reading another kind throws
  // std::logic_error.
  int integer_value() const;
  bool boolean_value() const;
  float real_value() const;
  const KT_Color_Components& color_value() const;

 private:
  KT_String name_;
  KT_Option_Enum::Scope scope_;
  KT_Option_Value value_;
};

class KORVO_API KT_Option_Table {
 public:
  // Keeps a copy of `option` and returns it; the pointer stays valid for the
  // table's life. A second option of the same name is a separate entry;
  // find returns the first.
  KT_Option* add(const KT_Option& option);
  KT_Option* find(const std::wstring& name);
  const KT_Option* find(const std::wstring& name) const;
  const std::deque<KT_Option>& entries() const { return entries_; }

 private:
  std::deque<KT_Option> entries_;
};
