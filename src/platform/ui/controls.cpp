// The controls' default behaviour (their answers to messages) and the user's input on them.
#include "platform/ui/controls.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <new>
#include <strings.h>

#include "platform/ui/backend.h"
#include "platform/ui/input.h"
#include "platform/ui/loop_internal.h"
#include "platform/ui/wnd_state.h"

namespace qav::ui {

namespace {

int CompareNoCase(const std::string& a, const std::string& b) { return strcasecmp(a.c_str(), b.c_str()); }

int CopyText(const std::string& text, LPARAM buffer) {
  if (buffer == 0) return LB_ERR;
  std::memcpy(reinterpret_cast<char*>(buffer), text.c_str(), text.size() + 1);
  return static_cast<int>(text.size());
}

void ListNotice(WndState* s, ListChange what, int index) { CurrentBackend().ListChanged(s, what, index); }

// Shifts an index kept on the lines when a line is inserted at (or deleted from) `at`.
void ShiftOnInsert(int& idx, int at) {
  if (idx >= at) ++idx;
}
void ShiftOnDelete(int& idx, int at) {
  if (idx == at) idx = -1;
  else if (idx > at) --idx;
}

}  // namespace

// ---- List box ----
int ListBoxState::AddLine(const char* t) {
  const char* text = t != nullptr ? t : "";
  int pos = static_cast<int>(lines.size());
  if (style & LBS_SORT) {
    try {
      pos = static_cast<int>(lines.UpperBoundNoCase(text));  // after equal lines
    } catch (const std::bad_alloc&) {
      NotifyParent(this, LBN_ERRSPACE);
      return LB_ERRSPACE;
    }
  }
  return InsertLine(pos, text);
}

int ListBoxState::InsertLine(int index, const char* t) {
  int count = static_cast<int>(lines.size());
  if (index == -1) index = count;
  if (index < 0 || index > count) return LB_ERR;
  // A line that cannot be stored for want of memory is not added: the list answers LB_ERRSPACE
  // and tells its parent with LBN_ERRSPACE, as the system's list box does.
  bool stored = false;
  try {
    stored = lines.Insert(static_cast<size_t>(index), t != nullptr ? t : "");
  } catch (const std::bad_alloc&) {
  }
  if (!stored) {
    NotifyParent(this, LBN_ERRSPACE);
    return LB_ERRSPACE;
  }
  ShiftOnInsert(cur, index);
  ShiftOnInsert(caret, index);
  ShiftOnInsert(anchor, index);
  ListNotice(this, ListChange::Inserted, index);
  return index;
}

int ListBoxState::DeleteLine(int index) {
  if (index < 0 || index >= static_cast<int>(lines.size())) return LB_ERR;
  lines.Erase(static_cast<size_t>(index));
  ShiftOnDelete(cur, index);
  int count = static_cast<int>(lines.size());
  if (caret > index) --caret;
  else if (caret == index) caret = std::min(caret, count - 1);
  ShiftOnDelete(anchor, index);
  if (top >= count) top = std::max(count - 1, 0);
  ListNotice(this, ListChange::Deleted, index);
  return count;
}

void ListBoxState::Reset() {
  lines.Clear();
  cur = caret = anchor = -1;
  top = 0;
  ListNotice(this, ListChange::Reset, 0);
}

int ListBoxState::Find(int start, const char* t, bool exact) const {
  int count = static_cast<int>(lines.size());
  if (count == 0 || t == nullptr) return LB_ERR;
  std::string text = t;
  int first = (start < -1 || start >= count) ? 0 : start + 1;
  for (int k = 0; k < count; ++k) {
    int i = (first + k) % count;
    const std::string l(lines.Text(static_cast<size_t>(i)));
    bool hit = exact ? CompareNoCase(l, text) == 0
                     : l.size() >= text.size() && strncasecmp(l.c_str(), text.c_str(), text.size()) == 0;
    if (hit) return i;
  }
  return LB_ERR;
}

int ListBoxState::SelCount() const {
  return static_cast<int>(lines.SelectedCount());
}

namespace {
// The lines the list shows one above the other: in a multi-column list, the lines of a column,
// as the backend lays them out where it draws the list (its client area, inside the border).
int VisibleLines(ListBoxState* s) {
  if ((s->style & LBS_MULTICOLUMN) && s->columnRows > 0) return s->columnRows;
  return std::max(1, s->Height() / std::max(1, s->itemHeight));
}
void ScrollIntoView(ListBoxState* s, int i) {
  if (i < 0) return;
  int n = VisibleLines(s);
  if (i < s->top) s->top = i;
  else if (i >= s->top + n) s->top = i - n + 1;
}

// The modifier keys held with the key being handled (MK_SHIFT, MK_CONTROL).
UINT g_heldKeys = 0;

// The line a navigation key moves the focus to from `from` (-1: none yet); -1 for other keys.
// A letter or digit goes to the next line that starts with it, round the end of the list.
int KeyTarget(ListBoxState* l, UINT vk, UINT keys, int from) {
  const int count = static_cast<int>(l->lines.size());
  const int page = VisibleLines(l);
  const bool columns = (l->style & LBS_MULTICOLUMN) != 0;
  int to = -1;
  switch (vk) {
    case VK_UP: to = from - 1; break;
    case VK_DOWN: to = from + 1; break;
    case VK_LEFT: to = from - (columns ? page : 1); break;
    case VK_RIGHT: to = from + (columns ? page : 1); break;
    case VK_PRIOR: to = from - std::max(page - 1, 1); break;
    case VK_NEXT: to = from + std::max(page - 1, 1); break;
    case VK_HOME: return 0;
    case VK_END: return count - 1;
    default: {
      const bool letter = (vk >= 'A' && vk <= 'Z') || (vk >= '0' && vk <= '9');
      if (!letter || (keys & MK_CONTROL)) return -1;
      for (int k = 1; k <= count; ++k) {
        const int i = (std::max(from, -1) + k + count) % count;
        std::string_view t = l->lines.Text(static_cast<size_t>(i));
        if (!t.empty() && std::toupper(static_cast<unsigned char>(t[0])) == static_cast<int>(vk)) return i;
      }
      return -1;
    }
  }
  return from < 0 ? 0 : std::clamp(to, 0, count - 1);
}

// Selects exactly the lines from a to b (either order) and, without `keep`, no others; true when
// that changed the selection.
bool SelectRange(ListBoxState* l, int a, int b, bool keep) {
  if (a > b) std::swap(a, b);
  int inRange = 0;
  for (int k = a; k <= b; ++k) inRange += l->lines.Selected(static_cast<size_t>(k)) ? 1 : 0;
  const bool same = inRange == b - a + 1 && (keep || static_cast<int>(l->lines.SelectedCount()) == inRange);
  if (same) return false;
  if (!keep) l->lines.SelectAll(false);
  for (int k = a; k <= b; ++k) l->lines.Select(static_cast<size_t>(k), true);
  return true;
}

// A list without selection shows text to read: the keys that move in a list scroll it by a line,
// by a page (keeping one line of the last page in view) or to either end.
void ScrollByKey(ListBoxState* l, UINT vk) {
  const int page = VisibleLines(l), last = std::max(static_cast<int>(l->lines.size()) - page, 0);
  int top = l->top;
  switch (vk) {
    case VK_UP: --top; break;
    case VK_DOWN: ++top; break;
    case VK_PRIOR: top -= std::max(page - 1, 1); break;
    case VK_NEXT: top += std::max(page - 1, 1); break;
    case VK_HOME: top = 0; break;
    case VK_END: top = last; break;
    default: return;
  }
  top = std::clamp(top, 0, last);
  if (top == l->top) return;
  l->top = top;
  ListNotice(l, ListChange::Top, top);
}

// A key in a list box, as the desktop's list boxes take it. A single-selection list selects the
// line the key moves to. A multiple-selection list moves only its focus line; Space toggles that
// line; Shift extends from the anchor. An extended-selection list selects the line the key moves
// to and makes it the anchor; Shift selects from the anchor to it, Ctrl moves only the focus, and
// Space toggles the focus line. Ctrl+A selects every line of either kind. Every change of the
// selection sends LBN_SELCHANGE, as a click does.
void ListKey(ListBoxState* l, UINT vk, UINT keys) {
  const int count = static_cast<int>(l->lines.size());
  if (count == 0) return;
  if (l->NoSel()) {
    ScrollByKey(l, vk);
    return;
  }
  const bool shift = (keys & MK_SHIFT) != 0, ctrl = (keys & MK_CONTROL) != 0;
  const bool extended = (l->style & LBS_EXTENDEDSEL) != 0;
  const HWND hwnd = l->hwnd;
  bool changed = false;
  if (!l->Multi()) {
    const int to = KeyTarget(l, vk, keys, l->cur);
    if (to < 0 || to == l->cur) return;
    l->cur = l->caret = to;
    changed = true;
  } else if (vk == 'A' && ctrl) {
    changed = SelectRange(l, 0, count - 1, false);
  } else if (vk == VK_SPACE) {
    const int at = std::clamp(l->caret, 0, count - 1);
    l->caret = at;
    if (shift && l->anchor >= 0) {
      changed = SelectRange(l, l->anchor, at, !extended || ctrl);
    } else {
      l->lines.Select(static_cast<size_t>(at), !l->lines.Selected(static_cast<size_t>(at)));
      l->anchor = at;
      changed = true;
    }
  } else {
    const int to = KeyTarget(l, vk, keys, l->caret);
    if (to < 0) return;
    l->caret = to;
    if (shift) {
      if (l->anchor < 0) l->anchor = to;
      changed = SelectRange(l, l->anchor, to, !extended || ctrl);
    } else if (extended && !ctrl) {
      l->anchor = to;
      changed = SelectRange(l, to, to, false);
    }
  }
  if (!(l->style & LBS_MULTICOLUMN)) ScrollIntoView(l, l->caret);
  ListNotice(l, ListChange::Selection, -1);
  if (changed && Find(hwnd) != nullptr) NotifyParent(l, LBN_SELCHANGE);
}
}  // namespace

LRESULT ListBoxState::DefProc(UINT msg, WPARAM wParam, LPARAM lParam) {
  int count = static_cast<int>(lines.size());
  int i = static_cast<int>(static_cast<intptr_t>(wParam));
  switch (msg) {
    case LB_ADDSTRING: return AddLine(reinterpret_cast<const char*>(lParam));
    case LB_INSERTSTRING: return InsertLine(i, reinterpret_cast<const char*>(lParam));
    case LB_DELETESTRING: return DeleteLine(i);
    case LB_RESETCONTENT: Reset(); return 0;
    case LB_GETCOUNT: return count;
    case LB_GETTEXT:
      if (i < 0 || i >= count) return LB_ERR;
      return CopyText(std::string(lines.Text(static_cast<size_t>(i))), lParam);
    case LB_GETTEXTLEN:
      if (i < 0 || i >= count) return LB_ERR;
      return static_cast<LRESULT>(lines.Text(static_cast<size_t>(i)).size());
    case LB_SETCURSEL:
      if (Multi()) return LB_ERR;
      if (i < 0 || i >= count) {
        cur = -1;
        ListNotice(this, ListChange::Selection, -1);
        return LB_ERR;
      }
      cur = caret = i;
      ScrollIntoView(this, i);
      ListNotice(this, ListChange::Selection, i);
      return i;
    case LB_GETCURSEL:
      if (Multi()) return count > 0 ? std::max(caret, 0) : LB_ERR;
      return cur >= 0 ? cur : LB_ERR;
    case LB_SETSEL: {
      if (!Multi()) return LB_ERR;
      int idx = static_cast<int>(lParam);
      if (idx == -1) {
        lines.SelectAll(wParam != 0);
      } else {
        if (idx < 0 || idx >= count) return LB_ERR;
        lines.Select(static_cast<size_t>(idx), wParam != 0);
        caret = idx;
      }
      ListNotice(this, ListChange::Selection, idx);
      return 0;
    }
    case LB_SELITEMRANGE: {
      if (!Multi()) return LB_ERR;
      int a = LOWORD(static_cast<DWORD_PTR>(lParam));
      int b = HIWORD(static_cast<DWORD_PTR>(lParam));
      if (a > b) std::swap(a, b);
      for (int k = std::max(a, 0); k <= b && k < count; ++k) lines.Select(static_cast<size_t>(k), wParam != 0);
      ListNotice(this, ListChange::Selection, -1);
      return 0;
    }
    case LB_GETSEL:
      if (i < 0 || i >= count) return LB_ERR;
      return Multi() ? (lines.Selected(static_cast<size_t>(i)) ? 1 : 0) : (i == cur ? 1 : 0);
    case LB_GETSELCOUNT:
      return Multi() ? SelCount() : LB_ERR;
    case LB_GETSELITEMS: {
      if (!Multi()) return LB_ERR;
      auto* out = reinterpret_cast<int*>(lParam);
      int n = 0;
      for (int k = 0; k < count && n < i; ++k)
        if (lines.Selected(static_cast<size_t>(k))) out[n++] = k;
      return n;
    }
    case LB_GETTOPINDEX: return top;
    case LB_SETTOPINDEX:
      if (i < 0) i = 0;
      if (count > 0 && i >= count) return LB_ERR;
      top = i;
      ListNotice(this, ListChange::Top, i);
      return LB_OKAY;
    case LB_GETCARETINDEX: return caret >= 0 ? caret : 0;
    case LB_SETCARETINDEX:
      if (i < 0 || i >= count) return LB_ERR;
      caret = i;
      return LB_OKAY;
    case LB_FINDSTRING: return Find(i, reinterpret_cast<const char*>(lParam), false);
    case LB_FINDSTRINGEXACT: return Find(i, reinterpret_cast<const char*>(lParam), true);
    case LB_SELECTSTRING: {
      int f = Find(i, reinterpret_cast<const char*>(lParam), false);
      if (f == LB_ERR || Multi()) return f == LB_ERR ? LB_ERR : f;
      cur = caret = f;
      ListNotice(this, ListChange::Selection, f);
      return f;
    }
    case LB_GETITEMDATA:
      if (i < 0 || i >= count) return LB_ERR;
      return static_cast<LRESULT>(lines.Data(static_cast<size_t>(i)));
    case LB_SETITEMDATA:
      if (i < 0 || i >= count) return LB_ERR;
      lines.SetData(static_cast<size_t>(i), static_cast<DWORD_PTR>(lParam));
      return LB_OKAY;
    case LB_SETCOLUMNWIDTH:
      columnWidth = i;
      Changed(this);
      return 0;
    case LB_SETHORIZONTALEXTENT: return 0;
    case LB_GETITEMHEIGHT: return itemHeight;
    case LB_ITEMFROMPOINT: {
      int x = GET_X_LPARAM(lParam);
      int y = GET_Y_LPARAM(lParam);
      int rows = VisibleLines(this);
      const int column = std::max(columnWidth, columnExtent);
      int col = (style & LBS_MULTICOLUMN) && column > 0 ? x / column : 0;
      int row = y / std::max(1, itemHeight);
      bool outside = x < 0 || y < 0 || x >= Width() || y >= Height();
      int idx = top + col * rows + std::clamp(row, 0, rows - 1);
      if (idx >= count) {
        outside = true;
        idx = std::max(count - 1, 0);
      }
      return MAKELONG(static_cast<WORD>(idx), outside ? 1 : 0);
    }
    case WM_SETFOCUS: NotifyParent(this, LBN_SETFOCUS); return 0;
    case WM_KILLFOCUS: NotifyParent(this, LBN_KILLFOCUS); return 0;
    case WM_KEYDOWN: ListKey(this, static_cast<UINT>(wParam), g_heldKeys); return 0;
    case WM_GETDLGCODE: return DLGC_WANTARROWS;
    default: return WndState::DefProc(msg, wParam, lParam);
  }
}

// ---- Combo box (drop-down list) ----
LRESULT ComboBoxState::DefProc(UINT msg, WPARAM wParam, LPARAM lParam) {
  int count = static_cast<int>(lines.size());
  int i = static_cast<int>(static_cast<intptr_t>(wParam));
  switch (msg) {
    case CB_ADDSTRING:
    case CB_INSERTSTRING: {
      std::string t = lParam != 0 ? reinterpret_cast<const char*>(lParam) : "";
      int pos = count;
      if (msg == CB_INSERTSTRING) {
        pos = i == -1 ? count : i;
        if (pos < 0 || pos > count) return CB_ERR;
      } else if (style & CBS_SORT) {
        auto it = std::upper_bound(lines.begin(), lines.end(), t,
                                   [](const std::string& v, const ListLine& l) { return CompareNoCase(v, l.text) < 0; });
        pos = static_cast<int>(it - lines.begin());
      }
      lines.insert(lines.begin() + pos, ListLine{t, false, 0});
      ShiftOnInsert(cur, pos);
      ListNotice(this, ListChange::Inserted, pos);
      return pos;
    }
    case CB_DELETESTRING:
      if (i < 0 || i >= count) return CB_ERR;
      lines.erase(lines.begin() + i);
      ShiftOnDelete(cur, i);
      ListNotice(this, ListChange::Deleted, i);
      return count - 1;
    case CB_RESETCONTENT:
      lines.clear();
      cur = -1;
      ListNotice(this, ListChange::Reset, 0);
      return CB_OKAY;
    case CB_GETCOUNT: return count;
    case CB_GETCURSEL: return cur >= 0 ? cur : CB_ERR;
    case CB_SETCURSEL:
      cur = (i >= 0 && i < count) ? i : -1;
      ListNotice(this, ListChange::Selection, cur);
      return cur >= 0 ? cur : CB_ERR;
    case CB_GETLBTEXT:
      if (i < 0 || i >= count) return CB_ERR;
      return CopyText(lines[static_cast<size_t>(i)].text, lParam);
    case CB_GETLBTEXTLEN:
      if (i < 0 || i >= count) return CB_ERR;
      return static_cast<LRESULT>(lines[static_cast<size_t>(i)].text.size());
    case CB_FINDSTRING:
    case CB_FINDSTRINGEXACT: {
      if (count == 0 || lParam == 0) return CB_ERR;
      std::string t = reinterpret_cast<const char*>(lParam);
      int first = (i < -1 || i >= count) ? 0 : i + 1;
      for (int k = 0; k < count; ++k) {
        int j = (first + k) % count;
        const std::string& l = lines[static_cast<size_t>(j)].text;
        if (msg == CB_FINDSTRINGEXACT ? CompareNoCase(l, t) == 0 : strncasecmp(l.c_str(), t.c_str(), t.size()) == 0)
          return j;
      }
      return CB_ERR;
    }
    case CB_GETITEMDATA:
      if (i < 0 || i >= count) return CB_ERR;
      return static_cast<LRESULT>(lines[static_cast<size_t>(i)].data);
    case CB_SETITEMDATA:
      if (i < 0 || i >= count) return CB_ERR;
      lines[static_cast<size_t>(i)].data = static_cast<DWORD_PTR>(lParam);
      return CB_OKAY;
    case WM_GETTEXT:
    case WM_GETTEXTLENGTH: {
      std::string t = cur >= 0 ? lines[static_cast<size_t>(cur)].text : std::string();
      if (msg == WM_GETTEXTLENGTH) return static_cast<LRESULT>(t.size());
      if (wParam == 0 || lParam == 0) return 0;
      size_t n = std::min<size_t>(t.size(), wParam - 1);
      std::memcpy(reinterpret_cast<char*>(lParam), t.data(), n);
      reinterpret_cast<char*>(lParam)[n] = '\0';
      return static_cast<LRESULT>(n);
    }
    case WM_SETFOCUS: NotifyParent(this, CBN_SETFOCUS); return 0;
    case WM_KILLFOCUS: NotifyParent(this, CBN_KILLFOCUS); return 0;
    default: return WndState::DefProc(msg, wParam, lParam);
  }
}

// ---- Buttons ----
LRESULT ButtonState::DefProc(UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case BM_GETCHECK: return check;
    case BM_SETCHECK:
      if (check != static_cast<int>(wParam)) {
        check = static_cast<int>(wParam);
        Changed(this);
      }
      return 0;
    case BM_GETSTATE: return check | (pushed ? BST_PUSHED : 0) | (hasFocus ? BST_FOCUS : 0);
    case BM_SETSTATE:
      pushed = wParam != 0;
      Changed(this);
      return 0;
    case BM_SETSTYLE: {
      style = (style & ~0xFFFFu) | (static_cast<DWORD>(wParam) & 0xFFFF);
      DWORD t = style & BS_TYPEMASK;
      if (t == BS_DEFPUSHBUTTON) isDefault = true;
      else if (t == BS_PUSHBUTTON) isDefault = false;
      Changed(this);
      return 0;
    }
    case BM_CLICK:
      input::Click(hwnd);
      return 0;
    case WM_GETDLGCODE:
      if (kind == Kind::Button) return DLGC_BUTTON | (isDefault ? DLGC_DEFPUSHBUTTON : DLGC_UNDEFPUSHBUTTON);
      return DLGC_BUTTON;
    default: return WndState::DefProc(msg, wParam, lParam);
  }
}

// ---- Edit ----
namespace {
// The up-down control whose buddy the edit is and which takes the buddy's Up and Down keys: the
// control after it, with UDS_AUTOBUDDY and UDS_ARROWKEYS.
HWND ArrowKeysSpin(const WndState* edit) {
  const WndState* parent = Find(edit->parent);
  if (parent == nullptr) return nullptr;
  const auto& kids = parent->children;
  const auto at = std::find(kids.begin(), kids.end(), edit->hwnd);
  if (at == kids.end() || at + 1 == kids.end()) return nullptr;
  const WndState* next = Find(*(at + 1));
  const DWORD both = UDS_AUTOBUDDY | UDS_ARROWKEYS;
  return next != nullptr && next->kind == Kind::Spin && (next->style & both) == both ? next->hwnd : nullptr;
}
}  // namespace

LRESULT EditState::DefProc(UINT msg, WPARAM wParam, LPARAM lParam) {
  int len = static_cast<int>(text.size());
  switch (msg) {
    case EM_SETREADONLY:
      if (wParam) style |= ES_READONLY;
      else style &= ~ES_READONLY;
      Changed(this);
      return TRUE;
    case EM_LIMITTEXT:
      limit = static_cast<int>(wParam);
      return 0;
    case EM_GETLIMITTEXT: return limit > 0 ? limit : 30000;
    case EM_SETSEL: {
      int a = static_cast<int>(static_cast<intptr_t>(wParam));
      int b = static_cast<int>(lParam);
      if (a < 0) { selStart = selEnd = len; return 0; }
      if (b < 0 || b > len) b = len;
      selStart = std::min(a, len);
      selEnd = b;
      if (selStart > selEnd) std::swap(selStart, selEnd);
      return 0;
    }
    case EM_GETSEL:
      if (wParam) *reinterpret_cast<DWORD*>(wParam) = static_cast<DWORD>(selStart);
      if (lParam) *reinterpret_cast<DWORD*>(lParam) = static_cast<DWORD>(selEnd);
      return MAKELONG(static_cast<WORD>(selStart), static_cast<WORD>(selEnd));
    case EM_REPLACESEL: {
      std::string ins = lParam != 0 ? reinterpret_cast<const char*>(lParam) : "";
      int a = std::clamp(selStart, 0, len);
      int b = std::clamp(selEnd, a, len);
      text.replace(static_cast<size_t>(a), static_cast<size_t>(b - a), ins);
      selStart = selEnd = a + static_cast<int>(ins.size());
      Changed(this);
      return 0;
    }
    case EM_GETLINECOUNT: return 1 + std::count(text.begin(), text.end(), '\n');
    case WM_SETTEXT:
      selStart = selEnd = 0;
      return WndState::DefProc(msg, wParam, lParam);
    case WM_SETFOCUS: NotifyParent(this, EN_SETFOCUS); return 0;
    case WM_KILLFOCUS: NotifyParent(this, EN_KILLFOCUS); return 0;
    case WM_GETDLGCODE: return (style & ES_WANTRETURN) ? DLGC_WANTALLKEYS : 0;
    case WM_KEYDOWN:
      if ((wParam == VK_UP || wParam == VK_DOWN) && !(style & ES_MULTILINE))
        if (const HWND spin = ArrowKeysSpin(this)) {
          input::Spin(spin, wParam == VK_UP);
          return 0;
        }
      return WndState::DefProc(msg, wParam, lParam);
    default: return WndState::DefProc(msg, wParam, lParam);
  }
}

// ---- Progress bar, spin control, slider ----
LRESULT RangeState::DefProc(UINT msg, WPARAM wParam, LPARAM lParam) {
  auto clampPos = [this](int p) { return std::clamp(p, std::min(lower, upper), std::max(lower, upper)); };
  if (kind == Kind::Progress) {
    switch (msg) {
      case PBM_SETRANGE32: {
        LRESULT old = MAKELONG(static_cast<WORD>(lower), static_cast<WORD>(upper));
        lower = static_cast<int>(static_cast<intptr_t>(wParam));
        upper = static_cast<int>(lParam);
        pos = clampPos(pos);
        Changed(this);
        return old;
      }
      case PBM_SETRANGE: {
        LRESULT old = MAKELONG(static_cast<WORD>(lower), static_cast<WORD>(upper));
        lower = LOWORD(static_cast<DWORD_PTR>(lParam));
        upper = HIWORD(static_cast<DWORD_PTR>(lParam));
        pos = clampPos(pos);
        Changed(this);
        return old;
      }
      case PBM_GETRANGE:
        if (lParam != 0) *reinterpret_cast<PBRANGE*>(lParam) = PBRANGE{lower, upper};
        return wParam ? lower : upper;
      case PBM_SETPOS: {
        int old = pos;
        pos = clampPos(static_cast<int>(static_cast<intptr_t>(wParam)));
        if (old != pos) Changed(this);
        return old;
      }
      case PBM_DELTAPOS: {
        int old = pos;
        pos = clampPos(pos + static_cast<int>(static_cast<intptr_t>(wParam)));
        Changed(this);
        return old;
      }
      case PBM_GETPOS: return pos;
      default: break;
    }
  } else if (kind == Kind::Spin) {
    switch (msg) {
      case UDM_SETRANGE32:
        lower = static_cast<int>(static_cast<intptr_t>(wParam));
        upper = static_cast<int>(lParam);
        pos = clampPos(pos);
        return 0;
      case UDM_SETRANGE:
        upper = static_cast<short>(LOWORD(static_cast<DWORD_PTR>(lParam)));
        lower = static_cast<short>(HIWORD(static_cast<DWORD_PTR>(lParam)));
        pos = clampPos(pos);
        return 0;
      case UDM_GETRANGE32:
        if (wParam) *reinterpret_cast<int*>(wParam) = lower;
        if (lParam) *reinterpret_cast<int*>(lParam) = upper;
        return 0;
      case UDM_GETRANGE: return MAKELONG(static_cast<WORD>(upper), static_cast<WORD>(lower));
      case UDM_SETPOS32:
      case UDM_SETPOS: {
        int old = pos;
        pos = clampPos(msg == UDM_SETPOS ? static_cast<short>(LOWORD(static_cast<DWORD_PTR>(lParam))) : static_cast<int>(lParam));
        return old;
      }
      case UDM_GETPOS32:
        if (lParam) *reinterpret_cast<BOOL*>(lParam) = FALSE;
        return pos;
      case UDM_GETPOS: return pos;
      default: break;
    }
  } else if (kind == Kind::Slider) {
    switch (msg) {
      case TBM_SETRANGE:
        lower = static_cast<short>(LOWORD(static_cast<DWORD_PTR>(lParam)));
        upper = static_cast<short>(HIWORD(static_cast<DWORD_PTR>(lParam)));
        pos = clampPos(pos);
        Changed(this);
        return 0;
      case TBM_SETRANGEMIN: lower = static_cast<int>(lParam); pos = clampPos(pos); Changed(this); return 0;
      case TBM_SETRANGEMAX: upper = static_cast<int>(lParam); pos = clampPos(pos); Changed(this); return 0;
      case TBM_GETRANGEMIN: return lower;
      case TBM_GETRANGEMAX: return upper;
      case TBM_SETPOS: pos = clampPos(static_cast<int>(lParam)); Changed(this); return 0;
      case TBM_GETPOS: return pos;
      case TBM_SETTICFREQ: ticFreq = static_cast<int>(static_cast<intptr_t>(wParam)); Changed(this); return 0;
      default: break;
    }
  }
  return WndState::DefProc(msg, wParam, lParam);
}

// ---- Date-time picker ----
LRESULT DateTimeState::DefProc(UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case DTM_GETSYSTEMTIME:
      if (lParam == 0) return GDT_ERROR;
      *reinterpret_cast<SYSTEMTIME*>(lParam) = time;
      return GDT_VALID;
    case DTM_SETSYSTEMTIME:
      if (wParam != GDT_VALID || lParam == 0) return FALSE;
      time = *reinterpret_cast<const SYSTEMTIME*>(lParam);
      Changed(this);
      return TRUE;
    case DTM_SETFORMATA:
      format = lParam != 0 ? reinterpret_cast<const char*>(lParam) : "";
      Changed(this);
      return TRUE;
    default: return WndState::DefProc(msg, wParam, lParam);
  }
}

// ---- Rich edit ----
namespace {
// Applies the members of `cf` named by its mask to `to`.
void MergeFormat(CHARFORMAT& to, const CHARFORMAT& cf) {
  if (cf.dwMask & CFM_BOLD) to.dwEffects = (to.dwEffects & ~CFE_BOLD) | (cf.dwEffects & CFE_BOLD);
  if (cf.dwMask & CFM_ITALIC) to.dwEffects = (to.dwEffects & ~CFE_ITALIC) | (cf.dwEffects & CFE_ITALIC);
  if (cf.dwMask & CFM_UNDERLINE) to.dwEffects = (to.dwEffects & ~CFE_UNDERLINE) | (cf.dwEffects & CFE_UNDERLINE);
  if (cf.dwMask & CFM_COLOR) {
    to.dwEffects = (to.dwEffects & ~CFE_AUTOCOLOR) | (cf.dwEffects & CFE_AUTOCOLOR);
    to.crTextColor = cf.crTextColor;
  }
  if (cf.dwMask & CFM_SIZE) to.yHeight = cf.yHeight;
  if (cf.dwMask & CFM_FACE) std::memcpy(to.szFaceName, cf.szFaceName, sizeof to.szFaceName);
  to.dwMask |= cf.dwMask;
}

bool SameFormat(const CHARFORMAT& a, const CHARFORMAT& b) {
  return a.dwEffects == b.dwEffects && a.crTextColor == b.crTextColor && a.yHeight == b.yHeight &&
         std::strcmp(a.szFaceName, b.szFaceName) == 0;
}
}  // namespace

std::string RichEditState::PlainText() const {
  std::string t;
  for (const RichRun& r : runs) t += r.text;
  return t;
}

LRESULT RichEditState::DefProc(UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case EM_SETSEL:
      return 0;  // the mark-up writer only appends: the caret stays at the end
    case EM_REPLACESEL: {
      std::string ins = lParam != 0 ? reinterpret_cast<const char*>(lParam) : "";
      if (ins.empty()) return 0;
      if (!runs.empty() && SameFormat(runs.back().format, current)) runs.back().text += ins;
      else runs.push_back(RichRun{ins, current});
      Changed(this);
      return 0;
    }
    case EM_SETCHARFORMAT: {
      if (lParam == 0) return FALSE;
      const auto& cf = *reinterpret_cast<const CHARFORMAT*>(lParam);
      if (wParam & SCF_ALL) {
        for (RichRun& r : runs) MergeFormat(r.format, cf);
        MergeFormat(current, cf);
      } else if (wParam & SCF_SELECTION) {
        MergeFormat(current, cf);
      } else {
        MergeFormat(defaults, cf);
        MergeFormat(current, cf);
      }
      Changed(this);
      return TRUE;
    }
    case EM_GETCHARFORMAT:
      if (lParam != 0) *reinterpret_cast<CHARFORMAT*>(lParam) = (wParam & SCF_SELECTION) ? current : defaults;
      return CFM_BOLD | CFM_COLOR | CFM_SIZE;
    case EM_SETBKGNDCOLOR: {
      COLORREF old = background;
      background = wParam ? GetSysColor(COLOR_WINDOW) : static_cast<COLORREF>(lParam);
      Changed(this);
      return old;
    }
    case EM_SETREADONLY:
      if (wParam) style |= ES_READONLY;
      else style &= ~ES_READONLY;
      return TRUE;
    case WM_SETTEXT:
      runs.clear();
      current = defaults;
      if (lParam != 0 && *reinterpret_cast<const char*>(lParam) != '\0')
        runs.push_back(RichRun{reinterpret_cast<const char*>(lParam), defaults});
      Changed(this);
      return TRUE;
    case WM_GETTEXT:
    case WM_GETTEXTLENGTH:
      text = PlainText();
      return WndState::DefProc(msg, wParam, lParam);
    default: return WndState::DefProc(msg, wParam, lParam);
  }
}

// ---- Tabs of a property sheet ----
LRESULT TabState::DefProc(UINT msg, WPARAM wParam, LPARAM lParam) { return WndState::DefProc(msg, wParam, lParam); }

// ---- Wrappers handed out by CWnd::FromHandle ----
CWnd* MakeWrapper(Kind kind) {
  switch (kind) {
    case Kind::Static: return new CStatic;
    case Kind::GroupBox:
    case Kind::Button:
    case Kind::CheckBox:
    case Kind::Radio: return new CButton;
    case Kind::Edit: return new CEdit;
    case Kind::ListBox: return new CListBox;
    case Kind::ComboBox: return new CComboBox;
    case Kind::Progress: return new CProgressCtrl;
    case Kind::Spin: return new CSpinButtonCtrl;
    case Kind::Slider: return new CSliderCtrl;
    case Kind::DateTime: return new CDateTimeCtrl;
    case Kind::RichEdit: return new CRichEditCtrl;
    default: return new CWnd;
  }
}

void PaintOwnerDrawn(HWND button, Painter& painter) {
  WndState* s = Find(button);
  if (s == nullptr || s->parent == nullptr) return;
  auto* b = static_cast<ButtonState*>(s);
  CDC dc(&painter);
  DRAWITEMSTRUCT dis;
  dis.CtlType = ODT_BUTTON;
  dis.CtlID = static_cast<UINT>(s->id);
  dis.itemAction = ODA_DRAWENTIRE;
  dis.itemState = (b->pushed ? ODS_SELECTED : 0) | (s->hasFocus ? ODS_FOCUS : 0) | (s->Enabled() ? 0 : ODS_DISABLED) |
                  (b->isDefault ? ODS_DEFAULT : 0);
  dis.hwndItem = button;
  dis.hDC = dc.GetSafeHdc();
  dis.rcItem = RECT{0, 0, s->Width(), s->Height()};
  Send(s->parent, WM_DRAWITEM, static_cast<WPARAM>(s->id), reinterpret_cast<LPARAM>(&dis));
}

// ---- The user's input ----
namespace input {

namespace {
bool Usable(WndState* s) {
  if (s == nullptr || !s->Enabled()) return false;
  for (WndState* p = s; p != nullptr; p = p->IsChild() ? Find(p->parent) : nullptr) {
    if (!p->Enabled()) return false;
    if (!p->IsChild()) break;
  }
  return true;
}
}  // namespace

void Focus(HWND hwnd) {
  WndState* s = Find(hwnd);
  if (s == nullptr || !Usable(s)) return;
  MoveFocus(hwnd);
}

void Click(HWND button) {
  WndState* s = Find(button);
  if (!Usable(s)) return;
  if (s->kind != Kind::Button && s->kind != Kind::CheckBox && s->kind != Kind::Radio) return;
  MoveFocus(button);
  if ((s = Find(button)) == nullptr) return;
  auto* b = static_cast<ButtonState*>(s);
  DWORD t = b->Type();
  if (t == BS_AUTOCHECKBOX) {
    b->check = b->check == BST_CHECKED ? BST_UNCHECKED : BST_CHECKED;
    Changed(b);
  } else if (t == BS_AUTO3STATE) {
    b->check = (b->check + 1) % 3;
    Changed(b);
  } else if (t == BS_AUTORADIOBUTTON) {
    for (WndState* r : RadioGroupOf(b)) {
      auto* rb = static_cast<ButtonState*>(r);
      int want = rb == b ? BST_CHECKED : BST_UNCHECKED;
      if (rb->check != want) {
        rb->check = want;
        Changed(rb);
      }
    }
  }
  NotifyParent(s, BN_CLICKED);
}

void Type(HWND edit, const char* text) {
  WndState* s = Find(edit);
  if (!Usable(s) || (s->kind != Kind::Edit)) return;
  auto* e = static_cast<EditState*>(s);
  if (e->ReadOnly()) return;
  MoveFocus(edit);
  if ((s = Find(edit)) == nullptr) return;
  std::string t = text != nullptr ? text : "";
  if (e->limit > 0 && static_cast<int>(t.size()) > e->limit) t.resize(static_cast<size_t>(e->limit));
  if (t == e->text) return;
  e->text = t;
  e->selStart = e->selEnd = static_cast<int>(t.size());
  Changed(e);
  NotifyParent(e, EN_CHANGE);
}

void SelectLine(HWND list, int index, UINT keys) {
  WndState* s = Find(list);
  if (!Usable(s) || s->kind != Kind::ListBox) return;
  auto* l = static_cast<ListBoxState*>(s);
  MoveFocus(list);
  if ((s = Find(list)) == nullptr) return;
  int count = static_cast<int>(l->lines.size());
  if (index < 0 || index >= count) return;
  l->caret = index;
  if (l->NoSel()) return;
  if (l->style & LBS_EXTENDEDSEL) {
    if (keys & MK_SHIFT) {
      int a = l->anchor < 0 ? index : l->anchor;
      if (!(keys & MK_CONTROL))
        l->lines.SelectAll(false);
      for (int k = std::min(a, index); k <= std::max(a, index); ++k) l->lines.Select(static_cast<size_t>(k), true);
    } else if (keys & MK_CONTROL) {
      l->lines.Select(static_cast<size_t>(index), !l->lines.Selected(static_cast<size_t>(index)));
      l->anchor = index;
    } else {
      l->lines.SelectAll(false);
      l->lines.Select(static_cast<size_t>(index), true);
      l->anchor = index;
    }
  } else if (l->style & LBS_MULTIPLESEL) {
    l->lines.Select(static_cast<size_t>(index), !l->lines.Selected(static_cast<size_t>(index)));
    l->anchor = index;
  } else {
    l->cur = index;
  }
  ListNotice(l, ListChange::Selection, index);
  NotifyParent(l, LBN_SELCHANGE);
}

void DoubleClickLine(HWND list, int index) {
  WndState* s = Find(list);
  if (!Usable(s) || s->kind != Kind::ListBox) return;
  if (index < 0 || index >= static_cast<int>(static_cast<ListBoxState*>(s)->lines.size())) return;
  SelectLine(list, index);
  if ((s = Find(list)) != nullptr) NotifyParent(s, LBN_DBLCLK);
}

void RightClick(HWND hwnd, int x, int y) {
  WndState* s = Find(hwnd);
  if (!Usable(s)) return;
  Send(hwnd, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(x, y));
  if (Find(hwnd) != nullptr) Send(hwnd, WM_RBUTTONUP, 0, MAKELPARAM(x, y));
}

bool Key(HWND hwnd, UINT vk, UINT keys) {
  WndState* s = Find(hwnd);
  if (!Usable(s)) return false;
  MSG m;
  m.hwnd = hwnd;
  m.message = WM_KEYDOWN;
  m.wParam = vk;
  const UINT before = g_heldKeys;
  g_heldKeys = keys;
  const bool eaten = PreTranslateChain(&m);
  if (!eaten) Send(hwnd, WM_KEYDOWN, vk, 0);
  g_heldKeys = before;
  return eaten;
}

void SelectCombo(HWND combo, int index) {
  WndState* s = Find(combo);
  if (!Usable(s) || s->kind != Kind::ComboBox) return;
  auto* c = static_cast<ComboBoxState*>(s);
  MoveFocus(combo);
  if (Find(combo) == nullptr) return;
  if (index < 0 || index >= static_cast<int>(c->lines.size()) || index == c->cur) return;
  c->cur = index;
  ListNotice(c, ListChange::Selection, index);
  NotifyParent(c, CBN_SELCHANGE);
  if (Find(combo) != nullptr) NotifyParent(c, CBN_SELENDOK);
}

void Spin(HWND spin, bool up) {
  WndState* s = Find(spin);
  if (!Usable(s) || s->kind != Kind::Spin) return;
  auto* r = static_cast<RangeState*>(s);
  // The up arrow moves towards the upper end of the range.
  int delta = (r->upper >= r->lower) == up ? 1 : -1;
  NMUPDOWN nm;
  nm.hdr.code = UDN_DELTAPOS;
  nm.iPos = r->pos;
  nm.iDelta = delta;
  LRESULT veto = NotifyParent(r, &nm.hdr);
  if ((s = Find(spin)) == nullptr || veto != 0) return;
  int lo = std::min(r->lower, r->upper);
  int hi = std::max(r->lower, r->upper);
  r->pos = std::clamp(r->pos + nm.iDelta, lo, hi);
  Changed(r);
}

void Slide(HWND slider, int pos) {
  WndState* s = Find(slider);
  if (!Usable(s) || s->kind != Kind::Slider) return;
  auto* r = static_cast<RangeState*>(s);
  MoveFocus(slider);
  if (Find(slider) == nullptr) return;
  r->pos = std::clamp(pos, std::min(r->lower, r->upper), std::max(r->lower, r->upper));
  Changed(r);
  if (r->parent == nullptr) return;
  Send(r->parent, WM_HSCROLL, MAKEWPARAM(SB_THUMBPOSITION, r->pos), reinterpret_cast<LPARAM>(slider));
  if (Find(slider) != nullptr && r->parent != nullptr)
    Send(r->parent, WM_HSCROLL, MAKEWPARAM(SB_ENDSCROLL, 0), reinterpret_cast<LPARAM>(slider));
}

void SetTime(HWND picker, const SYSTEMTIME& time) {
  WndState* s = Find(picker);
  if (!Usable(s) || s->kind != Kind::DateTime) return;
  auto* d = static_cast<DateTimeState*>(s);
  d->time = time;
  Changed(d);
  NMDATETIMECHANGE nm;
  nm.nmhdr.code = DTN_DATETIMECHANGE;
  nm.dwFlags = GDT_VALID;
  nm.st = time;
  NotifyParent(d, &nm.nmhdr);
}

void SelectTab(HWND tabs, int index) {
  WndState* s = Find(tabs);
  if (!Usable(s) || s->kind != Kind::Tab) return;
  auto* t = static_cast<TabState*>(s);
  if (index < 0 || index >= static_cast<int>(t->tabs.size()) || index == t->cur) return;
  NMHDR hdr;
  hdr.code = TCN_SELCHANGING;
  if (NotifyParent(t, &hdr) != 0) return;  // the parent refused to leave the page
  if ((s = Find(tabs)) == nullptr) return;
  t->cur = index;
  Changed(t);
  NMHDR done;
  done.code = TCN_SELCHANGE;
  NotifyParent(t, &done);
}

void Close(HWND hwnd) {
  WndState* s = Find(hwnd);
  if (s == nullptr || !s->Enabled()) return;
  Send(hwnd, WM_CLOSE);
}

void Menu(HWND frame, UINT id) {
  WndState* s = Find(frame);
  if (s == nullptr || !s->Enabled()) return;
  Send(frame, WM_COMMAND, MAKEWPARAM(id, 0), 0);
}

void MouseMove(HWND hwnd, int x, int y) {
  if (Find(hwnd) == nullptr) return;
  if (Send(hwnd, WM_SETCURSOR, reinterpret_cast<WPARAM>(hwnd), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE)) == 0) {
  }
  if (Find(hwnd) != nullptr) Send(hwnd, WM_MOUSEMOVE, 0, MAKELPARAM(x, y));
}

void MouseLeave(HWND hwnd) {
  if (Find(hwnd) != nullptr) Send(hwnd, WM_MOUSELEAVE);
}

}  // namespace input
}  // namespace qav::ui

using namespace qav::ui;

BOOL CButton::OnChildNotify(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result) {
  if (msg == WM_DRAWITEM) {
    DrawItem(reinterpret_cast<LPDRAWITEMSTRUCT>(lParam));
    *result = TRUE;
    return TRUE;
  }
  return CWnd::OnChildNotify(msg, wParam, lParam, result);
}

void CEdit::GetSel(int& start, int& end) const {
  DWORD a = 0, b = 0;
  SendMessage(EM_GETSEL, reinterpret_cast<WPARAM>(&a), reinterpret_cast<LPARAM>(&b));
  start = static_cast<int>(a);
  end = static_cast<int>(b);
}

std::string CListBox::GetTextString(int index) const {
  int n = GetTextLen(index);
  if (n < 0) return std::string();
  std::string t(static_cast<size_t>(n) + 1, '\0');
  GetText(index, t.data());
  t.resize(static_cast<size_t>(n));
  return t;
}

UINT CListBox::ItemFromPoint(CPoint pt, BOOL& outside) const {
  DWORD r = static_cast<DWORD>(SendMessage(LB_ITEMFROMPOINT, 0, MAKELPARAM(pt.x, pt.y)));
  outside = HIWORD(r) != 0 ? TRUE : FALSE;
  return LOWORD(r);
}

void CProgressCtrl::GetRange(int& lower, int& upper) const {
  PBRANGE r;
  SendMessage(PBM_GETRANGE, TRUE, reinterpret_cast<LPARAM>(&r));
  lower = r.iLow;
  upper = r.iHigh;
}

BOOL CToolTipCtrl::Create(CWnd* parent, DWORD style) {
  m_created = true;
  return TRUE;
}

BOOL CToolTipCtrl::AddTool(CWnd* wnd, LPCSTR text, LPCRECT rect, UINT id) {
  if (wnd == nullptr || wnd->m_hWnd == nullptr) return FALSE;
  m_tools.push_back(Tool{wnd->m_hWnd, text ? text : ""});
  Apply();
  return TRUE;
}

void CToolTipCtrl::UpdateTipText(LPCSTR text, CWnd* wnd, UINT id) {
  for (Tool& t : m_tools)
    if (wnd != nullptr && t.hwnd == wnd->m_hWnd) t.text = text ? text : "";
  Apply();
}

void CToolTipCtrl::Activate(BOOL active) {
  m_active = active != FALSE;
  Apply();
}

void CToolTipCtrl::Apply() {
  for (Tool& t : m_tools)
    if (WndState* s = Find(t.hwnd)) {
      s->tooltip = m_active ? t.text : std::string();
      Changed(s);
    }
}
