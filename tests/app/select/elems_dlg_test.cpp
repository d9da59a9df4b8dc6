#include "app/select/elems_dlg.h"

#include <gtest/gtest.h>

#include "app/select/element_trees.h"
#include "app/select/select_fixture.h"
#include "app/select/select_ids.h"
#include "app/select/select_lists.h"
#include "app/shell/worker_ids.h"
#include "archive/sample_archive.h"

namespace {

namespace input = qav::ui::input;
using Strings = std::vector<std::string>;

// The view: keeps the wait-cursor and loaded notices, and answers the disc request (no disc).
class ViewWnd : public CWnd {
 public:
  ViewWnd() { CreateEx(0, "View", "", WS_OVERLAPPED, RECT{0, 0, 10, 10}, nullptr, 0); }
  ~ViewWnd() override { DestroyWindow(); }
  LRESULT OnWaitCursor(WPARAM on, LPARAM) {
    notices.push_back(on != 0 ? "cursor on" : "cursor off");
    return 1;
  }
  LRESULT OnLoaded(WPARAM, LPARAM) {
    notices.push_back("loaded");
    return 0;
  }
  LRESULT OnDiscRequest(WPARAM, LPARAM) {
    notices.push_back("disc");
    return IDCANCEL;
  }
  Strings notices;
  DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(ViewWnd, CWnd)
  ON_MESSAGE(WM_SET_WAIT_CURSOR, &ViewWnd::OnWaitCursor)
  ON_MESSAGE(WM_ELEMENTS_LOADED, &ViewWnd::OnLoaded)
  ON_MESSAGE(WM_SHOW_MESSAGE_BOX, &ViewWnd::OnDiscRequest)
END_MESSAGE_MAP()

class ElemsDlgTest : public SelectDialogTest {
 protected:
  void SetUp() override {
    SelectDialogTest::SetUp();
    view = std::make_unique<ViewWnd>();
    dlg = std::make_unique<CElemsDlg>(view.get(), IDD_SELECT_ELEMENTS);
    TreeBuilder trees{dlg->m_Roadways, dlg->m_Cabinets, dlg->m_Elements};
    trees.AddRoadway("I-5", {{"005es00200", {"_MN___1", "_MS___1", "AMS___1"}}, {"005es00100", {"_MN___2"}}});
    trees.AddRoadway("SR 520", {{"520es00300", {"_ME___1", "_MW___1"}}});
    dlg->m_StartDate = CDateTimeEx(1995, 1, 2);
    dlg->m_EndDate = CDateTimeEx(1995, 1, 9);
    dlg->m_bLoadFailed = 0;
  }
  void TearDown() override {
    dlg.reset();
    view.reset();
    SelectDialogTest::TearDown();
  }
  // Runs SelectElements with `act` inside the dialog.
  INT_PTR Select(std::function<void(CElemsDlg&)> act) {
    qav::ui::PostTask([this, act] { act(*dlg); });
    qav::ui::PostTask([this] {
      if (dlg->m_hWnd != nullptr) dlg->EndDialog(IDCANCEL);
    });
    const INT_PTR result = dlg->SelectElements(selection.roadways, selection.cabinets, selection.elements, nullptr);
    qav::ui::PumpPending();  // the closing task of a dialog that ended by itself
    return result;
  }
  static Strings Codes(const CElemsDlg& d) {
    Strings out;
    for (int id = IDC_SEL_CODE_FIRST; id <= IDC_SEL_CODE_LAST; ++id) out.push_back(Text(d, id));
    return out;
  }
  std::unique_ptr<ViewWnd> view;
  std::unique_ptr<CElemsDlg> dlg;
  ViewSelection selection;
};

TEST_F(ElemsDlgTest, OpensAtTheLastSelectedElementFoundInTheTrees) {
  selection.Add("SR 520", "520es00300", "_MW___1");
  selection.Add("I-5", "005es00200", "_MS___1");
  selection.Add("I-90", "090es00100", "_ME___1");  // not in the trees: kept, shown
  Select([](CElemsDlg& d) {
    EXPECT_EQ(Lines(d, IDC_SEL_ROADWAYS), (Strings{"I-5", "SR 520"}));
    EXPECT_EQ(d.m_lbRoadways.GetCurSel(), 0);
    EXPECT_EQ(Lines(d, IDC_SEL_CABINETS),
              (Strings{"005es00100           Somewhere           1.00", "005es00200           Somewhere           1.00"}));
    EXPECT_EQ(d.m_lbCabinets.GetCurSel(), 1);
    EXPECT_EQ(Lines(d, IDC_SEL_AVAILABLE), (Strings{"_MN___1", "_MS___1", "AMS___1"}));
    EXPECT_EQ(Lines(d, IDC_SEL_SELECTED),
              (Strings{"520es00300:_MW___1", "005es00200:_MS___1", "090es00100:_ME___1"}));
    EXPECT_EQ(Text(d, IDC_SEL_SELECTED_COUNT), "3");
    EXPECT_EQ(Text(d, IDC_SEL_START_TEXT), "01/02/1995 (Mon)");
    EXPECT_EQ(Text(d, IDC_SEL_END_TEXT), "01/09/1995 (Mon)");
  });
}

TEST_F(ElemsDlgTest, AnEmptySelectionOpensAtTheFirstRoadwayAndCabinetAndChoosingMovesDown) {
  Select([](CElemsDlg& d) {
    EXPECT_EQ(d.m_lbRoadways.GetCurSel(), 0);
    EXPECT_EQ(d.m_lbCabinets.GetCurSel(), 0);
    EXPECT_EQ(Lines(d, IDC_SEL_AVAILABLE), Strings{"_MN___2"});
    input::SelectLine(Item(d, IDC_SEL_ROADWAYS), 1);
    EXPECT_EQ(Lines(d, IDC_SEL_CABINETS), Strings{"520es00300           Somewhere           1.00"});
    EXPECT_EQ(d.m_lbCabinets.GetCurSel(), 0);
    EXPECT_EQ(Lines(d, IDC_SEL_AVAILABLE), (Strings{"_ME___1", "_MW___1"}));
  });
}

// An element that could not be allocated shows as a blank line and is never added.
TEST_F(ElemsDlgTest, AddAllSkipsAnElementThatCouldNotBeAllocated) {
  CDBElementEx* failed = nullptr;
  ASSERT_EQ(dlg->m_Elements.m_pData[0]->m_pData[0]->Add(&failed), 1);
  Select([](CElemsDlg& d) {
    EXPECT_EQ(Lines(d, IDC_SEL_AVAILABLE), (Strings{"_MN___2", ""}));
    input::Click(Item(d, IDC_SEL_ADD_ALL));
    EXPECT_EQ(Lines(d, IDC_SEL_SELECTED), Strings{"005es00100:_MN___2"});
  });
}

TEST_F(ElemsDlgTest, AddingKeepsTheListSortedAndUniqueAndTheKeysAreConsumed) {
  selection.Add("SR 520", "520es00300", "_MW___1");
  Select([](CElemsDlg& d) {
    input::SelectLine(Item(d, IDC_SEL_ROADWAYS), 0);
    input::SelectLine(Item(d, IDC_SEL_CABINETS), 1);
    input::DoubleClickLine(Item(d, IDC_SEL_AVAILABLE), 2);
    input::Click(Item(d, IDC_SEL_ADD_ALL));
    EXPECT_EQ(Lines(d, IDC_SEL_SELECTED), (Strings{"005es00200:_MN___1", "005es00200:_MS___1", "005es00200:AMS___1",
                                                   "520es00300:_MW___1"}));
    input::SelectLine(Item(d, IDC_SEL_CABINETS), 0);
    input::SelectLine(Item(d, IDC_SEL_AVAILABLE), 0);
    EXPECT_TRUE(input::Key(Item(d, IDC_SEL_AVAILABLE), VK_RETURN));
    EXPECT_TRUE(input::Key(Item(d, IDC_SEL_AVAILABLE), VK_RETURN));
    EXPECT_EQ(Text(d, IDC_SEL_SELECTED_COUNT), "5");
    EXPECT_EQ(Lines(d, IDC_SEL_SELECTED)[0], "005es00100:_MN___2");
    input::SelectLine(Item(d, IDC_SEL_SELECTED), 1);
    input::SelectLine(Item(d, IDC_SEL_SELECTED), 4, MK_CONTROL);
    EXPECT_TRUE(input::Key(Item(d, IDC_SEL_SELECTED), VK_DELETE));
    input::DoubleClickLine(Item(d, IDC_SEL_SELECTED), 0);
    EXPECT_EQ(Lines(d, IDC_SEL_SELECTED), (Strings{"005es00200:_MS___1", "005es00200:AMS___1"}));
    EXPECT_NE(d.m_hWnd, nullptr);
    input::Click(Item(d, IDC_SEL_REMOVE_ALL));
    EXPECT_EQ(Text(d, IDC_SEL_SELECTED_COUNT), "0");
  });
}

TEST_F(ElemsDlgTest, CodeBoxesShowTheCaretLinesElementName) {
  selection.Add("I-5", "005es00200", "AMS___1");
  Select([](CElemsDlg& d) {
    input::SelectLine(Item(d, IDC_SEL_AVAILABLE), 1);
    EXPECT_EQ(Codes(d), (Strings{"GP", "Mainline", "Southbound", "", "Mainline", "Loop", "1"}));
    input::SelectLine(Item(d, IDC_SEL_SELECTED), 0);
    EXPECT_EQ(Codes(d), (Strings{"Auxiliary", "Mainline", "Southbound", "", "Mainline", "Loop", "1"}));
  });
}

TEST_F(ElemsDlgTest, OkHandsBackTheChoiceCancelAndCloseKeepTheViewsSelection) {
  struct Case {
    std::function<void(CElemsDlg&)> end;
    INT_PTR result;
    Strings kept;
  };
  const Case cases[] = {
      {[](CElemsDlg& d) { input::Click(Item(d, IDCANCEL)); }, IDCANCEL, {"090es00100:_ME___1"}},
      {[](CElemsDlg& d) { input::Close(d.m_hWnd); }, 8, {"090es00100:_ME___1"}},
      {[](CElemsDlg& d) { input::Click(Item(d, IDOK)); }, IDOK,
       {"005es00100:_MN___2", "090es00100:_ME___1", "520es00300:_ME___1", "520es00300:_MW___1"}},
  };
  for (const Case& c : cases) {
    selection = ViewSelection();
    selection.Add("I-90", "090es00100", "_ME___1");
    EXPECT_EQ(Select([&c](CElemsDlg& d) {
                input::Click(Item(d, IDC_SEL_ADD_ALL));
                input::SelectLine(Item(d, IDC_SEL_ROADWAYS), 1);
                input::Click(Item(d, IDC_SEL_ADD_ALL));
                c.end(d);
              }),
              c.result);
    EXPECT_EQ(ElementLines(selection.elements), c.kept);
  }
  EXPECT_EQ(selection.roadways.m_nSize, 3);
  EXPECT_EQ(selection.cabinets.m_nSize, 3);
  EXPECT_EQ(selection.elements.m_pData[3]->cabinet, selection.elements.m_pData[2]->cabinet);
  EXPECT_EQ(selection.elements.m_pData[3]->cabinet->roadway, selection.roadways.m_pData[2]);
}

TEST_F(ElemsDlgTest, AFailedLoadIsToldAndChangesNothing) {
  dlg->m_bLoadFailed = 1;
  selection.Add("I-90", "090es00100", "_ME___1");
  EXPECT_EQ(dlg->SelectElements(selection.roadways, selection.cabinets, selection.elements, nullptr), 0);
  ASSERT_EQ(qav::ui::MessageBoxLog().size(), 1u);
  EXPECT_EQ(qav::ui::MessageBoxLog()[0].text, "Error loading start date/end date input data files");
  EXPECT_EQ(qav::ui::MessageBoxLog()[0].type & MB_ICONMASK, static_cast<UINT>(MB_ICONERROR));
  EXPECT_EQ(ElementLines(selection.elements), Strings{"090es00100:_ME___1"});
}

TEST_F(ElemsDlgTest, ANewLoadEmptiesEveryList) {
  CDBElementEx element("_MN___1", ET_LOOP, nullptr);
  dlg->m_lbSelected.Add(element);
  dlg->m_lbAvailable.Add(element);
  CDBCabinet cabinet("005es00100", "", 100, "Somewhere", nullptr);
  dlg->m_lbCabinets.Add(cabinet);
  EXPECT_EQ(dlg->StartLoad(CObjArray<CDateTimeEx>(), kMaskAll), 0u);  // no dates: the load ends at once
  EXPECT_EQ(dlg->m_lbSelected.m_nSize, 0);
  EXPECT_EQ(dlg->m_lbAvailable.m_nSize, 0);
  EXPECT_EQ(dlg->m_lbRoadways.m_nSize, 0);
  EXPECT_EQ(dlg->m_lbCabinets.m_nSize, 0);
}

// The loader still waits for the answer to its disc request when the user asks for the dialog:
// the wait shows the wait cursor, lets the request through, and the dialog opens on the trees.
TEST_F(ElemsDlgTest, WaitingForTheLoaderServesItsDiscRequest) {
  SampleArchiveOptions options;
  options.root = archive.NativePath() + "/";
  options.years = {1994};
  options.elements = 8;
  options.days = 5;
  ASSERT_EQ(WriteSampleArchive(options), 0);
  SetDiscPromptSender([](uintptr_t window, UINT msg, uintptr_t wParam, intptr_t lParam) -> intptr_t {
    return ::SendMessage(reinterpret_cast<HWND>(window), msg, wParam, lParam);
  });
  g_hPromptWnd = reinterpret_cast<uintptr_t>(view->GetSafeHwnd());
  CElemsDlg loading(view.get(), IDD_SELECT_ELEMENTS);
  loading.SetErrorHook([](const char*, DWORD, void*) {}, nullptr);
  CObjArray<CDateTimeEx> dates;
  dates.Add(CDateTimeEx(1994, 1, 1));
  dates.Add(CDateTimeEx(1994, 1, 20));  // no file: the loader asks for the disc, then walks back
  ASSERT_EQ(loading.StartLoad(dates, kMaskClassic), 0u);
  qav::ui::PostTask([&] {
    EXPECT_GT(loading.m_lbRoadways.m_nSize, 0);
    EXPECT_GT(loading.m_lbAvailable.m_nSize, 0);
    input::Click(Item(loading, IDCANCEL));
  });
  EXPECT_EQ(loading.SelectElements(selection.roadways, selection.cabinets, selection.elements, nullptr), IDCANCEL);
  SetDiscPromptSender(nullptr);
  qav::ui::PumpPending();
  ASSERT_GE(view->notices.size(), 4u);
  EXPECT_EQ(view->notices.front(), "cursor on");
  EXPECT_EQ(view->notices[1], "disc");
  EXPECT_EQ(std::count(view->notices.begin(), view->notices.end(), "cursor off"), 1);
  EXPECT_EQ(view->notices.back(), "loaded");
  EXPECT_EQ(loading.m_EndDate.Format("%m/%d/%Y"), "01/05/1994");
}

}  // namespace

namespace {

TEST_F(ElemsDlgTest, TheWizardFormAppendsMovesLinesAndEndsWithBackOrFinish) {
  struct Case {
    int button;
    INT_PTR result;
  };
  for (const Case& c : {Case{IDC_SEL_BACK, IDC_SEL_BACK}, Case{IDC_SEL_FINISH, IDC_SEL_FINISH}}) {
    CElemsDlg wizard(view.get(), IDD_SELECT_ELEMENTS_WIZARD);
    TreeBuilder trees{wizard.m_Roadways, wizard.m_Cabinets, wizard.m_Elements};
    trees.AddRoadway("I-5", {{"005es00200", {"_MN___1", "_MS___1", "AMS___1"}}});
    wizard.m_bLoadFailed = 0;
    selection = ViewSelection();
    selection.Add("I-5", "005es00200", "AMS___1");
    qav::ui::PostTask([&] {
      input::Click(Item(wizard, IDC_SEL_ADD_ALL));
      EXPECT_EQ(Lines(wizard, IDC_SEL_SELECTED),
                (Strings{"005es00200:AMS___1", "005es00200:_MN___1", "005es00200:_MS___1"}));
      input::Click(Item(wizard, IDC_SEL_MOVE_UP));  // nothing highlighted
      input::SelectLine(Item(wizard, IDC_SEL_SELECTED), 1);
      input::SelectLine(Item(wizard, IDC_SEL_SELECTED), 2, MK_CONTROL);
      input::Click(Item(wizard, IDC_SEL_MOVE_UP));
      input::Click(Item(wizard, IDC_SEL_MOVE_UP));  // the topmost is first now: nothing moves
      EXPECT_EQ(Lines(wizard, IDC_SEL_SELECTED),
                (Strings{"005es00200:_MN___1", "005es00200:_MS___1", "005es00200:AMS___1"}));
      EXPECT_EQ(HighlightedLines(wizard.m_lbSelected), (std::vector<int>{0, 1}));
      input::Click(Item(wizard, IDC_SEL_MOVE_DOWN));
      EXPECT_EQ(Lines(wizard, IDC_SEL_SELECTED),
                (Strings{"005es00200:AMS___1", "005es00200:_MN___1", "005es00200:_MS___1"}));
      EXPECT_EQ(HighlightedLines(wizard.m_lbSelected), (std::vector<int>{1, 2}));
      input::Click(Item(wizard, c.button));
    });
    EXPECT_EQ(wizard.SelectElements(selection.roadways, selection.cabinets, selection.elements, nullptr), c.result);
    EXPECT_EQ(selection.elements.m_nSize, 3);
  }
}

}  // namespace
