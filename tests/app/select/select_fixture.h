// Shared pieces of the selection tests: a temporary archive root with year folders and day files,
// and the text form of date lists.
#pragma once

#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <string>
#include <vector>

#include "containers/obj_array.h"
#include "platform/test_folder.h"
#include "trafficdata/date_time_ex.h"

class ArchiveFolder {
 public:
  // The root in the program's form: ending in a backslash.
  std::string Root() const { return folder_.path() + "\\"; }
  void MakeFolder(const std::string& name) const { std::filesystem::create_directories(folder_ / name); }
  void MakeFile(const std::string& name) const { TestFolder::Write(folder_ / name, ""); }
  void MakeFiles(const std::string& sub, std::initializer_list<const char*> names) const {
    MakeFolder(sub);
    for (const char* name : names) TestFolder::Write(folder_ / (sub + "/" + name), "");
  }
  const std::string& NativePath() const { return folder_.path(); }

 private:
  TestFolder folder_;
};

template <class Dates>
std::vector<std::string> DateTexts(const Dates& dates) {
  std::vector<std::string> out;
  for (int i = 0; i < dates.m_nSize; ++i) out.push_back(dates.m_pData[i]->Format("%m/%d/%Y"));
  return out;
}

#include <gtest/gtest.h>

#include <functional>

#include "archive/archive_globals.h"
#include "platform/ui/backend.h"
#include "platform/ui/choosers.h"
#include "platform/ui/input.h"
#include "platform/ui/wnd.h"

// A dialog's control, its state and its text as the window system holds them.
inline HWND Item(const CWnd& dlg, int id) { return ::GetDlgItem(dlg.m_hWnd, id); }
inline bool Enabled(const CWnd& dlg, int id) { return ::IsWindowEnabled(Item(dlg, id)) != FALSE; }
inline std::string Text(const CWnd& dlg, int id) { return CWnd::FromHandle(Item(dlg, id))->GetWindowText(); }
inline std::vector<std::string> Lines(const CWnd& dlg, int id) {
  auto* list = static_cast<CListBox*>(CWnd::FromHandle(Item(dlg, id)));
  std::vector<std::string> out;
  for (int i = 0; i < list->GetCount(); ++i) out.push_back(list->GetTextString(i));
  return out;
}

// The headless window system with an archive root of its own; message boxes are logged and
// answered by `answer` (default: the default button), and the disc question is off.
class SelectDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    qav::ui::SelectBackend("headless");
    qav::ui::BindUiThread();
    qav::ui::ResetWindowSystem();
    qav::ui::ClearMessageBoxLog();
    qav::ui::SetMessageBoxHandler([this](const qav::ui::MessageBoxRequest& r) {
      return answer ? answer(r) : qav::ui::DefaultMessageBoxAnswer(r.type);
    });
    g_DataRootPath.Set(archive.Root().c_str());
    g_hPromptWnd = 0;
  }
  void TearDown() override {
    g_hPromptWnd = 0;
    g_DataRootPath.Set("");
    qav::ui::ResetWindowSystem();
    qav::ui::SetMessageBoxHandler(nullptr);
    qav::ui::ClearMessageBoxLog();
    qav::ui::ResetQuit();
    EXPECT_EQ(qav::ui::WindowCount(), 0);
  }

  // Runs the dialog modally with `act` inside its loop; a dialog that `act` left open is cancelled
  // so that a failing test cannot hang. The dialog's result.
  template <class Dlg>
  INT_PTR RunModal(Dlg& dlg, std::function<void(Dlg&)> act) {
    qav::ui::PostTask([&dlg, act] { act(dlg); });
    qav::ui::PostTask([&dlg] {
      if (dlg.m_hWnd != nullptr) dlg.EndDialog(IDCANCEL);
    });
    const INT_PTR result = dlg.DoModal();
    qav::ui::PumpPending();  // the closing task of a dialog that ended by itself
    return result;
  }

  ArchiveFolder archive;
  std::function<int(const qav::ui::MessageBoxRequest&)> answer;
};
