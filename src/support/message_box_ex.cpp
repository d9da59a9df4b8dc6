#include "support/message_box_ex.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <string>

#include "platform/ui/backend.h"
#include "support/stream.h"

namespace {

constexpr int kMaxTextChars = 60;  // widest line before the text wraps, in average characters

DialogTemplate kMessageBoxTemplate = {
    IDD_MESSAGE_BOX_EX,
    "",
    186,
    62,
    {
        // Placed for a short message; OnInitDialog fits the box to its text and buttons.
        {Ctl::Icon, IDC_MSGBOX_ICON, "", 0, 7, 7, 21, 20},
        {Ctl::RichEdit, IDC_MSGBOX_TEXT, "", 0, 35, 7, 144, 20, WS_BORDER | WS_VSCROLL},
        {Ctl::PushButton, IDC_MSGBOX_BUTTON1, "", 0, 7, 41, 40, 14},
        {Ctl::PushButton, IDC_MSGBOX_BUTTON1 + 1, "", 0, 51, 41, 40, 14},
        {Ctl::PushButton, IDC_MSGBOX_BUTTON1 + 2, "", 0, 95, 41, 40, 14},
        {Ctl::PushButton, IDC_MSGBOX_BUTTON1 + 3, "", 0, 139, 41, 40, 14},
    },
    "MS Shell Dlg",
    8,
    WS_VISIBLE,
};

void RegisterMessageBoxTemplate() {
  static const bool once = (RegisterDialogTemplate(&kMessageBoxTemplate), true);
  (void)once;
}

SIZE WrapExtent(const std::vector<SMarkupRun>& runs, int charW, int lineH, int maxWidth);
std::vector<SMarkupRun> MessageRuns(const char* text, UINT style);

// The window is built for this box: the text control has the size the text needs, so that it
// wraps at its final width from the start. OnInitDialog sets the icon (or hides the control) and
// lays the box out as well.
void PrepareTemplate(UINT style, const char* text) {
  const qav::ui::BaseUnits u = qav::ui::CurrentBackend().FontUnits(nullptr);
  if (u.cx <= 0 || u.cy <= 0) return;
  const SIZE extent = WrapExtent(MessageRuns(text, style), u.cx, u.cy, kMaxTextChars * u.cx);
  ControlTemplate& t = kMessageBoxTemplate.controls[1];
  t.cx = static_cast<int>((extent.cx + 2 * u.cx + 20) * 4 / u.cx + 1);
  t.cy = static_cast<int>((extent.cy + 8) * 8 / u.cy + 1);
}

// The extent in pixels of text runs wrapped greedily at word boundaries to `maxWidth`: each
// character as wide as `charW` scaled by its run's size, each line as tall as its largest
// character. Average character widths (the font's whole alphabet) overstate ordinary text a
// little, so the widths are taken at nine tenths; text lines need a third more than the
// font's height.
SIZE WrapExtent(const std::vector<SMarkupRun>& runs, int charW, int lineH, int maxWidth) {
  struct Ch {
    char c;
    int w, h;
  };
  std::vector<Ch> chars;
  for (const SMarkupRun& r : runs)
    for (char c : r.text)
      if (c != '\r') chars.push_back(Ch{c, std::max(1, charW * r.format.height * 9 / (8 * 10)), std::max(1, lineH * r.format.height * 4 / (8 * 3))});
  SIZE total{0, 0};
  const size_t n = chars.size();
  size_t i = 0;
  for (;;) {
    // One line: words while they fit (a single overlong word still takes the line).
    int width = 0, height = lineH * 4 / 3;
    size_t j = i;
    while (j < n && chars[j].c != '\n') {
      size_t k = j;
      int w = 0, h = 0;
      for (; k < n && chars[k].c != '\n' && chars[k].c != ' '; ++k) {
        w += chars[k].w;
        h = std::max(h, chars[k].h);
      }
      if (width > 0 && width + w > maxWidth) break;
      width += w;
      height = std::max(height, h);
      j = k;
      if (j < n && chars[j].c == ' ') width += chars[j++].w;
    }
    total.cx = std::max<LONG>(total.cx, width);
    total.cy += height;
    if (j >= n) break;
    i = chars[j].c == '\n' ? j + 1 : j;
  }
  return total;
}

// The runs of a message at the dialog font's 8 points.
std::vector<SMarkupRun> MessageRuns(const char* text, UINT style) {
  SMarkupFormat start;
  start.height = 8;
  if (style & MB_EX_MARKUP) return ParseMarkup(text, start);
  std::vector<SMarkupRun> runs;
  if (text != nullptr && *text != 0) runs.push_back(SMarkupRun{text, start});
  return runs;
}

}  // namespace

CNewPtrArray& MessageBoxExRegistry() {
  static CNewPtrArray registry;
  return registry;
}

IMPLEMENT_DYNCREATE(CMessageBoxEx, CMFCExDialog)

BEGIN_MESSAGE_MAP(CMessageBoxEx, CMFCExDialog)
  ON_WM_PAINT()
END_MESSAGE_MAP()

CMessageBoxEx::CMessageBoxEx() : CMFCExDialog(IDD_MESSAGE_BOX_EX, nullptr) { RegisterMessageBoxTemplate(); }

CMessageBoxEx::CMessageBoxEx(CWnd* parent, UINT templateId) : CMFCExDialog(templateId, parent) { RegisterMessageBoxTemplate(); }

CMessageBoxEx::~CMessageBoxEx() {
  // A box deleted while registered (its window still up) leaves the registry first.
  MessageBoxExRegistry().Unregister(this);
}

BOOL CMessageBoxEx::OnInitDialog() {
  CMFCExDialog::OnInitDialog();
  // The caller's text need not outlive a modeless box: the box keeps its own copy.
  m_strText = m_pszText != nullptr ? m_pszText : "";

  // 1. The icon, or none: the text then takes its place.
  const WORD icon = MessageBoxExIcon(m_nStyle);
  CWnd* iconWnd = GetDlgItem(IDC_MSGBOX_ICON);
  if (iconWnd != nullptr) {
    if (icon != 0)
      static_cast<CStatic*>(iconWnd)->SetIcon(LoadIcon(nullptr, MAKEINTRESOURCE(icon)));
    else
      iconWnd->ShowWindow(SW_HIDE);
  }

  // 4. The buttons of the set, left to right; the others are hidden and disabled.
  const std::vector<SMsgBoxButton> buttons = MessageBoxExButtons(m_nStyle);
  const int count = std::min<int>(static_cast<int>(buttons.size()), 4);
  for (int i = 0; i < 4; ++i) {
    CWnd* b = GetDlgItem(IDC_MSGBOX_BUTTON1 + i);
    if (b == nullptr) continue;
    if (i < count) {
      b->SetWindowText(buttons[static_cast<size_t>(i)].text);
      m_nAnswers[i] = buttons[static_cast<size_t>(i)].answer;
    } else {
      m_nAnswers[i] = 0;
      b->ShowWindow(SW_HIDE);
      b->EnableWindow(FALSE);
    }
  }
  const int def = MessageBoxExDefaultButton(m_nStyle, count);
  if (auto* b = static_cast<CButton*>(GetDlgItem(IDC_MSGBOX_BUTTON1 + def))) {
    b->SetButtonStyle(BS_DEFPUSHBUTTON);
    SetDefID(static_cast<UINT>(IDC_MSGBOX_BUTTON1 + def));
    GotoDlgCtrl(b);
  }

  // 3. Fit the box to the text and the buttons (before the text goes in, so that it wraps at
  // the final width).
  LayOut(count, icon != 0);

  // 2. The message, with or without mark-up.
  FillText();

  // 5. The caption.
  SetWindowText(m_pszCaption != nullptr ? m_pszCaption : "");
  return FALSE;  // the focus is on the default button
}

void CMessageBoxEx::FillText() {
  auto* rich = static_cast<CRichEditCtrl*>(GetDlgItem(IDC_MSGBOX_TEXT));
  if (rich != nullptr) {
    rich->SetBackgroundColor(FALSE, GetSysColor(COLOR_3DFACE));
    const char* text = m_strText.c_str();
    if (m_nStyle & MB_EX_MARKUP) {
      CHARFORMAT def;
      rich->GetDefaultCharFormat(def);
      SMarkupFormat start;
      start.bold = (def.dwMask & CFM_BOLD) && (def.dwEffects & CFE_BOLD);
      start.color = (def.dwMask & CFM_COLOR) && !(def.dwEffects & CFE_AUTOCOLOR) ? def.crTextColor : GetSysColor(COLOR_WINDOWTEXT);
      start.height = (def.dwMask & CFM_SIZE) && def.yHeight > 0 ? static_cast<int>(def.yHeight / 20) : 8;
      for (const SMarkupRun& run : ParseMarkup(text, start)) {
        CHARFORMAT cf;
        cf.dwMask = CFM_BOLD | CFM_COLOR | CFM_SIZE;
        cf.dwEffects = run.format.bold ? CFE_BOLD : 0;
        cf.crTextColor = run.format.color;
        cf.yHeight = run.format.height * 20;
        rich->SetSel(-1, -1);
        rich->SetSelectionCharFormat(cf);
        rich->ReplaceSel(run.text.c_str());
      }
    } else {
      rich->SetSel(-1, -1);
      rich->ReplaceSel(text);
    }
  }
}

void CMessageBoxEx::LayOut(int buttonCount, bool icon) {
  const qav::ui::BaseUnits u = qav::ui::CurrentBackend().FontUnits(GetFont() != nullptr ? GetFont()->m_hFont : nullptr);
  auto dx = [&](int dlu) { return dlu * u.cx / 4; };
  auto dy = [&](int dlu) { return dlu * u.cy / 8; };

  // The text's extent, wrapped at kMaxTextChars average characters of the dialog font.
  const SIZE extent = WrapExtent(MessageRuns(m_strText.c_str(), m_nStyle), u.cx, u.cy, kMaxTextChars * u.cx);
  const int textW = extent.cx + 2 * u.cx + 20;  // room against the border and for a scroll bar
  const int textH = extent.cy + 8;

  const int margin = dx(7);
  const int iconSize = 32;
  const int iconW = icon ? iconSize + dx(7) : 0;
  const int bodyH = std::max(textH, icon ? iconSize : 0);
  const int buttonW = dx(50), buttonH = dy(14), gap = dx(4);
  const int buttonsW = buttonCount * buttonW + std::max(buttonCount - 1, 0) * gap;

  const int width = std::max(margin + iconW + textW + margin, margin + buttonsW + margin);
  const int buttonsTop = margin + bodyH + dy(7);
  const int height = buttonsTop + buttonH + margin;

  if (CWnd* w = GetDlgItem(IDC_MSGBOX_ICON)) w->MoveWindow(margin, margin, iconSize, iconSize);
  if (CWnd* w = GetDlgItem(IDC_MSGBOX_TEXT)) w->MoveWindow(margin + iconW, margin + (bodyH - textH) / 2, width - 2 * margin - iconW, textH);
  // Buttons at the bottom right, in order.
  int x = width - margin - buttonsW;
  for (int i = 0; i < buttonCount; ++i, x += buttonW + gap)
    if (CWnd* b = GetDlgItem(IDC_MSGBOX_BUTTON1 + i)) b->MoveWindow(x, buttonsTop, buttonW, buttonH);
  SetWindowPos(nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER);
  CenterWindow();
}

INT_PTR CMessageBoxEx::DoModal(CWnd* parent) {
  PrepareTemplate(m_nStyle, m_pszText);
  return CMFCExDialog::DoModal(parent);
}

BOOL CMessageBoxEx::DoModeless(CWnd* parent) {
  PrepareTemplate(m_nStyle, m_pszText);
  return CMFCExDialog::DoModeless(parent);
}

BOOL CMessageBoxEx::OnCommand(WPARAM wParam, LPARAM lParam) {
  const UINT id = LOWORD(wParam);
  if (id >= static_cast<UINT>(IDC_MSGBOX_BUTTON1) && id < static_cast<UINT>(IDC_MSGBOX_BUTTON1 + 4) && HIWORD(wParam) == BN_CLICKED) {
    const int answer = m_nAnswers[id - IDC_MSGBOX_BUTTON1];
    // Help never ends the box, wherever the layout put it.
    if (answer != 0 && answer != IDHELP && id != static_cast<UINT>(IDC_MSGBOX_BUTTON1 + 3)) End(answer);
    return TRUE;
  }
  if (id == ID_HELP) return TRUE;
  return CMFCExDialog::OnCommand(wParam, lParam);
}

void CMessageBoxEx::End(int answer) {
  // Taken before the window goes: a modeless box is deleted with its window.
  HWND owner = m_hWnd != nullptr ? ::GetParent(m_hWnd) : nullptr;
  if (owner == nullptr && m_pParentWnd != nullptr) owner = m_pParentWnd->m_hWnd;
  const LPARAM user = m_lUserValue;
  const bool modal = m_bModal;
  m_nResult = answer;
  m_evDone.Set();
  if (modal)
    EndDialog(answer);
  else
    DestroyWindow();  // may delete this object
  if (owner != nullptr && owner != ::GetDesktopWindow() && ::IsWindow(owner))
    ::PostMessage(owner, WM_MSGBOX_ENDED, static_cast<WPARAM>(static_cast<UINT>(answer)), user);
}

void CMessageBoxEx::PostNcDestroy() {
  CMFCExDialog::PostNcDestroy();
  // A registered (modeless) box belongs to its window. The window system calls this only once
  // the box's own handlers (a button, the close box) have returned.
  if (MessageBoxExRegistry().Unregister(this)) delete this;
}

void CMessageBoxEx::OnPaint() { CMFCExDialog::OnPaint(); }

int ShowMessageBoxEx(HWND owner, const char* text, const char* caption, UINT style, LPARAM userValue) {
  if ((style & (MB_EX_MODELESS | MB_EX_MARKUP)) == 0 && (style & MB_TYPEMASK) < 7)
    return ::MessageBox(owner, text, caption, style);
  CWnd* parent = owner != nullptr ? CWnd::FromHandle(owner) : nullptr;
  if (style & MB_EX_MODELESS) {
    auto* box = new (std::nothrow) CMessageBoxEx(parent, IDD_MESSAGE_BOX_EX);
    if (box == nullptr) return 0;
    MessageBoxExRegistry().Register(box);
    box->m_pszText = text;
    box->m_pszCaption = caption;
    box->m_nStyle = style;
    box->m_lUserValue = userValue;
    const BOOL created = box->DoModeless(nullptr);
    if (!created && MessageBoxExRegistry().Unregister(box)) delete box;  // no window will free it
    return created;
  }
  CMessageBoxEx box(parent, IDD_MESSAGE_BOX_EX);
  box.m_pszText = text;
  box.m_pszCaption = caption;
  box.m_nStyle = style;
  box.m_lUserValue = userValue;
  return static_cast<int>(box.DoModal(nullptr));
}

int ShowErrorMessageBox(DWORD error, HWND owner, const char* caption, UINT style, LPARAM userValue,
                        const char* prefixFormat, ...) {
  CStream text;
  if (prefixFormat != nullptr) {
    va_list args;
    va_start(args, prefixFormat);
    text.AppendFormat(prefixFormat, args);
    va_end(args);
  }
  AppendErrorNumberText(text, error);
  const std::string message(reinterpret_cast<const char*>(text.m_pData), static_cast<size_t>(text.m_nSize));
  return ShowMessageBoxEx(owner, message.c_str(), caption, style, userValue);
}
