#include "platform/ui/backend.h"
#include "platform/ui/choosers.h"

namespace qav::ui {
Backend* MakeFltkBackend() { return nullptr; }
bool FltkChooseFile(const FileChooserRequest&, std::string&) { return false; }
bool FltkChooseFolder(const std::string&, const std::string&, std::string&) { return false; }
}  // namespace qav::ui
