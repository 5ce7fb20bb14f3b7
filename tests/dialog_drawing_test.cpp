// Dialogs drawn from their descriptions: the layout (every element's box, computed before anything
// is drawn) for Corvel's own dialog and for small descriptions that each exercise one rule, the
// dialog of a running session with its values, disabled gadgets and menu bar, and the pictures
// written by the library and by `corvel-host res draw` / `run --do draw:`.
//
// The layout is measured with fixed-width text, so no test depends on the fonts a machine has.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "child_process.h"
#include "hostsim/dialog_drawing.h"
#include "hostsim/host.h"
#include "hostsim/resource_files.h"
#include "plugin_folder.h"

namespace corvel_test {
namespace {

namespace fs = std::filesystem;
using hostsim::DialogLayout;
using hostsim::LayoutBox;

constexpr int32_t kDialog = 10001;

int CountElements(const std::vector<hostsim::DialogElement>& elements) {
    int n = 0;
    for (const auto& el : elements)
        n += 1 + CountElements(el.children);
    return n;
}

hostsim::DialogDescription CorvelDescription() {
    hostsim::Resource res;
    hostsim::DialogDescription dialog;
    std::string why;
    EXPECT_TRUE(hostsim::LoadResourceFolder(std::string(CORVEL_SOURCE_DIR) + "/res", &res, &why)) << why;
    EXPECT_TRUE(hostsim::LoadDialogDescription(res, kDialog, &dialog, &why)) << why;
    return dialog;
}

const LayoutBox& BoxOf(const DialogLayout& l, int32_t id) {
    for (const LayoutBox& b : l.boxes)
        if (b.id && *b.id == id)
            return b;
    static const LayoutBox none;
    ADD_FAILURE() << "no box for " << id;
    return none;
}

int IndexOfGroup(const DialogLayout& l, const std::string& title) {
    for (size_t i = 0; i < l.boxes.size(); ++i)
        if (l.boxes[i].kind == LayoutBox::Kind::Group && l.boxes[i].text == title)
            return static_cast<int>(i);
    ADD_FAILURE() << "no group titled " << title;
    return -1;
}

std::vector<const LayoutBox*> ChildrenOf(const DialogLayout& l, int parent) {
    std::vector<const LayoutBox*> children;
    for (const LayoutBox& b : l.boxes)
        if (b.parent == parent && b.kind != LayoutBox::Kind::MenuTitle)
            children.push_back(&b);
    return children;
}

// A description of one dialog from text, with its strings given as a map.
DialogLayout LayOut(const std::string& body, const std::map<std::string, std::string>& texts = {}) {
    const std::map<std::string, int32_t> symbols = {{"DLG", 1}, {"A", 11}, {"B", 12}, {"C", 13}, {"D", 14}};
    hostsim::DialogDescription dialog;
    std::string why;
    EXPECT_TRUE(hostsim::ParseDialog("DIALOG DLG { NAME T; " + body + " }", "dlg.res", symbols, texts, &dialog, &why))
        << why;
    return hostsim::LayOutDialog(dialog, hostsim::FixedTextMeasure(10, 14));
}

TEST(DialogLayout, EveryElementOfCorvelsDescriptionHasExactlyOneBoxWithItsLabelFromTheStrings) {
    const hostsim::DialogDescription dialog = CorvelDescription();
    const DialogLayout l = hostsim::LayOutDialog(dialog, hostsim::FixedTextMeasure());
    EXPECT_EQ(l.title, "Corvel");
    EXPECT_EQ(static_cast<int>(l.boxes.size()), CountElements(dialog.elements)); // no menu without a session
    std::map<int32_t, int> seen;
    for (const LayoutBox& b : l.boxes)
        if (b.id)
            ++seen[*b.id];
    for (int32_t id = 10002; id <= 10033; ++id) {
        if (id == 10011)
            continue; // not a gadget of the dialog
        EXPECT_EQ(seen[id], 1) << "gadget " << id;
    }
    // Texts as dlg_corvel.str gives them, not the keys.
    EXPECT_EQ(BoxOf(l, 10005).text, "Keep render parameter 5202");
    EXPECT_EQ(BoxOf(l, 10013).text, "Press render-settings button 28501 instead");
    EXPECT_EQ(BoxOf(l, 10031).text, "Keep effects 1001010, 1002008");
    EXPECT_EQ(BoxOf(l, 10032).text, "Render");
    EXPECT_EQ(BoxOf(l, 10033).text, "Close");
    std::vector<std::string> labels;
    for (const LayoutBox& b : l.boxes)
        if (b.kind == LayoutBox::Kind::StaticText && !b.text.empty())
            labels.push_back(b.text);
    EXPECT_EQ(labels, (std::vector<std::string>{"Antialiasing", "Filter", "Frame range", "Render to", "Resolution",
                                                "Quality"}));
    IndexOfGroup(l, "Render");
    IndexOfGroup(l, "Render features");
    IndexOfGroup(l, "Render effects");
}

TEST(DialogLayout, TheTwoColumnGroupsOfCorvelsDialogPutTheirGadgetsInTwoColumns) {
    const DialogLayout l = hostsim::LayOutDialog(CorvelDescription(), hostsim::FixedTextMeasure());
    // Labels in the left column, combo boxes in the right one, each combo beside its label.
    const std::vector<const LayoutBox*> render = ChildrenOf(l, IndexOfGroup(l, "Render"));
    ASSERT_EQ(render.size(), 12u);
    double labelsRight = 0;
    for (size_t i = 0; i < render.size(); i += 2)
        labelsRight = std::max(labelsRight, render[i]->rect.Right());
    for (size_t i = 0; i < render.size(); i += 2) {
        const LayoutBox& label = *render[i];
        const LayoutBox& combo = *render[i + 1];
        EXPECT_EQ(label.kind, LayoutBox::Kind::StaticText);
        EXPECT_EQ(combo.kind, LayoutBox::Kind::ComboBox);
        EXPECT_EQ(label.column, 0);
        EXPECT_EQ(combo.column, 1);
        EXPECT_EQ(label.rect.x, render[0]->rect.x) << label.text;
        EXPECT_EQ(combo.rect.x, render[1]->rect.x) << "combo " << *combo.id;
        EXPECT_GT(combo.rect.x, labelsRight);
        EXPECT_LT(combo.rect.y, label.rect.Bottom()); // same row
        EXPECT_LT(label.rect.y, combo.rect.Bottom());
        if (i > 0) {
            EXPECT_GE(label.rect.y, render[i - 2]->rect.Bottom()) << label.text << " is below the row before";
        }
    }
    // Check boxes go left, right, left, ... in description order.
    const std::vector<const LayoutBox*> options = ChildrenOf(l, IndexOfGroup(l, "Render features"));
    ASSERT_EQ(options.size(), 14u);
    for (size_t i = 0; i < options.size(); ++i) {
        const LayoutBox& b = *options[i];
        EXPECT_EQ(b.kind, LayoutBox::Kind::CheckBox);
        EXPECT_EQ(b.column, static_cast<int>(i % 2)) << *b.id;
        EXPECT_EQ(b.row, static_cast<int>(i / 2)) << *b.id;
        if (i % 2 == 1) {
            EXPECT_GT(b.rect.x, options[i - 1]->rect.Right()) << *b.id;
            EXPECT_EQ(b.rect.y, options[i - 1]->rect.y) << *b.id;
        }
    }
    // The empty label after the effects' master switch keeps the grid: its switches start a row.
    EXPECT_EQ(BoxOf(l, 10023).column, 0);
    EXPECT_EQ(BoxOf(l, 10024).column, 0);
    EXPECT_EQ(BoxOf(l, 10025).column, 1);
    EXPECT_GT(BoxOf(l, 10024).rect.y, BoxOf(l, 10023).rect.y);
}

TEST(DialogLayout, CorvelsDialogKeepsEveryBoxInsideItsGroupWithoutOverlapsAndScalesAsDescribed) {
    const DialogLayout l = hostsim::LayOutDialog(CorvelDescription(), hostsim::FixedTextMeasure());
    for (size_t i = 0; i < l.boxes.size(); ++i) {
        const LayoutBox& b = l.boxes[i];
        const hostsim::Rect outer = b.parent < 0 ? l.client : l.boxes[b.parent].content;
        EXPECT_TRUE(outer.Contains(b.rect)) << b.element << " " << b.text;
        for (size_t j = i + 1; j < l.boxes.size(); ++j)
            if (l.boxes[j].parent == b.parent) {
                EXPECT_FALSE(b.rect.Overlaps(l.boxes[j].rect)) << b.text << " / " << l.boxes[j].text;
            }
    }
    // SCALE_H: the frames span the dialog, the combo boxes reach the frame's inner edge.
    const LayoutBox& render = l.boxes[IndexOfGroup(l, "Render")];
    const LayoutBox& effects = l.boxes[IndexOfGroup(l, "Render effects")];
    EXPECT_EQ(render.rect.x, effects.rect.x);
    EXPECT_EQ(render.rect.width, effects.rect.width);
    EXPECT_EQ(BoxOf(l, 10008).rect.Right(), render.content.Right());
    // ALIGN_RIGHT: the buttons' group sits at the right; SIZE 100, 0 makes each button 100 wide.
    const LayoutBox& renderButton = BoxOf(l, 10032);
    const LayoutBox& closeButton = BoxOf(l, 10033);
    EXPECT_EQ(closeButton.rect.Right(), render.rect.Right());
    EXPECT_LT(renderButton.rect.Right(), closeButton.rect.x);
    EXPECT_GE(renderButton.rect.width, 100);
    EXPECT_EQ(renderButton.rect.width, closeButton.rect.width);
    EXPECT_GT(renderButton.rect.y, effects.rect.Bottom());
    // BORDERSIZE 6, 6, 6, 6 of the outer group: the frames start 6 from the window's edge.
    EXPECT_EQ(render.rect.x, l.client.x + 6);
    EXPECT_EQ(l.client.Right() - render.rect.Right(), 6);
}

TEST(DialogLayout, GroupsFollowColumnsRowsSpacingBorderSizesAndEqualColumns) {
    // Two columns, SPACE 5, 3 and BORDERSIZE 2, 4, 6, 8.
    {
        const DialogLayout l = LayOut("GROUP { COLUMNS 2; SPACE 5, 3; BORDERSIZE 2, 4, 6, 8; "
                                      "CHECKBOX A { NAME X; } CHECKBOX B { NAME X; } CHECKBOX C { NAME X; } }",
                                      {{"T", "t"}, {"X", "abc"}});
        const LayoutBox& group = l.boxes[0];
        const LayoutBox &a = BoxOf(l, 11), &b = BoxOf(l, 12), &c = BoxOf(l, 13);
        EXPECT_EQ(a.rect.x, group.rect.x + 2);
        EXPECT_EQ(a.rect.y, group.rect.y + 4);
        EXPECT_EQ(b.rect.x, a.rect.Right() + 5);
        EXPECT_EQ(c.rect.y, a.rect.Bottom() + 3);
        EXPECT_EQ(c.rect.x, a.rect.x);
        EXPECT_EQ(group.rect.Right(), b.rect.Right() + 6);
        EXPECT_EQ(group.rect.Bottom(), c.rect.Bottom() + 8);
    }
    // ROWS alone: a column is filled first.
    {
        const DialogLayout l = LayOut("GROUP { ROWS 2; CHECKBOX A { } CHECKBOX B { } CHECKBOX C { } CHECKBOX D { } }");
        EXPECT_EQ(BoxOf(l, 12).rect.x, BoxOf(l, 11).rect.x);
        EXPECT_GT(BoxOf(l, 12).rect.y, BoxOf(l, 11).rect.y);
        EXPECT_GT(BoxOf(l, 13).rect.x, BoxOf(l, 11).rect.Right());
        EXPECT_EQ(BoxOf(l, 13).rect.y, BoxOf(l, 11).rect.y);
    }
    // EQUAL_COLS: a short and a long button get columns of one width.
    {
        const DialogLayout l = LayOut("GROUP { COLUMNS 2; EQUAL_COLS; SPACE 0, 0; BUTTON A { NAME S; FIT_H; } "
                                      "BUTTON B { NAME L; FIT_H; } }",
                                      {{"T", "t"}, {"S", "Go"}, {"L", "A much longer text"}});
        EXPECT_EQ(BoxOf(l, 11).rect.width, BoxOf(l, 12).rect.width);
        EXPECT_EQ(BoxOf(l, 11).text, "Go");
    }
}

TEST(DialogLayout, EachElementIsAlignedInItsCellAsItsFlagsSay) {
    // A wide first row; below it, one element per row aligned differently in the same column.
    const DialogLayout l = LayOut("GROUP { COLUMNS 1; SPACE 0, 0; STATICTEXT { NAME W; } "
                                  "BUTTON A { NAME S; ALIGN_RIGHT; } BUTTON B { NAME S; CENTER_H; } "
                                  "BUTTON C { NAME S; FIT_H; } BUTTON D { NAME S; } }",
                                  {{"T", "t"}, {"W", "a very long label that makes the column wide"}, {"S", "OK"}});
    const LayoutBox& group = l.boxes[0];
    const LayoutBox &right = BoxOf(l, 11), &centre = BoxOf(l, 12), &fit = BoxOf(l, 13), &left = BoxOf(l, 14);
    EXPECT_EQ(right.rect.Right(), group.rect.Right());
    EXPECT_LT(right.rect.width, group.rect.width / 2);
    EXPECT_DOUBLE_EQ(centre.rect.x - group.rect.x, group.rect.Right() - centre.rect.Right());
    EXPECT_EQ(fit.rect.width, group.rect.width);
    EXPECT_EQ(left.rect.x, group.rect.x);
    EXPECT_EQ(left.rect.width, right.rect.width);
    // Extra width goes to the column whose element scales; the other keeps its size.
    const DialogLayout s = LayOut("GROUP { COLUMNS 1; STATICTEXT { NAME W; } GROUP { COLUMNS 2; SCALE_H; "
                                  "STATICTEXT { NAME S; } COMBOBOX A { SCALE_H; } } }",
                                  {{"T", "t"}, {"W", "a very long label that makes the column wide"}, {"S", "OK"}});
    const LayoutBox& inner = s.boxes[2];
    EXPECT_EQ(inner.rect.width, s.boxes[0].rect.width);
    EXPECT_EQ(BoxOf(s, 11).rect.Right(), inner.rect.Right());
    EXPECT_EQ(s.boxes[3].rect.width, 20); // "OK" at 10 per character
}

TEST(DialogLayout, FramesTitlesSeparatorsAndTheHostsStandardButtons) {
    const DialogLayout l = LayOut("GROUP { NAME G; BORDERSTYLE BORDER_GROUP_IN; BORDERSIZE 0, 0, 0, 0; "
                                  "CHECKBOX A { NAME X; } SEPARATOR { } CHECKBOX B { NAME Y; } } "
                                  "DLGGROUP { OK; CANCEL; }",
                                  {{"T", "t"}, {"G", "Framed"}, {"X", "a label longer than the title"}});
    const LayoutBox& frame = l.boxes[0];
    EXPECT_EQ(frame.text, "Framed");
    EXPECT_EQ(frame.borderStyle, "BORDER_GROUP_IN");
    EXPECT_GT(frame.content.y, frame.rect.y + 10); // the title's line is above the content
    EXPECT_GE(frame.rect.width, 6 * 10);           // as wide as its title at least
    const LayoutBox& separator = l.boxes[2];
    EXPECT_EQ(separator.kind, LayoutBox::Kind::Separator);
    EXPECT_EQ(separator.rect.width, frame.content.width);
    // A NAME key the strings lack is shown raw, as the host shows it.
    EXPECT_EQ(BoxOf(l, 12).text, "Y");
    std::vector<std::string> buttons;
    for (const LayoutBox& b : l.boxes)
        if (b.kind == LayoutBox::Kind::Button)
            buttons.push_back(b.text);
    EXPECT_EQ(buttons, (std::vector<std::string>{"OK", "Cancel"}));
}

// The dialog as a running module left it: values, disabled gadgets, the menu bar.
class SessionDrawing : public ::testing::Test {
protected:
    void SetUp() override {
        host_ = std::make_unique<hostsim::Host>();
        ASSERT_TRUE(host_->Load(folder_.Module())) << host_->LastError();
        ASSERT_EQ(host_->Startup().start, 1);
        ASSERT_TRUE(host_->ExecuteCommand(1027069));
        window_ = host_->ActiveWindow();
        ASSERT_NE(window_, nullptr);
    }
    void TearDown() override {
        if (host_) {
            EXPECT_TRUE(host_->Shutdown().empty());
        }
    }
    DialogLayout Layout() const {
        return hostsim::LayOutDialog(window_->description, hostsim::FixedTextMeasure(), window_);
    }

    PluginFolder folder_;
    std::unique_ptr<hostsim::Host> host_;
    hostsim::DialogWindow* window_ = nullptr;
};

TEST_F(SessionDrawing, DisabledGadgetsAreDrawnDisabledAndValuesAsTheModuleSetThem) {
    DialogLayout l = Layout();
    EXPECT_EQ(l.title, "Corvel");
    // Factory defaults: antialiasing None disables the filter; Editor disables the resolution and
    // the Picture Viewer switches (7004 stays checked).
    EXPECT_FALSE(BoxOf(l, 10009).enabled);
    EXPECT_FALSE(BoxOf(l, 10004).enabled);
    EXPECT_FALSE(BoxOf(l, 10012).enabled);
    EXPECT_TRUE(BoxOf(l, 10012).checked);
    EXPECT_TRUE(BoxOf(l, 10008).enabled);
    EXPECT_EQ(BoxOf(l, 10008).text, "None");
    EXPECT_EQ(BoxOf(l, 10003).text, "Editor");
    EXPECT_TRUE(BoxOf(l, 10023).checked);
    EXPECT_FALSE(BoxOf(l, 10005).checked);
    const hostsim::BoxColours off = hostsim::ColoursOf(BoxOf(l, 10012));
    const hostsim::BoxColours on = hostsim::ColoursOf(BoxOf(l, 10007));
    EXPECT_NE(off.text, on.text);
    EXPECT_NE(off.mark, on.mark);
    EXPECT_EQ(off.text, hostsim::ColoursOf(BoxOf(l, 10009)).text); // one greyed-out look for every kind
    // The combo box is as wide as its longest entry, whichever is chosen.
    const double widest = hostsim::FixedTextMeasure().Measure("Picture Viewer", false).width;
    EXPECT_GT(BoxOf(l, 10003).rect.width, widest);

    // The user picks the Picture Viewer: the resolution comes on, its first entry shown.
    ASSERT_NE(host_->UserSetInt32(window_, 10003, 6031), 0);
    l = Layout();
    EXPECT_TRUE(BoxOf(l, 10004).enabled);
    EXPECT_EQ(BoxOf(l, 10004).text, "1:1");
    EXPECT_EQ(BoxOf(l, 10003).text, "Picture Viewer");
    EXPECT_TRUE(BoxOf(l, 10012).enabled);
}

TEST_F(SessionDrawing, TheMenuBarShowsTheModulesMenusInOrderAboveTheGadgets) {
    const DialogLayout l = Layout();
    std::vector<const LayoutBox*> titles;
    for (const LayoutBox& b : l.boxes)
        if (b.kind == LayoutBox::Kind::MenuTitle)
            titles.push_back(&b);
    ASSERT_EQ(titles.size(), 2u);
    EXPECT_EQ(titles[0]->text, "File");
    EXPECT_EQ(titles[1]->text, "Help");
    EXPECT_LT(titles[0]->rect.Right(), titles[1]->rect.x + 1);
    EXPECT_GT(l.menuBar.height, 0);
    EXPECT_TRUE(l.menuBar.Contains(titles[1]->rect));
    EXPECT_GE(l.client.y, l.menuBar.Bottom());
}

// The pictures: PNG at the asked scale, SVG, and refusals with a reason.
std::pair<uint32_t, uint32_t> PngSize(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    unsigned char h[24] = {};
    in.read(reinterpret_cast<char*>(h), sizeof h);
    auto be = [&](int at) { return uint32_t(h[at]) << 24 | uint32_t(h[at + 1]) << 16 | uint32_t(h[at + 2]) << 8 | h[at + 3]; };
    EXPECT_EQ(std::string(reinterpret_cast<char*>(h + 1), 3), "PNG");
    return {be(16), be(20)};
}

struct TempDir {
    TempDir() {
        path = fs::temp_directory_path() / ("corvel-draw-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
                                            "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(path);
    }
    ~TempDir() {
        std::error_code ec;
        fs::remove_all(path, ec);
    }
    fs::path path;
};

TEST(DialogPicture, PngAndSvgAreWrittenAtTheLayoutsSizeAndOtherNamesAreRefused) {
    if (!hostsim::DrawingAvailable())
        GTEST_SKIP() << hostsim::DrawingUnavailableReason();
    TempDir dir;
    const std::unique_ptr<hostsim::TextMeasure> measure = hostsim::MakeDrawingTextMeasure();
    const DialogLayout l = hostsim::LayOutDialog(CorvelDescription(), *measure);
    std::string why;
    ASSERT_TRUE(hostsim::DrawDialogLayout(l, (dir.path / "d.png").string(), 2, &why)) << why;
    const auto [w, h] = PngSize((dir.path / "d.png").string());
    EXPECT_EQ(w, static_cast<uint32_t>(std::ceil(std::ceil(l.width) * 2)));
    EXPECT_EQ(h, static_cast<uint32_t>(std::ceil(std::ceil(l.height) * 2)));
    ASSERT_TRUE(hostsim::DrawDialogLayout(l, (dir.path / "d.SVG").string(), 1, &why)) << why;
    std::ifstream svg(dir.path / "d.SVG");
    const std::string text((std::istreambuf_iterator<char>(svg)), std::istreambuf_iterator<char>());
    EXPECT_NE(text.find("<svg"), std::string::npos);
    EXPECT_FALSE(hostsim::DrawDialogLayout(l, (dir.path / "d.jpg").string(), 1, &why));
    EXPECT_NE(why.find(".svg or .png"), std::string::npos) << why;
    EXPECT_FALSE(hostsim::DrawDialogLayout(l, (dir.path / "no-such-folder" / "d.png").string(), 1, &why));
}

TEST(DialogPicture, TheCommandLineDrawsFromAFolderAndFromARunningSession) {
    if (!hostsim::DrawingAvailable())
        GTEST_SKIP() << hostsim::DrawingUnavailableReason();
    TempDir dir;
    const std::string res = std::string(CORVEL_SOURCE_DIR) + "/res";
    const std::string png = (dir.path / "dialog.png").string();
    ProcessResult r = RunProcess(HostCli(), {"res", "draw", res, "dlg_corvel", "--out", png});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_TRUE(fs::file_size(png) > 1000);
    EXPECT_EQ(RunProcess(HostCli(), {"res", "draw", res, "DLG_NOTHERE", "--out", png}).exitCode, 2);
    EXPECT_EQ(RunProcess(HostCli(), {"res", "draw", res, "10001", "--out", (dir.path / "d.gif").string()}).exitCode, 4);
    EXPECT_EQ(RunProcess(HostCli(), {"res", "draw", res, "dlg_corvel"}).exitCode, 1);

    PluginFolder folder;
    const std::string svg = (dir.path / "session.svg").string();
    r = RunProcess(HostCli(), {"run", folder.Module(), "--execute", "--do", "set:10003=6031", "--do", "draw:" + svg});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("dialog DLG_CORVEL drawn"), std::string::npos) << r.out;
    EXPECT_TRUE(fs::exists(svg));
    // Without an open dialog there is nothing to draw.
    EXPECT_EQ(RunProcess(HostCli(), {"run", folder.Module(), "--do", "draw:" + svg}).exitCode, 4);
}

// A build without cairo and pango (the Windows build) says so rather than write nothing.
TEST(DialogPicture, ABuildThatDoesNotDrawSaysSo) {
    if (hostsim::DrawingAvailable())
        GTEST_SKIP() << "this build draws";
    std::string why;
    EXPECT_FALSE(hostsim::DrawDialogLayout(DialogLayout{}, "d.png", 1, &why));
    EXPECT_NE(why.find("cairo and pango"), std::string::npos) << why;
    const ProcessResult r = RunProcess(
        HostCli(), {"res", "draw", std::string(CORVEL_SOURCE_DIR) + "/res", "dlg_corvel", "--out", "d.png"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("does not draw dialogs"), std::string::npos) << r.err;
}

} // namespace
} // namespace corvel_test
