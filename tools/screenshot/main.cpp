// screenshot DIR: shows the demonstration dialog (one control of every kind), a message box and a
// property sheet with FLTK and saves DIR/every_control.png, DIR/message_box.png and
// DIR/property_sheet.png. Run it on a display, e.g. `xvfb-run -a build/tools/screenshot/screenshot /tmp`.
#include <FL/Fl.H>

#include <cstdio>
#include <string>

#define QAV_DEMO_IMPL
#include "demo_dialog.h"
#include "platform/ui/backend.h"
#include "platform/ui/choosers.h"
#include "platform/ui/wnd_state.h"

namespace {

void Settle() {
  for (int i = 0; i < 10; ++i) Fl::wait(0.02);
}

// Saves the top-level window holding `h` (by default the focus: the modal window) and closes it.
bool SaveTopmost(const std::string& file, HWND h = nullptr) {
  Settle();
  if (h == nullptr) h = GetFocus();
  qav::ui::WndState* s = qav::ui::TopLevelOf(qav::ui::Find(h));
  bool ok = s != nullptr && qav::ui::SaveWindowPng(s->hwnd, file);
  if (s != nullptr) ::SendMessage(s->hwnd, WM_CLOSE);
  return ok;
}

const DialogTemplate kPageA{9401, "General Parameters", 200, 90,
                            {{Ctl::GroupBox, IDC_STATIC, "Data Files Location", 0, 7, 8, 186, 60},
                             {Ctl::Radio, 9411, "CD-ROM", WS_GROUP, 14, 19, 60, 10},
                             {Ctl::Edit, 9412, "", 0, 78, 17, 60, 14},
                             {Ctl::PushButton, 9413, "Browse...", 0, 142, 17, 44, 14},
                             {Ctl::Radio, 9414, "Other", 0, 14, 37, 60, 10},
                             {Ctl::Edit, 9415, "", 0, 78, 35, 60, 14},
                             {Ctl::PushButton, 9416, "Browse...", 0, 142, 35, 44, 14},
                             {Ctl::CheckBox, 9417, "Use Classic Interface and Reports", 0, 7, 75, 186, 10}}};
const DialogTemplate kPageB{9402, "Output Parameters", 200, 90, {{Ctl::CheckBox, 9421, "Auto-Open Output Files", 0, 7, 7, 150, 10}}};

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: screenshot DIR\n");
    return 2;
  }
  std::string dir = argv[1];
  if (!qav::ui::SelectBackend("fltk")) {
    std::fprintf(stderr, "screenshot: no display\n");
    return 1;
  }
  qav::ui::BindUiThread();
  int failures = 0;

  RegisterDialogTemplate(&demo::kDemo);
  demo::DemoDlg dlg;
  dlg.Create(9300);
  dlg.ShowWindow(SW_SHOW);
  Settle();
  if (!qav::ui::SaveWindowPng(dlg.m_hWnd, dir + "/every_control.png")) ++failures;

  qav::ui::PostTask([&] { failures += SaveTopmost(dir + "/message_box.png") ? 0 : 1; });
  ::MessageBox(dlg.m_hWnd, "Please insert CD with 3/15/1994 data", "QAV", MB_OKCANCEL | MB_ICONEXCLAMATION);

  RegisterDialogTemplate(&kPageA);
  RegisterDialogTemplate(&kPageB);
  CPropertySheet sheet("Parameter Settings", &dlg);
  sheet.m_psh.dwFlags |= PSH_NOAPPLYNOW | PSH_HASHELP;
  CPropertyPage a(9401), b(9402);
  sheet.AddPage(&a);
  sheet.AddPage(&b);
  qav::ui::PostTask([&] { failures += SaveTopmost(dir + "/property_sheet.png", sheet.m_hWnd) ? 0 : 1; });
  sheet.DoModal();
  dlg.DestroyWindow();
  qav::ui::ResetWindowSystem();
  Settle();
  std::printf("screenshot: %s in %s\n", failures == 0 ? "saved" : "some failed", dir.c_str());
  return failures == 0 ? 0 : 1;
}
