#include "tools/kova/block_reader.h"

#include <cerrno>
#include <cstring>

#include "tools/kova/byte_order_mark.h"

namespace kova::tool {
namespace {

int32_t recordLength(const uint8_t* at) {
  uint32_t value =
      uint32_t(at[0]) | uint32_t(at[1]) << 8 | uint32_t(at[2]) << 16 | uint32_t(at[3]) << 24;
  return static_cast<int32_t>(value);
}

}  // namespace

BlockReader::BlockReader(FILE* in, uint64_t blockSize, bool wholeVarbinRecords)
    : in_(in), blockSize_(blockSize), varbin_(wholeVarbinRecords) {}

uint64_t BlockReader::leftoverClaim() const {
  return end_ - start_ >= 4 ? uint64_t(recordLength(buffer_.data() + start_)) : 0;
}

// Moves what was not handed out to the front and reads until the buffer
// holds capacity bytes or the input ends.
bool BlockReader::fill(size_t capacity) {
  if (start_ > 0) {
    std::memmove(buffer_.data(), buffer_.data() + start_, end_ - start_);
    end_ -= start_;
    start_ = 0;
  }
  if (buffer_.size() < capacity) buffer_.resize(capacity);
  while (end_ < capacity && !eof_) {
    const size_t n = std::fread(buffer_.data() + end_, 1, capacity - end_, in_);
    end_ += n;
    if (n == 0) {
      eof_ = true;
      if (std::ferror(in_)) {
        readError_ = errno != 0 ? errno : EIO;
        return false;
      }
    }
  }
  return true;
}

bool BlockReader::reportFailedEnd(const char* command, const std::string& name,
                                  uint64_t offset) const {
  if (readError_ != 0) {
    std::fprintf(stderr, "kova %s: %s: read error at offset %llu: %s\n", command, name.c_str(),
                 static_cast<unsigned long long>(offset), std::strerror(readError_));
    return true;
  }
  if (leftover() == 0) return false;
  std::fprintf(stderr,
               "kova %s: %s: the input ends inside a record: %llu bytes at offset %llu, of a "
               "record of %llu\n",
               command, name.c_str(), static_cast<unsigned long long>(leftover()),
               static_cast<unsigned long long>(offset),
               static_cast<unsigned long long>(leftoverClaim()));
  return true;
}

size_t BlockReader::skipByteOrderMark(int32_t encoding) {
  if (!fill(4)) return 0;
  const size_t mark = byteOrderMarkLength(
      encoding, {reinterpret_cast<const char*>(buffer_.data() + start_), end_ - start_});
  start_ += mark;
  return mark;
}

bool BlockReader::next(const uint8_t** data, size_t* size) {
  size_t capacity = size_t(blockSize_);
  for (;;) {
    if (!fill(capacity)) return false;
    if (!varbin_) {
      *data = buffer_.data();
      *size = end_;
      start_ = end_;
      return end_ > 0;
    }
    // Whole records from the front.
    size_t position = 0;
    while (end_ - position >= 4) {
      const int32_t length = recordLength(buffer_.data() + position);
      if (length < 4) {
        // Not a record: the ripper reports it with its offset.
        position = end_;
        break;
      }
      if (uint64_t(length) > end_ - position) break;
      position += size_t(length);
    }
    if (position > 0) {
      *data = buffer_.data();
      *size = position;
      start_ = position;
      return true;
    }
    if (eof_) return false;  // what is left is no whole record
    // The first record is larger than the block: a block of its own size.
    capacity = end_ < 4 ? 4 : size_t(recordLength(buffer_.data()));
  }
}

}  // namespace kova::tool
