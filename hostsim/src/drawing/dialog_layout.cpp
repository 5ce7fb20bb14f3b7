// The layout of a dialog description: every element's box, computed in two passes. The first
// measures each element's smallest size from the inside out (texts, gadget parts, a group's grid
// of cells with its spacing, border sizes and frame); the second gives each group its final size
// from the outside in, shares the extra width and height among the columns and rows that scale,
// and places each element in its cell as its alignment flags say.
#include "hostsim/dialog_drawing.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <map>

#include "hostsim/resource_files.h"

namespace hostsim {

TextSize FixedTextMeasure::Measure(const std::string& text, bool bold) const {
    double chars = 0;
    for (unsigned char c : text)
        if ((c & 0xC0) != 0x80) // count code points, not bytes
            chars += 1;
    return {chars * charWidth_ * (bold ? 1.1 : 1.0), lineHeight_};
}

namespace {

// The metrics of the drawing (dialog pixels). The host's own are not known; these are plain and
// consistent, and hostsim/README.md lists them.
constexpr double kTitleBarHeight = 26;
constexpr double kTitleButtonsWidth = 64;  // the window buttons at the title bar's left
constexpr double kMenuBarHeight = 22;
constexpr double kMenuTitlePadding = 10;   // each side of a menu title
constexpr double kGadgetHeight = 20;       // static texts, check boxes, combo boxes, fields
constexpr double kButtonHeight = 22;
constexpr double kButtonPadding = 14;      // each side of a button's text
constexpr double kCheckSquare = 13;
constexpr double kCheckGap = 6;            // between the square and the label
constexpr double kComboPadding = 6;        // left of the text
constexpr double kComboArrow = 20;         // the arrow part at the right
constexpr double kComboMinWidth = 60;
constexpr double kFieldWidth = 80;         // edit fields, number fields and other value gadgets
constexpr double kSliderWidth = 140;       // a slider with its number field
constexpr double kSeparatorThickness = 8;
constexpr double kFrameLine = 1;           // a group frame's line
constexpr double kFrameTitleIndent = 8;    // the frame title from the frame's left edge

enum class HAlign { Left, Right, Center, Fit, Scale };
enum class VAlign { Top, Bottom, Center, Fit, Scale };

struct Options {
    const DialogElement& el;

    const std::vector<std::string>* Find(const char* keyword) const {
        for (const auto& o : el.options)
            if (!o.empty() && o[0] == keyword)
                return &o;
        return nullptr;
    }
    bool Has(const char* keyword) const { return Find(keyword) != nullptr; }
    // Argument `i` (1-based, after the keyword) as a number; `fallback` when absent or not one.
    double Number(const char* keyword, size_t i, double fallback) const {
        const auto* o = Find(keyword);
        if (!o || o->size() <= i)
            return fallback;
        char* end = nullptr;
        const double v = std::strtod((*o)[i].c_str(), &end);
        return end && *end == '\0' && end != (*o)[i].c_str() ? v : fallback;
    }
    std::string Word(const char* keyword, size_t i) const {
        const auto* o = Find(keyword);
        return o && o->size() > i ? (*o)[i] : std::string();
    }
    // The last horizontal flag given wins; a group without one keeps to the left, as a gadget does.
    HAlign Horizontal() const {
        HAlign a = HAlign::Left;
        for (const auto& o : el.options) {
            if (o.empty())
                continue;
            if (o[0] == "ALIGN_LEFT") a = HAlign::Left;
            else if (o[0] == "ALIGN_RIGHT") a = HAlign::Right;
            else if (o[0] == "CENTER_H") a = HAlign::Center;
            else if (o[0] == "FIT_H") a = HAlign::Fit;
            else if (o[0] == "SCALE_H") a = HAlign::Scale;
        }
        return a;
    }
    // Gadgets sit in the middle of their row unless told otherwise (a label beside a taller
    // gadget lines up with it); groups start at the top.
    VAlign Vertical(bool group) const {
        VAlign a = group ? VAlign::Top : VAlign::Center;
        for (const auto& o : el.options) {
            if (o.empty())
                continue;
            if (o[0] == "ALIGN_TOP") a = VAlign::Top;
            else if (o[0] == "ALIGN_BOTTOM") a = VAlign::Bottom;
            else if (o[0] == "CENTER_V") a = VAlign::Center;
            else if (o[0] == "FIT_V") a = VAlign::Fit;
            else if (o[0] == "SCALE_V") a = VAlign::Scale;
        }
        return a;
    }
};

LayoutBox::Kind KindOfElement(const std::string& kind) {
    if (kind == "GROUP" || kind == "DLGGROUP" || kind == "TAB" || kind == "SCROLLGROUP" || kind == "RADIOGROUP")
        return LayoutBox::Kind::Group;
    if (kind == "STATICTEXT")
        return LayoutBox::Kind::StaticText;
    if (kind == "CHECKBOX")
        return LayoutBox::Kind::CheckBox;
    if (kind == "COMBOBOX" || kind == "POPUPBUTTON" || kind == "COMBOBUTTON")
        return LayoutBox::Kind::ComboBox;
    if (kind == "BUTTON")
        return LayoutBox::Kind::Button;
    if (kind == "SEPARATOR")
        return LayoutBox::Kind::Separator;
    return LayoutBox::Kind::Field;
}

// One element while it is laid out. Elements that the description does not write but the host
// shows (the OK and Cancel buttons of DLGGROUP, the choices of RADIOGROUP) are nodes too.
struct Node {
    const DialogElement* el = nullptr; // null for the window's single column and host-made nodes
    int box = -1;                      // its box in the layout (-1: the window's column)
    LayoutBox::Kind kind = LayoutBox::Kind::Group;
    HAlign h = HAlign::Left;
    VAlign v = VAlign::Center;
    double minW = 0, minH = 0;         // smallest size, SIZE included
    // Groups:
    int columns = 1, rows = 0;
    bool columnMajor = false;          // ROWS without COLUMNS: children fill a column first
    bool equalCols = false, equalRows = false;
    double spaceH = 0, spaceV = 0;
    double inL = 0, inT = 0, inR = 0, inB = 0; // frame and border sizes around the children
    std::vector<Node> children;
    std::vector<double> colW, rowH;    // measured cell sizes
};

class Layouter {
public:
    Layouter(const TextMeasure& m, const DialogWindow* session, DialogLayout* out)
        : m_(m), session_(session), out_(*out) {}

    Node Build(const std::vector<DialogElement>& elements) {
        Node root;
        root.kind = LayoutBox::Kind::Group;
        root.h = HAlign::Scale;
        root.v = VAlign::Scale;
        for (const auto& el : elements)
            root.children.push_back(BuildElement(el, -1));
        AssignCells(&root);
        return root;
    }

    void Measure(Node* n) {
        if (n->kind == LayoutBox::Kind::Group)
            MeasureGroup(n);
        else
            MeasureGadget(n);
        if (n->el) {
            const Options o{*n->el};
            n->minW = std::max(n->minW, std::abs(o.Number("SIZE", 1, 0)));
            n->minH = std::max(n->minH, std::abs(o.Number("SIZE", 2, 0)));
        }
    }

    // Gives `n` its final rectangle and lays out its children inside it.
    void Place(Node* n, const Rect& r) {
        if (n->box >= 0) {
            LayoutBox& b = out_.boxes[n->box];
            b.rect = r;
            b.content = {r.x + n->inL, r.y + n->inT, r.width - n->inL - n->inR, r.height - n->inT - n->inB};
        }
        if (n->kind != LayoutBox::Kind::Group || n->children.empty())
            return;
        const Rect inner{r.x + n->inL, r.y + n->inT, r.width - n->inL - n->inR, r.height - n->inT - n->inB};
        std::vector<double> colW = n->colW, rowH = n->rowH;
        Share(&colW, inner.width - Sum(n->colW, n->spaceH), ScalingTracks(*n, true));
        Share(&rowH, inner.height - Sum(n->rowH, n->spaceV), ScalingTracks(*n, false));
        std::vector<double> colX(colW.size()), rowY(rowH.size());
        double x = inner.x;
        for (size_t c = 0; c < colW.size(); ++c) {
            colX[c] = x;
            x += colW[c] + n->spaceH;
        }
        double y = inner.y;
        for (size_t row = 0; row < rowH.size(); ++row) {
            rowY[row] = y;
            y += rowH[row] + n->spaceV;
        }
        for (Node& child : n->children) {
            const LayoutBox& cb = out_.boxes[child.box];
            const Rect cell{colX[cb.column], rowY[cb.row], colW[cb.column], rowH[cb.row]};
            Place(&child, Align(child, cell));
        }
    }

private:
    static double Sum(const std::vector<double>& v, double gap) {
        double s = 0;
        for (double d : v)
            s += d;
        return v.empty() ? 0 : s + gap * static_cast<double>(v.size() - 1);
    }

    // Extra room goes in equal parts to the tracks that hold an element that scales that way.
    static void Share(std::vector<double>* tracks, double extra, const std::vector<bool>& scaling) {
        if (extra <= 0)
            return;
        const auto n = std::count(scaling.begin(), scaling.end(), true);
        if (n == 0)
            return;
        for (size_t i = 0; i < tracks->size(); ++i)
            if (scaling[i])
                (*tracks)[i] += extra / static_cast<double>(n);
    }

    std::vector<bool> ScalingTracks(const Node& n, bool horizontal) const {
        std::vector<bool> scaling(horizontal ? n.colW.size() : n.rowH.size(), false);
        for (const Node& child : n.children) {
            const LayoutBox& cb = out_.boxes[child.box];
            if (horizontal && child.h == HAlign::Scale)
                scaling[cb.column] = true;
            if (!horizontal && child.v == VAlign::Scale)
                scaling[cb.row] = true;
        }
        return scaling;
    }

    static Rect Align(const Node& n, const Rect& cell) {
        Rect r{cell.x, cell.y, std::min(n.minW, cell.width), std::min(n.minH, cell.height)};
        switch (n.h) {
        case HAlign::Fit:
        case HAlign::Scale: r.width = cell.width; break;
        case HAlign::Right: r.x = cell.Right() - r.width; break;
        case HAlign::Center: r.x = cell.x + (cell.width - r.width) / 2; break;
        case HAlign::Left: break;
        }
        switch (n.v) {
        case VAlign::Fit:
        case VAlign::Scale: r.height = cell.height; break;
        case VAlign::Bottom: r.y = cell.Bottom() - r.height; break;
        case VAlign::Center: r.y = cell.y + (cell.height - r.height) / 2; break;
        case VAlign::Top: break;
        }
        return r;
    }

    int AddBox(LayoutBox box) {
        out_.boxes.push_back(std::move(box));
        return static_cast<int>(out_.boxes.size() - 1);
    }

    const Gadget* SessionGadget(const DialogElement& el) const {
        if (!session_ || !el.id || *el.id == kStaticId)
            return nullptr;
        const auto it = session_->gadgets.find(*el.id);
        return it == session_->gadgets.end() ? nullptr : &it->second;
    }

    Node HostButton(const std::string& text, int32_t id, int parent) {
        Node n;
        n.kind = LayoutBox::Kind::Button;
        LayoutBox b;
        b.kind = n.kind;
        b.element = "BUTTON";
        b.id = id;
        b.parent = parent;
        b.text = text;
        n.box = AddBox(std::move(b));
        return n;
    }

    Node BuildElement(const DialogElement& el, int parent) {
        const Options o{el};
        Node n;
        n.el = &el;
        n.kind = KindOfElement(el.kind);
        n.h = o.Horizontal();
        n.v = o.Vertical(n.kind == LayoutBox::Kind::Group);
        LayoutBox b;
        b.kind = n.kind;
        b.element = el.kind;
        b.id = el.id;
        b.pos = el.pos;
        b.parent = parent;
        b.text = el.name;
        if (n.kind == LayoutBox::Kind::Group)
            b.borderStyle = o.Word("BORDERSTYLE", 1);
        if (n.kind == LayoutBox::Kind::ComboBox && !el.childs.empty())
            b.text = el.childs.front().second;
        if (n.kind == LayoutBox::Kind::ComboBox && el.childs.empty())
            b.text.clear();
        if (const Gadget* g = SessionGadget(el)) {
            b.enabled = g->enabled;
            b.checked = g->boolValue;
            if (n.kind == LayoutBox::Kind::ComboBox) {
                b.text.clear();
                for (const auto& c : g->children)
                    if (c.first == g->intValue)
                        b.text = c.second;
            }
        }
        n.box = AddBox(std::move(b));
        if (n.kind == LayoutBox::Kind::Group) {
            n.columns = std::max(1, static_cast<int>(o.Number("COLUMNS", 1, 0)));
            n.rows = static_cast<int>(o.Number("ROWS", 1, 0));
            n.columnMajor = !o.Has("COLUMNS") && n.rows > 0;
            n.equalCols = o.Has("EQUAL_COLS");
            n.equalRows = o.Has("EQUAL_ROWS");
            n.spaceH = o.Number("SPACE", 1, 4);
            n.spaceV = o.Number("SPACE", 2, 4);
            n.inL = o.Number("BORDERSIZE", 1, 0);
            n.inT = o.Number("BORDERSIZE", 2, 0);
            n.inR = o.Number("BORDERSIZE", 3, 0);
            n.inB = o.Number("BORDERSIZE", 4, 0);
            const std::string style = out_.boxes[n.box].borderStyle;
            if (!style.empty() && style != "BORDER_NONE") {
                // The frame; a named frame carries its title in its top line.
                const double title = el.name.empty() ? 0 : m_.Measure(el.name, false).height;
                n.inL += kFrameLine + 2;
                n.inR += kFrameLine + 2;
                n.inB += kFrameLine + 2;
                n.inT += std::max(kFrameLine + 2, title + 2);
            }
            const int self = n.box;
            for (const auto& child : el.children)
                n.children.push_back(BuildElement(child, self));
            if (el.kind == "DLGGROUP") {
                // The host's standard buttons, side by side: OK and Cancel as the options ask.
                n.columns = 0;
                if (o.Has("OK"))
                    n.children.push_back(HostButton("OK", 1, self)), ++n.columns;
                if (o.Has("CANCEL"))
                    n.children.push_back(HostButton("Cancel", 2, self)), ++n.columns;
                n.columns = std::max(1, n.columns);
                n.spaceH = 6;
            }
            AssignCells(&n);
        }
        return n;
    }

    // The cell of every child: row by row in `columns` columns, or with ROWS alone column by
    // column in that many rows.
    void AssignCells(Node* n) {
        const int count = static_cast<int>(n->children.size());
        int cols = n->columns, rows = 0;
        if (n->columnMajor) {
            rows = std::max(1, n->rows);
            cols = std::max(1, (count + rows - 1) / rows);
        } else {
            rows = std::max(1, (count + cols - 1) / cols);
        }
        for (int i = 0; i < count; ++i) {
            LayoutBox& b = out_.boxes[n->children[i].box];
            b.column = n->columnMajor ? i / rows : i % cols;
            b.row = n->columnMajor ? i % rows : i / cols;
        }
        n->colW.assign(count == 0 ? 0 : cols, 0);
        n->rowH.assign(count == 0 ? 0 : rows, 0);
    }

    void MeasureGroup(Node* n) {
        for (Node& child : n->children) {
            Measure(&child);
            const LayoutBox& cb = out_.boxes[child.box];
            n->colW[cb.column] = std::max(n->colW[cb.column], child.minW);
            n->rowH[cb.row] = std::max(n->rowH[cb.row], child.minH);
        }
        if (n->equalCols && !n->colW.empty())
            std::fill(n->colW.begin(), n->colW.end(), *std::max_element(n->colW.begin(), n->colW.end()));
        if (n->equalRows && !n->rowH.empty())
            std::fill(n->rowH.begin(), n->rowH.end(), *std::max_element(n->rowH.begin(), n->rowH.end()));
        n->minW = Sum(n->colW, n->spaceH) + n->inL + n->inR;
        n->minH = Sum(n->rowH, n->spaceV) + n->inT + n->inB;
        if (n->box >= 0) {
            // A frame is at least as wide as its title.
            const LayoutBox& b = out_.boxes[n->box];
            if (!b.borderStyle.empty() && b.borderStyle != "BORDER_NONE" && !b.text.empty())
                n->minW = std::max(n->minW, m_.Measure(b.text, false).width + 2 * kFrameTitleIndent + 8);
        }
    }

    void MeasureGadget(Node* n) {
        const LayoutBox& b = out_.boxes[n->box];
        const TextSize t = m_.Measure(b.text, false);
        switch (n->kind) {
        case LayoutBox::Kind::StaticText:
            n->minW = t.width;
            n->minH = std::max(kGadgetHeight, t.height);
            break;
        case LayoutBox::Kind::CheckBox:
            n->minW = kCheckSquare + (b.text.empty() ? 0 : kCheckGap + t.width);
            n->minH = std::max(kGadgetHeight, t.height);
            break;
        case LayoutBox::Kind::ComboBox: {
            // As wide as its longest entry, whichever is chosen.
            double widest = t.width;
            for (const auto& c : ComboEntries(*n))
                widest = std::max(widest, m_.Measure(c, false).width);
            n->minW = std::max(kComboMinWidth, kComboPadding + widest + kComboPadding + kComboArrow);
            n->minH = std::max(kGadgetHeight, t.height + 4);
            break;
        }
        case LayoutBox::Kind::Button:
            n->minW = t.width + 2 * kButtonPadding;
            n->minH = std::max(kButtonHeight, t.height + 6);
            break;
        case LayoutBox::Kind::Separator:
            n->minW = kSeparatorThickness;
            n->minH = kSeparatorThickness;
            if (n->h == HAlign::Left)
                n->h = HAlign::Fit; // a separator spans its cell
            break;
        case LayoutBox::Kind::Field:
            n->minW = std::max(b.element.find("SLIDER") != std::string::npos ? kSliderWidth : kFieldWidth,
                               t.width + 2 * kComboPadding);
            n->minH = kGadgetHeight;
            break;
        case LayoutBox::Kind::Group:
        case LayoutBox::Kind::MenuTitle: break;
        }
    }

    std::vector<std::string> ComboEntries(const Node& n) const {
        std::vector<std::string> entries;
        if (n.el) {
            if (const Gadget* g = SessionGadget(*n.el)) {
                for (const auto& c : g->children)
                    entries.push_back(c.second);
                return entries;
            }
            for (const auto& c : n.el->childs)
                entries.push_back(c.second);
        }
        return entries;
    }

    const TextMeasure& m_;
    const DialogWindow* session_;
    DialogLayout& out_;
};

} // namespace

DialogLayout LayOutDialog(const DialogDescription& dialog, const TextMeasure& measure, const DialogWindow* session) {
    DialogLayout layout;
    layout.title = dialog.title;
    Layouter layouter(measure, session, &layout);
    Node root = layouter.Build(dialog.elements);
    layouter.Measure(&root);

    // The menu bar: the titles of the top-level menus the module built.
    std::vector<LayoutBox> menuTitles;
    if (session) {
        int depth = 0;
        for (const MenuItem& item : session->menu) {
            if (item.kind == MenuItem::Kind::SubBegin && depth++ == 0) {
                LayoutBox b;
                b.kind = LayoutBox::Kind::MenuTitle;
                b.element = "MENU";
                b.text = item.text;
                menuTitles.push_back(std::move(b));
            } else if (item.kind == MenuItem::Kind::SubEnd && depth > 0) {
                --depth;
            }
        }
    }
    double menuWidth = 0;
    for (LayoutBox& b : menuTitles) {
        const TextSize t = measure.Measure(b.text, false);
        b.rect = {menuWidth, kTitleBarHeight, t.width + 2 * kMenuTitlePadding, kMenuBarHeight};
        menuWidth += b.rect.width;
    }
    // The title is centred and keeps clear of the window buttons at the left.
    const double titleWidth = measure.Measure(layout.title, true).width + 2 * kTitleButtonsWidth;

    layout.width = std::max({root.minW, menuWidth, titleWidth});
    layout.titleBar = {0, 0, layout.width, kTitleBarHeight};
    const double menuHeight = menuTitles.empty() ? 0 : kMenuBarHeight;
    layout.menuBar = {0, kTitleBarHeight, layout.width, menuHeight};
    layout.client = {0, kTitleBarHeight + menuHeight, layout.width, root.minH};
    layout.height = layout.client.Bottom();
    layouter.Place(&root, layout.client);
    for (LayoutBox& b : menuTitles)
        layout.boxes.push_back(std::move(b));
    return layout;
}

BoxColours ColoursOf(const LayoutBox& box) {
    BoxColours c;
    c.text = box.enabled ? 0x1E1E1E : 0xA0A0A0;
    c.stroke = box.enabled ? 0x7A7A7A : 0xC4C4C4;
    c.mark = box.enabled ? 0x2160C4 : 0xA8A8A8;
    switch (box.kind) {
    case LayoutBox::Kind::CheckBox:
    case LayoutBox::Kind::ComboBox:
    case LayoutBox::Kind::Field: c.fill = box.enabled ? 0xFFFFFF : 0xF0F0F0; break;
    case LayoutBox::Kind::Button: c.fill = box.enabled ? 0xFAFAFA : 0xEEEEEE; break;
    case LayoutBox::Kind::Group: c.stroke = 0xA8A8A8; c.fill = 0xE9E9E9; break;
    case LayoutBox::Kind::Separator: c.stroke = 0xA8A8A8; break;
    case LayoutBox::Kind::StaticText:
    case LayoutBox::Kind::MenuTitle: c.fill = 0xE9E9E9; break;
    }
    return c;
}

} // namespace hostsim
