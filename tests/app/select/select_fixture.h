// Shared pieces of the selection tests: a temporary archive root with year folders and day files,
// and the text form of date lists.
#pragma once

#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <string>
#include <vector>

#include "containers/obj_array.h"
#include "platform/test_folder.h"
#include "trafficdata/date_time_ex.h"

class ArchiveFolder {
 public:
  // The root in the program's form: ending in a backslash.
  std::string Root() const { return folder_.path() + "\\"; }
  void MakeFolder(const std::string& name) const { std::filesystem::create_directories(folder_ / name); }
  void MakeFile(const std::string& name) const { TestFolder::Write(folder_ / name, ""); }
  void MakeFiles(const std::string& sub, std::initializer_list<const char*> names) const {
    MakeFolder(sub);
    for (const char* name : names) TestFolder::Write(folder_ / (sub + "/" + name), "");
  }
  const std::string& NativePath() const { return folder_.path(); }

 private:
  TestFolder folder_;
};

template <class Dates>
std::vector<std::string> DateTexts(const Dates& dates) {
  std::vector<std::string> out;
  for (int i = 0; i < dates.m_nSize; ++i) out.push_back(dates.m_pData[i]->Format("%m/%d/%Y"));
  return out;
}
