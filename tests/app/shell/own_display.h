// Real-program tests that want an X server to themselves: the test runs again in a new Xvfb
// (scripts/xvfb.sh), bare or under a window manager (scripts/wm.sh: openbox or metacity), where no
// other test's windows, pointer or focus can be in the way. And what such a test asks the X server.
#pragma once

#include <csignal>
#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

#include "x_patience.h"
#include "x_stacking.h"

enum class EDesktop { BareX, Openbox, Metacity };

// True in the inner run, where the caller goes on with its test. In the outer run it runs the
// current test again on a display of its own for each desktop, checks that it passed and returns
// false.
bool RunOnOwnDisplay(std::initializer_list<EDesktop> desktops);
inline bool RunOnOwnDisplay(EDesktop desktop) { return RunOnOwnDisplay({desktop}); }

// How the top-level windows are stacked (StackPlace); pauses that allow for a busy machine.
using xtest::NoteResend;
using xtest::Pause;
using xtest::Settle;
using xtest::StackPlace;

// A shell command's standard output without its trailing line ends and blanks.
std::string Output(const std::string& command);

// A file's bytes; "" when it cannot be read.
std::string Slurp(const std::string& path);

// The X window that has the keyboard focus (xdotool getwindowfocus), "" when none answers.
std::string FocusedWindow();

// The keyboard is with the window: the X focus is on it or inside it (xdotool names the client
// window that holds the focus).
inline bool HasKeyboard(const std::string& window) { return !window.empty() && FocusedWindow() == window; }

// Sends an action (keys or a click) once `ready` says its target is there for it (shown, with the
// keyboard where the action needs it), then waits up to `seconds` (Within) for `effect`. It is sent
// again, and that is noted (NoteResend), only when `ready` was seen not to hold while the effect
// was missing (the focus went elsewhere meanwhile): input the program dropped is never sent again.
// False when the target was never ready or the effect never came.
bool SendWhereReady(const std::string& what, const std::function<bool()>& ready, const std::function<void()>& send,
                    const std::function<bool()>& effect, int seconds);

// The shown windows whose title matches the extended regular expression.
std::vector<std::string> ShownWindows(const std::string& title);

// A message box (a shown window with a matching title other than `main`) is closed with Return,
// typed to whatever has the focus as a user's key is. The box with the keyboard must be one of
// them (the newest, when a second came while the first was up). Empty when that happened within
// the time-outs, else what went wrong.
std::string CloseTheFocusedBox(const std::string& title, const std::string& main);

// True once `probe` says so, asking every 200 ms for up to `seconds` on a quiet machine, longer on
// a busy one (xtest::Patiently).
bool Within(int seconds, const std::function<bool()>& probe);

// The threads of the program `pid` that have no name of their own (they carry the program's): the
// user-interface thread and a run's worker among them.
std::vector<int> UnnamedThreads(int pid);

// Holds one thread of the program still (ptrace) while it exists, as a thread is held up on a
// busy machine: a worker that would answer at once takes as long as the test needs. `held` is
// false when the system did not allow it.
struct SThreadHeld {
  explicit SThreadHeld(int tid);
  ~SThreadHeld();
  const int tid;
  bool held = false;
};

// Holds the window manager of the display still (stops its process group, scripts/wm.sh) while it
// lives, as a busy machine holds a manager up: it answers what the program asked meanwhile once it
// goes on. `held` is false without a manager or when the system did not allow it.
struct SManagerHeld {
  SManagerHeld();
  ~SManagerHeld() { Release(); }
  void Release();
  int group = 0;
  bool held = false;
};

// One line of the table scripts/wm_table.sh prints: "wm-table-run | manager | check | result", the
// result followed by the seconds it took where a check is timed.
void TableLine(const char* check, bool ok, double seconds = -1);

// The bytes of the file the program writes beside the report `path` until the report is whole (in
// the report's folder, named ".~qav" and six letters or digits, or with no name yet: an unnamed
// file there that a process holds open); -1 while there is none.
double BytesBeside(const std::string& path);

// The signals that end a session: a logout, Ctrl+C in a terminal, the terminal closed.
inline constexpr int kEndingSignals[] = {SIGTERM, SIGINT, SIGHUP};

// Sends `signal` to the program `pid` and checks that it ends as File > Exit ends it: by itself
// with exit code 0 within 5 s (else it is killed), its settings saved (written to `ini`), and the
// report at `report` still `earlier` with nothing left beside it. `then` runs right after the
// signal (it lets go of a program the test holds); the 5 s count from its end.
void ExpectEndsAsExitDoes(int pid, int signal, const std::string& ini, const std::string& report, const std::string& earlier,
                          const std::function<void()>& then = {});

// What the X server and the window manager say of a window (decimal, as xdotool names windows).
// An X property as xprop prints it.
std::string Property(const std::string& window, const char* name);
// The frame a window manager put round the window: left, right, top, bottom; empty without one.
std::vector<int> FrameExtents(const std::string& window);
// The window it says it is transient for; "" for none.
std::string TransientFor(const std::string& window);
bool Viewable(const std::string& window);
// Minimised (iconified): the ICCCM state Iconic or the EWMH state hidden. A manager may keep a
// minimised window mapped (mutter does), so "not viewable" does not tell it.
bool Minimised(const std::string& window);
// A window's place on the screen: its client area (Where; xdotool's place of a framed window
// counts the frame twice), or with the frame round it (Framed).
struct SPlace {
  int x = 0, y = 0, w = 0, h = 0;
  bool Contains(int px, int py) const { return px >= x && px < x + w && py >= y && py < y + h; }
  bool Meets(const SPlace& o) const { return x < o.x + o.w && o.x < x + w && y < o.y + o.h && o.y < y + h; }
};
SPlace Where(const std::string& window);
SPlace Framed(const std::string& window);
