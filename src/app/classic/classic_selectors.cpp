// The selection dialogs of the Classic view: the date dialog and the year dialog over a block's
// dates, and per block an element loader that the view restarts when the block's dates change.
#include "app/classic/main_classic.h"
#include "app/select/dates_dlg.h"
#include "app/select/year_dlg.h"
#include "app/shell/element_loader.h"

namespace {

constexpr uint8_t kClassicElementKinds = 7;  // loops, speed traps and stations

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
  bool SelectElements(CMainClassic&, int) override { return false; }
  void StartLoad(CMainClassic& view, int block) override {
    if (block < 0 || block >= CB_COUNT) return;
    m_loaders[block].SetNoticeWindow(view.m_hWnd);
    m_loaders[block].StartLoad(view.m_sel[block].dates, kClassicElementKinds);
  }

 private:
  CElementLoader m_loaders[CB_COUNT];
};

}  // namespace

std::unique_ptr<IClassicSelectors> MakeClassicSelectors() { return std::make_unique<CClassicSelectors>(); }
