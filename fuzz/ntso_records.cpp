// Fuzzes opening a database and reading every name's records. The input is split into a .DAT and
// an optional .NTS (the first four bytes give the .DAT's length), written to a scratch folder and
// opened read-only, as the archive reader does.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "archive/ntsodb.h"
#include "platform/kernel/files.h"

namespace {

std::string Scratch() {
  static std::string folder;
  if (folder.empty()) {
    std::string t = GetTempFolder() + "qav-fuzz-XXXXXX";
    char* made = mkdtemp(t.data());
    if (!made) std::abort();
    folder = std::string(made) + "/";
  }
  return folder;
}

void Put(const std::string& path, const uint8_t* data, size_t size) {
  FileHandle f;
  if (f.Open(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, CREATE_ALWAYS) != 0)
    std::abort();
  if (size > 0 && f.WriteAt(0, data, size) != 0) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 4) return 0;
  size_t datLength = (static_cast<size_t>(data[0]) | static_cast<size_t>(data[1]) << 8 |
                      static_cast<size_t>(data[2]) << 16 | static_cast<size_t>(data[3]) << 24);
  size_t rest = size - 4;
  if (datLength > rest) datLength = rest;
  std::string base = Scratch() + "db";
  Put(base + ".DAT", data + 4, datLength);
  if (rest > datLength)
    Put(base + ".NTS", data + 4 + datLength, rest - datLength);
  else
    DeleteFileA((base + ".NTS").c_str());

  CNTSODB db;
  int r = db.Open(base.c_str(), 0);
  if (r != 0) {
    if (db.m_nMode != -1 || db.m_nLayout != -1 || db.m_Entries.m_nSize != 0) std::abort();
    return 0;
  }
  if (db.m_Index.m_nSize != db.m_Entries.m_nSize || db.m_nColumns < 1) std::abort();
  CStream out;
  int cols = static_cast<int>(db.m_nColumns > 5000 ? 5000 : db.m_nColumns);
  for (int i = 0; i < db.m_Entries.m_nSize && i < 64; ++i) {
    // With duplicate names the lookup finds any one of them, so the found entry's size counts.
    const CNTSO* e = db.FindName(db.m_Entries.m_pData[i]->GetName());
    if (!e) std::abort();
    r = db.ReadColumns(out, e->GetName(), 0, cols);
    if (r == 0 && static_cast<uint64_t>(out.m_nSize) != static_cast<uint64_t>(e->m_wRecordSize) * cols) std::abort();
    // An open database's live records lie inside its file: they are all read.
    if (r != 0 && !e->IsDeleted() && e->m_wRecordSize > 0) std::abort();
    r = db.ReadColumns(out, e->GetName(), cols - 1, 1);
    if (r == 0 && out.m_nSize != e->m_wRecordSize) std::abort();
  }
  db.ReadColumns(out, "absent", 0, 1);
  db.ReadColumns(out, "", -1, 1);
  // Reading ahead changes neither the results nor the bytes of the reads.
  {
    std::string names[65];
    size_t n = 0;
    for (int i = 0; i < db.m_Entries.m_nSize && i < 64; ++i) names[n++] = db.m_Entries.m_pData[i]->GetName();
    names[n++] = "absent";
    CNTSODB ahead;
    if (ahead.Open(base.c_str(), 0) != 0) std::abort();
    ahead.ReadAhead(names, n, 0, cols);
    for (size_t i = 0; i < n; ++i) {
      CStream a, b;
      int ra = ahead.ReadColumns(a, names[i].c_str(), 0, cols);
      int rb = db.ReadColumns(b, names[i].c_str(), 0, cols);
      if (ra != rb || a.m_nSize != b.m_nSize || (a.m_nSize > 0 && std::memcmp(a.m_pData, b.m_pData, static_cast<size_t>(a.m_nSize)) != 0))
        std::abort();
    }
  }
  db.Close();
  return 0;
}
