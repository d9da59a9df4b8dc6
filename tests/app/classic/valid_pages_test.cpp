#include "app/classic/valid_pages.h"

#include <algorithm>
#include <set>

#include "app/classic/main_classic.h"
#include "headless_fixture.h"
#include "platform/ui/input.h"

namespace {

using qav::ui::PostTask;
namespace input = qav::ui::input;

class ValidPagesTest : public HeadlessTest {};

HWND Item(CWnd& w, int id) { return ::GetDlgItem(w.m_hWnd, id); }

TEST_F(ValidPagesTest, PeakHourPageRangesTicksAndLabels) {
  CPropertySheet sheet("Parameter Settings");
  CValid page;
  page.Setup(SK_AM_PEAK_HOUR);
  page.m_values = BuiltInPeriodValidity(SK_AM_PEAK_HOUR);
  sheet.AddPage(&page);
  std::string title, maxLabel, totalMax;
  int stepLo = -1, stepHi = -1, goodLo = -1, tic = -1;
  bool runningEnabled = true;
  PostTask([&] {
    title = page.Title();
    maxLabel = Text(Item(page, 1337));
    totalMax = Text(Item(page, 1322));
    stepLo = Range(Item(page, 1293))->lower;
    stepHi = Range(Item(page, 1293))->upper;
    goodLo = Range(Item(page, 1299))->lower;
    tic = Range(Item(page, 1300))->ticFreq;
    runningEnabled = ::IsWindowEnabled(Item(page, 1293)) != FALSE;  // RUNNING is 0 for peak hours
    input::Click(Item(sheet, IDCANCEL));
  });
  EXPECT_EQ(sheet.DoModal(), IDCANCEL);
  EXPECT_EQ(title, "AM Peak Hour");
  EXPECT_EQ(maxLabel, "12");
  EXPECT_EQ(totalMax, "12");
  EXPECT_EQ(stepLo, 1);
  EXPECT_EQ(stepHi, 12);
  EXPECT_EQ(goodLo, 0);
  EXPECT_EQ(tic, 1);
  EXPECT_FALSE(runningEnabled);
}

TEST_F(ValidPagesTest, DailyPageKeepsSliderAndEditInStepAndRefusesTooLarge) {
  CPropertySheet sheet("Parameter Settings");
  CValid page;
  page.Setup(SK_DAILY);
  page.m_values = BuiltInPeriodValidity(SK_DAILY);
  sheet.AddPage(&page);
  int tic = 0, posAfterType = -1, posAfterBlur = -1;
  std::string editAfterSlide;
  bool groupEnabled = true, editEnabled = true, checkEnabled = false;
  PostTask([&] {
    tic = Range(Item(page, 1299))->ticFreq;
    input::Slide(Item(page, 1294), 30);  // width
    editAfterSlide = Text(Item(page, 1344));
    input::Type(Item(page, 1355), "300");  // total minimum 'good'
    posAfterType = Range(Item(page, 1299))->pos;
    input::Focus(Item(page, 1356));
    posAfterBlur = Range(Item(page, 1299))->pos;
    input::Click(Item(page, 1291));  // untick the running check
    groupEnabled = ::IsWindowEnabled(Item(page, 1323)) != FALSE;
    editEnabled = ::IsWindowEnabled(Item(page, 1343)) != FALSE;
    checkEnabled = ::IsWindowEnabled(Item(page, 1291)) != FALSE;
    input::Click(Item(sheet, IDOK));  // refused: 300 is above 288
  });
  PostTask([&] {
    input::Type(Item(page, 1355), "250");
    input::Click(Item(sheet, IDOK));
  });
  EXPECT_EQ(sheet.DoModal(), IDOK);
  EXPECT_EQ(tic, 12);
  EXPECT_EQ(editAfterSlide, "30");
  EXPECT_EQ(posAfterType, 264);
  EXPECT_EQ(posAfterBlur, 288);  // the slider clamps 300 into its range
  EXPECT_FALSE(groupEnabled);
  EXPECT_FALSE(editEnabled);
  EXPECT_TRUE(checkEnabled);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(page.m_values.v[VV_TOTAL_MIN_G], 250);
  EXPECT_EQ(page.m_values.v[VV_RUNNING_WIDTH], 30);
  EXPECT_EQ(page.m_values.v[VV_RUNNING], 0);
  EXPECT_EQ(page.m_values.v[VV_RUNNING_STEP], 12);  // values of a greyed group are kept
}

TEST_F(ValidPagesTest, EachCheckBoxEnablesItsOwnGroupAtOpeningAndWhenClicked) {
  std::vector<int> running, total;
  for (int id = 1323; id <= 1335; ++id) running.push_back(id);
  for (int id = 1337; id <= 1344; ++id) running.push_back(id);
  for (int id = 1347; id <= 1350; ++id) running.push_back(id);
  for (int id = 1293; id <= 1298; ++id) running.push_back(id);
  for (int id = 1310; id <= 1322; ++id) total.push_back(id);
  for (int id : {1355, 1356, 1360, 1363, 1299, 1300, 1304, 1306}) total.push_back(id);
  const struct {
    int box, value;
    std::vector<int> controls;
  } rules[] = {{1291, VV_RUNNING, running}, {1292, VV_TOTAL, total}, {1290, VV_USE_SUSPECT, {1308, 1309}}};
  CPropertySheet sheet("Parameter Settings");
  CValid page;
  page.Setup(SK_DAILY);
  page.m_values = BuiltInPeriodValidity(SK_DAILY);
  page.m_values.v[VV_TOTAL] = 0;
  page.m_values.v[VV_USE_SUSPECT] = 0;
  sheet.AddPage(&page);
  // Per rule, its controls' enabled states at opening, then after a click on each box in turn.
  std::vector<std::vector<int>> atOpening(3), afterClicks(3);
  auto record = [&](std::vector<std::vector<int>>& into) {
    for (size_t r = 0; r < 3; ++r) {
      into[r].clear();
      for (int id : rules[r].controls) into[r].push_back(::IsWindowEnabled(Item(page, id)) ? 1 : 0);
    }
  };
  PostTask([&] {
    record(atOpening);
    for (const auto& rule : rules) input::Click(Item(page, rule.box));
    record(afterClicks);
    input::Click(Item(sheet, IDOK));
  });
  ASSERT_EQ(sheet.DoModal(), IDOK);
  const int before[] = {1, 0, 0};
  for (size_t r = 0; r < 3; ++r) {
    const size_t n = rules[r].controls.size();
    EXPECT_EQ(atOpening[r], std::vector<int>(n, before[r])) << rules[r].box;
    EXPECT_EQ(afterClicks[r], std::vector<int>(n, 1 - before[r])) << rules[r].box;
    EXPECT_EQ(page.m_values.v[rules[r].value], 1 - before[r]) << rules[r].box;
  }
}

TEST_F(ValidPagesTest, MultiDayPageRanges) {
  CPropertySheet sheet("Parameter Settings");
  CValidDays page;
  page.Setup("Multi-Day");
  sheet.AddPage(&page);
  int yearlyHi = 0;
  PostTask([&] {
    yearlyHi = Range(Item(page, 1396))->upper;
    input::Type(Item(page, 1362), "8");  // AADT above 7
    input::Click(Item(sheet, IDOK));
  });
  PostTask([&] {
    input::Slide(Item(page, 1305), 6);
    input::Click(Item(sheet, IDOK));
  });
  EXPECT_EQ(sheet.DoModal(), IDOK);
  EXPECT_EQ(yearlyHi, 12);
  EXPECT_EQ(boxes.size(), 1u);
  EXPECT_EQ(page.m_values.v[MV_AADT_INVALID], 6);
  EXPECT_EQ(page.Title(), "Multi-Day");
}

// The Classic form and both validity pages: every control a user sets lies inside a frame (GO and
// the status list span the form below the three blocks), and each read-only count has a one-line
// label level with it on its left.
TEST_F(ValidPagesTest, FormsFrameTheirControlsAndLabelTheirCounts) {
  CValid valid;
  valid.Setup(SK_AM_PEAK_HOUR);
  CValidDays days;
  days.Setup("Multi-Day");
  RegisterClassicTemplates();
  for (UINT id : {IDD_MAIN_CLASSIC, IDD_VALID, IDD_VALID_DAYS}) {
    const DialogTemplate* t = FindDialogTemplate(id);
    ASSERT_NE(t, nullptr) << id;
    const std::vector<ControlTemplate>& c = t->controls;
    auto any = [&](auto&& pred) { return std::any_of(c.begin(), c.end(), pred); };
    for (const ControlTemplate& k : c) {
      if (k.kind == Ctl::Edit && (k.style & ES_READONLY) != 0) {
        EXPECT_TRUE(any([&](const ControlTemplate& l) {
          return l.kind == Ctl::Static && l.cy == 8 && l.x + l.cx <= k.x && 2 * l.y + l.cy == 2 * k.y + k.cy;
        })) << id << ": count " << k.id << " has no label";
      }
      if (k.kind == Ctl::Static || k.kind == Ctl::GroupBox || k.id == IDC_GO || k.id == IDC_STATUS_LIST) continue;
      EXPECT_TRUE(any([&](const ControlTemplate& g) {
        return g.kind == Ctl::GroupBox && g.x < k.x && g.y < k.y && k.x + k.cx < g.x + g.cx && k.y + k.cy < g.y + g.cy;
      })) << id << ": control " << k.id << " lies outside every frame";
    }
  }
}

TEST(ValidPagesSliders, EachValueInRangeHasItsOwnSlider) {
  std::set<int> days;
  for (int v = 0; v < MV_COUNT; ++v) days.insert(CValidDays::SliderId(v));
  EXPECT_EQ(days.size(), static_cast<size_t>(MV_COUNT));
  EXPECT_EQ(days.count(0), 0u);
  EXPECT_EQ(CValidDays::SliderId(-1), 0);
  EXPECT_EQ(CValidDays::SliderId(MV_COUNT), 0);
  std::set<int> counts;
  for (int v = VV_RUNNING_MIN_G; v < VV_COUNT; ++v) counts.insert(CValid::SliderId(v));
  EXPECT_EQ(counts.size(), static_cast<size_t>(VV_COUNT - VV_RUNNING_MIN_G));
  EXPECT_EQ(counts.count(0), 0u);
  EXPECT_EQ(CValid::SliderId(VV_RUNNING_MIN_G - 1), 0);
  EXPECT_EQ(CValid::SliderId(VV_COUNT), 0);
}

}  // namespace
