// The viewer's window on Qt's offscreen platform: its controls follow the window's size as the
// program maximises it or a user resizes or maximises it.
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "app/viewer/viewer.h"

// Qt's headers last: its keyword macros would rewrite names in the program's headers.
#include "platform_ui/qt_fixture.h"

namespace {

class ViewerQtTest : public QtUiTest {
 protected:
  void TearDown() override {
    std::remove(path_.c_str());
    QtUiTest::TearDown();
  }
  std::string path_ = ::testing::TempDir() + std::to_string(::getpid()) + "_viewer_qt.sds";
};

TEST_F(ViewerQtTest, ControlsFollowTheWindowSize) {
  std::ofstream(path_, std::ios::binary) << "ES-101D:_MN___1  I-5          Station Rd         12.34\r\n"
                                            "01/05/2003 (Sun)\r\n\r\n     ---Daily\r\n";
  CViewer viewer;
  ASSERT_TRUE(viewer.ViewReportFile(path_.c_str(), true, nullptr));
  Settle();
  QWidget* window = W(viewer);
  ASSERT_NE(window, nullptr);
  auto place = [&](int id) { return W(::GetDlgItem(viewer.m_hWnd, id))->geometry(); };
  const int ids[] = {IDC_VIEWER_CABINETS, IDC_VIEWER_ELEMENTS, IDC_VIEWER_SECTIONS, IDOK, IDC_VIEWER_LINES,
                     IDC_VIEWER_TEXT};
  std::vector<QRect> before;
  for (int id : ids) before.push_back(place(id));
  const QSize margin(window->width() - before[5].right(), window->height() - before[5].bottom());
  const QSize first = window->size();

  // Maximised by the program, as a report opened for the user is, the text keeps its margins to
  // the window's far corner; restored, everything is back in place.
  ::ShowWindow(viewer.m_hWnd, SW_SHOWMAXIMIZED);
  Settle();
  ASSERT_GT(window->width(), first.width());
  EXPECT_EQ(window->width() - place(IDC_VIEWER_TEXT).right(), margin.width());
  EXPECT_EQ(window->height() - place(IDC_VIEWER_TEXT).bottom(), margin.height());
  ::ShowWindow(viewer.m_hWnd, SW_SHOWNORMAL);
  Settle();
  ASSERT_EQ(window->size(), first);
  for (size_t i = 0; i < std::size(ids); ++i) EXPECT_EQ(place(ids[i]), before[i]) << ids[i];

  // Larger by (300, 200): the text takes all of it, the cabinet and section lists share the width,
  // the element list moves along, the buttons and fields keep to the right edge.
  window->resize(window->width() + 300, window->height() + 200);
  Settle();
  const QRect cabinets = place(IDC_VIEWER_CABINETS), elements = place(IDC_VIEWER_ELEMENTS),
              sections = place(IDC_VIEWER_SECTIONS), ok = place(IDOK), lines = place(IDC_VIEWER_LINES),
              text = place(IDC_VIEWER_TEXT);
  EXPECT_EQ(text.topLeft(), before[5].topLeft());
  EXPECT_EQ(text.size(), before[5].size() + QSize(300, 200));
  EXPECT_EQ(ok.topLeft(), before[3].topLeft() + QPoint(300, 0));
  EXPECT_EQ(lines.topLeft(), before[4].topLeft() + QPoint(300, 0));
  EXPECT_GT(cabinets.width(), before[0].width() + 100);
  EXPECT_EQ(elements.width(), before[1].width());
  EXPECT_EQ(elements.left(), cabinets.right() + (before[1].left() - before[0].right()));
  EXPECT_EQ(sections.right(), before[2].right() + 300);
  EXPECT_EQ(sections.height(), before[2].height());

  // Maximised, the text keeps its margins to the window's far corner; back at the first size,
  // everything is back in place.
  window->showMaximized();
  Settle();
  const QRect full = place(IDC_VIEWER_TEXT);
  EXPECT_EQ(window->width() - full.right(), margin.width());
  EXPECT_EQ(window->height() - full.bottom(), margin.height());
  window->showNormal();
  Settle();
  window->resize(first);
  Settle();
  for (size_t i = 0; i < std::size(ids); ++i) EXPECT_EQ(place(ids[i]), before[i]) << ids[i];

  // Made smaller than the template, as a user's drag tries: the window keeps the template's size,
  // so OK and Find stay inside it.
  window->resize(first.width() / 2, first.height() / 2);
  Settle();
  EXPECT_EQ(window->size(), first);
  EXPECT_LE(place(IDC_VIEWER_FIND).right(), window->width());
  viewer.Close();
}

// The report comes up with the keyboard in its text: Page Down, the first key the user types,
// turns the text's page.
TEST_F(ViewerQtTest, TheTextHasTheKeyboardWhenTheReportComesUp) {
  {
    std::ofstream report(path_, std::ios::binary);
    for (int i = 0; i < 400; ++i) report << "line " << i << "\r\n";
  }
  CViewer viewer;
  ASSERT_TRUE(viewer.ViewReportFile(path_.c_str(), true, nullptr));
  Settle();
  EXPECT_EQ(::GetFocus(), viewer.m_lstText.m_hWnd);
  ASSERT_NE(QApplication::focusWidget(), nullptr);
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_PageDown);
  Settle();
  EXPECT_GT(viewer.m_lstText.GetTopIndex(), 0);
  viewer.Close();
}

}  // namespace
