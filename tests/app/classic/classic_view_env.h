// The Classic view started as the program starts it (USE_CLASSIC set in the test's own profile), on
// the headless window system, with selection dialogs the test answers.
#pragma once

#include <functional>
#include <memory>

#include "app/classic/main_classic.h"
#include "app/shell/app_test_env.h"
#include "app/shell/main_frame.h"
#include "app/shell/qav_app.h"
#include "platform/ui/input.h"

// Selection dialogs answered by the test.
class FakeSelectors : public IClassicSelectors {
 public:
  std::function<bool(CMainClassic&, int)> dates, elements;
  std::function<bool(CMainClassic&)> year;
  int loads[3] = {0, 0, 0};
  bool ChooseDates(CMainClassic& v, int b) override { return dates && dates(v, b); }
  bool ChooseYear(CMainClassic& v) override { return year && year(v); }
  bool SelectElements(CMainClassic& v, int b) override { return elements && elements(v, b); }
  void StartLoad(CMainClassic&, int b) override { ++loads[b]; }
};

class ClassicViewTest : public AppUiTest {
 protected:
  void SetUp() override {
    AppUiTest::SetUp();
    store_->WriteInt("GENERAL", "USE_CLASSIC", 1);
    store_->WriteInt("OUTPUT", "AUTOOPEN", 0);
    app_ = std::make_unique<CQAVApp>();
    ASSERT_TRUE(app_->InitInstance());
    frame_ = dynamic_cast<CFrameWnd*>(app_->m_pMainWnd);
    ASSERT_NE(frame_, nullptr);
    view_ = dynamic_cast<CMainClassic*>(frame_->GetActiveView());
    ASSERT_NE(view_, nullptr);
    auto fake = std::make_unique<FakeSelectors>();
    selectors_ = fake.get();
    view_->m_pSelectors = std::move(fake);
    // The start-up line waits in the program's log for the view's timer; on a busy machine that can
    // come round only among a test's own status lines, so it is taken in and cleared now.
    if (COutput* log = AppLog()) log->ProcessItems();
    view_->m_lbStatus.ResetContent();
  }
  void TearDown() override {
    if (frame_ != nullptr && ::IsWindow(frame_->m_hWnd)) frame_->DestroyWindow();
    app_.reset();
    AppUiTest::TearDown();
  }
  HWND Item(int id) { return ::GetDlgItem(view_->m_hWnd, id); }
  static std::string Text(HWND h) {
    char buf[512] = {};
    ::GetWindowText(h, buf, sizeof buf);
    return buf;
  }
  void Click(int id) { qav::ui::input::Click(Item(id)); }
  std::vector<std::string> StatusLines() {
    std::vector<std::string> out;
    for (int i = 0; i < view_->m_lbStatus.GetCount(); ++i) out.push_back(view_->m_lbStatus.GetTextString(i));
    return out;
  }
  std::string LastStatus() {
    auto l = StatusLines();
    return l.empty() ? std::string() : l.back();
  }

  std::unique_ptr<CQAVApp> app_;
  CFrameWnd* frame_ = nullptr;
  CMainClassic* view_ = nullptr;
  FakeSelectors* selectors_ = nullptr;
};
