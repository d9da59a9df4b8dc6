// The application, its document, frame and view: the program's main window and its run loop.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/ui/dialog.h"
#include "platform/ui/wnd.h"

class CProfile;

// ---- Dynamic creation ----
// A class that can be created by its runtime class (the document template, the thread wrapper).
struct CRuntimeClass {
  const char* m_lpszClassName;
  CCmdTarget* (*m_pfnCreateObject)();
  CCmdTarget* CreateObject() const { return m_pfnCreateObject != nullptr ? m_pfnCreateObject() : nullptr; }
};

#define DECLARE_DYNAMIC(theClass) \
 public:                          \
  static const CRuntimeClass class##theClass; \
  virtual const CRuntimeClass* GetRuntimeClass() const { return &class##theClass; }
#define IMPLEMENT_DYNAMIC(theClass, baseClass) const CRuntimeClass theClass::class##theClass = {#theClass, nullptr};
#define DECLARE_DYNCREATE(theClass) \
  DECLARE_DYNAMIC(theClass)         \
  static CCmdTarget* CreateObject();
#define IMPLEMENT_DYNCREATE(theClass, baseClass)                      \
  CCmdTarget* theClass::CreateObject() { return new theClass; }       \
  const CRuntimeClass theClass::class##theClass = {#theClass, &theClass::CreateObject};
#define RUNTIME_CLASS(theClass) (&theClass::class##theClass)

// ---- Menus ----
// A menu is data: items with their command ids, submenus for the bar. A null text is a separator.
struct MenuItem {
  const char* text;
  UINT id;
  std::vector<MenuItem> items;
};

// What a frame resource id names: the window title and the menu bar.
struct FrameResource {
  UINT id;
  const char* title;
  std::vector<MenuItem> menu;
};
void RegisterFrameResource(const FrameResource* r);
const FrameResource* FindFrameResource(UINT id);
std::vector<UINT> RegisteredFrameResources();

class CDocument;
class CView;
class CFrameWnd;
class CDocTemplate;

class CArchive;

class CDocument : public CCmdTarget {
 public:
  virtual BOOL OnNewDocument() { return TRUE; }
  virtual void Serialize(CArchive& ar) {}
  void SetTitle(LPCSTR title) { m_strTitle = title != nullptr ? title : ""; }
  const std::string& GetTitle() const { return m_strTitle; }
  std::string m_strTitle;
  CDocTemplate* m_pDocTemplate = nullptr;
};

class CView : public CWnd {
 public:
  CDocument* GetDocument() const { return m_pDocument; }
  virtual void OnInitialUpdate() {}
  void PostNcDestroy() override { delete this; }  // views belong to their window
  CDocument* m_pDocument = nullptr;
};

// A view built from a dialog template, filling its frame's client area.
class CFormView : public CView {
 public:
  explicit CFormView(UINT templateId) : m_nIDTemplate(templateId) {}
  BOOL Create(CWnd* parent, UINT id);
  void OnInitialUpdate() override { UpdateData(FALSE); }
  BOOL PreTranslateMessage(MSG* msg) override;
  UINT m_nIDTemplate;
};

constexpr DWORD FWS_ADDTOTITLE = 0x00008000;
constexpr UINT AFX_IDW_PANE_FIRST = 0xE900;

class CFrameWnd : public CWnd {
 public:
  // Creates the frame from a resource: its title and its menu bar.
  virtual BOOL LoadFrame(UINT resourceId, DWORD style = WS_OVERLAPPEDWINDOW | FWS_ADDTOTITLE, CWnd* parent = nullptr);
  virtual BOOL PreCreateWindow(CREATESTRUCT& cs) { return TRUE; }
  CView* GetActiveView() const { return m_pViewActive; }
  void SetActiveView(CView* view) { m_pViewActive = view; }
  void RecalcLayout();
  void InitialUpdateFrame(CDocument* doc, BOOL makeVisible);
  virtual void WinHelp(DWORD_PTR data, UINT command = 0x1);
  void PostNcDestroy() override { delete this; }  // frames belong to their window
  // Routes commands: the view first, then the frame, then the application.
  BOOL OnCmdMsg(UINT id, int code, UINT kind, WPARAM wParam, LPARAM lParam, LRESULT* result) override;
  // The menu of the frame (its resource's), for the backend.
  const std::vector<MenuItem>* Menu() const { return m_menu; }
  void OnHelp() { WinHelp(0, 0); }
  // Height of the menu bar in pixels.
  int MenuHeight() const;

 protected:
  LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
  DECLARE_MESSAGE_MAP()

 private:
  CView* m_pViewActive = nullptr;
  const std::vector<MenuItem>* m_menu = nullptr;
};

class CDocTemplate : public CCmdTarget {
 public:
  virtual CDocument* OpenDocumentFile(LPCSTR path, BOOL makeVisible = TRUE) = 0;
};

// One document, one frame, one view, made from their runtime classes.
class CSingleDocTemplate : public CDocTemplate {
 public:
  CSingleDocTemplate(UINT resourceId, const CRuntimeClass* docClass, const CRuntimeClass* frameClass,
                     const CRuntimeClass* viewClass)
      : m_nIDResource(resourceId), m_pDocClass(docClass), m_pFrameClass(frameClass), m_pViewClass(viewClass) {}
  ~CSingleDocTemplate() override;
  CDocument* OpenDocumentFile(LPCSTR path, BOOL makeVisible = TRUE) override;
  UINT m_nIDResource;

 private:
  const CRuntimeClass* m_pDocClass;
  const CRuntimeClass* m_pFrameClass;
  const CRuntimeClass* m_pViewClass;
  CDocument* m_pDocument = nullptr;
};

class CWinThread : public CCmdTarget {
 public:
  virtual BOOL InitInstance() { return TRUE; }
  virtual int ExitInstance() { return m_exitCode; }
  // The message loop: runs until the quit request, then ExitInstance. A main window still up then
  // (the quit came from outside, AfxEndProgram) is closed first, as File > Exit closes it.
  virtual int Run();
  // Takes one message (waiting for it) and dispatches it; FALSE for the quit request.
  virtual BOOL PumpMessage();
  virtual BOOL OnIdle(LONG count) { return FALSE; }
  virtual BOOL PreTranslateMessage(MSG* msg);
  CWnd* GetMainWnd() const { return m_pMainWnd; }
  CWnd* m_pMainWnd = nullptr;

 protected:
  int m_exitCode = 0;
};

class CCommandLineInfo {
 public:
  enum { FileNew, FileOpen, FileNothing };
  int m_nShellCommand = FileNew;
};

class CWinApp : public CWinThread {
 public:
  explicit CWinApp(LPCSTR appName = nullptr);
  ~CWinApp() override;

  void SetRegistryKey(LPCSTR key);
  void LoadStdProfileSettings(UINT maxMru = 4) {}
  void AddDocTemplate(CDocTemplate* t);
  void ParseCommandLine(CCommandLineInfo& info) { info.m_nShellCommand = CCommandLineInfo::FileNew; }
  BOOL ProcessShellCommand(CCommandLineInfo& info);
  void OnFileNew();
  void OnAppExit();
  HCURSOR LoadStandardCursor(LPCSTR name) const { return ::LoadCursor(nullptr, name); }
  HCURSOR LoadCursor(UINT id) const { return ::LoadCursor(nullptr, MAKEINTRESOURCE(id)); }
  HICON LoadIcon(UINT id) const { return ::LoadIcon(nullptr, MAKEINTRESOURCE(id)); }

  // The program's profile (section, key, value as the Windows registry profile has them).
  UINT GetProfileInt(LPCSTR section, LPCSTR key, int defaultValue);
  std::string GetProfileString(LPCSTR section, LPCSTR key, LPCSTR defaultValue = nullptr);
  BOOL WriteProfileInt(LPCSTR section, LPCSTR key, int value);
  BOOL WriteProfileString(LPCSTR section, LPCSTR key, LPCSTR value);
  // The profile itself: its file and what reading that file found.
  const CProfile& GetProfileFile() const;

  std::string m_strAppName;
  LPCSTR m_pszAppName = nullptr;  // the title: caption of message boxes that give none
  LPCSTR m_pszExeName = nullptr;
  LPCSTR m_pszProfileName = nullptr;
  LPCSTR m_pszRegistryKey = nullptr;
  LPCSTR m_pszHelpFilePath = nullptr;

 protected:
  DECLARE_MESSAGE_MAP()

 private:
  std::vector<std::unique_ptr<CDocTemplate>> m_templates;
  std::string m_exeName, m_exePath, m_registryKey, m_helpPath;
};

CWinApp* AfxGetApp();
CWinThread* AfxGetThread();
CWnd* AfxGetMainWnd();
LPCSTR AfxGetAppName();
int AfxMessageBox(LPCSTR text, UINT type = MB_OK, UINT helpId = 0);
// The program's entry: chooses the backend, runs InitInstance and the loop.
int AfxWinMain(int argc, char** argv);
// Any thread: ends the program as File > Exit does, wherever its user-interface thread is. The
// backend's own dialogs (the file choosers) are closed and a quit request ends every modal loop
// (their dialogs as by Cancel) and every wait of a run (the run as by its Cancel); the program's
// loop then closes the main window, whose views save their settings, and the program ends with
// exit code 0.
void AfxEndProgram();
