#include "platform/ui/choosers.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <sys/stat.h>

#include "platform/ui/backend.h"
#include "platform/ui/input.h"
#include "platform/ui/loop_internal.h"
#include "platform/ui/wnd_state.h"

namespace qav::ui {

// The Qt file chooser; `acceptable` sees each path the user chooses while the chooser is up and
// may turn it down (the chooser then stays up) or complete it.
bool QtChooseFile(const FileChooserRequest& req, std::string& path,
                  const std::function<bool(std::string& path, void* chooser)>& acceptable);  // qt_choosers.cpp
// A message box over a Qt window that is not one of ours (a file chooser); the answer's id.
int QtBoxOver(void* parent, const MessageBoxRequest& req);
bool QtChooseFolder(const std::string& title, const std::string& start, HWND owner, std::string& path);

namespace {
std::function<int(const MessageBoxRequest&)>& BoxHandler() {
  static auto* h = new std::function<int(const MessageBoxRequest&)>;
  return *h;
}
std::vector<MessageBoxRequest>& BoxLog() {
  static auto* l = new std::vector<MessageBoxRequest>;
  return *l;
}
std::function<bool(const FileChooserRequest&, std::string&)>& FileHandler() {
  static auto* h = new std::function<bool(const FileChooserRequest&, std::string&)>;
  return *h;
}

bool IsQt() { return std::string(CurrentBackend().Name()) == "qt"; }

// A chooser is modal to the whole window of its owner, which may be a child (a view): the
// top-level window is disabled while it is up and active again after it. A chooser asked for
// while a modal dialog holds that window belongs to the dialog.
HWND TopOwner(HWND owner) {
  WndState* top = TopLevelOf(Find(owner));
  return OwnerOfNewModal(top != nullptr ? top->hwnd : nullptr);
}

std::string Trim(const std::string& s) {
  size_t a = s.find_first_not_of(" \t");
  if (a == std::string::npos) return "";
  size_t b = s.find_last_not_of(" \t");
  return s.substr(a, b - a + 1);
}

// The message box as a dialog of our own: icon, text and the style's buttons.
class MessageBoxDialog : public CDialog {
 public:
  MessageBoxDialog(const DialogTemplate* t, HWND owner, std::vector<BoxButton> buttons)
      : m_buttons(std::move(buttons)) {
    m_nIDTemplate = t->id;
    m_owner = owner;
  }
  INT_PTR Run() {
    m_pParentWnd = m_owner != nullptr ? CWnd::FromHandle(m_owner) : nullptr;
    return DoModal();
  }

 protected:
  BOOL OnCommand(WPARAM wParam, LPARAM) override {
    int id = LOWORD(wParam);
    if (id == IDHELP) return TRUE;  // Help never ends the box
    bool known = std::any_of(m_buttons.begin(), m_buttons.end(), [&](const BoxButton& b) { return b.id == id; });
    if (id == IDCANCEL && !known) {
      // Escape or the close box: Cancel when shown, OK when OK is the only button.
      if (m_buttons.size() == 1 && m_buttons[0].id == IDOK) id = IDOK;
      else return TRUE;
    }
    if (known || id == IDOK) EndDialog(id);
    return TRUE;
  }
  // A letter alone does what Alt and the letter do: Y answers "&Yes" and N "&No".
  BOOL PreTranslateMessage(MSG* msg) override {
    if (msg->message == WM_KEYDOWN && msg->wParam >= 'A' && msg->wParam <= 'Z')
      for (const BoxButton& b : m_buttons) {
        const char* amp = std::strchr(b.text, '&');
        if (amp == nullptr || std::toupper(static_cast<unsigned char>(amp[1])) != static_cast<int>(msg->wParam)) continue;
        if (HWND button = ::GetDlgItem(m_hWnd, b.id)) input::Click(button);
        return TRUE;
      }
    return CDialog::PreTranslateMessage(msg);
  }

 private:
  std::vector<BoxButton> m_buttons;
  HWND m_owner = nullptr;
};

int ShowBoxDialog(const MessageBoxRequest& req) {
  static int depth = 0;
  std::vector<BoxButton> buttons = MessageBoxButtons(req.type);
  UINT icon = req.type & MB_ICONMASK;
  bool hasIcon = icon == MB_ICONHAND || icon == MB_ICONQUESTION || icon == MB_ICONEXCLAMATION || icon == MB_ICONASTERISK;
  // The text in lines of at most 60 average characters (a word wider than that, a long path, is
  // broken too), as many as the screen holds above the buttons: the box never runs off its edge
  // or the screen's. Pixels become dialog units rounded up, with a unit to spare.
  Backend& backend = CurrentBackend();
  const BaseUnits u = backend.FontUnits(nullptr);
  const SIZE screen = backend.ScreenSize();
  const int textX = hasIcon ? 7 + 21 + 10 : 7;
  const int roomW = std::min(60 * u.cx, screen.cx - (textX + 7 + 2) * u.cx / 4);
  const int roomH = screen.cy - (7 + 10 + 14 + 7) * u.cy / 8 - 3 * u.cy;  // the title bar and frame too
  SIZE extent{};
  const std::string shown = backend.WrapText(req.text, std::max(roomW, 8 * u.cx), std::max(roomH, u.cy), &extent);
  const int textW = std::max((extent.cx * 4 + u.cx - 1) / u.cx + 1, 60);
  const int textH = std::max((extent.cy * 8 + u.cy - 1) / u.cy + 1, hasIcon ? 20 : 8);
  int n = static_cast<int>(buttons.size());
  int buttonsW = n * 50 + (n - 1) * 4;
  int cx = std::max(textX + textW + 7, buttonsW + 14);
  int by = 7 + textH + 10;
  int cy = by + 14 + 7;
  auto* t = new DialogTemplate{static_cast<UINT>(0x7F00 + depth), nullptr, cx, cy, {}};
  t->caption = req.caption.c_str();
  if (hasIcon) {
    static const char* names[] = {"#32513", "#32514", "#32515", "#32516"};
    t->controls.push_back({Ctl::Icon, 2039, names[(icon >> 4) - 1], 0, 7, 7, 21, 20});
  }
  t->controls.push_back({Ctl::Static, 0xFFFF, shown.c_str(), SS_NOPREFIX, textX, 7, textW, textH});
  int def = DefaultMessageBoxAnswer(req.type);
  int x = (cx - buttonsW) / 2;
  for (const BoxButton& b : buttons) {
    t->controls.push_back({b.id == def ? Ctl::DefPushButton : Ctl::PushButton, b.id, b.text, 0, x, by, 50, 14});
    x += 54;
  }
  RegisterDialogTemplate(t);
  ++depth;
  MessageBoxDialog dlg(t, req.owner, buttons);
  INT_PTR r = dlg.Run();
  --depth;
  UnregisterDialogTemplate(t);  // the registry must not keep a table that is gone
  delete t;
  return r < 0 ? IDCANCEL : static_cast<int>(r);
}

// A save chooser's chosen path gets the default extension when its name has none. With the
// overwrite prompt, an existing file is replaced only when the user says so: the question is
// asked over the chooser (`chooser`, null for a chooser answered by the handler), and "No"
// turns the path down, so that the user is back in the chooser with the name still typed.
bool AcceptChosenPath(const FileChooserRequest& req, const std::string& defExt, std::string& path, void* chooser) {
  size_t slash = path.find_last_of("/\\");
  std::string name = path.substr(slash == std::string::npos ? 0 : slash + 1);
  if (!defExt.empty() && !name.empty() && name.find('.') == std::string::npos) path += "." + defExt;
  if (req.open || !(req.flags & OFN_OVERWRITEPROMPT)) return true;
  struct stat st;
  if (::stat(path.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) return true;
  MessageBoxRequest box;
  box.text = path + " already exists.\nDo you want to replace it?";
  box.caption = req.title;
  box.type = MB_YESNO | MB_ICONEXCLAMATION;
  BoxLog().push_back(box);
  int answer = BoxHandler() ? BoxHandler()(box)
               : chooser != nullptr ? QtBoxOver(chooser, box)
                                    : DefaultMessageBoxAnswer(box.type);
  return answer == IDYES;
}

}  // namespace

void SetMessageBoxHandler(std::function<int(const MessageBoxRequest&)> handler) { BoxHandler() = std::move(handler); }
const std::vector<MessageBoxRequest>& MessageBoxLog() { return BoxLog(); }
void ClearMessageBoxLog() { BoxLog().clear(); }

std::vector<BoxButton> MessageBoxButtons(UINT type) {
  std::vector<BoxButton> b;
  switch (type & MB_TYPEMASK) {
    case MB_OKCANCEL: b = {{IDOK, "OK"}, {IDCANCEL, "Cancel"}}; break;
    case MB_ABORTRETRYIGNORE: b = {{IDABORT, "&Abort"}, {IDRETRY, "&Retry"}, {IDIGNORE, "&Ignore"}}; break;
    case MB_YESNOCANCEL: b = {{IDYES, "&Yes"}, {IDNO, "&No"}, {IDCANCEL, "Cancel"}}; break;
    case MB_YESNO: b = {{IDYES, "&Yes"}, {IDNO, "&No"}}; break;
    case MB_RETRYCANCEL: b = {{IDRETRY, "&Retry"}, {IDCANCEL, "Cancel"}}; break;
    case MB_CANCELTRYCONTINUE: b = {{IDCANCEL, "Cancel"}, {IDTRYAGAIN, "&Try Again"}, {IDCONTINUE, "&Continue"}}; break;
    default: b = {{IDOK, "OK"}}; break;
  }
  if (type & MB_HELP) b.push_back({IDHELP, "Help"});
  return b;
}

int DefaultMessageBoxAnswer(UINT type) {
  std::vector<BoxButton> b = MessageBoxButtons(type);
  if (type & MB_HELP) b.pop_back();  // Help is never the answer
  size_t i = std::min<size_t>((type & MB_DEFMASK) >> 8, b.size() - 1);
  return b[i].id;
}

void SetFileChooserHandler(std::function<bool(const FileChooserRequest&, std::string&)> handler) {
  FileHandler() = std::move(handler);
}

std::vector<std::pair<std::string, std::vector<std::string>>> ParseFilter(const char* filter) {
  std::vector<std::pair<std::string, std::vector<std::string>>> out;
  if (filter == nullptr) return out;
  std::vector<std::string> parts;
  std::string f = filter;
  size_t start = 0;
  for (;;) {
    size_t bar = f.find('|', start);
    parts.push_back(f.substr(start, bar == std::string::npos ? std::string::npos : bar - start));
    if (bar == std::string::npos) break;
    start = bar + 1;
  }
  for (size_t i = 0; i + 1 < parts.size(); i += 2) {
    std::string desc = Trim(parts[i]);
    if (desc.empty() && Trim(parts[i + 1]).empty()) break;  // the closing "||"
    std::vector<std::string> pats;
    size_t s = 0;
    const std::string& p = parts[i + 1];
    for (;;) {
      size_t semi = p.find(';', s);
      std::string one = Trim(p.substr(s, semi == std::string::npos ? std::string::npos : semi - s));
      if (!one.empty()) pats.push_back(one);
      if (semi == std::string::npos) break;
      s = semi + 1;
    }
    if (!pats.empty()) out.emplace_back(desc, pats);
  }
  return out;
}

std::string ChooserFilter(const std::string& description, const std::vector<std::string>& patterns) {
  std::string list;
  for (const std::string& p : patterns) list += (list.empty() ? "" : " ") + ((p == "*.*" || p == "*.exe") ? "*" : p);
  std::string desc = Trim(description);
  // The description's last parenthesised list, its patterns split at blanks, commas and semicolons.
  const size_t open = desc.rfind('(');
  if (open != std::string::npos && desc.back() == ')') {
    std::vector<std::string> own;
    std::string word;
    for (char c : desc.substr(open + 1, desc.size() - open - 2) + " ") {
      if (c == ' ' || c == ',' || c == ';') {
        if (!word.empty()) own.push_back(word);
        word.clear();
      } else {
        word += c;
      }
    }
    std::vector<std::string> given = patterns;
    std::sort(own.begin(), own.end());
    std::sort(given.begin(), given.end());
    if (own == given) desc = Trim(desc.substr(0, open));
  }
  return desc + " (" + list + ")";
}

bool BrowseForFolder(HWND owner, const char* title, const std::string& start, std::string& path) {
  FileChooserRequest req;
  req.open = true;
  req.title = title != nullptr ? title : "";
  req.initialPath = start;
  req.flags = 0xFFFFFFFF;  // marks a folder request for the handler
  const HWND top = TopOwner(owner);
  req.owner = top;
  if (FileHandler()) return FileHandler()(req, path);
  if (!IsQt()) return false;
  const HWND hadFocus = ::GetFocus();
  if (top != nullptr) ::EnableWindow(top, FALSE);
  bool ok = QtChooseFolder(req.title, start, top, path);
  if (top != nullptr) ::EnableWindow(top, TRUE);
  ReturnFromModal(top, hadFocus);
  return ok;
}

}  // namespace qav::ui

using namespace qav::ui;

int MessageBox(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
  MessageBoxRequest req;
  req.owner = owner != nullptr && IsWindow(owner) ? owner : nullptr;
  req.text = text != nullptr ? text : "";
  req.caption = caption != nullptr ? caption : "Error";
  req.type = type;
  BoxLog().push_back(req);
  if (BoxHandler()) return BoxHandler()(req);
  if (!IsQt()) return DefaultMessageBoxAnswer(type);
  return ShowBoxDialog(req);
}

// ---- CFileDialog ----
CFileDialog::CFileDialog(BOOL open, LPCSTR defExt, LPCSTR fileName, DWORD flags, LPCSTR filter, CWnd* parent)
    : m_open(open != FALSE), m_defExt(defExt ? defExt : ""), m_fileName(fileName ? fileName : ""),
      m_filter(filter ? filter : ""), m_parent(parent) {
  m_ofn.Flags = flags;
  if (!m_defExt.empty() && m_defExt[0] == '.') m_defExt.erase(0, 1);
}

INT_PTR CFileDialog::DoModal() {
  FileChooserRequest req;
  req.open = m_open;
  req.title = m_ofn.lpstrTitle != nullptr ? m_ofn.lpstrTitle : (m_open ? "Open" : "Save As");
  req.initialPath = m_fileName;
  if (m_ofn.lpstrInitialDir != nullptr && req.initialPath.find_first_of("/\\") == std::string::npos)
    req.initialPath = std::string(m_ofn.lpstrInitialDir) + "/" + req.initialPath;
  req.defaultExt = m_defExt;
  req.filters = ParseFilter(m_filter.c_str());
  req.flags = m_ofn.Flags;
  std::string path;
  bool ok = false;
  const HWND top = TopOwner(m_parent != nullptr ? m_parent->m_hWnd : DefaultOwner());
  req.owner = top;
  if (FileHandler()) {
    // A path turned down brings the chooser back with it.
    while ((ok = FileHandler()(req, path)) && !path.empty() && !AcceptChosenPath(req, m_defExt, path, nullptr))
      req.initialPath = path;
  } else if (IsQt()) {
    const HWND hadFocus = ::GetFocus();
    if (top != nullptr) ::EnableWindow(top, FALSE);
    ok = QtChooseFile(req, path, [&](std::string& chosen, void* chooser) {
      return AcceptChosenPath(req, m_defExt, chosen, chooser);
    });
    if (top != nullptr) ::EnableWindow(top, TRUE);
    ReturnFromModal(top, hadFocus);
  }
  if (!ok || path.empty()) return IDCANCEL;
  m_path = path;
  return IDOK;
}

std::string CFileDialog::GetFileName() const {
  size_t slash = m_path.find_last_of("/\\");
  return m_path.substr(slash == std::string::npos ? 0 : slash + 1);
}

std::string CFileDialog::GetFileExt() const {
  std::string n = GetFileName();
  size_t dot = n.rfind('.');
  return dot == std::string::npos ? std::string() : n.substr(dot + 1);
}

std::string CFileDialog::GetFileTitle() const {
  std::string n = GetFileName();
  size_t dot = n.rfind('.');
  return dot == std::string::npos ? n : n.substr(0, dot);
}
