#include "rendition.h"

#include <utility>

#include "renderer_data.h"

KT_Counted* KT_Dash_Definition::clone() const { return new KT_Dash_Definition(*this); }

KT_Line_Style::KT_Line_Style(const KT_Line_Style& other)
    : KT_Counted(other), line_pattern(other.line_pattern), dashes(other.dashes), caps(other.caps) {
  if (dashes) dashes->add_reference();
  if (caps) caps->add_reference();
}

KT_Line_Style::~KT_Line_Style() {
  if (dashes) dashes->drop_reference();
  if (caps) caps->drop_reference();
}

KT_Counted* KT_Line_Style::clone() const { return new KT_Line_Style(*this); }

KT_Rendition_Data::KT_Rendition_Data() : line_style(new KT_Line_Style) {
  line_style->add_reference();
}

KT_Rendition_Data::KT_Rendition_Data(const KT_Rendition_Data& other)
    : KT_Counted(other),
      color(other.color),
      line_style(other.line_style),
      clip_rectangle(other.clip_rectangle) {
  line_style->add_reference();
}

KT_Rendition_Data::~KT_Rendition_Data() { line_style->drop_reference(); }

KT_Counted* KT_Rendition_Data::clone() const { return new KT_Rendition_Data(*this); }

KT_Rendition KT_Rendition::create() {
  KT_Rendition rendition;
  rendition.data_ = new KT_Rendition_Data;
  rendition.data_->add_reference();
  return rendition;
}

void KT_Rendition::reset() noexcept {
  if (data_) std::exchange(data_, nullptr)->drop_reference();
}

KT_Rendition::KT_Rendition(const KT_Renderer_Data* renderer)
    : KT_Rendition(renderer->renderer_rendition) {}

KT_Rendition::KT_Rendition(const KT_Rendition& other) noexcept : data_(other.data_) {
  if (data_) data_->add_reference();
}

KT_Rendition::KT_Rendition(KT_Rendition&& other) noexcept
    : data_(std::exchange(other.data_, nullptr)) {}

KT_Rendition& KT_Rendition::operator=(const KT_Rendition& other) noexcept {
  if (other.data_) other.data_->add_reference();
  if (data_) data_->drop_reference();
  data_ = other.data_;
  return *this;
}

KT_Rendition& KT_Rendition::operator=(KT_Rendition&& other) noexcept {
  if (this != &other) {
    if (data_) data_->drop_reference();
    data_ = std::exchange(other.data_, nullptr);
  }
  return *this;
}

KT_Rendition::~KT_Rendition() {
  if (data_) data_->drop_reference();
}

void KT_Rendition::make_data_unique() { make_unique(data_); }

void KT_Rendition::set_color(const KT_RGB32& color, bool keep_alpha) {
  make_data_unique();
  const std::uint8_t alpha = data_->color.alpha;
  data_->color = color;
  if (keep_alpha) data_->color.alpha = alpha;
}

void KT_Rendition::set_line_pattern(int pattern) {
  if (data_->line_style->line_pattern == pattern) return;
  make_data_unique();
  make_unique(data_->line_style);
  KT_Line_Style& style = *data_->line_style;
  style.line_pattern = pattern;
  if (style.dashes) std::exchange(style.dashes, nullptr)->drop_reference();
  if (style.caps) std::exchange(style.caps, nullptr)->drop_reference();
}

void KT_Rendition::set_clip_rectangle(const KT_Int_Rectangle& rectangle) {
  make_data_unique();
  data_->clip_rectangle = rectangle;
}

void KT_Rendition::set_dash_definition(float dash_length) {
  make_data_unique();
  make_unique(data_->line_style);
  auto* dashes = new KT_Dash_Definition(dash_length);
  dashes->add_reference();
  KT_Line_Style& style = *data_->line_style;
  if (style.dashes) style.dashes->drop_reference();
  style.dashes = dashes;
}
