// The cairo module (libhlr_cairo.so): PDF, EPS and PNG of a sheet as
// cairo_writer.h describes them. Only this module links cairo;
// cairo_writer_entry.h says why.
#include "tool/drawing/cairo_writer_entry.h"

#include <cairo-pdf.h>
#include <cairo-ps.h>
#include <cairo.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <memory>
#include <numbers>
#include <vector>

#include "tool/common/errors.h"

namespace hlr_tool {

namespace {

constexpr double points_per_inch = 72.0;
constexpr double mm_per_inch = 25.4;
// cairo's image surfaces stop at this many pixels a side.
constexpr double max_png_side = 32767.0;

struct Surface_Release {
  void operator()(cairo_surface_t* surface) const { cairo_surface_destroy(surface); }
};
struct Context_Release {
  void operator()(cairo_t* context) const { cairo_destroy(context); }
};
using Surface = std::unique_ptr<cairo_surface_t, Surface_Release>;
using Context = std::unique_ptr<cairo_t, Context_Release>;

cairo_status_t append_bytes(void* closure, const unsigned char* data, unsigned int length) {
  static_cast<std::string*>(closure)->append(reinterpret_cast<const char*>(data), length);
  return CAIRO_STATUS_SUCCESS;
}

void check(cairo_status_t status, const char* what) {
  if (status != CAIRO_STATUS_SUCCESS) {
    throw Tool_Error(std::string("cairo could not ") + what + ": " +
                     cairo_status_to_string(status));
  }
}

void set_color(cairo_t* cr, std::uint32_t argb) {
  cairo_set_source_rgba(cr, double((argb >> 16) & 255u) / 255.0, double((argb >> 8) & 255u) / 255.0,
                        double(argb & 255u) / 255.0, double(argb >> 24) / 255.0);
}

// The border, title block and labels, black, in sheet units.
void draw_frame(cairo_t* cr, const Sheet_Frame& frame) {
  cairo_set_source_rgb(cr, 0.0, 0.0, 0.0);
  std::vector<double> dashes;
  for (const Sheet_Line& line : frame.lines) {
    dashes.clear();
    for (double length : dash_lengths(line.dash, true)) dashes.push_back(length * line.width);
    cairo_set_dash(cr, dashes.data(), static_cast<int>(dashes.size()), 0.0);
    cairo_set_line_width(cr, line.width);
    cairo_new_path(cr);
    cairo_move_to(cr, line.a.x, line.a.y);
    cairo_line_to(cr, line.b.x, line.b.y);
    cairo_stroke(cr);
  }
  cairo_set_dash(cr, nullptr, 0, 0.0);
  for (const Sheet_Circle& circle : frame.circles) {
    cairo_set_line_width(cr, circle.width);
    cairo_new_path(cr);
    cairo_arc(cr, circle.centre.x, circle.centre.y, circle.radius, 0.0, 2.0 * std::numbers::pi);
    cairo_stroke(cr);
  }
  // The first family of sheet_font_families that fontconfig has. Font
  // options of its own, so that the glyphs do not depend on what the
  // process drew before (cairo keeps scaled fonts between surfaces).
  cairo_select_font_face(cr, "osifont", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
  std::unique_ptr<cairo_font_options_t, decltype(&cairo_font_options_destroy)> options(
      cairo_font_options_create(), cairo_font_options_destroy);
  cairo_font_options_set_hint_style(options.get(), CAIRO_HINT_STYLE_NONE);
  cairo_font_options_set_hint_metrics(options.get(), CAIRO_HINT_METRICS_OFF);
  cairo_font_options_set_antialias(options.get(), CAIRO_ANTIALIAS_GRAY);
  cairo_set_font_options(cr, options.get());
  for (const Sheet_Text& text : frame.texts) {
    cairo_set_font_size(cr, text.height / cap_height_per_font_size);
    double x = text.at.x;
    if (text.align == Text_Align::centre) {
      cairo_text_extents_t extents;
      cairo_text_extents(cr, text.text.c_str(), &extents);
      x -= 0.5 * extents.x_advance;
    }
    cairo_move_to(cr, x, text.at.y);
    cairo_show_text(cr, text.text.c_str());
    cairo_new_path(cr);
  }
}

// Draws the sheet in sheet units; the caller has scaled the context to them.
void draw_sheet(cairo_t* cr, const Sheet& sheet, bool transparent) {
  if (!transparent) {
    cairo_set_source_rgb(cr, 1.0, 1.0, 1.0);
    cairo_rectangle(cr, 0.0, 0.0, sheet.width, sheet.height);
    cairo_fill(cr);
  }
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
  cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
  draw_frame(cr, sheet.frame);
  std::vector<double> dashes;
  for (const Placed_View& view : sheet.views) {
    const auto x_of = [&view](const Drawing_Point& p) { return view.offset.x + view.factor * p.x; };
    const auto y_of = [&view](const Drawing_Point& p) { return view.offset.y + view.factor * p.y; };
    for (std::size_t l = 0; l < layer_count; ++l) {
      const double width = sheet.line_weights[l];
      for (const Style_Group& group : view.drawing->layers[l]) {
        set_color(cr, group.color_argb);
        if (!group.polylines.empty()) {
          dashes.clear();
          for (double length : dash_lengths(group.dash, sheet.paged)) {
            dashes.push_back(length * width);
          }
          cairo_set_dash(cr, dashes.data(), static_cast<int>(dashes.size()), 0.0);
          cairo_set_line_width(cr, width);
          cairo_new_path(cr);
          for (const Drawing_Polyline& line : group.polylines) {
            cairo_move_to(cr, x_of(line.front()), y_of(line.front()));
            for (std::size_t i = 1; i < line.size(); ++i)
              cairo_line_to(cr, x_of(line[i]), y_of(line[i]));
          }
          cairo_stroke(cr);
        }
        if (!group.dots.empty()) {
          cairo_new_path(cr);
          for (const Drawing_Point& dot : group.dots) {
            cairo_new_sub_path(cr);
            cairo_arc(cr, x_of(dot), y_of(dot), marker_radius_widths * width, 0.0,
                      2.0 * std::numbers::pi);
          }
          cairo_fill(cr);
        }
      }
    }
  }
}

double points_per_unit(const Sheet& sheet) {
  return sheet.mm_per_unit * points_per_inch / mm_per_inch;
}

// A vector page: PDF or EPS.
std::string write_vector(const Sheet& sheet, const Cairo_Options& options, bool eps) {
  std::string out;
  const double scale = points_per_unit(sheet);
  const double width = sheet.width * scale, height = sheet.height * scale;
  Surface surface(eps ? cairo_ps_surface_create_for_stream(append_bytes, &out, width, height)
                      : cairo_pdf_surface_create_for_stream(append_bytes, &out, width, height));
  check(cairo_surface_status(surface.get()), "create a page");
  if (eps) cairo_ps_surface_set_eps(surface.get(), 1);
  {
    Context cr(cairo_create(surface.get()));
    cairo_scale(cr.get(), scale, scale);
    draw_sheet(cr.get(), sheet, options.transparent);
    cairo_show_page(cr.get());
    check(cairo_status(cr.get()), "draw the sheet");
  }
  cairo_surface_finish(surface.get());
  check(cairo_surface_status(surface.get()), "write the page");
  return out;
}

std::uint32_t crc32(const unsigned char* data, std::size_t length, std::uint32_t crc = 0) {
  static const std::array<std::uint32_t, 256> table = [] {
    std::array<std::uint32_t, 256> t{};
    for (std::uint32_t n = 0; n < 256; ++n) {
      std::uint32_t c = n;
      for (int k = 0; k < 8; ++k) c = (c & 1u) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      t[n] = c;
    }
    return t;
  }();
  crc = ~crc;
  for (std::size_t i = 0; i < length; ++i) crc = table[(crc ^ data[i]) & 255u] ^ (crc >> 8);
  return ~crc;
}

void append_big_endian(std::string& out, std::uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) out += static_cast<char>((value >> shift) & 255u);
}

// cairo writes no resolution; a pHYs chunk right after IHDR (8 bytes of
// signature, then IHDR's 4 + 4 + 13 + 4) says `dpi` in pixels per metre.
void insert_resolution(std::string& png, double dpi) {
  constexpr std::size_t after_header = 8 + 25;
  if (png.size() < after_header || png.compare(12, 4, "IHDR") != 0) {
    throw Tool_Error("cairo wrote a PNG without its header");
  }
  const auto per_metre = static_cast<std::uint32_t>(std::lround(dpi / 0.0254));
  std::string chunk;
  append_big_endian(chunk, 9);
  chunk += "pHYs";
  append_big_endian(chunk, per_metre);
  append_big_endian(chunk, per_metre);
  chunk += '\1';  // unit: metre
  append_big_endian(
      chunk, crc32(reinterpret_cast<const unsigned char*>(chunk.data()) + 4, chunk.size() - 4));
  png.insert(after_header, chunk);
}

std::string write_png_bytes(const Sheet& sheet, const Cairo_Options& options) {
  const double scale = sheet.mm_per_unit / mm_per_inch * options.dpi;
  const double width = std::round(sheet.width * scale), height = std::round(sheet.height * scale);
  if (!(width <= max_png_side && height <= max_png_side)) {
    throw input_error("at " + std::to_string(std::lround(options.dpi)) + " dpi the PNG would be " +
                      std::to_string(std::llround(width)) + " x " +
                      std::to_string(std::llround(height)) +
                      " pixels; cairo draws at most 32767 a side (lower --dpi)");
  }
  Surface surface(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, std::max(1, int(width)),
                                             std::max(1, int(height))));
  check(cairo_surface_status(surface.get()), "create the image");
  {
    Context cr(cairo_create(surface.get()));
    cairo_scale(cr.get(), scale, scale);
    draw_sheet(cr.get(), sheet, options.transparent);
    check(cairo_status(cr.get()), "draw the sheet");
  }
  std::string out;
  check(cairo_surface_write_to_png_stream(surface.get(), append_bytes, &out), "write the PNG");
  insert_resolution(out, options.dpi);
  return out;
}

std::string write_format(const Sheet& sheet, const Cairo_Options& options, Cairo_Format format) {
  switch (format) {
    case Cairo_Format::pdf:
      return write_vector(sheet, options, false);
    case Cairo_Format::eps:
      return write_vector(sheet, options, true);
    case Cairo_Format::png:
      return write_png_bytes(sheet, options);
  }
  throw Tool_Error("no such cairo format");
}

}  // namespace

int hlr_cairo_write(const Cairo_Write_Call* call) {
  return module_call_status(*call->error, "out of memory while writing the drawing", [call] {
    *call->bytes = write_format(*call->sheet, *call->options, call->format);
  });
}

}  // namespace hlr_tool
