// Device lists are read whole into memory and split into lines: whatever the bytes, a line read
// must stay inside its buffer (|max| characters, a line end and a NUL), every call must move on,
// and the whole-line reader must end. The first byte chooses the buffer size.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "support/stdio_mem_file.h"
#include "support/utilities.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  int max = static_cast<int8_t>(data[0]);
  if (max == 0) max = 128;
  std::vector<BYTE> bytes(data + 1, data + size);
  const size_t n = static_cast<size_t>(std::abs(max));

  {
    CStdioMemFile file(bytes.data(), static_cast<UINT>(bytes.size()));
    std::vector<char> buffer(n + 1 + 16, '\x5A');
    size_t calls = 0;
    while (file.ReadString(buffer.data(), max) != nullptr) {
      for (size_t i = n + 1; i < buffer.size(); ++i) {
        if (buffer[i] != '\x5A') std::abort();  // written past |max| + 1
      }
      if (std::strlen(buffer.data()) > n) std::abort();
      if (++calls > bytes.size() + 1) std::abort();  // no progress
      // The number parsers on the line just read, counted and whole.
      (void)StringToByte(buffer.data(), static_cast<int>(n), 10);
      (void)StringToByte(buffer.data(), 16);
      const char* p = buffer.data();
      (void)StringToWord(&p, 0);
    }
  }
  {
    CStdioMemFile file(bytes.data(), static_cast<UINT>(bytes.size()));
    CStrA line;
    size_t lines = 0;
    while (file.ReadString(line)) {
      if (line.m_nSize > 0 && line.m_pData[line.m_nSize - 1] != 0) std::abort();
      if (++lines > bytes.size() + 1) std::abort();
    }
  }
  return 0;
}
