#include "runtime/split/split_rules.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace kova::runtime {
namespace {

constexpr size_t kWindow = 64 * 1024;
// How far a guess at a qualified table's first record looks for a line end
// with an even number of qualifiers before it.
constexpr uint64_t kSpeculationWindow = 64 * 1024;

class FileSource final : public ByteSource {
 public:
  FileSource(int fd, uint64_t size) : fd_(fd), size_(size) {}
  ~FileSource() override { ::close(fd_); }
  uint64_t size() const override { return size_; }
  int64_t read(uint64_t offset, uint8_t* buffer, size_t n) const override {
    size_t done = 0;
    while (done < n) {
      ssize_t got = ::pread(fd_, buffer + done, n - done, off_t(offset + done));
      if (got < 0 && errno == EINTR) continue;
      if (got < 0) return -1;
      if (got == 0) break;
      done += size_t(got);
    }
    return int64_t(done);
  }

 private:
  int fd_;
  uint64_t size_;
};

class MemorySource final : public ByteSource {
 public:
  explicit MemorySource(std::string bytes) : bytes_(std::move(bytes)) {}
  uint64_t size() const override { return bytes_.size(); }
  int64_t read(uint64_t offset, uint8_t* buffer, size_t n) const override {
    if (offset >= bytes_.size()) return 0;
    size_t count = std::min<uint64_t>(n, bytes_.size() - offset);
    std::memcpy(buffer, bytes_.data() + offset, count);
    return int64_t(count);
  }

 private:
  std::string bytes_;
};

// Reads a file unit by unit through a window of kWindow bytes.
class UnitReader {
 public:
  UnitReader(const ByteSource& source, uint32_t unit) : source_(source), unit_(unit) {}
  // The unit at pos; null at the end of the file (or a partial last unit),
  // or when the read fails (failed() tells).
  const uint8_t* at(uint64_t pos) {
    if (pos < base_ || pos + unit_ > base_ + filled_) {
      base_ = pos;
      int64_t got = source_.read(pos, buffer_, kWindow);
      if (got < 0) {
        failed_ = true;
        got = 0;
      }
      filled_ = uint64_t(got);
      if (filled_ < unit_) return nullptr;
    }
    return buffer_ + (pos - base_);
  }
  bool failed() const { return failed_; }

 private:
  const ByteSource& source_;
  uint32_t unit_;
  uint64_t base_ = 0;
  uint64_t filled_ = 0;
  bool failed_ = false;
  uint8_t buffer_[kWindow];
};

// Encodes one ASCII character into the table's encoding: false when the
// NLS service cannot, or the result is not one unit of 1, 2 or 4 bytes.
bool encodeUnit(KovaNls* nls, int32_t encoding, char c, uint8_t* out, uint32_t* length) {
  if (!nls->ops->needsTranscoding(nls, kEncodingUtf8, encoding, 0)) {
    out[0] = uint8_t(c);
    *length = 1;
    return true;
  }
  KovaTranscoder* transcoder = nls->ops->createTranscoder(nls, kEncodingUtf8, encoding, 0, nullptr);
  if (!transcoder) return false;
  uint8_t target[8];
  uint64_t written = 0;
  KovaStatus status =
      transcoder->ops->transcode(transcoder, &c, 1, target, sizeof target, &written, 0);
  transcoder->ops->destroyTranscoder(transcoder);
  if (status != kStatusOk || (written != 1 && written != 2 && written != 4)) return false;
  std::memcpy(out, target, written);
  *length = uint32_t(written);
  return true;
}

}  // namespace

std::unique_ptr<ByteSource> openFileSource(const std::string& path, std::string* error) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    *error = "cannot open " + path + ": " + std::strerror(errno);
    return nullptr;
  }
  struct stat info;
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    *error = path + " is not a regular file (splits need byte ranges of a file)";
    ::close(fd);
    return nullptr;
  }
  return std::make_unique<FileSource>(fd, uint64_t(info.st_size));
}

std::unique_ptr<ByteSource> memorySource(std::string bytes) {
  return std::make_unique<MemorySource>(std::move(bytes));
}

bool shapeOfTable(const KovaObject* table, KovaNls* nls, TableShape* shape, std::string* error) {
  *shape = TableShape{};
  switch (table->recfm) {
    case kRecfmFixed:
      if (table->reclen <= 0) {
        shape->reason = "its FIXED records have no length";
        return true;
      }
      shape->mode = SplitMode::kFixed;
      shape->reclen = uint64_t(table->reclen);
      return true;
    case kRecfmVarbin:
      shape->reason = "VARBIN records can only be found from the first byte of the file";
      return true;
    case kRecfmJson:
    case kRecfmXml:
      shape->reason = "JSON and XML records can only be found from the first byte of the file";
      return true;
    case kRecfmDelimited:
    case kRecfmNative:
      if (table->fieldsep == 10 || table->fieldsep == 13) {
        shape->reason = "its field separator is a line end";
        return true;
      }
      shape->headerLines = table->headerLines > 0 ? table->headerLines : 0;
      shape->mode = table->textqual ? SplitMode::kQualified : SplitMode::kLines;
      break;
    case kRecfmClf:
      shape->crEndsRecord = false;
      shape->mode = SplitMode::kLines;
      break;
    default:
      shape->reason = "its record format cannot be ripped in splits";
      return true;
  }
  uint32_t crLength = 0, lfLength = 0, qLength = 0;
  if (!nls || !encodeUnit(nls, table->encoding, '\r', shape->cr, &crLength) ||
      !encodeUnit(nls, table->encoding, '\n', shape->lf, &lfLength) || crLength != lfLength) {
    *error = "cannot find the line ends of encoding " + std::to_string(table->encoding);
    return false;
  }
  shape->unit = lfLength;
  if (shape->mode == SplitMode::kQualified &&
      (!encodeUnit(nls, table->encoding, char(table->textqual), shape->qualifier, &qLength) ||
       qLength != lfLength)) {
    *error = "cannot find the qualifier in encoding " + std::to_string(table->encoding);
    return false;
  }
  return true;
}

std::vector<Split> planSplits(const TableShape& shape, uint64_t fileSize, uint64_t splitSize) {
  std::vector<Split> splits;
  if (fileSize == 0) return splits;
  if (shape.mode == SplitMode::kWholeFile || splitSize == 0) {
    splits.push_back({0, fileSize});
    return splits;
  }
  for (uint64_t offset = 0; offset < fileSize; offset += splitSize) {
    splits.push_back({offset, std::min(splitSize, fileSize - offset)});
  }
  return splits;
}

SplitRules::SplitRules(const TableShape& shape, const ByteSource& source)
    : shape_(shape), source_(source), size_(source.size()) {
  if (shape_.mode != SplitMode::kLines && shape_.mode != SplitMode::kQualified) return;
  uint64_t at = 0;
  for (int32_t line = 0; line < shape_.headerLines && at < size_; ++line) {
    if (!startAfterEnd(at, false, &at)) {
      ok_ = false;
      at = size_;
    }
  }
  headerEnd_ = at;
}

bool SplitRules::startAfterEnd(uint64_t from, bool parity, uint64_t* start) const {
  const uint32_t u = shape_.unit;
  UnitReader reader(source_, u);
  bool odd = false;
  // Begun inside a qualified field, the parity stays odd for good: past the
  // window the guess is the first line end at all (the caller verifies it).
  uint64_t firstEnd = UINT64_MAX;
  for (uint64_t pos = from;; pos += u) {
    const uint8_t* unit = reader.at(pos);
    if (!unit) {
      *start = std::min(firstEnd, size_);
      return !reader.failed();
    }
    if (parity && std::memcmp(unit, shape_.qualifier, u) == 0) {
      odd = !odd;
      continue;
    }
    uint64_t after = 0;
    if (std::memcmp(unit, shape_.lf, u) == 0) {
      after = pos + u;
    } else if (shape_.crEndsRecord && std::memcmp(unit, shape_.cr, u) == 0) {
      const uint8_t* next = reader.at(pos + u);
      if (reader.failed()) return false;
      after = next && std::memcmp(next, shape_.lf, u) == 0 ? pos + 2 * u : pos + u;
    } else {
      continue;
    }
    if (!odd) {
      *start = after;
      return true;
    }
    firstEnd = std::min(firstEnd, after);
    if (pos - from >= kSpeculationWindow) {
      *start = firstEnd;
      return true;
    }
  }
}

bool SplitRules::recordStart(uint64_t offset, uint64_t* start) const {
  if (offset >= size_) {
    *start = size_;
    return true;
  }
  switch (shape_.mode) {
    case SplitMode::kWholeFile:
      *start = offset == 0 ? 0 : size_;
      return true;
    case SplitMode::kFixed: {
      const uint64_t records = offset / shape_.reclen + (offset % shape_.reclen != 0);
      *start = std::min(size_, records * shape_.reclen);
      return true;
    }
    case SplitMode::kLines:
    case SplitMode::kQualified:
      break;
  }
  if (offset <= headerEnd_) {
    *start = headerEnd_;
    return true;
  }
  // The unit holding byte offset - 1: an end there still lets a record begin
  // at offset (or at the byte after a CR LF pair that straddles offset).
  const uint64_t from = (offset - 1) / shape_.unit * shape_.unit;
  return startAfterEnd(from, false, start);
}

bool SplitRules::range(const Split& split, uint64_t* begin, uint64_t* end) const {
  return recordStart(split.offset, begin) && recordStart(split.offset + split.length, end) &&
         (*end = std::max(*begin, *end), true);
}

bool SplitRules::speculativeStart(uint64_t offset, uint64_t* start) const {
  if (shape_.mode != SplitMode::kQualified || offset == 0) return recordStart(offset, start);
  if (offset >= size_) {
    *start = size_;
    return true;
  }
  const uint64_t from = (offset - 1) / shape_.unit * shape_.unit;
  if (!startAfterEnd(from, true, start)) return false;
  *start = std::max(*start, headerEnd_);
  return true;
}

bool SplitRules::lineFeedAt(uint64_t pos) const {
  uint8_t unit[4];
  return pos + shape_.unit <= size_ &&
         source_.read(pos, unit, shape_.unit) == int64_t(shape_.unit) &&
         std::memcmp(unit, shape_.lf, shape_.unit) == 0;
}

bool SplitRules::nextLineEnd(uint64_t from, uint64_t* at) const {
  const uint32_t u = shape_.unit;
  UnitReader reader(source_, u);
  for (uint64_t pos = from;; pos += u) {
    const uint8_t* unit = reader.at(pos);
    if (!unit) {
      *at = size_;
      return !reader.failed();
    }
    if (std::memcmp(unit, shape_.lf, u) == 0 || std::memcmp(unit, shape_.cr, u) == 0) {
      *at = pos;
      return true;
    }
  }
}

}  // namespace kova::runtime
