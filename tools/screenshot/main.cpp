// screenshot DIR: renders every dialog and form template the program registers, message boxes of
// each kind, a property sheet of the parameter pages, the wait dialog, the about box and each
// frame with its menu, offscreen (no X server needed), and saves one PNG of each in DIR.
// screenshot --idle SECONDS: leaves a modal dialog open that long and prints the CPU time used
// and the number of times the process woke up.
#include <sys/resource.h>

#include <atomic>
#include <cstdio>
#include <thread>
#include <cstdlib>
#include <string>
#include <vector>

#define QAV_DEMO_IMPL
#include "app/select/dates_dlg.h"
#include "app/select/year_dlg.h"
#include "app/shell/main_frame.h"
#include "demo_dialog.h"
#include "platform/kernel/time.h"
#include "platform/ui/app.h"
#include "platform/ui/backend.h"
#include "platform/ui/choosers.h"
#include "platform/ui/input.h"
#include "platform/ui/wnd_state.h"
#include "support/about_dlg.h"
#include "support/wait_dialog.h"

namespace {

int g_failures = 0;

void Save(HWND h, const std::string& file) {
  qav::ui::PumpPending();
  if (!qav::ui::SaveWindowPng(h, file)) {
    std::fprintf(stderr, "screenshot: could not save %s\n", file.c_str());
    ++g_failures;
  }
}

// A template shown as it is, without the dialog's own initialisation.
class Shot : public CDialog {
 public:
  bool Show(const DialogTemplate& t) {
    if (!CreateFromTemplate(t, nullptr, false)) return false;
    if (qav::ui::WndState* s = State()) s->style &= ~WS_CHILD;
    ShowWindow(SW_SHOW);
    return true;
  }
};

// Saves the modal window that has the focus, then closes it.
void SaveModalLater(const std::string& file) {
  qav::ui::PostTask([file] {
    qav::ui::WndState* s = qav::ui::TopLevelOf(qav::ui::Find(GetFocus()));
    if (s == nullptr) {
      ++g_failures;
      return;
    }
    HWND top = s->hwnd;
    Save(top, file);
    // A Yes/No box has no close: its default button ends it.
    LRESULT def = ::SendMessage(top, DM_GETDEFID);
    HWND button = HIWORD(def) == DC_HASDEFID ? ::GetDlgItem(top, LOWORD(def)) : nullptr;
    if (button != nullptr) qav::ui::input::Click(button);
    if (IsWindow(top)) ::SendMessage(top, WM_CLOSE);
  });
}

int Idle(double seconds) {
  RegisterDialogTemplate(&demo::kDemo);
  demo::DemoDlg dlg;
  rusage before{}, after{};
  DWORD start = 0;
  std::atomic<HWND> target{nullptr};
  qav::ui::PostTask([&] {
    target = dlg.m_hWnd;
    getrusage(RUSAGE_SELF, &before);
    start = GetTickCount();
  });
  // Ends the dialog from another thread after the time, as a worker's message would.
  std::thread closer([&] {
    Sleep(static_cast<DWORD>(seconds * 1000 + 200));
    ::PostMessage(target.load(), WM_COMMAND, IDCANCEL, 0);
  });
  dlg.DoModal();
  getrusage(RUSAGE_SELF, &after);
  closer.join();
  double ms = (GetTickCount() - start) / 1000.0;
  double cpu = (after.ru_utime.tv_sec - before.ru_utime.tv_sec) + (after.ru_stime.tv_sec - before.ru_stime.tv_sec) +
               ((after.ru_utime.tv_usec - before.ru_utime.tv_usec) + (after.ru_stime.tv_usec - before.ru_stime.tv_usec)) / 1e6;
  long wakes = (after.ru_nvcsw - before.ru_nvcsw) + (after.ru_nivcsw - before.ru_nivcsw);
  std::printf("idle %.1f s: cpu %.3f s (%.2f%%), %ld wake-ups (%.2f per second)\n", ms, cpu, 100.0 * cpu / ms, wakes,
              wakes / ms);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: screenshot DIR | screenshot --idle SECONDS\n");
    return 2;
  }
  if (std::getenv("QT_QPA_PLATFORM") == nullptr) ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
  if (!qav::ui::SelectBackend("qt")) {
    std::fprintf(stderr, "screenshot: Qt cannot start\n");
    return 1;
  }
  qav::ui::BindUiThread();
  qav::ui::SetMessageBoxHandler(nullptr);
  if (std::string(argv[1]) == "--idle") return Idle(argc > 2 ? std::atof(argv[2]) : 10.0);
  const std::string dir = argv[1];

  // Templates that register when their dialog is first made.
  RegisterDialogTemplate(&demo::kDemo);
  { CYearDlg y(nullptr); CMonthDlg m(nullptr); CObjArray<CDateTimeEx> dates; CDatesDlg d(&dates, nullptr); }
  CAboutDlg about("Dec  7 2026", "08:00:00");
  RegisterFrameResources();

  for (UINT id : RegisteredDialogTemplates()) {
    const DialogTemplate* t = FindDialogTemplate(id);
    Shot shot;
    if (t == nullptr || !shot.Show(*t)) {
      ++g_failures;
      continue;
    }
    Save(shot.m_hWnd, dir + "/template_" + std::to_string(id) + ".png");
    shot.DestroyWindow();
  }

  struct Box { const char* name; const char* text; UINT type; };
  for (const Box& b : {Box{"box_info", "The report was written.", MB_OK | MB_ICONINFORMATION},
                       Box{"box_question", "Replace the existing configuration file?", MB_YESNO | MB_ICONQUESTION},
                       Box{"box_warning", "Please insert CD with 3/15/1994 data", MB_OKCANCEL | MB_ICONEXCLAMATION},
                       Box{"box_error", "Could not create Thread!", MB_OK | MB_ICONHAND}}) {
    SaveModalLater(dir + "/" + b.name + ".png");
    ::MessageBox(nullptr, b.text, "QAV", b.type);
  }

  // A sheet of every parameter page (the templates numbered from 206 on), as the views' sheets
  // hold them.
  {
    CPropertySheet sheet("Parameter Settings");
    sheet.m_psh.dwFlags |= PSH_NOAPPLYNOW | PSH_HASHELP;
    std::vector<std::unique_ptr<CPropertyPage>> pages;
    for (UINT id : RegisteredDialogTemplates())
      if (const DialogTemplate* t = FindDialogTemplate(id); t != nullptr && id >= 206 && id < 300 && t->caption != nullptr) {
        pages.push_back(std::make_unique<CPropertyPage>(id));
        sheet.AddPage(pages.back().get());
      }
    if (!pages.empty()) {
      SaveModalLater(dir + "/property_sheet.png");
      sheet.DoModal();
    }
  }

  SaveModalLater(dir + "/about_box.png");
  about.DoModal();

  {
    int position = 40;
    bool keepGoing = true;
    CWaitDialog wait(&position, &keepGoing, "Loading Input Data...");
    wait.SetRange(0, 100);
    wait.ShowWindow(SW_SHOW);
    Save(wait.m_hWnd, dir + "/wait_dialog.png");
    wait.Close();
  }

  // Each frame with its menu and the form of the same id when one is registered.
  for (UINT id : RegisteredFrameResources()) {
    auto* frame = new CFrameWnd;
    if (!frame->LoadFrame(id)) {
      ++g_failures;
      continue;
    }
    for (UINT form : {id, id == 100u ? 202u : 200u, 205u}) {
      if (FindDialogTemplate(form) == nullptr) continue;
      auto* view = new CFormView(form);
      if (view->Create(frame, AFX_IDW_PANE_FIRST)) frame->SetActiveView(view);
      else delete view;
      break;
    }
    frame->InitialUpdateFrame(nullptr, FALSE);
    frame->MoveWindow(0, 0, 1024, 740);
    frame->ShowWindow(SW_SHOW);
    Save(frame->m_hWnd, dir + "/frame_" + std::to_string(id) + ".png");
    frame->DestroyWindow();  // deletes itself
  }

  qav::ui::ResetWindowSystem();
  std::printf("screenshot: %s in %s\n", g_failures == 0 ? "saved" : "some failed", dir.c_str());
  return g_failures == 0 ? 0 : 1;
}
