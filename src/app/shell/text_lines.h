// An error number's text for a status line or a message box.
#pragma once

#include <string>

#include "platform/base/types.h"

// The system's text for an error number without its CR LF, or "Error <n>" when it has none.
std::string SystemErrorLine(DWORD error);
