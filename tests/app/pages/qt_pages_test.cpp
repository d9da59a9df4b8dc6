// The PE page driven by Qt's own key and mouse events on the real widgets (Qt's offscreen platform):
// the minute arrows of a peak-window picker, and a click on another tab while a value is refused.
#include "app/pages/output_params.h"
#include "app/pages/pe_validity_flags.h"
#include "app/shell/app_globals.h"

// Qt's headers last: its keyword macros would rewrite names in the program's headers.
#include <QTabBar>
#include <QTabWidget>
#include <QTimeEdit>

#include "platform_ui/qt_fixture.h"

namespace {

class QtPagesTest : public QtUiTest {
 protected:
  void SetUp() override {
    QtUiTest::SetUp();
    pe_.Construct();
    output_.Construct(IDD_OUTPUT_PARAMS_NEW);
    sheet_.Construct("Parameter Settings");
    sheet_.AddPage(&pe_);
    sheet_.AddPage(&output_);
  }
  void TearDown() override {
    g_PeValid.Set(PeValidity{});
    QtUiTest::TearDown();
  }
  QWidget* Item(int id) { return W(::GetDlgItem(pe_.m_hWnd, id)); }
  // Runs `f` once Qt shows the sheet, then accepts the sheet.
  void RunSheet(std::function<void()> f) {
    qav::ui::PostTask([this, f] {
      Settle();
      f();
      Settle();
      QTest::mouseClick(W(::GetDlgItem(sheet_.m_hWnd, IDOK)), Qt::LeftButton);
    });
    sheet_.DoModal();
  }

  CPEValidityFlags pe_;
  COutputParams output_;
  CPropertySheet sheet_;
};

TEST_F(QtPagesTest, TheMinuteArrowStepsFiveMinutesAcrossTheHourAndHoldsAtTheEndsOfTheDay) {
  const struct {
    int period;
    Qt::Key key;
    const char* shown;
    int stored;
  } cases[] = {
      {84, Qt::Key_Down, "06:55", 83},  // 07:00
      {83, Qt::Key_Up, "07:00", 84},
      {0, Qt::Key_Down, "00:00", 0},
      {287, Qt::Key_Up, "23:55", 287},
  };
  for (const auto& c : cases) {
    PeValidity pe;
    pe.peak1Start = c.period;
    g_PeValid.Set(pe);
    QString shown;
    RunSheet([&] {
      auto* picker = static_cast<QTimeEdit*>(Item(IDC_PE_PEAK1_START));
      QTest::mouseClick(picker, Qt::LeftButton);
      QTest::keyClick(picker, Qt::Key_End);  // the caret into the minutes
      QTest::keyClick(picker, c.key);
      Settle();
      shown = picker->time().toString("HH:mm");
    });
    EXPECT_EQ(shown.toStdString(), c.shown) << c.period;
    EXPECT_EQ(g_PeValid.Get().peak1Start, c.stored) << c.period;
  }
}

TEST_F(QtPagesTest, WhileARefusedValueIsReportedTheSheetStaysOnItsPageAndTakesNoClicks) {
  PeValidity pe;
  pe.peakMin = 200;
  pe.peakMax = 100;
  g_PeValid.Set(pe);
  auto tabs = [this] { return static_cast<QTabWidget*>(W(sheet_.GetTabControl())); };
  auto clickTab = [&](int i) {
    QTabBar* bar = tabs()->tabBar();
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(i).center());
  };
  // Under the message: which tab the header shows, whether the sheet takes input, and how many
  // boxes a second click on a tab brought; then the box is answered.
  int tabUnderBox = -1;
  bool sheetEnabledUnderBox = true;
  size_t boxesAfterSecondClick = 0;
  std::function<void()> underBox = [&] {
    QWidget* box = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets())
      if (w->isVisible() && w->windowTitle() == "QAV") box = w;
    if (box == nullptr) return Later(underBox, 20);
    tabUnderBox = tabs()->currentIndex();
    sheetEnabledUnderBox = W(sheet_)->isEnabled();
    clickTab(1);
    Settle();
    boxesAfterSecondClick = qav::ui::MessageBoxLog().size();
    QTest::keyClick(box->focusWidget() != nullptr ? box->focusWidget() : box, Qt::Key_Return);
  };
  int tabAfter = -1;
  qav::ui::PostTask([&] {
    Settle();
    Later(underBox, 20);
    clickTab(1);
    Settle();
    tabAfter = tabs()->currentIndex();
    sheet_.EndDialog(IDCANCEL);
  });
  sheet_.DoModal();
  EXPECT_EQ(tabUnderBox, 0);
  EXPECT_FALSE(sheetEnabledUnderBox);
  EXPECT_EQ(boxesAfterSecondClick, 1u);
  EXPECT_EQ(tabAfter, 0);
  EXPECT_EQ(sheet_.GetActiveIndex(), 0);
}

}  // namespace
