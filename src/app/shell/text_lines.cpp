#include "app/shell/text_lines.h"

#include "platform/base/errors.h"

std::string SystemErrorLine(DWORD error) {
  std::string text;
  if (!FormatSystemMessage(error, text)) return "Error " + std::to_string(error);
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  return text;
}
