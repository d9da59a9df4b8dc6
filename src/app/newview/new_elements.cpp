// The New view's element dialog: the selection room's CElemsDlg behind the view's interface.
#include "app/newview/main_new.h"
#include "app/select/elems_dlg.h"
#include "app/select/select_ids.h"

namespace {

class CNewElementDialog : public INewElementDialog {
 public:
  explicit CNewElementDialog(CWnd* view) : m_dlg(view, IDD_SELECT_ELEMENTS) {}
  DWORD StartLoad(const CObjArray<CDateTimeEx>& dates, uint8_t mask) override { return m_dlg.StartLoad(dates, mask); }
  INT_PTR SelectElements(CObjArray<CDBRoadway>& roadways, CObjArray<CDBCabinet>& cabinets,
                         CObjArray<CDBElementEx>& elements) override {
    return m_dlg.SelectElements(roadways, cabinets, elements, nullptr);
  }
  void SetErrorHook(LoadErrorHook hook, void* context) override { m_dlg.SetErrorHook(hook, context); }

 private:
  CElemsDlg m_dlg;
};

}  // namespace

std::unique_ptr<INewElementDialog> MakeNewElementDialog(CWnd* view) { return std::make_unique<CNewElementDialog>(view); }
