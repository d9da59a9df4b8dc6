#include "support/message_box_ex.h"

#include "platform/ui/wnd_state.h"
#include "support/stream.h"
#include "support_ui_fixture.h"

namespace {

using qav::ui::PostTask;
namespace input = qav::ui::input;

class MessageBoxExTest : public SupportUiTest {
 protected:
  void SetUp() override {
    SupportUiTest::SetUp();
    qav::ui::SetMessageBoxHandler([this](const qav::ui::MessageBoxRequest& r) {
      platformBoxes.push_back(r);
      return IDNO;
    });
    ASSERT_TRUE(owner.Create());
  }
  void TearDown() override {
    owner.DestroyWindow();
    SupportUiTest::TearDown();
  }
  // The box that is up (the last top-level dialog).
  static CMessageBoxEx* Box() {
    CWnd* focus = CWnd::GetFocus();
    if (focus == nullptr) return nullptr;
    return dynamic_cast<CMessageBoxEx*>(focus->GetParent());
  }
  static std::vector<std::string> VisibleButtons(CMessageBoxEx* box) {
    std::vector<std::string> b;
    for (int i = 0; i < 4; ++i) {
      CWnd* w = box->GetDlgItem(IDC_MSGBOX_BUTTON1 + i);
      if (w != nullptr && w->IsWindowVisible()) b.push_back(w->GetWindowText());
    }
    return b;
  }
  std::vector<qav::ui::MessageBoxRequest> platformBoxes;
  CRecorderWnd owner;
};

TEST_F(MessageBoxExTest, PlainStylesUseThePlatformBox) {
  const int before = qav::ui::WindowCount();
  EXPECT_EQ(ShowMessageBoxEx(owner.m_hWnd, "Plain", "Title", MB_YESNO | MB_ICONQUESTION), IDNO);
  ASSERT_EQ(platformBoxes.size(), 1u);
  EXPECT_EQ(platformBoxes[0].text, "Plain");
  EXPECT_EQ(platformBoxes[0].caption, "Title");
  EXPECT_EQ(qav::ui::WindowCount(), before);
}

TEST_F(MessageBoxExTest, ModalMarkupBoxShowsRunsButtonsAndDefault) {
  std::vector<std::string> buttons;
  std::vector<qav::ui::RichRun> runs;
  bool iconShown = false;
  int defId = 0;
  std::string caption;
  PostTask([&] {
    CMessageBoxEx* box = Box();
    ASSERT_NE(box, nullptr);
    buttons = VisibleButtons(box);
    auto* rich = static_cast<qav::ui::RichEditState*>(qav::ui::Find(box->GetDlgItem(IDC_MSGBOX_TEXT)->m_hWnd));
    runs = rich->runs;
    iconShown = box->GetDlgItem(IDC_MSGBOX_ICON)->IsWindowVisible() != FALSE;
    defId = LOWORD(box->GetDefID());
    caption = box->GetWindowText();
    input::Click(box->GetDlgItem(IDC_MSGBOX_BUTTON1 + 1)->m_hWnd);  // "Wait"
  });
  const int answer = ShowMessageBoxEx(owner.m_hWnd, "Disc <bold>3</bold> is <color red=200>missing</color>.", "Archive",
                                      13 | MB_EX_MARKUP | MB_ICONEXCLAMATION | MB_DEFBUTTON2);
  EXPECT_EQ(answer, IDWAIT);
  EXPECT_EQ(buttons, (std::vector<std::string>{"Done", "Wait"}));
  EXPECT_EQ(defId, IDC_MSGBOX_BUTTON1 + 1);
  EXPECT_TRUE(iconShown);
  EXPECT_EQ(caption, "Archive");
  ASSERT_EQ(runs.size(), 5u);
  EXPECT_EQ(runs[1].text, "3");
  EXPECT_TRUE(runs[1].format.dwEffects & CFE_BOLD);
  EXPECT_EQ(runs[3].text, "missing");
  EXPECT_EQ(runs[3].format.crTextColor, RGB(200, 0, 0));
  EXPECT_EQ(runs[4].text, ".");
  EXPECT_FALSE(runs[4].format.dwEffects & CFE_BOLD);
  EXPECT_TRUE(platformBoxes.empty());
  // The modal box's owner hears the answer.
  qav::ui::PumpPending();
  ASSERT_EQ(owner.got.size(), 1u);
  EXPECT_EQ(owner.got[0].msg, WM_MSGBOX_ENDED);
  EXPECT_EQ(owner.got[0].wParam, static_cast<WPARAM>(IDWAIT));
}

TEST_F(MessageBoxExTest, HelpNeverEndsTheBoxAndDefaultIsClamped) {
  struct Case {
    UINT style;
    std::vector<std::string> buttons;
    int defaultIndex;
  } cases[] = {
      {11 | MB_HELP | MB_DEFBUTTON4, {"Done", "Help"}, 1},
      {MB_YESNOCANCEL | MB_HELP | MB_EX_MARKUP, {"Yes", "No", "Cancel", "Help"}, 0},
      {MB_OKCANCEL | MB_HELP | MB_EX_MARKUP | MB_DEFBUTTON3, {"OK", "Cancel", "Help"}, 2},
  };
  for (const Case& c : cases) {
    std::vector<std::string> buttons;
    bool openAfterHelp = false;
    int defId = 0;
    PostTask([&] {
      CMessageBoxEx* box = Box();
      ASSERT_NE(box, nullptr);
      buttons = VisibleButtons(box);
      defId = LOWORD(box->GetDefID());
      input::Click(box->GetDlgItem(IDC_MSGBOX_BUTTON1 + static_cast<int>(buttons.size()) - 1)->m_hWnd);  // Help
      openAfterHelp = ::IsWindow(box->m_hWnd) != FALSE;
      input::Click(box->GetDlgItem(IDC_MSGBOX_BUTTON1)->m_hWnd);
    });
    const int answer = ShowMessageBoxEx(nullptr, "Text", "Caption", c.style);
    EXPECT_EQ(buttons, c.buttons);
    EXPECT_TRUE(openAfterHelp);
    EXPECT_EQ(defId, IDC_MSGBOX_BUTTON1 + c.defaultIndex);
    EXPECT_EQ(answer, MessageBoxExButtons(c.style)[0].answer);
  }
}

TEST_F(MessageBoxExTest, ModelessBoxReportsItsAnswerAndLeavesTheRegistry) {
  EXPECT_EQ(ShowMessageBoxEx(owner.m_hWnd, "Still there?", "Check", 15 | MB_EX_MODELESS, 0x5150), TRUE);
  ASSERT_EQ(MessageBoxExRegistry().m_nSize, 1);
  auto* box = static_cast<CMessageBoxEx*>(MessageBoxExRegistry().m_pData[0]);
  EXPECT_TRUE(box->IsWindowVisible());
  input::Click(box->GetDlgItem(IDC_MSGBOX_BUTTON1 + 1)->m_hWnd);  // "Waiting"
  EXPECT_EQ(MessageBoxExRegistry().m_nSize, 0);
  qav::ui::PumpPending();  // the box is deleted
  ASSERT_EQ(owner.got.size(), 1u);
  EXPECT_EQ(owner.got[0].msg, WM_MSGBOX_ENDED);
  EXPECT_EQ(owner.got[0].wParam, static_cast<WPARAM>(IDWAITING));
  EXPECT_EQ(owner.got[0].lParam, 0x5150);
}

TEST_F(MessageBoxExTest, ModelessBoxGoesWithItsOwner) {
  CRecorderWnd other;
  ASSERT_TRUE(other.Create());
  ASSERT_TRUE(ShowMessageBoxEx(other.m_hWnd, "a", "b", MB_OK | MB_EX_MODELESS));
  ASSERT_TRUE(ShowMessageBoxEx(other.m_hWnd, "c", "d", MB_OK | MB_EX_MODELESS | MB_EX_MARKUP));
  EXPECT_EQ(MessageBoxExRegistry().m_nSize, 2);
  other.DestroyWindow();
  EXPECT_EQ(MessageBoxExRegistry().m_nSize, 0);
  qav::ui::PumpPending();
}

TEST_F(MessageBoxExTest, ErrorTexts) {
  struct Case {
    DWORD error;
    const char* text;
  } cases[] = {
      {2, "Reading day 7: The system cannot find the file specified."},
      {0x10001, nullptr},  // a serial-device text
      {0x20000, "Reading day 7: Windows Error Code 131072"},
      {9999, "Reading day 7: Windows Error Code 9999"},
  };
  for (const Case& c : cases) {
    platformBoxes.clear();
    EXPECT_EQ(ShowErrorMessageBox(c.error, owner.m_hWnd, "Archive", MB_OK | MB_ICONHAND, 0, "Reading day %d: ", 7), IDNO);
    ASSERT_EQ(platformBoxes.size(), 1u);
    if (c.text != nullptr)
      EXPECT_EQ(platformBoxes[0].text, c.text);
    else
      EXPECT_EQ(platformBoxes[0].text, std::string("Reading day 7: ") + GetSerialErrorText(c.error));
    EXPECT_EQ(platformBoxes[0].caption, "Archive");
  }
}

}  // namespace
