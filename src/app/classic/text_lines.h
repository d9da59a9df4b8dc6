// Text helper of the Classic view's files: an error number's text for a message box. (The lines
// of its configuration file are read by the shared set-up line reader, app/shell/setup_lines.h.)
#pragma once

#include <string>

#include "platform/base/types.h"

// The system's text for an error number without its CR LF, or "Error <n>" when it has none.
std::string SystemErrorLine(DWORD error);
