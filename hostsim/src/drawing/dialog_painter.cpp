// Paints a dialog layout with cairo, its texts set and measured with pango: SVG or PNG.
#include "hostsim/dialog_drawing.h"

#include <cairo-svg.h>
#include <cairo.h>
#include <pango/pangocairo.h>

#include <algorithm>
#include <cctype>
#include <cmath>

namespace hostsim {
namespace {

// The dialog's font: the system's sans-serif face at a size in dialog pixels.
constexpr const char* kFont = "Sans 12px";
constexpr const char* kTitleFont = "Sans Bold 12px";

void SetColour(cairo_t* cr, uint32_t rgb) {
    cairo_set_source_rgb(cr, ((rgb >> 16) & 0xFF) / 255.0, ((rgb >> 8) & 0xFF) / 255.0, (rgb & 0xFF) / 255.0);
}

PangoLayout* TextLayout(PangoContext* context, const std::string& text, bool bold) {
    PangoLayout* layout = pango_layout_new(context);
    PangoFontDescription* font = pango_font_description_from_string(bold ? kTitleFont : kFont);
    pango_layout_set_font_description(layout, font);
    pango_font_description_free(font);
    pango_layout_set_text(layout, text.c_str(), static_cast<int>(text.size()));
    return layout;
}

TextSize LogicalSize(PangoLayout* layout) {
    PangoRectangle logical;
    pango_layout_get_extents(layout, nullptr, &logical);
    return {static_cast<double>(logical.width) / PANGO_SCALE, static_cast<double>(logical.height) / PANGO_SCALE};
}

// Pango measures on a font map of its own, with hinting off so that measuring and drawing agree
// at every scale.
class PangoTextMeasure : public TextMeasure {
public:
    PangoTextMeasure() : map_(pango_cairo_font_map_new()), context_(pango_font_map_create_context(map_)) {
        cairo_font_options_t* options = cairo_font_options_create();
        cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
        pango_cairo_context_set_font_options(context_, options);
        cairo_font_options_destroy(options);
    }
    ~PangoTextMeasure() override {
        g_object_unref(context_);
        g_object_unref(map_);
    }
    PangoTextMeasure(const PangoTextMeasure&) = delete;
    PangoTextMeasure& operator=(const PangoTextMeasure&) = delete;

    TextSize Measure(const std::string& text, bool bold) const override {
        PangoLayout* layout = TextLayout(context_, text.empty() ? std::string(" ") : text, bold);
        TextSize size = LogicalSize(layout);
        g_object_unref(layout);
        if (text.empty())
            size.width = 0;
        return size;
    }

private:
    PangoFontMap* map_;
    PangoContext* context_;
};

class Painter {
public:
    explicit Painter(cairo_t* cr) : cr_(cr) {
        context_ = pango_cairo_create_context(cr_);
        cairo_font_options_t* options = cairo_font_options_create();
        cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
        pango_cairo_context_set_font_options(context_, options);
        cairo_font_options_destroy(options);
    }
    ~Painter() { g_object_unref(context_); }
    Painter(const Painter&) = delete;
    Painter& operator=(const Painter&) = delete;

    void Paint(const DialogLayout& l) {
        cairo_set_line_width(cr_, 1);
        // Window, title bar, menu bar.
        SetColour(cr_, 0xE9E9E9);
        cairo_rectangle(cr_, 0, 0, l.width, l.height);
        cairo_fill(cr_);
        SetColour(cr_, 0xD3D3D3);
        cairo_rectangle(cr_, 0, 0, l.titleBar.width, l.titleBar.height);
        cairo_fill(cr_);
        for (int i = 0; i < 3; ++i) { // the window buttons
            const uint32_t colours[] = {0xE0605A, 0xE8B440, 0x62BD50};
            SetColour(cr_, colours[i]);
            cairo_arc(cr_, 14 + 18 * i, l.titleBar.height / 2, 5.5, 0, 2 * M_PI);
            cairo_fill(cr_);
        }
        Text(l.title, l.titleBar, 0x202020, true, true);
        Line(0, l.titleBar.Bottom() - 0.5, l.width, l.titleBar.Bottom() - 0.5, 0xB0B0B0);
        if (l.menuBar.height > 0) {
            SetColour(cr_, 0xF3F3F3);
            cairo_rectangle(cr_, l.menuBar.x, l.menuBar.y, l.menuBar.width, l.menuBar.height);
            cairo_fill(cr_);
            Line(0, l.menuBar.Bottom() - 0.5, l.width, l.menuBar.Bottom() - 0.5, 0xC8C8C8);
        }
        for (const LayoutBox& b : l.boxes)
            PaintBox(b);
        SetColour(cr_, 0x8A8A8A);
        cairo_rectangle(cr_, 0.5, 0.5, l.width - 1, l.height - 1);
        cairo_stroke(cr_);
    }

private:
    void Line(double x0, double y0, double x1, double y1, uint32_t colour) {
        SetColour(cr_, colour);
        cairo_move_to(cr_, x0, y0);
        cairo_line_to(cr_, x1, y1);
        cairo_stroke(cr_);
    }

    void RoundRect(const Rect& r, double radius) {
        const double x = r.x + 0.5, y = r.y + 0.5, w = r.width - 1, h = r.height - 1;
        cairo_new_sub_path(cr_);
        cairo_arc(cr_, x + w - radius, y + radius, radius, -M_PI / 2, 0);
        cairo_arc(cr_, x + w - radius, y + h - radius, radius, 0, M_PI / 2);
        cairo_arc(cr_, x + radius, y + h - radius, radius, M_PI / 2, M_PI);
        cairo_arc(cr_, x + radius, y + radius, radius, M_PI, 3 * M_PI / 2);
        cairo_close_path(cr_);
    }

    void FilledFrame(const Rect& r, double radius, uint32_t fill, uint32_t stroke) {
        RoundRect(r, radius);
        SetColour(cr_, fill);
        cairo_fill_preserve(cr_);
        SetColour(cr_, stroke);
        cairo_stroke(cr_);
    }

    // One line of text in `r`: vertically centred; left-aligned unless `centre`. Clipped to `r`.
    TextSize Text(const std::string& text, const Rect& r, uint32_t colour, bool bold, bool centre) {
        if (text.empty())
            return {};
        PangoLayout* layout = TextLayout(context_, text, bold);
        const TextSize size = LogicalSize(layout);
        cairo_save(cr_);
        cairo_rectangle(cr_, r.x, r.y, r.width, r.height);
        cairo_clip(cr_);
        SetColour(cr_, colour);
        cairo_move_to(cr_, centre ? r.x + (r.width - size.width) / 2 : r.x, r.y + (r.height - size.height) / 2);
        pango_cairo_show_layout(cr_, layout);
        cairo_restore(cr_);
        g_object_unref(layout);
        return size;
    }

    void PaintBox(const LayoutBox& b) {
        const BoxColours c = ColoursOf(b);
        const Rect& r = b.rect;
        switch (b.kind) {
        case LayoutBox::Kind::Group: PaintGroup(b, c); break;
        case LayoutBox::Kind::StaticText: Text(b.text, r, c.text, false, false); break;
        case LayoutBox::Kind::CheckBox: {
            const Rect square{r.x, r.y + std::floor((r.height - 13) / 2), 13, 13};
            FilledFrame(square, 2.5, c.fill, c.stroke);
            if (b.checked) {
                SetColour(cr_, c.mark);
                cairo_set_line_width(cr_, 2);
                cairo_move_to(cr_, square.x + 3, square.y + 6.8);
                cairo_line_to(cr_, square.x + 5.6, square.y + 9.5);
                cairo_line_to(cr_, square.x + 10.2, square.y + 3.5);
                cairo_stroke(cr_);
                cairo_set_line_width(cr_, 1);
            }
            Text(b.text, {square.Right() + 6, r.y, r.width - 19, r.height}, c.text, false, false);
            break;
        }
        case LayoutBox::Kind::ComboBox: {
            FilledFrame(r, 3, c.fill, c.stroke);
            const double arrowX = r.Right() - 20;
            Line(arrowX + 0.5, r.y + 3, arrowX + 0.5, r.Bottom() - 3, c.stroke);
            SetColour(cr_, b.enabled ? 0x404040 : 0xB0B0B0);
            const double cx = arrowX + 10, cy = r.y + r.height / 2;
            cairo_move_to(cr_, cx - 4, cy - 2);
            cairo_line_to(cr_, cx + 4, cy - 2);
            cairo_line_to(cr_, cx, cy + 3);
            cairo_close_path(cr_);
            cairo_fill(cr_);
            Text(b.text, {r.x + 6, r.y, arrowX - r.x - 8, r.height}, c.text, false, false);
            break;
        }
        case LayoutBox::Kind::Button:
            FilledFrame(r, 4, c.fill, c.stroke);
            Text(b.text, r, c.text, false, true);
            break;
        case LayoutBox::Kind::Separator:
            if (r.width >= r.height)
                Line(r.x, std::floor(r.y + r.height / 2) + 0.5, r.Right(), std::floor(r.y + r.height / 2) + 0.5,
                     c.stroke);
            else
                Line(std::floor(r.x + r.width / 2) + 0.5, r.y, std::floor(r.x + r.width / 2) + 0.5, r.Bottom(),
                     c.stroke);
            break;
        case LayoutBox::Kind::Field: PaintField(b, c); break;
        case LayoutBox::Kind::MenuTitle: Text(b.text, r, c.text, false, true); break;
        }
    }

    // Value gadgets: an edit field; a number field with its arrows; a slider beside its number.
    void PaintField(const LayoutBox& b, const BoxColours& c) {
        Rect field = b.rect;
        const bool slider = b.element.find("SLIDER") != std::string::npos;
        if (slider) {
            field.width = std::min(field.width, 50.0);
            const double y = std::floor(b.rect.y + b.rect.height / 2) + 0.5;
            const double x0 = field.Right() + 8, x1 = b.rect.Right() - 6;
            if (x1 > x0) {
                cairo_set_line_width(cr_, 3);
                cairo_set_line_cap(cr_, CAIRO_LINE_CAP_ROUND);
                Line(x0, y, x1, y, c.stroke);
                cairo_set_line_width(cr_, 1);
                cairo_set_line_cap(cr_, CAIRO_LINE_CAP_BUTT);
                SetColour(cr_, c.fill);
                cairo_arc(cr_, x0 + 1, y, 6, 0, 2 * M_PI);
                cairo_fill_preserve(cr_);
                SetColour(cr_, c.stroke);
                cairo_stroke(cr_);
            }
        }
        FilledFrame(field, 2, c.fill, c.stroke);
        if (b.element.find("ARROWS") != std::string::npos || slider) {
            const double cx = field.Right() - 8, cy = field.y + field.height / 2;
            SetColour(cr_, b.enabled ? 0x505050 : 0xB0B0B0);
            cairo_move_to(cr_, cx - 3.5, cy - 1.5);
            cairo_line_to(cr_, cx + 3.5, cy - 1.5);
            cairo_line_to(cr_, cx, cy - 5.5);
            cairo_close_path(cr_);
            cairo_move_to(cr_, cx - 3.5, cy + 1.5);
            cairo_line_to(cr_, cx + 3.5, cy + 1.5);
            cairo_line_to(cr_, cx, cy + 5.5);
            cairo_close_path(cr_);
            cairo_fill(cr_);
        }
        Text(b.text, {field.x + 6, field.y, field.width - 12, field.height}, c.text, false, false);
    }

    // A frame around the group's content; a named frame carries its title in its top line.
    void PaintGroup(const LayoutBox& b, const BoxColours& c) {
        if (b.borderStyle.empty() || b.borderStyle == "BORDER_NONE")
            return;
        const Rect& r = b.rect;
        double top = r.y;
        TextSize title{};
        if (!b.text.empty()) {
            PangoLayout* layout = TextLayout(context_, b.text, false);
            title = LogicalSize(layout);
            g_object_unref(layout);
            top = r.y + std::floor(title.height / 2);
        }
        const Rect frame{r.x, top, r.width, r.Bottom() - top};
        const bool raised = b.borderStyle.find("OUT") != std::string::npos;
        if (b.borderStyle == "BORDER_BLACK") {
            RoundRect(frame, 0.01);
            SetColour(cr_, 0x000000);
            cairo_stroke(cr_);
        } else {
            // Sunken frames (IN) show only their line; raised ones (OUT) a lighter face.
            RoundRect(frame, 4);
            if (raised) {
                SetColour(cr_, 0xF2F2F2);
                cairo_fill_preserve(cr_);
            }
            SetColour(cr_, c.stroke);
            cairo_stroke(cr_);
        }
        if (!b.text.empty()) {
            const Rect gap{r.x + 8 - 3, r.y, title.width + 6, title.height};
            SetColour(cr_, raised ? 0xF2F2F2 : 0xE9E9E9);
            cairo_rectangle(cr_, gap.x, gap.y, gap.width, gap.height);
            cairo_fill(cr_);
            Text(b.text, {r.x + 8, r.y, title.width + 1, title.height}, 0x303030, false, false);
        }
    }

    cairo_t* cr_;
    PangoContext* context_ = nullptr;
};

std::string Lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char ch) { return static_cast<char>(std::tolower(ch)); });
    return s;
}

bool EndsWith(const std::string& s, const std::string& tail) {
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

} // namespace

bool DrawingAvailable() { return true; }
std::string DrawingUnavailableReason() { return {}; }
std::unique_ptr<TextMeasure> MakeDrawingTextMeasure() { return std::make_unique<PangoTextMeasure>(); }

bool DrawDialogLayout(const DialogLayout& layout, const std::string& path, double scale, std::string* why) {
    const std::string name = Lower(path);
    const bool svg = EndsWith(name, ".svg");
    if (!svg && !EndsWith(name, ".png")) {
        *why = path + ": the picture's name must end in .svg or .png";
        return false;
    }
    if (!(scale > 0 && scale <= 8)) {
        *why = "the scale must be above 0 and at most 8";
        return false;
    }
    const double w = std::ceil(layout.width), h = std::ceil(layout.height);
    cairo_surface_t* surface =
        svg ? cairo_svg_surface_create(path.c_str(), w, h)
            : cairo_image_surface_create(CAIRO_FORMAT_ARGB32, static_cast<int>(std::ceil(w * scale)),
                                         static_cast<int>(std::ceil(h * scale)));
    if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
        *why = path + ": " + cairo_status_to_string(cairo_surface_status(surface));
        cairo_surface_destroy(surface);
        return false;
    }
    cairo_t* cr = cairo_create(surface);
    if (!svg)
        cairo_scale(cr, scale, scale);
    {
        Painter painter(cr);
        painter.Paint(layout);
    }
    cairo_status_t status = cairo_status(cr);
    cairo_destroy(cr);
    if (status == CAIRO_STATUS_SUCCESS && !svg)
        status = cairo_surface_write_to_png(surface, path.c_str());
    cairo_surface_finish(surface);
    if (status == CAIRO_STATUS_SUCCESS)
        status = cairo_surface_status(surface);
    cairo_surface_destroy(surface);
    if (status != CAIRO_STATUS_SUCCESS) {
        *why = path + ": " + cairo_status_to_string(status);
        return false;
    }
    return true;
}

} // namespace hostsim
