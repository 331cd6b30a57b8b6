// The blocks `kova rip` feeds a ripper: at most the block size read from
// the data file; for VARBIN tables cut at record boundaries, because the
// VARBIN ripper takes whole records per block (the length prefix of each
// record is read here; a record larger than the block size gets a block of
// its own size). One reader per rip, on the ripping thread.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace kova::tool {

class BlockReader {
 public:
  BlockReader(FILE* in, uint64_t blockSize, bool wholeVarbinRecords);

  // The next block, valid until the next call; false at the end of the
  // input or on a read error (readError() tells which).
  bool next(const uint8_t** data, size_t* size);
  // Before the first block: passes over a byte-order mark of the encoding
  // (host identifier) at the start of the input; its length, or 0.
  size_t skipByteOrderMark(int32_t encoding);
  // errno of a failed read, 0 when there was none.
  int readError() const { return readError_; }
  // VARBIN: bytes at the end of the input that do not make a whole record
  // (they are not handed out), and the length their prefix claims (0 when
  // fewer than four bytes are left).
  uint64_t leftover() const { return end_ - start_; }
  uint64_t leftoverClaim() const;
  // After next() gave false: prints what went wrong ("kova COMMAND: NAME:
  // ..." with the offset of the end), a read error or a record the input
  // cut off; false when the input simply ended.
  bool reportFailedEnd(const char* command, const std::string& name, uint64_t offset) const;

 private:
  bool fill(size_t capacity);

  FILE* in_;
  uint64_t blockSize_;
  bool varbin_;
  std::vector<uint8_t> buffer_;
  size_t start_ = 0;  // first byte not yet handed out
  size_t end_ = 0;    // end of the bytes read
  bool eof_ = false;
  int readError_ = 0;
};

}  // namespace kova::tool
