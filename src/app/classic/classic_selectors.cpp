// The selection dialogs of the Classic view: the date dialog and the year dialog over a block's
// dates, and per block an element dialog whose loader the view restarts when the block's dates
// change. A day the loader cannot read is queued in the message log, which the view's timer
// drains into the status list.
#include <memory>

#include "app/classic/main_classic.h"
#include "app/select/dates_dlg.h"
#include "app/select/elems_dlg.h"
#include "app/select/year_dlg.h"
#include "app/shell/qav_app.h"
#include "support/output.h"

namespace {

constexpr uint8_t kClassicElementKinds = 7;  // loops, speed traps and stations
constexpr UINT kElementTemplate = 152;
constexpr DWORD kErrorCodeItem = 11;

void QueueLoadError(const char* text, DWORD error, void*) {
  if (COutput* log = AppLog()) log->AddCodeWithPrefix(error, text, kErrorCodeItem);
}

class CClassicSelectors : public IClassicSelectors {
 public:
  bool ChooseDates(CMainClassic& view, int block) override {
    CDatesDlg dlg(&view.m_sel[block].dates, &view);
    return dlg.DoModal(&view) == IDOK;
  }
  bool ChooseYear(CMainClassic& view) override {
    CYearDlg dlg(&view);
    return dlg.Run(view.m_sel[CB_MULTI].dates, nullptr) == 1;
  }
  bool SelectElements(CMainClassic& view, int block) override {
    CElemsDlg* dlg = Dialog(view, block);
    CClassicSelection& s = view.m_sel[block];
    return dlg != nullptr && dlg->SelectElements(s.roadways, s.cabinets, s.elements, nullptr) != 0;
  }
  void StartLoad(CMainClassic& view, int block) override {
    if (CElemsDlg* dlg = Dialog(view, block)) dlg->StartLoad(view.m_sel[block].dates, kClassicElementKinds);
  }

 private:
  CElemsDlg* Dialog(CMainClassic& view, int block) {
    if (block < 0 || block >= CB_COUNT) return nullptr;
    if (!m_dialogs[block]) {
      m_dialogs[block].reset(new (std::nothrow) CElemsDlg(&view, kElementTemplate));
      if (m_dialogs[block]) m_dialogs[block]->SetErrorHook(&QueueLoadError, nullptr);
    }
    return m_dialogs[block].get();
  }
  std::unique_ptr<CElemsDlg> m_dialogs[CB_COUNT];
};

}  // namespace

std::unique_ptr<IClassicSelectors> MakeClassicSelectors() { return std::make_unique<CClassicSelectors>(); }
