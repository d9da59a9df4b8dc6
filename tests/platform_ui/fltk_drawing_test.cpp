// What FLTK draws under a display (Xvfb in the test script): a static's icon changed after the
// window is shown, underlined label fonts, and rich-edit text measured in its own styles.
#include "ui_fixture.h"  // before FLTK: X11's macros would break GoogleTest's names

#include <FL/Fl.H>
#include <FL/Fl_Text_Display.H>
#include <FL/Fl_Window.H>
#include <FL/fl_draw.H>
#include <FL/x.H>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "platform/ui/backend.h"
#include "platform/ui/dialog.h"
#include "platform/ui/wnd_state.h"

namespace {

enum : int { IDC_ICON = 1201, IDC_PLAIN, IDC_UNDERLINED, IDC_RICH, IDC_NOPREFIX };

const DialogTemplate kDrawn{9600, "Drawn", 220, 140,
                            {
                                {Ctl::Icon, IDC_ICON, "#32516", 0, 7, 7, 21, 20},
                                {Ctl::Static, IDC_PLAIN, "Underlined link text", 0, 40, 7, 170, 12},
                                {Ctl::Static, IDC_UNDERLINED, "Underlined link text", 0, 40, 22, 170, 12},
                                {Ctl::RichEdit, IDC_RICH, "", 0, 7, 40, 200, 90},
                                {Ctl::Static, IDC_NOPREFIX, "Q&A", SS_NOPREFIX, 7, 130, 40, 8},
                            }};

class FltkDrawingTest : public UiTest {
 protected:
  void SetUp() override {
    UiTest::SetUp();
    if (!qav::ui::DisplayAvailable() || !qav::ui::SelectBackend("fltk")) GTEST_SKIP() << "no display";
    RegisterDialogTemplate(&kDrawn);
    ASSERT_TRUE(dlg.Create(9600));
    dlg.ShowWindow(SW_SHOW);
    win = static_cast<Fl_Window*>(dlg.State()->native);
    ASSERT_NE(win, nullptr);
    auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!win->visible() && std::chrono::steady_clock::now() < until) Fl::wait(0.05);
    ASSERT_TRUE(win->visible());
    Settle();
  }
  void TearDown() override {
    if (dlg.m_hWnd != nullptr) dlg.DestroyWindow();
    qav::ui::ResetWindowSystem();
    for (int i = 0; i < 5; ++i) Fl::wait(0.01);
    qav::ui::SelectBackend("headless");
    UiTest::TearDown();
  }
  void Settle() {
    qav::ui::PumpPending();
    for (int i = 0; i < 5; ++i) Fl::wait(0.02);
    Fl::flush();
  }
  Fl_Widget* Widget(int id) { return static_cast<Fl_Widget*>(qav::ui::Find(::GetDlgItem(dlg.m_hWnd, id))->native); }
  // The pixels (RGB) a widget draws over its window's background, drawn off the screen: other
  // tests' windows on the same display may cover this one.
  std::vector<unsigned char> Pixels(Fl_Widget* w) {
    Settle();
    win->make_current();
    Fl_Offscreen off = fl_create_offscreen(win->w(), win->h());
    fl_begin_offscreen(off);
    fl_rectf(0, 0, win->w(), win->h(), win->color());
    w->draw();
    unsigned char* p = fl_read_image(nullptr, w->x(), w->y(), w->w(), w->h());
    fl_end_offscreen();
    fl_delete_offscreen(off);
    std::vector<unsigned char> out(p, p + static_cast<size_t>(w->w()) * w->h() * 3);
    delete[] p;
    return out;
  }
  // The longest run of dark pixels in any one row of a widget.
  int LongestDarkRun(Fl_Widget* w) {
    std::vector<unsigned char> px = Pixels(w);
    int best = 0;
    for (int y = 0; y < w->h(); ++y) {
      int run = 0;
      for (int x = 0; x < w->w(); ++x) {
        const unsigned char* c = &px[(static_cast<size_t>(y) * w->w() + x) * 3];
        run = c[0] < 100 && c[1] < 100 && c[2] < 100 ? run + 1 : 0;
        best = std::max(best, run);
      }
    }
    return best;
  }
  CDialog dlg{9600};
  Fl_Window* win = nullptr;
};

TEST_F(FltkDrawingTest, StaticIconChangedAfterShowingIsDrawn) {
  Fl_Widget* icon = Widget(IDC_ICON);
  auto count = [&](bool red) {
    std::vector<unsigned char> px = Pixels(icon);
    int n = 0;
    for (size_t i = 0; i + 2 < px.size(); i += 3) {
      if (red && px[i] > 150 && px[i + 1] < 80 && px[i + 2] < 80) ++n;
      if (!red && px[i] < 60 && px[i + 2] > 150) ++n;
    }
    return n;
  };
  EXPECT_GT(count(false), 50);  // the information icon: blue
  auto* stat = static_cast<CStatic*>(dlg.GetDlgItem(IDC_ICON));
  stat->SetIcon(LoadIcon(nullptr, IDI_HAND));
  EXPECT_GT(count(true), 50);  // the error icon: red
  EXPECT_EQ(count(false), 0);
}

TEST_F(FltkDrawingTest, UnderlinedFontDrawsALineUnderTheText) {
  CFont font;
  LOGFONT lf;
  lf.lfHeight = -12;
  lf.lfUnderline = 1;
  std::strcpy(lf.lfFaceName, "Arial");
  ASSERT_TRUE(font.CreateFontIndirect(&lf));
  CFont plainFont;
  lf.lfUnderline = 0;
  ASSERT_TRUE(plainFont.CreateFontIndirect(&lf));
  dlg.GetDlgItem(IDC_UNDERLINED)->SetFont(&font);
  dlg.GetDlgItem(IDC_PLAIN)->SetFont(&plainFont);
  Fl_Widget* underlined = Widget(IDC_UNDERLINED);
  fl_font(underlined->labelfont(), underlined->labelsize());
  const int textW = static_cast<int>(fl_width("Underlined link text"));
  EXPECT_GE(LongestDarkRun(underlined), textW * 9 / 10);
  EXPECT_LT(LongestDarkRun(Widget(IDC_PLAIN)), textW / 4);  // letters only
  // A wrapped label is underlined on each of its lines.
  dlg.GetDlgItem(IDC_UNDERLINED)->MoveWindow(underlined->x(), underlined->y(), textW / 2 + 10, 60);
  Fl_Widget* narrow = Widget(IDC_UNDERLINED);
  std::vector<unsigned char> px = Pixels(narrow);
  int underlinedRows = 0;
  for (int y = 0; y < narrow->h(); ++y) {
    int dark = 0;
    for (int x = 0; x < narrow->w(); ++x) {
      const unsigned char* c = &px[(static_cast<size_t>(y) * narrow->w() + x) * 3];
      if (c[0] < 100 && c[1] < 100 && c[2] < 100) ++dark;
    }
    if (dark >= textW / 5) ++underlinedRows;
  }
  EXPECT_GE(underlinedRows, 2);
  // Without mnemonics an ampersand is shown: FLTK gets it doubled, and the underlined drawing
  // keeps it too.
  EXPECT_STREQ(Widget(IDC_NOPREFIX)->label(), "Q&&A");
  EXPECT_STREQ(Widget(IDC_PLAIN)->label(), "Underlined link text");
}

// The rich edit measures its text in the text's own sizes: lines that fit at 8 points neither
// wrap nor call for a scroll bar (at FLTK's default 14 pixels they would); replacing styled
// text by nothing does not hang the toolkit.
TEST_F(FltkDrawingTest, RichEditWrapsInItsOwnSizesAndTakesEmptyText) {
  std::atomic<bool> finished{false};
  std::thread watchdog([&] {
    for (int i = 0; i < 300 && !finished; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(100));
    if (!finished) {
      std::fprintf(stderr, "the rich edit hung\n");
      std::_Exit(1);
    }
  });
  auto* rich = static_cast<CRichEditCtrl*>(dlg.GetDlgItem(IDC_RICH));
  auto* td = static_cast<Fl_Text_Display*>(Widget(IDC_RICH));
  // A first line that fits the box at 8 points (10 pixels) only without a scroll bar, and as
  // many short lines as fit its height at 8 points but not at 14 pixels.
  fl_font(FL_HELVETICA, 10);
  std::string first;
  while (fl_width((first + "word ").c_str()) < td->w() - 16) first += "word ";
  const int small = fl_height();
  fl_font(FL_HELVETICA, 14);
  const int big = fl_height();
  const int rows = (td->h() - 8) / small - 1;
  ASSERT_GT(rows * big, td->h());
  CHARFORMAT cf;
  cf.dwMask = CFM_BOLD | CFM_SIZE;
  cf.yHeight = 8 * 20;
  rich->SetSel(-1, -1);
  rich->SetSelectionCharFormat(cf);
  rich->ReplaceSel(first.c_str());
  cf.dwEffects = CFE_BOLD;
  rich->SetSelectionCharFormat(cf);
  for (int i = 1; i < rows; ++i) rich->ReplaceSel("\nBold");
  Settle();
  EXPECT_EQ(td->count_lines(0, static_cast<int>(first.size()) - 1, true), 0) << "the first line wrapped";
  bool scrollBar = false;
  for (int i = 0; i < td->children(); ++i) scrollBar = scrollBar || td->child(i)->visible();
  EXPECT_FALSE(scrollBar);

  for (int size : {14, 8, 20}) {  // more styles of other sizes, then none at all
    cf.yHeight = size * 20;
    rich->SetSelectionCharFormat(cf);
    rich->ReplaceSel(" more text in another size");
  }
  Settle();
  rich->SetWindowText("");
  Settle();
  EXPECT_EQ(td->buffer()->length(), 0);
  rich->SetSel(-1, -1);
  rich->ReplaceSel("Again");
  Settle();
  EXPECT_EQ(td->buffer()->length(), 5);
  finished = true;
  watchdog.join();
}

}  // namespace
