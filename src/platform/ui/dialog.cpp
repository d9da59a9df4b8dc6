#include "platform/ui/dialog.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <map>

#include "platform/ui/backend.h"
#include "platform/ui/input.h"
#include "platform/ui/loop_internal.h"
#include "platform/ui/wnd_state.h"

using namespace qav::ui;

namespace {
std::map<UINT, const DialogTemplate*>& Templates() {
  static auto* t = new std::map<UINT, const DialogTemplate*>;
  return *t;
}

// One font object per face and size, kept for the life of the program.
HFONT DialogFont(const char* face, int points) {
  static auto* fonts = new std::map<std::pair<std::string, int>, HFONT>;
  auto key = std::make_pair(std::string(face ? face : ""), points);
  auto it = fonts->find(key);
  if (it != fonts->end()) return it->second;
  LOGFONT lf;
  lf.lfHeight = -((points * kScreenDpi + 36) / 72);
  std::snprintf(lf.lfFaceName, sizeof lf.lfFaceName, "%s", face ? face : "");
  static auto* owners = new std::vector<CFont*>;
  auto* f = new CFont;
  f->CreateFontIndirect(&lf);
  owners->push_back(f);
  (*fonts)[key] = f->m_hFont;
  return f->m_hFont;
}

Kind KindOf(Ctl c) {
  switch (c) {
    case Ctl::Static:
    case Ctl::Icon: return Kind::Static;
    case Ctl::GroupBox: return Kind::GroupBox;
    case Ctl::PushButton:
    case Ctl::DefPushButton: return Kind::Button;
    case Ctl::CheckBox: return Kind::CheckBox;
    case Ctl::Radio: return Kind::Radio;
    case Ctl::Edit: return Kind::Edit;
    case Ctl::ListBox: return Kind::ListBox;
    case Ctl::ComboBox: return Kind::ComboBox;
    case Ctl::Progress: return Kind::Progress;
    case Ctl::Spin: return Kind::Spin;
    case Ctl::Slider: return Kind::Slider;
    case Ctl::DateTime: return Kind::DateTime;
    case Ctl::RichEdit: return Kind::RichEdit;
  }
  return Kind::Static;
}

// Runs a modal loop until `ended` or the window is gone; false when a quit request ended it.
bool ModalLoop(CWnd* wnd, const bool& ended) {
  InputHoldLifted input;
  while (!ended && wnd->m_hWnd != nullptr && IsWindow(wnd->m_hWnd)) {
    if (!WaitAndDispatchOne()) {
      PostQuitMessage(QuitCode());  // the program's loop still has to see it
      return false;
    }
  }
  return true;
}

}  // namespace

void RegisterDialogTemplate(const DialogTemplate* t) {
  if (t != nullptr) Templates()[t->id] = t;
}

void UnregisterDialogTemplate(const DialogTemplate* t) {
  if (t == nullptr) return;
  auto it = Templates().find(t->id);
  if (it != Templates().end() && it->second == t) Templates().erase(it);
}

std::vector<UINT> RegisteredDialogTemplates() {
  std::vector<UINT> ids;
  for (const auto& [id, t] : Templates()) ids.push_back(id);
  return ids;
}

const DialogTemplate* FindDialogTemplate(UINT id) {
  auto it = Templates().find(id);
  return it == Templates().end() ? nullptr : it->second;
}

namespace qav::ui {

DWORD DefaultStyle(Ctl kind) {
  switch (kind) {
    case Ctl::Static: return SS_LEFT;
    case Ctl::Icon: return SS_ICON;
    case Ctl::GroupBox: return BS_GROUPBOX;
    case Ctl::PushButton: return BS_PUSHBUTTON | WS_TABSTOP;
    case Ctl::DefPushButton: return BS_DEFPUSHBUTTON | WS_TABSTOP;
    case Ctl::CheckBox: return BS_AUTOCHECKBOX | WS_TABSTOP;
    case Ctl::Radio: return BS_AUTORADIOBUTTON;
    case Ctl::Edit: return ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP;
    case Ctl::ListBox: return LBS_NOTIFY | WS_VSCROLL | WS_BORDER | WS_TABSTOP;
    case Ctl::ComboBox: return CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP;
    case Ctl::Progress: return WS_BORDER;
    case Ctl::Spin: return 0;
    case Ctl::Slider: return WS_TABSTOP;
    case Ctl::DateTime: return DTS_TIMEFORMAT | WS_TABSTOP;
    case Ctl::RichEdit: return ES_MULTILINE | ES_READONLY | WS_BORDER | WS_VSCROLL;
  }
  return 0;
}

namespace {
// A control's rectangle in pixels; a combo box's is its closed height, the list drops below.
RECT PlacedRect(const ControlTemplate& c, BaseUnits u) {
  const int cy = c.kind == Ctl::ComboBox ? std::min(c.cy, 14) : c.cy;
  return DialogUnitsToPixels(RECT{c.x, c.y, c.x + c.cx, c.y + cy}, u);
}
}  // namespace

RECT ControlPixels(const DialogTemplate& t, int id) {
  for (const ControlTemplate& c : t.controls)
    if (c.id == id) return PlacedRect(c, CurrentBackend().FontUnits(DialogFont(t.fontFace, t.fontPoints)));
  return RECT{};
}

BaseUnits BuildControls(WndState* host, const DialogTemplate& t) {
  HFONT font = DialogFont(t.fontFace, t.fontPoints);
  BaseUnits u = CurrentBackend().FontUnits(font);
  for (const ControlTemplate& c : t.controls) {
    DWORD style = ((DefaultStyle(c.kind) | c.style | WS_CHILD | WS_VISIBLE) & ~c.removeStyle) | WS_CHILD;
    if (c.kind == Ctl::Radio && (c.style & BS_TYPEMASK) == 0) style |= BS_AUTORADIOBUTTON;
    RECT r = PlacedRect(c, u);
    std::string text = c.text != nullptr ? c.text : "";
    WndState* s = NewWindow(KindOf(c.kind), host->hwnd, c.id, c.kind == Ctl::Icon ? "" : text, style, r);
    s->font = font;
    if (c.kind == Ctl::Icon && text.size() > 1 && text[0] == '#')
      s->icon = LoadIcon(nullptr, MAKEINTRESOURCE(std::atoi(text.c_str() + 1)));
    if (c.kind == Ctl::ListBox) static_cast<ListBoxState*>(s)->itemHeight = CurrentBackend().ListItemHeight(font);
    if (c.kind == Ctl::DateTime) {
      auto* d = static_cast<DateTimeState*>(s);
      d->time.wYear = 2000;
      d->time.wMonth = 1;
      d->time.wDay = 1;
    }
    WindowComplete(s);
  }
  return u;
}

bool PressButtonOnReturn(const MSG* msg) {
  if (msg->message != WM_KEYDOWN || msg->wParam != VK_RETURN) return false;
  WndState* target = Find(msg->hwnd);
  if (target == nullptr || target->kind != Kind::Button) return false;
  input::Click(msg->hwnd);
  return true;
}

}  // namespace qav::ui

// ---- CDialog ----
BEGIN_MESSAGE_MAP(CDialog, CWnd)
  ON_COMMAND(IDOK, &CDialog::OnOK)
  ON_COMMAND(IDCANCEL, &CDialog::OnCancel)
END_MESSAGE_MAP()

CDialog::~CDialog() = default;

BOOL CDialog::CreateFromTemplate(const DialogTemplate& t, HWND parentOrOwner, bool child) {
  HFONT font = DialogFont(t.fontFace, t.fontPoints);
  BaseUnits u = CurrentBackend().FontUnits(font);
  RECT r = DialogUnitsToPixels(RECT{0, 0, t.cx, t.cy}, u);
  DWORD style = child ? (WS_CHILD | t.style) : (WS_POPUP | WS_CAPTION | WS_SYSMENU | t.style);
  style &= ~WS_VISIBLE;
  WndState* s = NewWindow(Kind::Dialog, parentOrOwner, 0, t.caption ? t.caption : "", style, r);
  s->font = font;
  s->object = this;
  m_hWnd = s->hwnd;
  CREATESTRUCT cs;
  cs.hwndParent = parentOrOwner;
  cs.cx = r.right;
  cs.cy = r.bottom;
  cs.style = static_cast<LONG>(style);
  cs.lpszName = t.caption;
  if (Send(m_hWnd, WM_CREATE, 0, reinterpret_cast<LPARAM>(&cs)) == -1 || m_hWnd == nullptr) {
    if (m_hWnd != nullptr) ::DestroyWindow(m_hWnd);
    return FALSE;
  }
  BuildControls(s, t);
  if (!child) CenterWindow();
  WindowComplete(s);
  return TRUE;
}

namespace {
HWND FirstTabStop(WndState* s) {
  for (HWND h : s->children)
    if (WndState* c = Find(h); c && (c->style & WS_TABSTOP) && c->Visible() && c->Enabled()) return h;
  return nullptr;
}
}  // namespace

INT_PTR CDialog::DoModal() {
  ObjectInUse use(this);  // the window may go from any handler; this function still reads the object
  const DialogTemplate* t = FindDialogTemplate(m_nIDTemplate);
  if (t == nullptr) return -1;
  HWND owner = nullptr;
  if (m_pParentWnd != nullptr && m_pParentWnd->m_hWnd != nullptr && m_pParentWnd->m_hWnd != ::GetDesktopWindow()) {
    WndState* top = TopLevelOf(m_pParentWnd->State());
    owner = top != nullptr ? top->hwnd : nullptr;
  } else if (m_pParentWnd == nullptr) {
    owner = DefaultOwner();
  }
  owner = OwnerOfNewModal(owner);
  const HWND hadFocus = ::GetFocus();
  ModalHold hold(owner);
  m_bEnded = false;
  m_nModalResult = IDCANCEL;
  if (!CreateFromTemplate(*t, owner, false)) return -1;
  hold.Up(m_hWnd);
  WndState* s = State();
  HWND first = s != nullptr ? FirstTabStop(s) : nullptr;
  if (Send(m_hWnd, WM_INITDIALOG, reinterpret_cast<WPARAM>(first)) && !m_bEnded && m_hWnd != nullptr) {
    if (::GetFocus() == nullptr || TopLevelOf(Find(::GetFocus())) != State()) {
      if (HWND f = FirstTabStop(State())) MoveFocus(f);
    }
  }
  if (!m_bEnded && m_hWnd != nullptr) {
    ShowWindow(SW_SHOW);
    m_inModal = true;
    if (!ModalLoop(this, m_bEnded)) m_nModalResult = IDCANCEL;
    m_inModal = false;
  }
  int result = m_nModalResult;
  // The owner takes input again before the dialog goes, so that the activation the dialog leaves
  // goes to the owner and not to another window the owner has up (the status window).
  hold.Release();
  if (m_hWnd != nullptr) ::DestroyWindow(m_hWnd);
  ReturnFromModal(owner, hadFocus);
  return result;
}

BOOL CDialog::Create(UINT templateId, CWnd* parent) {
  ObjectInUse use(this);  // OnInitDialog may destroy the window of a dialog that deletes itself
  m_nIDTemplate = templateId;
  if (parent != nullptr) m_pParentWnd = parent;
  const DialogTemplate* t = FindDialogTemplate(templateId);
  if (t == nullptr) return FALSE;
  HWND ph = nullptr;
  CWnd* p = parent != nullptr ? parent : m_pParentWnd;
  if (p != nullptr && p->m_hWnd != ::GetDesktopWindow()) ph = p->m_hWnd;
  bool child = (t->style & WS_CHILD) != 0;
  m_bEnded = false;
  if (!CreateFromTemplate(*t, ph, child)) return FALSE;
  Send(m_hWnd, WM_INITDIALOG, reinterpret_cast<WPARAM>(FirstTabStop(State())));
  if (m_hWnd != nullptr && (t->style & WS_VISIBLE)) ShowWindow(SW_SHOW);
  return m_hWnd != nullptr ? TRUE : FALSE;
}

void CDialog::EndDialog(int result) {
  m_nModalResult = result;
  m_bEnded = true;
  if (!m_inModal && m_hWnd != nullptr) ShowWindow(SW_HIDE);
}

BOOL CDialog::OnInitDialog() {
  UpdateData(FALSE);
  return TRUE;
}

void CDialog::OnOK() {
  if (!UpdateData(TRUE)) return;
  EndDialog(IDOK);
}

void CDialog::OnCancel() { EndDialog(IDCANCEL); }

BOOL CDialog::OnWndMsg(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result) {
  if (msg == WM_INITDIALOG) {
    *result = OnInitDialog();
    return TRUE;
  }
  return CWnd::OnWndMsg(msg, wParam, lParam, result);
}

BOOL CDialog::PreTranslateMessage(MSG* msg) { return HandleDialogKey(msg); }

BOOL CDialog::HandleDialogKey(MSG* msg) {
  if (msg->message != WM_KEYDOWN) return FALSE;
  WndState* s = State();
  if (s == nullptr) return FALSE;
  if (msg->wParam == VK_TAB) {
    if (s->IsChild()) return FALSE;
    CWnd* next = GetNextDlgTabItem(CWnd::FromHandle(msg->hwnd));
    if (next != nullptr) input::Focus(next->m_hWnd);
    return TRUE;
  }
  if (s->IsChild()) return FALSE;  // pages and forms leave Enter and Escape to their window
  WndState* target = Find(msg->hwnd);
  if (msg->wParam == VK_RETURN) {
    if (target != nullptr && target->kind == Kind::Edit && (target->style & ES_WANTRETURN)) return FALSE;
    if (target != nullptr && target->parent == m_hWnd && PressButtonOnReturn(msg)) return TRUE;
    DWORD def = GetDefID();
    UINT id = HIWORD(def) == DC_HASDEFID ? LOWORD(def) : IDOK;
    HWND b = ::GetDlgItem(m_hWnd, static_cast<int>(id));
    if (b != nullptr && (!::IsWindowEnabled(b) || !::IsWindowVisible(b))) return TRUE;
    Send(m_hWnd, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(b));
    return TRUE;
  }
  if (msg->wParam == VK_ESCAPE) {
    HWND b = ::GetDlgItem(m_hWnd, IDCANCEL);
    if (b != nullptr && !::IsWindowEnabled(b)) return TRUE;
    Send(m_hWnd, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), reinterpret_cast<LPARAM>(b));
    return TRUE;
  }
  return FALSE;
}

int CDialog::RunModalLoop() {
  m_inModal = true;
  if (!ModalLoop(this, m_bEnded)) m_nModalResult = IDCANCEL;
  m_inModal = false;
  return m_nModalResult;
}

void CDialog::NextDlgCtrl() const {
  CWnd* next = GetNextDlgTabItem(CWnd::GetFocus());
  if (next != nullptr) input::Focus(next->m_hWnd);
}

void CDialog::PrevDlgCtrl() const {
  CWnd* prev = GetNextDlgTabItem(CWnd::GetFocus(), TRUE);
  if (prev != nullptr) input::Focus(prev->m_hWnd);
}

void CDialog::GotoDlgCtrl(CWnd* ctl) {
  if (ctl != nullptr) ::SetFocus(ctl->m_hWnd);
}

// ---- CPropertyPage ----
BOOL CPropertyPage::CreateFromTemplateForSheet(const DialogTemplate& t, HWND sheet, const RECT& area) {
  if (!CreateFromTemplate(t, sheet, true)) return FALSE;
  MoveWindow(area.left, area.top, area.right - area.left, area.bottom - area.top);
  return TRUE;
}

void CPropertyPage::Construct(UINT templateId, UINT captionId) {
  m_nIDTemplate = templateId;
}

BOOL CPropertyPage::OnSetActive() { return TRUE; }
BOOL CPropertyPage::OnKillActive() { return UpdateData(TRUE); }
void CPropertyPage::OnOK() {
  if (m_hWnd != nullptr) UpdateData(TRUE);
}
void CPropertyPage::OnCancel() {}
BOOL CPropertyPage::OnApply() {
  OnOK();
  return TRUE;
}

std::string CPropertyPage::Title() const {
  if ((m_psp.dwFlags & PSP_USETITLE) && m_psp.pszTitle != nullptr) return m_psp.pszTitle;
  const DialogTemplate* t = FindDialogTemplate(m_nIDTemplate);
  return t != nullptr && t->caption != nullptr ? t->caption : "";
}

// ---- CPropertySheet ----
void CPropertySheet::Construct(LPCSTR caption, CWnd* parent, UINT selectPage) {
  m_strCaption = caption != nullptr ? caption : "";
  m_pParentWnd = parent;
  m_psh.nStartPage = selectPage;
}

void CPropertySheet::AddPage(CPropertyPage* page) {
  if (page == nullptr) return;
  page->m_pSheet = this;
  m_pages.push_back(page);
  m_shown.push_back(false);
  if (m_hWnd != nullptr) {
    if (WndState* t = Find(GetTabControl())) {
      static_cast<TabState*>(t)->tabs.push_back(page->Title());
      Changed(t);
    }
  }
}

void CPropertySheet::RemovePage(CPropertyPage* page) {
  int i = GetPageIndex(page);
  if (i < 0) return;
  if (page->m_hWnd != nullptr) page->DestroyWindow();
  m_pages.erase(m_pages.begin() + i);
  m_shown.erase(m_shown.begin() + i);
}

int CPropertySheet::GetPageIndex(CPropertyPage* page) const {
  for (size_t i = 0; i < m_pages.size(); ++i)
    if (m_pages[i] == page) return static_cast<int>(i);
  return -1;
}

void CPropertySheet::SetTitle(LPCSTR title) {
  m_strCaption = title != nullptr ? title : "";
  if (m_hWnd != nullptr) SetWindowText(m_strCaption.c_str());
}

BOOL CPropertySheet::SetActivePage(int index) {
  if (index < 0 || index >= GetPageCount()) return FALSE;
  if (m_hWnd == nullptr) {
    m_psh.nStartPage = static_cast<UINT>(index);
    return TRUE;
  }
  return Activate(index) ? TRUE : FALSE;
}

bool CPropertySheet::Activate(int index) {
  CPropertyPage* page = GetPage(index);
  if (page == nullptr) return false;
  if (CPropertyPage* cur = GetActivePage(); cur != nullptr && cur != page && cur->m_hWnd != nullptr)
    cur->ShowWindow(SW_HIDE);
  if (page->m_hWnd == nullptr) {
    const DialogTemplate* t = FindDialogTemplate(page->m_nIDTemplate);
    if (t == nullptr) return false;
    // The page's window is a child of the sheet, laid out in the page area.
    if (!page->CreateFromTemplateForSheet(*t, m_hWnd, m_pageRect)) return false;
    m_shown[static_cast<size_t>(index)] = true;
    Send(page->m_hWnd, WM_INITDIALOG);
  }
  m_active = index;
  page->OnSetActive();
  if (page->m_hWnd != nullptr) page->ShowWindow(SW_SHOW);
  if (WndState* tabs = Find(GetTabControl())) {
    static_cast<TabState*>(tabs)->cur = index;
    Changed(tabs);
  }
  return true;
}

INT_PTR CPropertySheet::DoModal() {
  ObjectInUse use(this);
  if (m_pages.empty()) return -1;
  // The page area holds the largest page.
  HFONT font = nullptr;
  int pcx = 0, pcy = 0;
  const DialogTemplate* first = nullptr;
  for (CPropertyPage* p : m_pages) {
    const DialogTemplate* t = FindDialogTemplate(p->m_nIDTemplate);
    if (t == nullptr) return -1;
    if (first == nullptr) first = t;
    pcx = std::max(pcx, t->cx);
    pcy = std::max(pcy, t->cy);
  }
  (void)font;
  BaseUnits u = CurrentBackend().FontUnits(nullptr);
  auto X = [&](int dlu) { return dlu * u.cx / 4; };
  auto Y = [&](int dlu) { return dlu * u.cy / 8; };
  int margin = X(7);
  int tabH = std::max(Y(14), CurrentBackend().TabBarHeight());
  RECT tabRect{margin, Y(7), margin + X(pcx) + 4, Y(7) + tabH + Y(pcy) + 4};
  m_pageRect = RECT{tabRect.left + 2, tabRect.top + tabH + 2, tabRect.right - 2, tabRect.bottom - 2};
  bool help = (m_psh.dwFlags & PSH_HASHELP) != 0;
  bool apply = (m_psh.dwFlags & PSH_NOAPPLYNOW) == 0;
  struct B { int id; const char* text; };
  std::vector<B> buttons{{IDOK, "OK"}, {IDCANCEL, "Cancel"}};
  if (apply) buttons.push_back({static_cast<int>(ID_APPLY_NOW), "&Apply"});
  if (help) buttons.push_back({static_cast<int>(ID_HELP), "Help"});
  int bw = X(50), bh = Y(14), gap = X(4);
  int by = tabRect.bottom + Y(7);
  int width = tabRect.right + margin;
  int height = by + bh + Y(7);

  HWND owner = nullptr;
  if (m_pParentWnd != nullptr && m_pParentWnd->m_hWnd != nullptr) {
    WndState* top = TopLevelOf(m_pParentWnd->State());
    owner = top != nullptr ? top->hwnd : nullptr;
  } else {
    owner = DefaultOwner();
  }
  owner = OwnerOfNewModal(owner);
  const HWND hadFocus = ::GetFocus();
  ModalHold hold(owner);
  WndState* s = NewWindow(Kind::Dialog, owner, 0, m_strCaption, WS_POPUP | WS_CAPTION | WS_SYSMENU, RECT{0, 0, width, height});
  s->object = this;
  m_hWnd = s->hwnd;
  hold.Up(m_hWnd);
  s->font = first != nullptr ? nullptr : nullptr;
  WndState* tabs = NewWindow(Kind::Tab, m_hWnd, AFX_IDC_TAB_CONTROL, "", WS_CHILD | WS_VISIBLE | WS_TABSTOP, tabRect);
  for (CPropertyPage* p : m_pages) static_cast<TabState*>(tabs)->tabs.push_back(p->Title());
  WindowComplete(tabs);
  int x = width - margin - static_cast<int>(buttons.size()) * bw - (static_cast<int>(buttons.size()) - 1) * gap;
  for (const B& b : buttons) {
    DWORD st = WS_CHILD | WS_VISIBLE | WS_TABSTOP | (b.id == IDOK ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON);
    WndState* bs = NewWindow(Kind::Button, m_hWnd, b.id, b.text, st, RECT{x, by, x + bw, by + bh});
    if (b.id == static_cast<int>(ID_APPLY_NOW)) bs->style |= WS_DISABLED;
    WindowComplete(bs);
    x += bw + gap;
  }
  CenterWindow();
  WindowComplete(s);
  std::fill(m_shown.begin(), m_shown.end(), false);
  m_bEnded = false;
  m_nModalResult = IDCANCEL;
  m_active = static_cast<int>(std::min<UINT>(m_psh.nStartPage, static_cast<UINT>(m_pages.size() - 1)));
  Activate(m_active);
  OnInitDialog();
  // The focus starts on the first control of the page shown, or on the tabs.
  if (m_hWnd != nullptr && TopLevelOf(Find(::GetFocus())) != State()) {
    CPropertyPage* page = GetActivePage();
    HWND first = page != nullptr && page->m_hWnd != nullptr ? NextTabStop(page->m_hWnd, nullptr, false) : nullptr;
    MoveFocus(first != nullptr ? first : GetTabControl());
  }
  if (!m_bEnded && m_hWnd != nullptr) {
    ShowWindow(SW_SHOW);
    if (!ModalLoop(this, m_bEnded)) m_nModalResult = IDCANCEL;
  }
  int result = m_nModalResult;
  hold.Release();  // before the sheet goes, as a dialog does
  if (m_hWnd != nullptr) ::DestroyWindow(m_hWnd);
  ReturnFromModal(owner, hadFocus);
  return result;
}

void CPropertySheet::EndDialog(int result) {
  m_nModalResult = result;
  m_bEnded = true;
}

bool CPropertySheet::PressOK() {
  CPropertyPage* page = GetActivePage();
  if (page != nullptr && page->m_hWnd != nullptr && !page->OnKillActive()) return false;
  for (size_t i = 0; i < m_pages.size(); ++i)
    if (m_shown[i]) m_pages[i]->OnOK();
  EndDialog(IDOK);
  return true;
}

void CPropertySheet::PressCancel() {
  for (size_t i = 0; i < m_pages.size(); ++i)
    if (m_shown[i]) m_pages[i]->OnCancel();
  EndDialog(IDCANCEL);
}

BOOL CPropertySheet::OnCommand(WPARAM wParam, LPARAM lParam) {
  UINT id = LOWORD(wParam);
  if (HIWORD(wParam) == BN_CLICKED) {
    if (id == IDOK) {
      PressOK();
      return TRUE;
    }
    if (id == IDCANCEL) {
      PressCancel();
      return TRUE;
    }
    if (id == ID_APPLY_NOW) {
      CPropertyPage* page = GetActivePage();
      if (page != nullptr && !page->OnKillActive()) return TRUE;
      for (size_t i = 0; i < m_pages.size(); ++i)
        if (m_shown[i]) m_pages[i]->OnApply();
      return TRUE;
    }
    if (id == ID_HELP) {
      // The page may answer Help itself; otherwise the main window shows the help.
      CPropertyPage* page = GetActivePage();
      if (page != nullptr && page->OnCmdMsg(ID_HELP, 0, WM_COMMAND, wParam, 0, nullptr)) return TRUE;
      if (CWnd::OnCommand(wParam, lParam)) return TRUE;
      if (HWND main = DefaultOwner()) ::SendMessage(main, WM_COMMAND, MAKEWPARAM(ID_HELP, 0), 0);
      return TRUE;
    }
  }
  return CWnd::OnCommand(wParam, lParam);
}

BOOL CPropertySheet::OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result) {
  auto* hdr = reinterpret_cast<NMHDR*>(lParam);
  if (hdr != nullptr && hdr->idFrom == static_cast<UINT_PTR>(AFX_IDC_TAB_CONTROL)) {
    if (hdr->code == TCN_SELCHANGING) {
      // The tabs show the page that is still active while it checks its values (a toolkit may
      // already have drawn the clicked tab as current).
      Changed(Find(hdr->hwndFrom));
      CPropertyPage* page = GetActivePage();
      *result = (page != nullptr && page->m_hWnd != nullptr && !page->OnKillActive()) ? TRUE : FALSE;
      return TRUE;
    }
    if (hdr->code == TCN_SELCHANGE) {
      if (WndState* t = Find(hdr->hwndFrom)) Activate(static_cast<TabState*>(t)->cur);
      *result = 0;
      return TRUE;
    }
  }
  return CWnd::OnNotify(wParam, lParam, result);
}

LRESULT CPropertySheet::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_CLOSE) {
    PressCancel();
    return 0;
  }
  return CWnd::WindowProc(msg, wParam, lParam);
}

BOOL CPropertySheet::PreTranslateMessage(MSG* msg) {
  if (msg->message != WM_KEYDOWN) return FALSE;
  WndState* target = Find(msg->hwnd);
  if (msg->wParam == VK_RETURN) {
    if (target != nullptr && target->kind == Kind::Edit && (target->style & ES_WANTRETURN)) return FALSE;
    if (PressButtonOnReturn(msg)) return TRUE;
    PressOK();
    return TRUE;
  }
  if (msg->wParam == VK_ESCAPE) {
    PressCancel();
    return TRUE;
  }
  return FALSE;
}
