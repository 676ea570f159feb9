#include "options.h"

#include <stdexcept>

KT_String::KT_String(const wchar_t* text) : text_(text) {}

KT_Counted* KT_Option_Value_Data::clone() const { return new KT_Option_Value_Data(*this); }

namespace {

KT_Option_Value_Data* new_value(KT_Option_Kind kind) {
  auto* data = new KT_Option_Value_Data;
  data->kind = kind;
  data->add_reference();
  return data;
}

const char* kind_name(KT_Option_Kind kind) {
  switch (kind) {
    case KT_Option_Kind::integer:
      return "an int";
    case KT_Option_Kind::boolean:
      return "a bool";
    case KT_Option_Kind::real:
      return "a float";
    case KT_Option_Kind::color:
      return "a colour";
  }
  return "?";
}

void expect_kind(const KT_Option_Value& value, KT_Option_Kind kind) {
  if (value.kind() != kind) {
    throw std::logic_error(std::string("option holds ") + kind_name(value.kind()) + ", not " +
                           kind_name(kind));
  }
}

}  // namespace

KT_Option_Value::KT_Option_Value(int value) : data_(new_value(KT_Option_Kind::integer)) {
  data_->integer = value;
}

KT_Option_Value::KT_Option_Value(bool value) : data_(new_value(KT_Option_Kind::boolean)) {
  data_->boolean = value;
}

KT_Option_Value::KT_Option_Value(float value) : data_(new_value(KT_Option_Kind::real)) {
  data_->real = value;
}

KT_Option_Value::KT_Option_Value(int c0, int c1, int c2, int c3)
    : data_(new_value(KT_Option_Kind::color)) {
  data_->color = {c0, c1, c2, c3};
}

KT_Option_Value::KT_Option_Value(const KT_Option_Value& other) noexcept : data_(other.data_) {
  data_->add_reference();
}

KT_Option_Value& KT_Option_Value::operator=(const KT_Option_Value& other) noexcept {
  other.data_->add_reference();
  data_->drop_reference();
  data_ = other.data_;
  return *this;
}

KT_Option_Value::~KT_Option_Value() { data_->drop_reference(); }

KT_Option::KT_Option(const KT_String& name, KT_Option_Enum::Scope scope, int value)
    : name_(name), scope_(scope), value_(value) {}

KT_Option::KT_Option(const KT_String& name, KT_Option_Enum::Scope scope, bool value)
    : name_(name), scope_(scope), value_(value) {}

KT_Option::KT_Option(const KT_String& name, KT_Option_Enum::Scope scope, float value)
    : name_(name), scope_(scope), value_(value) {}

KT_Option::KT_Option(const KT_String& name, KT_Option_Enum::Scope scope, int c0, int c1, int c2,
                     int c3)
    : name_(name), scope_(scope), value_(c0, c1, c2, c3) {}

void KT_Option::set(const KT_Option_Value& value) {
  if (value.kind() != value_.kind()) {
    throw std::invalid_argument(std::string("option value must be ") + kind_name(value_.kind()));
  }
  value_ = value;
}

int KT_Option::integer_value() const {
  expect_kind(value_, KT_Option_Kind::integer);
  return value_.integer();
}

bool KT_Option::boolean_value() const {
  expect_kind(value_, KT_Option_Kind::boolean);
  return value_.boolean();
}

float KT_Option::real_value() const {
  expect_kind(value_, KT_Option_Kind::real);
  return value_.real();
}

const KT_Color_Components& KT_Option::color_value() const {
  expect_kind(value_, KT_Option_Kind::color);
  return value_.color();
}

KT_Option* KT_Option_Table::add(const KT_Option& option) {
  entries_.push_back(option);
  return &entries_.back();
}

KT_Option* KT_Option_Table::find(const std::wstring& name) {
  for (KT_Option& option : entries_) {
    if (option.name() == name) return &option;
  }
  return nullptr;
}

const KT_Option* KT_Option_Table::find(const std::wstring& name) const {
  return const_cast<KT_Option_Table*>(this)->find(name);
}
