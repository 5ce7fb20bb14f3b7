// dialog_drawing.h - a dialog drawn from its description: the layout (a box for every element,
// computed before anything is drawn) and the picture of it as SVG or PNG.
//
// The layout follows the rules of the host's dialog description language: groups with columns or
// rows, their spacing, inner border sizes and frames; alignment and scaling of each element in its
// cell (ALIGN_*, CENTER_*, FIT_*, SCALE_*); minimum sizes (SIZE). Label texts are the description's
// NAME texts as the dialog's strings resolve them. Drawn from a running session, the window's
// gadgets give what the description cannot: combo box entries and the chosen one, check marks,
// which gadgets are disabled, and the menu bar.
//
// The host's exact metrics are not known; the ones used here are plain and consistent (see
// hostsim/README.md, "Drawing a dialog"). The arrangement is what matters: which element stands
// where, in which column, at which size relative to the others.
//
// The pictures are made with cairo and pango where the build found them (Linux: libcairo2-dev,
// libpango1.0-dev); the layout itself needs neither and is always built.
#ifndef CORVEL_HOSTSIM_DIALOG_DRAWING_H
#define CORVEL_HOSTSIM_DIALOG_DRAWING_H

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "hostsim/objects.h"

namespace hostsim {

struct TextSize {
    double width = 0;
    double height = 0;
};

// Measures one line of text in the dialog's font (bold: titles).
class TextMeasure {
public:
    virtual ~TextMeasure() = default;
    virtual TextSize Measure(const std::string& text, bool bold) const = 0;
};

// Every character (UTF-8 code point) equally wide: for builds without pango, and for tests that
// must not depend on the fonts a machine has.
class FixedTextMeasure : public TextMeasure {
public:
    explicit FixedTextMeasure(double charWidth = 7, double lineHeight = 14)
        : charWidth_(charWidth), lineHeight_(lineHeight) {}
    TextSize Measure(const std::string& text, bool bold) const override;

private:
    double charWidth_;
    double lineHeight_;
};

struct Rect {
    double x = 0, y = 0, width = 0, height = 0;
    double Right() const { return x + width; }
    double Bottom() const { return y + height; }
    bool Contains(const Rect& o) const {
        return o.x >= x && o.y >= y && o.Right() <= Right() && o.Bottom() <= Bottom();
    }
    bool Overlaps(const Rect& o) const {
        return o.x < Right() && x < o.Right() && o.y < Bottom() && y < o.Bottom();
    }
};

// One drawn element of the dialog.
struct LayoutBox {
    enum class Kind { Group, StaticText, CheckBox, ComboBox, Button, Separator, Field, MenuTitle };
    Kind kind = Kind::Field;
    std::string element;         // the type word as written (GROUP, CHECKBOX, ...); MENU for a menu title
    std::optional<int32_t> id;   // as written; none for elements without one and for menu titles
    SourcePos pos;               // of the element in its .res file
    int parent = -1;             // index of the enclosing group's box; -1: the window
    int column = 0, row = 0;     // the cell in the enclosing group (or in the window's single column)
    Rect rect;                   // in dialog pixels from the window's top left corner
    Rect content;                // groups: the area of the children (inside frame and border sizes)
    std::string text;            // label, button text, group title; combo boxes: the chosen entry
    std::string borderStyle;     // groups: BORDERSTYLE as written (empty: none)
    bool enabled = true;
    bool checked = false;        // check boxes
};

struct DialogLayout {
    std::string title;                 // the window title (empty: none)
    double width = 0, height = 0;      // the whole window
    Rect titleBar, menuBar, client;    // menuBar is empty (0 high) when the dialog has no menu
    std::vector<LayoutBox> boxes;      // the description's elements in order, then the menu titles
};

// Lays out `dialog` at its smallest size. `session`, when given, is the window of a running
// session whose gadgets and menu are drawn as they are now; without it, check boxes are off,
// every gadget is enabled, combo boxes show the first entry their CHILDS list gives, and there is
// no menu bar (a dialog's menus are built by its module at run time).
DialogLayout LayOutDialog(const DialogDescription& dialog, const TextMeasure& measure,
                          const DialogWindow* session = nullptr);

// The colours a box is painted in (0xRRGGBB): disabled gadgets in the greyed-out set.
struct BoxColours {
    uint32_t text = 0, fill = 0, stroke = 0, mark = 0;
};
BoxColours ColoursOf(const LayoutBox& box);

// True when this build draws pictures (cairo and pango were found).
bool DrawingAvailable();
// Why pictures cannot be drawn in this build (empty when they can).
std::string DrawingUnavailableReason();
// The font measurement the pictures use: pango's where the build draws, otherwise fixed widths.
std::unique_ptr<TextMeasure> MakeDrawingTextMeasure();

// Draws `layout` into `path`: SVG when the name ends in .svg, PNG when in .png (any case); a PNG
// has `scale` pixels per dialog pixel. Answers false with the reason in `why`.
bool DrawDialogLayout(const DialogLayout& layout, const std::string& path, double scale, std::string* why);

} // namespace hostsim

#endif // CORVEL_HOSTSIM_DIALOG_DRAWING_H
