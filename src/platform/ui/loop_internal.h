// Pieces of the message loop that the window code uses.
#pragma once

#include <vector>

#include "platform/ui/wnd.h"

namespace qav::ui {
// SendMessage from a thread other than the user-interface thread: queued, answered there.
LRESULT SendFromOtherThread(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
// Handles the messages that other threads sent and wait for.
bool ServeSentMessages();  // true when one was handled
// Takes the next queued message (sent, task, posted, due timer) without looking at the
// backend's input; true when there was one (an empty message for work already done).
bool PeekQueued(MSG* msg, UINT remove);
void KillTimersOf(HWND hwnd);
// True while a window's handler runs (a message is being handled somewhere up the stack).
bool HandlerRunning();
// Runs the pre-translation of a message from its window up to the top-level window.
bool PreTranslateChain(MSG* msg);
HWND FocusWindow();
void MoveFocus(HWND to);
// A modal window owned by `owner` ended: the owner becomes the active window again and `focus`
// (the control that had the focus when the modal window began) gets it back.
void ReturnFromModal(HWND owner, HWND focus);
// The enabled window up over the disabled top-level window `disabled` (the modal dialog or box
// that disabled it, or one over that); null when there is none.
HWND ModalWindowOver(HWND disabled);
// The window a new modal window is opened over: `owner`, or, when a modal window up holds it
// disabled, the newest modal window (a box asked for by the main window while a dialog is up
// belongs to the dialog).
HWND OwnerOfNewModal(HWND owner);
// True while the window runs as a modal window (between ModalHold::Up and Release).
bool IsModalWindow(HWND hwnd);
// While a modal window (a dialog, a sheet, a message box) is up, none of the program's other
// top-level windows takes input: its owner and every other top-level window there is are
// disabled from the start of the modal run until Release, which comes before the modal window
// goes, so that the activation it leaves finds them enabled. A click on a window held hands the
// activation to the modal window (ModalWindowOver).
class ModalHold {
 public:
  explicit ModalHold(HWND owner);
  ~ModalHold() { Release(); }
  ModalHold(const ModalHold&) = delete;
  ModalHold& operator=(const ModalHold&) = delete;
  // The modal window is up.
  void Up(HWND modal);
  void Release();

 private:
  std::vector<HWND> m_held;
  HWND m_modal = nullptr;
};
// A modal window's loop takes the user's input even while it is held (HoldUserInput): the hold
// is lifted while one of these exists and comes back after it.
class InputHoldLifted {
 public:
  InputHoldLifted();
  ~InputHoldLifted();
  InputHoldLifted(const InputHoldLifted&) = delete;
  InputHoldLifted& operator=(const InputHoldLifted&) = delete;

 private:
  int m_held;
};
void ForgetWindows();
// The program's title, the caption of message boxes that give none.
const char* AppTitle();
// The window that owns new dialogs and message boxes when the caller names none.
HWND DefaultOwner();
}  // namespace qav::ui
