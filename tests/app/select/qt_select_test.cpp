// The date and element dialogs driven by Qt's own key and mouse events on the real widgets (Qt's
// offscreen platform): what a user does with the range fields, the spins, double-clicks, Enter and
// Delete reaches the dialogs as it does on a screen.
#include <cstdlib>
#include <functional>

#include "app/select/dates_dlg.h"
#include "app/select/element_trees.h"
#include "app/select/elems_dlg.h"
#include "app/select/select_fixture.h"
#include "app/select/select_ids.h"

// Qt's headers last: its keyword macros would rewrite names in the program's headers.
#include <QLineEdit>
#include <QListView>
#include <QToolButton>

#include "platform_ui/qt_fixture.h"

namespace {

using Strings = std::vector<std::string>;

// Qt on its offscreen platform, with an archive root of its own.
class QtSelectTest : public QtUiTest {
 protected:
  void SetUp() override {
    QtUiTest::SetUp();
    g_DataRootPath.Set(archive.Root().c_str());
    g_hPromptWnd = 0;
  }
  void TearDown() override {
    g_DataRootPath.Set("");
    QtUiTest::TearDown();
  }
  static QWidget* W(const CWnd& dlg, int id) { return static_cast<QWidget*>(qav::ui::NativeWidget(Item(dlg, id))); }
  // Runs `f` from the modal loop that is about to start, once Qt shows the dialog; a dialog `f`
  // left open is cancelled.
  template <class Dlg>
  static void Later(Dlg& dlg, std::function<void()> f) {
    qav::ui::PostTask([f] {
      Settle();
      f();
    });
    qav::ui::PostTask([&dlg] {
      if (dlg.m_hWnd != nullptr) dlg.EndDialog(IDCANCEL);
    });
  }
  static QListView* List(const CWnd& dlg, int id) { return static_cast<QListView*>(W(dlg, id)); }
  static QPoint LinePoint(QListView* v, int line) { return v->visualRect(v->model()->index(line, 0)).center(); }
  static void ClickLine(const CWnd& dlg, int id, int line) {
    Settle();
    QListView* v = List(dlg, id);
    QTest::mouseClick(v->viewport(), Qt::LeftButton, {}, LinePoint(v, line));
  }
  static void DoubleClickLine(const CWnd& dlg, int id, int line) {
    Settle();
    QListView* v = List(dlg, id);
    QTest::mouseClick(v->viewport(), Qt::LeftButton, {}, LinePoint(v, line));
    QTest::mouseDClick(v->viewport(), Qt::LeftButton, {}, LinePoint(v, line));
  }
  // Clicks into an edit, replaces its text by typing.
  static void TypeInto(const CWnd& dlg, int id, const char* text) {
    QWidget* e = W(dlg, id);
    QTest::mouseClick(e, Qt::LeftButton);
    static_cast<QLineEdit*>(e)->selectAll();
    QTest::keyClicks(e, text);
  }
  static void SpinArrow(const CWnd& dlg, int id, bool up) {
    for (QToolButton* b : W(dlg, id)->findChildren<QToolButton*>())
      if ((b->arrowType() == Qt::UpArrow) == up) QTest::mouseClick(b, Qt::LeftButton);
  }
  ArchiveFolder archive;

  static Strings Fields(const CDatesDlg& d) {
    return {Text(d, IDC_SEL_START_MONTH), Text(d, IDC_SEL_START_DAY), Text(d, IDC_SEL_START_YEAR),
            Text(d, IDC_SEL_END_MONTH),   Text(d, IDC_SEL_END_DAY),   Text(d, IDC_SEL_END_YEAR)};
  }
};

TEST_F(QtSelectTest, DateRangeFieldsTypedLeftAndSpunByTheUser) {
  archive.MakeFiles("DATA1995", {"19950102.DAT", "19950103.DAT", "19950109.DAT", "19951229.DAT"});
  CObjArray<CDateTimeEx> dates;
  CDatesDlg dlg(&dates, nullptr);
  Later(dlg, [&] {
    QTest::mouseClick(W(dlg, IDC_SEL_MODE_RANGE), Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_TRUE(W(dlg, IDC_SEL_START_DAY)->isEnabled());
    EXPECT_TRUE(static_cast<QLineEdit*>(W(dlg, IDC_SEL_START_DAY))->isReadOnly());
    TypeInto(dlg, IDC_SEL_START_MONTH, "12");
    EXPECT_FALSE(static_cast<QLineEdit*>(W(dlg, IDC_SEL_START_MONTH))->isReadOnly());
    TypeInto(dlg, IDC_SEL_START_DAY, "31");  // leaving the month: 12/2/1995 stays
    ClickLine(dlg, IDC_SEL_WEEKDAYS, 1);     // leaving the day: after the last day
    EXPECT_EQ(Fields(dlg), (Strings{"12", "29", "1995", "12", "29", "1995"}));
    EXPECT_TRUE(static_cast<QLineEdit*>(W(dlg, IDC_SEL_START_DAY))->isReadOnly());
    SpinArrow(dlg, IDC_SEL_START_SPIN, true);  // past the last day: refused
    SpinArrow(dlg, IDC_SEL_START_SPIN, false);
    SpinArrow(dlg, IDC_SEL_START_SPIN, false);
    EXPECT_EQ(Fields(dlg)[1], "27");
    TypeInto(dlg, IDC_SEL_END_MONTH, "4");
    TypeInto(dlg, IDC_SEL_END_DAY, "31");
    ClickLine(dlg, IDC_SEL_WEEKDAYS, 2);
    EXPECT_EQ(Fields(dlg), (Strings{"12", "27", "1995", "-1", "-1", "-1"}));
  });
  dlg.DoModal();
  qav::ui::PumpPending();
}

// The dialog opens with the available dates of the latest year scrolled to its last day, as it
// shows them after a change of year.
TEST_F(QtSelectTest, AvailableDatesOpenScrolledToTheLastDay) {
  std::vector<std::string> names;
  for (int day = 1; day <= 31; ++day) names.push_back("199501" + std::string(day < 10 ? "0" : "") + std::to_string(day) + ".DAT");
  archive.MakeFolder("DATA1995");
  for (const std::string& n : names) archive.MakeFiles("DATA1995", {n.c_str()});
  CObjArray<CDateTimeEx> dates;
  CDatesDlg dlg(&dates, nullptr);
  bool checked = false;
  Later(dlg, [&] {
    QListView* v = List(dlg, IDC_SEL_AVAILABLE_DATES);
    ASSERT_EQ(v->model()->rowCount(), 31);
    const QRect last = v->visualRect(v->model()->index(30, 0));
    EXPECT_TRUE(v->viewport()->rect().contains(last)) << "the last day is not in view";
    EXPECT_FALSE(v->viewport()->rect().contains(v->visualRect(v->model()->index(0, 0))));
    checked = true;
  });
  dlg.DoModal();
  qav::ui::PumpPending();
  EXPECT_TRUE(checked);
}

TEST_F(QtSelectTest, DatesMoveByDoubleClickEnterAndDelete) {
  archive.MakeFiles("DATA1995", {"19950102.DAT", "19950103.DAT", "19950109.DAT"});
  CObjArray<CDateTimeEx> dates;
  CDatesDlg dlg(&dates, nullptr);
  Later(dlg, [&] {
    DoubleClickLine(dlg, IDC_SEL_AVAILABLE_DATES, 2);
    ClickLine(dlg, IDC_SEL_AVAILABLE_DATES, 0);
    QTest::keyClick(List(dlg, IDC_SEL_AVAILABLE_DATES), Qt::Key_Return);
    EXPECT_NE(dlg.m_hWnd, nullptr);  // Enter added, it did not press OK
    EXPECT_EQ(Lines(dlg, IDC_SEL_SELECTED_DATES), (Strings{"01/02/1995 (Mon)", "01/09/1995 (Mon)"}));
    ClickLine(dlg, IDC_SEL_SELECTED_DATES, 1);
    QTest::keyClick(List(dlg, IDC_SEL_SELECTED_DATES), Qt::Key_Delete);
    EXPECT_EQ(Lines(dlg, IDC_SEL_SELECTED_DATES), Strings{"01/02/1995 (Mon)"});
    QTest::mouseClick(W(dlg, IDOK), Qt::LeftButton);
  });
  EXPECT_EQ(dlg.DoModal(), IDOK);
  qav::ui::PumpPending();
  EXPECT_EQ(DateTexts(dates), Strings{"01/02/1995"});
}

TEST_F(QtSelectTest, ElementsMoveByDoubleClickEnterAndDelete) {
  CElemsDlg dlg(nullptr, IDD_SELECT_ELEMENTS);
  TreeBuilder trees{dlg.m_Roadways, dlg.m_Cabinets, dlg.m_Elements};
  trees.AddRoadway("I-5", {{"005es00200", {"_MN___1", "_MS___1", "AMS___1"}}});
  trees.AddRoadway("SR 520", {{"520es00300", {"_ME___1"}}});
  dlg.m_bLoadFailed = 0;
  ViewSelection selection;
  Later(dlg, [&] {
    DoubleClickLine(dlg, IDC_SEL_AVAILABLE, 2);
    ClickLine(dlg, IDC_SEL_AVAILABLE, 0);
    QTest::keyClick(List(dlg, IDC_SEL_AVAILABLE), Qt::Key_Return);
    EXPECT_NE(dlg.m_hWnd, nullptr);
    ClickLine(dlg, IDC_SEL_ROADWAYS, 1);
    DoubleClickLine(dlg, IDC_SEL_AVAILABLE, 0);
    EXPECT_EQ(Lines(dlg, IDC_SEL_SELECTED),
              (Strings{"005es00200:_MN___1", "005es00200:AMS___1", "520es00300:_ME___1"}));
    ClickLine(dlg, IDC_SEL_SELECTED, 1);
    EXPECT_EQ(Text(dlg, IDC_SEL_CODE_FIRST), "Auxiliary");
    QTest::keyClick(List(dlg, IDC_SEL_SELECTED), Qt::Key_Delete);
    DoubleClickLine(dlg, IDC_SEL_SELECTED, 0);
    EXPECT_EQ(Lines(dlg, IDC_SEL_SELECTED), Strings{"520es00300:_ME___1"});
    QTest::mouseClick(W(dlg, IDOK), Qt::LeftButton);
  });
  EXPECT_EQ(dlg.SelectElements(selection.roadways, selection.cabinets, selection.elements, nullptr), IDOK);
  qav::ui::PumpPending();
  EXPECT_EQ(ElementLines(selection.elements), Strings{"520es00300:_ME___1"});
}

}  // namespace
