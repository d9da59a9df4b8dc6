// The few file operations the database layer uses, on the support library's asynchronous file.
// Writes are queued sends at absolute offsets; reads and size queries first let queued writes
// finish, so they see them.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/kernel/files.h"
#include "support/io_file.h"
#include "support/stream.h"

namespace ntsoio {

// Queues `length` bytes for writing at `offset`. 0 when queued (1782 for no bytes, 1200 not open).
int SendAt(CIOFile& file, uint64_t offset, const void* data, size_t length);
// Queues `length` zero bytes at `offset`, in pieces of at most 32 KiB.
int SendZeros(CIOFile& file, uint64_t offset, uint64_t length);
// Reads `length` bytes at `offset` into out (seek mode 0, position offset). At the end of the file
// out holds fewer bytes with result 0; a read that finds no bytes gives 38. When `direct` is an
// open file (a database opened only for reading), the read runs on the calling thread straight
// from it with the same results; otherwise it is a queued read of the asynchronous file.
int ReadAt(CIOFile& file, FileHandle* direct, uint64_t offset, size_t length, CStream& out);
// Reads the 512-byte header block; a file shorter than that is malformed (87).
int ReadHeaderBlock(CIOFile& file, FileHandle* direct, CStream& block);
// Waits until every queued write is done; returns the first write error since the last wait.
int Flush(CIOFile& file);
// The file's size after its queued writes.
uint64_t SizeOf(CIOFile& file);
uint64_t SizeOf(CIOFile& file, FileHandle* direct);

}  // namespace ntsoio
