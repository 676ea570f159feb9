// Renditions: how a primitive is drawn (colour, line pattern, clip
// rectangle), shared between primitives and renderers by reference count
// and changed copy-on-write.
//
// A KT_Rendition is a handle: copying it takes a reference on the shared
// KT_Rendition_Data, destroying it drops one. Every change first makes the
// data unique to this handle (make_unique), so other holders keep what they
// had.
#pragma once

#include "counted.h"
#include "geometry.h"
#include "korvo_api.h"

class KT_Renderer_Data;

// A named dash definition that a line style may carry in addition to its
// pattern number; setting a pattern number drops it, so that the number
// alone governs.
class KORVO_API KT_Dash_Definition : public KT_Counted {
 public:
  explicit KT_Dash_Definition(float dash_length) : dash_length(dash_length) {}
  KT_Counted* clone() const override;
  float dash_length;
};

// The line-style part of a rendition: a pattern number (0 solid, 1 dashed,
// 2 dotted, 3 dash-dot; others as the downstream renderer defines them) and
// two optional refinements, a dash definition and a cap definition.
class KORVO_API KT_Line_Style : public KT_Counted {
 public:
  KT_Line_Style() = default;
  KT_Line_Style(const KT_Line_Style& other);
  ~KT_Line_Style() override;
  KT_Counted* clone() const override;

  int line_pattern = 0;
  KT_Dash_Definition* dashes = nullptr;  // counted, may be null
  KT_Dash_Definition* caps = nullptr;    // counted, may be null
};

class KORVO_API KT_Rendition_Data : public KT_Counted {
 public:
  KT_Rendition_Data();
  KT_Rendition_Data(const KT_Rendition_Data& other);
  ~KT_Rendition_Data() override;
  KT_Counted* clone() const override;

  KT_RGB32 color{0, 0, 0, 255};
  KT_Line_Style* line_style;  // counted, never null
  KT_Int_Rectangle clip_rectangle{0, 1000, 0, 1000};
};

class KORVO_API KT_Rendition {
 public:
  // An empty handle, holding nothing; only assignment, reset and
  // destruction may be used on it.
  KT_Rendition() noexcept : data_(nullptr) {}
  // A new rendition of its own: opaque black, pattern 0, clip 0..1000.
  static KT_Rendition create();
  // The rendition the host keeps for `renderer` (shared with it).
  explicit KT_Rendition(const KT_Renderer_Data* renderer);
  KT_Rendition(const KT_Rendition& other) noexcept;
  KT_Rendition(KT_Rendition&& other) noexcept;
  KT_Rendition& operator=(const KT_Rendition& other) noexcept;
  KT_Rendition& operator=(KT_Rendition&& other) noexcept;
  ~KT_Rendition();

  KT_RGB32 color() const { return data_->color; }
  int line_pattern() const { return data_->line_style->line_pattern; }
  const KT_Int_Rectangle& clip_rectangle() const { return data_->clip_rectangle; }

  // Always makes the rendition unique first, even when the colour is
  // already `color`. With keep_alpha the alpha byte stays as it was.
  void set_color(const KT_RGB32& color, bool keep_alpha);
  // Does nothing when the pattern already is `pattern`; otherwise makes the
  // rendition and its line style unique, stores the number and drops the
  // dash and cap definitions.
  void set_line_pattern(int pattern);
  void set_clip_rectangle(const KT_Int_Rectangle& rectangle);
  // Gives the line style a dash definition (the pattern number stays).
  void set_dash_definition(float dash_length);

  // Drops the reference and leaves the handle empty.
  void reset() noexcept;
  // The shared data; null for an empty handle.
  const KT_Rendition_Data* data() const { return data_; }

 private:
  void make_data_unique();
  KT_Rendition_Data* data_;
};
