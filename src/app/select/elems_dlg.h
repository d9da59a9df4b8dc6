// CElemsDlg ("Select Locations and Data Elements"): the user chooses detector elements by roadway,
// then cabinet, then element, and the choice goes back to the view with its cabinets and roadways.
// The same object carries the background load of the roadway, cabinet and element trees
// (CElementLoader), started as soon as the view's dates are chosen; SelectElements waits for it and
// then runs the dialog over the loaded trees, starting from the view's current selection.
#pragma once

#include <string>

#include "app/select/element_choice.h"
#include "app/shell/element_loader.h"
#include "containers/list_array.h"
#include "platform/ui/gdi.h"
#include "support/mfcex_dialog.h"

class CElemsDlg : public CMFCExDialog, public CElementLoader {
 public:
  // `parent` is the view that receives the wait-cursor and loaded notices; `templateId` 152, or 157
  // for the wizard form.
  CElemsDlg(CWnd* parent, UINT templateId);
  ~CElemsDlg() override;

  // Starts the load of the trees for the chosen dates (see CElementLoader), with the view as the
  // window that hears of its end.
  DWORD StartLoad(const CObjArray<CDateTimeEx>& dates, uint8_t mask);

  // Waits for the load, then runs the dialog from the view's selection in `elements`. 0 when no
  // element lists could be loaded; otherwise the dialog's result, and unless that is IDCANCEL or 8
  // the three arrays hold the chosen elements with their cabinets and roadways.
  INT_PTR SelectElements(CObjArray<CDBRoadway>& roadways, CObjArray<CDBCabinet>& cabinets,
                         CObjArray<CDBElementEx>& elements, const char* caption);

  void DoDataExchange(CDataExchange* dx) override;
  BOOL OnInitDialog() override;
  BOOL PreTranslateMessage(MSG* msg) override;

  void OnAddSelected();
  void OnAddAll();
  void OnRemoveSelected();
  void OnRemoveAll();
  void OnRoadwaySelChange();
  void OnCabinetSelChange();
  void ShowAvailableElementCodes();
  void ShowSelectedElementCodes();
  void OnMoveUp();
  void OnMoveDown();
  void OnBack();
  void OnFinish();
  void OnHelp();

  std::string m_strEndDate;    // "%m/%d/%Y (%a)" of the loaded end and start days
  std::string m_strStartDate;
  int m_nSelected = 0;
  CAdrList<CDBRoadway> m_lbRoadways;
  CAdrList<CDBCabinet> m_lbCabinets;
  CAdrList<CDBElementEx> m_lbSelected;
  CAdrList<CDBElementEx> m_lbAvailable;
  const char* m_pszCaption = nullptr;
  int m_nInitialRoadway = -1;
  int m_nInitialCabinet = -1;
  std::string m_strCodes[7];  // the words of the element name's seven letters

 protected:
  // The loader empties the four lists before each load.
  void OnLoadReset() override;

 private:
  void ShowCodes(const CAdrList<CDBElementEx>& list);
  void AddElements(bool highlightedOnly);
  void ShowCount();
  // The cabinets of roadway line i and the elements of cabinet line j (null when absent).
  CObjArray<CDBCabinet>* CabinetsOf(int i) const;
  CObjArray<CDBElementEx>* ElementsOf(int i, int j) const;

  CFont m_fixedFont;  // the cabinet list and its heading, so the columns line up

  DECLARE_MESSAGE_MAP()
};
