#include "support/launch.h"

#include <cstring>

#include "platform/base/errors.h"
#include "platform/shell/shell.h"

INT_PTR FindAssociatedProgram(const char* extension, char* program, char* errorText) {
  if (extension == nullptr || program == nullptr) return SE_ERR_OUTOFMEMORY;
  // The desktop's type defaults answer directly, so no probe file is made in a shared folder.
  const INT_PTR result = FindExecutableForExtension(extension, program);
  if (errorText != nullptr) {
    const char* text = nullptr;
    switch (result) {
      case SE_ERR_OUTOFMEMORY:
        text = "Out of memory or resources";
        break;
      case SE_ERR_FNF:
        text = "Specified file not found";
        break;
      case SE_ERR_PNF:
        text = "Specified path not found";
        break;
      case SE_ERR_BADFORMAT:
        text = "Invalid EXE format";
        break;
      case SE_ERR_NOASSOC:
        text = "No association for file type";
        break;
      default:
        break;
    }
    if (text != nullptr) std::strcpy(errorText, text);
  }
  return result;
}

DWORD LaunchProgram(const char* file, const char* program) {
  if (file == nullptr || program == nullptr) return ERROR_INVALID_PARAMETER;
  return StartProgramOnFile(program, file);
}

DWORD OpenDocument(const char* file) {
  if (file == nullptr) return ERROR_INVALID_PARAMETER;
  return OpenDocumentOrUrl(file);
}
