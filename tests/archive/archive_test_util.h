// Scratch folders and file helpers for the archive tests.
#pragma once

#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

class ScratchFolder {
 public:
  ScratchFolder() {
    std::string t = (std::filesystem::temp_directory_path() / "qav-archive-XXXXXX").string();
    if (mkdtemp(t.data())) m_path = t + "/";
  }
  ~ScratchFolder() {
    std::error_code ec;
    if (!m_path.empty()) {
      // Read-only files and folders must not stop the clean-up.
      for (auto& e : std::filesystem::recursive_directory_iterator(m_path, ec))
        std::filesystem::permissions(e.path(), std::filesystem::perms::owner_all, std::filesystem::perm_options::add, ec);
      std::filesystem::remove_all(m_path, ec);
    }
  }
  const std::string& Path() const { return m_path; }
  std::string operator/(const std::string& name) const { return m_path + name; }

 private:
  std::string m_path;
};

inline std::vector<uint8_t> ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

inline void WriteAll(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

inline void WriteText(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
}
