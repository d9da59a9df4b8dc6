// Real-program tests that want an X server to themselves: the test runs again in a new Xvfb
// (scripts/xvfb.sh), bare or under the openbox window manager (scripts/openbox.sh), where no
// other test's windows, pointer or focus can be in the way. And what such a test asks the X
// server: how the top-level windows are stacked and which window has the keyboard.
#pragma once

#include <string>

enum class EDesktop { BareX, Openbox };

// True in the inner run, where the caller goes on with its test. In the outer run it runs the
// current test again on its own display, checks that it passed and returns false.
bool RunOnOwnDisplay(EDesktop desktop);

// True when the test runs under a window manager.
bool UnderWindowManager();

// Where a client's top-level X window (decimal, as xdotool prints it) lies among the others,
// counted from the bottom; -1 when it is not found. Under a window manager the order is the one
// it announces, as its frames hide the clients from the server's own list.
int StackPlace(const std::string& window);

// The X window that has the keyboard focus (xdotool getwindowfocus), "" when none answers.
std::string FocusedWindow();
