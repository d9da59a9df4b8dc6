// Dialog templates, dialogs and property sheets.
#pragma once

#include <string>
#include <vector>

#include "platform/base/msgbox.h"
#include "platform/ui/controls.h"
#include "platform/ui/ddx.h"
#include "platform/ui/wnd.h"
#include "platform/ui/wnd_state.h"

// ---- Templates ----
// A dialog or form is data: a table keyed by its template id listing each control's kind, id,
// text, extra style bits and rectangle in dialog units (a quarter of the font's average character
// width across, an eighth of its height down).
enum class Ctl {
  Static,         // text label (SS_LEFT; SS_CENTER/SS_RIGHT in the style)
  Icon,           // a system or program icon (the text names it: "#32513" ...)
  GroupBox,
  PushButton,
  DefPushButton,  // the default button
  CheckBox,       // automatic check box (BS_PUSHLIKE for a push-like one)
  Radio,          // automatic radio button; WS_GROUP starts a new group
  Edit,
  ListBox,
  ComboBox,       // drop-down list
  Progress,
  Spin,
  Slider,
  DateTime,
  RichEdit,
};

struct ControlTemplate {
  Ctl kind;
  int id;
  const char* text;
  DWORD style;  // added to the kind's usual style
  int x, y, cx, cy;  // dialog units
  DWORD removeStyle = 0;  // taken from the kind's usual style (WS_VISIBLE for a hidden control ...)
};

struct DialogTemplate {
  UINT id;
  const char* caption;
  int cx, cy;  // dialog units
  std::vector<ControlTemplate> controls;
  const char* fontFace = "MS Shell Dlg";
  int fontPoints = 8;
  DWORD style = 0;  // extra window style (WS_THICKFRAME, WS_MINIMIZEBOX ...)
};

// Registers a template under its id (replacing an earlier one). The table must outlive its use.
void RegisterDialogTemplate(const DialogTemplate* t);
const DialogTemplate* FindDialogTemplate(UINT id);
// Takes a template out of the registry (only if it is the one registered under its id), before
// a table that does not live for the whole program goes.
void UnregisterDialogTemplate(const DialogTemplate* t);
// The ids of every registered template, ascending (the screenshot tool shows each).
std::vector<UINT> RegisteredDialogTemplates();

namespace qav::ui {
// Builds the controls of a template inside a window whose state exists. Returns the base units.
BaseUnits BuildControls(WndState* host, const DialogTemplate& t);
// Where BuildControls places the control `id` of a template: its rectangle in pixels from the
// dialog's top left, with the template font's base units as the backend measures them. Empty when
// the template has no such control.
RECT ControlPixels(const DialogTemplate& t, int id);
// The window style each control kind gets before the template's additions.
DWORD DefaultStyle(Ctl kind);
// Return pressed on a push button clicks it, as in every window that takes dialog keys (dialogs,
// sheets, forms); true when it did.
bool PressButtonOnReturn(const MSG* msg);
}  // namespace qav::ui

// ---- Dialogs ----
class CDialog : public CWnd {
 public:
  CDialog() = default;
  explicit CDialog(UINT templateId, CWnd* parent = nullptr) : m_nIDTemplate(templateId), m_pParentWnd(parent) {}
  ~CDialog() override;

  // Runs the dialog modally: the owner is disabled, the loop runs until EndDialog, the window is
  // destroyed and the result returned (-1 when the template does not exist).
  virtual INT_PTR DoModal();
  // Creates the dialog modeless; it shows itself when its template has WS_VISIBLE or on ShowWindow.
  BOOL Create(UINT templateId, CWnd* parent = nullptr);
  void EndDialog(int result);
  virtual BOOL OnInitDialog();
  virtual void OnOK();
  virtual void OnCancel();
  BOOL PreTranslateMessage(MSG* msg) override;
  void SetDefID(UINT id) { SendMessage(DM_SETDEFID, id); }
  DWORD GetDefID() const { return static_cast<DWORD>(SendMessage(DM_GETDEFID)); }
  void NextDlgCtrl() const;
  void PrevDlgCtrl() const;
  void GotoDlgCtrl(CWnd* ctl);

  UINT m_nIDTemplate = 0;
  UINT m_nIDHelp = 0;
  CWnd* m_pParentWnd = nullptr;

 protected:
  BOOL OnWndMsg(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result) override;
  // Creates the window of a template (child when `child`) without running OnInitDialog.
  BOOL CreateFromTemplate(const DialogTemplate& t, HWND parentOrOwner, bool child);
  // Runs the modal loop of this window until EndDialog; the result.
  int RunModalLoop();
  bool IsModalRunning() const { return m_inModal; }
  // Dialog keys: Enter for the default button, Escape for Cancel, Tab between controls.
  BOOL HandleDialogKey(MSG* msg);
  DECLARE_MESSAGE_MAP()

 protected:
  int m_nModalResult = IDCANCEL;
  bool m_bEnded = false;
  bool m_inModal = false;
};

// ---- Property sheets ----
constexpr DWORD PSP_DEFAULT = 0x0;
constexpr DWORD PSP_USETITLE = 0x8;
constexpr DWORD PSP_HASHELP = 0x20;
constexpr DWORD PSH_DEFAULT = 0x0;
constexpr DWORD PSH_NOAPPLYNOW = 0x80;
constexpr DWORD PSH_HASHELP = 0x200;
constexpr UINT ID_APPLY_NOW = 0x3021;
constexpr int AFX_IDC_TAB_CONTROL = 0x3020;

struct PROPSHEETPAGE {
  DWORD dwFlags = PSP_DEFAULT;
  LPCSTR pszTitle = nullptr;
};
struct PROPSHEETHEADER {
  DWORD dwFlags = PSH_DEFAULT;
  LPCSTR pszCaption = nullptr;
  UINT nStartPage = 0;
};

class CPropertySheet;

class CPropertyPage : public CDialog {
 public:
  CPropertyPage() = default;
  explicit CPropertyPage(UINT templateId, UINT captionId = 0) { Construct(templateId, captionId); }
  void Construct(UINT templateId, UINT captionId = 0);
  // Activation: OnSetActive when the page is shown, OnKillActive (data exchange) when it is left;
  // a FALSE answer keeps the page.
  virtual BOOL OnSetActive();
  virtual BOOL OnKillActive();
  // OK: every page that was shown gets OnOK, which takes the controls' values into the members.
  void OnOK() override;
  void OnCancel() override;
  virtual BOOL OnApply();
  void SetModified(BOOL changed = TRUE) { m_bModified = changed != FALSE; }
  // The page's tab title: pszTitle with PSP_USETITLE, else the template's caption.
  std::string Title() const;
  // The sheet creates the page's window in its page area.
  BOOL CreateFromTemplateForSheet(const DialogTemplate& t, HWND sheet, const RECT& area);

  PROPSHEETPAGE m_psp;
  CPropertySheet* m_pSheet = nullptr;
  bool m_bModified = false;
};

class CPropertySheet : public CWnd {
 public:
  CPropertySheet() = default;
  explicit CPropertySheet(LPCSTR caption, CWnd* parent = nullptr, UINT selectPage = 0) { Construct(caption, parent, selectPage); }
  void Construct(LPCSTR caption, CWnd* parent = nullptr, UINT selectPage = 0);
  void AddPage(CPropertyPage* page);
  void RemovePage(CPropertyPage* page);
  int GetPageCount() const { return static_cast<int>(m_pages.size()); }
  CPropertyPage* GetPage(int i) const { return i >= 0 && i < GetPageCount() ? m_pages[static_cast<size_t>(i)] : nullptr; }
  CPropertyPage* GetActivePage() const { return GetPage(m_active); }
  int GetActiveIndex() const { return m_active; }
  int GetPageIndex(CPropertyPage* page) const;
  BOOL SetActivePage(int index);
  BOOL SetActivePage(CPropertyPage* page) { return SetActivePage(GetPageIndex(page)); }
  void SetTitle(LPCSTR title);
  virtual INT_PTR DoModal();
  void EndDialog(int result);
  virtual BOOL OnInitDialog() { return TRUE; }
  // The tabs control (input::SelectTab switches pages through it).
  HWND GetTabControl() const { return ::GetDlgItem(m_hWnd, AFX_IDC_TAB_CONTROL); }
  BOOL PreTranslateMessage(MSG* msg) override;

  PROPSHEETHEADER m_psh;
  std::string m_strCaption;

 protected:
  BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
  BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result) override;
  LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

 private:
  bool Activate(int index);
  bool PressOK();
  void PressCancel();
  std::vector<CPropertyPage*> m_pages;
  std::vector<bool> m_shown;
  CWnd* m_pParentWnd = nullptr;
  int m_active = 0;
  int m_nModalResult = IDCANCEL;
  bool m_bEnded = false;
  RECT m_pageRect{};
};
