// Reads of 864-byte records at scattered offsets of a 3 MB file: through CIOFile (open, N reads
// each waiting for its reply from the receive thread, close) and, for comparison, with plain
// open/pread/close in the calling thread. items_per_second is reads per second. BM_IOFilePhases
// times one open, one read and one close apart. The file is removed at exit, also when the run is
// interrupted.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench_temp.h"
#include "platform/kernel/files.h"
#include "support/io_file.h"

namespace {

constexpr int kRecord = 864;
constexpr int kFileSize = 3 * 1024 * 1024;
constexpr int kRecords = kFileSize / kRecord;

const CBenchTempPath g_file("qav_iofile_bench");

const std::string& TestFile() {
  static const std::string path = [] {
    std::string p = g_file.Path();
    std::vector<char> data(kFileSize);
    for (int i = 0; i < kFileSize; ++i) data[i] = static_cast<char>(i * 31 + 7);
    FILE* f = std::fopen(p.c_str(), "wb");
    if (!f || std::fwrite(data.data(), 1, data.size(), f) != data.size() || std::fclose(f) != 0) {
      std::fprintf(stderr, "cannot write %s\n", p.c_str());
      std::exit(1);
    }
    return p;
  }();
  return path;
}

// Record indexes spread over the whole file.
std::vector<int64_t> Offsets(int n) {
  std::vector<int64_t> offsets(n);
  uint32_t x = 12345;
  for (int i = 0; i < n; ++i) {
    x = x * 1103515245u + 12345u;
    offsets[i] = static_cast<int64_t>((x >> 8) % kRecords) * kRecord;
  }
  return offsets;
}

void BM_IOFileReads(benchmark::State& state) {
  const std::string& path = TestFile();
  const std::vector<int64_t> offsets = Offsets(static_cast<int>(state.range(0)));
  CStream record;
  for (auto _ : state) {
    CIOFile file;
    if (file.Open(path.c_str(), GENERIC_READ, OPEN_EXISTING, FILE_SHARE_READ, 0) != 0) {
      state.SkipWithError("open failed");
      break;
    }
    for (int64_t offset : offsets) {
      record.m_nSeekMode = 0;
      record.m_nPosition = offset;
      if (file.Read(record, kRecord) != 0 || record.m_nSize != kRecord) {
        state.SkipWithError("read failed");
        break;
      }
      benchmark::DoNotOptimize(record.m_pData[0]);
    }
    file.Close();
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(offsets.size()));
}

void BM_PreadReads(benchmark::State& state) {
  const std::string& path = TestFile();
  const std::vector<int64_t> offsets = Offsets(static_cast<int>(state.range(0)));
  std::vector<unsigned char> buffer(kRecord);
  for (auto _ : state) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
      state.SkipWithError("open failed");
      break;
    }
    for (int64_t offset : offsets) {
      if (::pread(fd, buffer.data(), kRecord, offset) != kRecord) {
        state.SkipWithError("read failed");
        break;
      }
      benchmark::DoNotOptimize(buffer[0]);
    }
    ::close(fd);
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(offsets.size()));
}

// One open, one read and one close, timed apart: the first read also waits until the new receive
// thread has been scheduled, which on a loaded machine is most of the cost of a short open.
void BM_IOFilePhases(benchmark::State& state) {
  using Clock = std::chrono::steady_clock;
  const std::string& path = TestFile();
  Clock::duration open{}, read{}, close{};
  CStream record;
  for (auto _ : state) {
    const Clock::time_point t0 = Clock::now();
    CIOFile file;
    if (file.Open(path.c_str(), GENERIC_READ, OPEN_EXISTING, FILE_SHARE_READ, 0) != 0) {
      state.SkipWithError("open failed");
      break;
    }
    const Clock::time_point t1 = Clock::now();
    record.m_nSeekMode = 0;
    record.m_nPosition = 100 * kRecord;
    if (file.Read(record, kRecord) != 0) {
      state.SkipWithError("read failed");
      break;
    }
    const Clock::time_point t2 = Clock::now();
    file.Close();
    const Clock::time_point t3 = Clock::now();
    open += t1 - t0;
    read += t2 - t1;
    close += t3 - t2;
  }
  const double n = static_cast<double>(state.iterations() > 0 ? state.iterations() : 1);
  auto us = [n](Clock::duration d) { return std::chrono::duration<double, std::micro>(d).count() / n; };
  state.counters["open_us"] = us(open);
  state.counters["first_read_us"] = us(read);
  state.counters["close_us"] = us(close);
}

BENCHMARK(BM_IOFileReads)->Arg(1)->Arg(16)->Arg(288)->Arg(3640)->UseRealTime();
BENCHMARK(BM_PreadReads)->Arg(1)->Arg(16)->Arg(288)->Arg(3640)->UseRealTime();
BENCHMARK(BM_IOFilePhases)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
