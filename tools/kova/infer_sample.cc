#include "tools/kova/infer_sample.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "kova/status.h"

namespace kova::tool::infer {
namespace {

constexpr size_t kChunk = 4 << 20;

bool readAt(FILE* file, uint64_t offset, uint64_t count, std::string* bytes) {
  if (fseeko(file, off_t(offset), SEEK_SET) != 0) return false;
  bytes->resize(count);
  size_t n = std::fread(bytes->data(), 1, count, file);
  bytes->resize(n);
  return !std::ferror(file);
}

}  // namespace

SampleFile::~SampleFile() {
  if (file_ && ownFile_) std::fclose(file_);
}

bool SampleFile::open(const std::string& path, std::string* error) {
  path_ = path;
  if (path == "-") {
    file_ = stdin;
    return true;
  }
  file_ = std::fopen(path.c_str(), "rb");
  if (!file_) {
    *error = "cannot open " + path + ": " + std::strerror(errno);
    return false;
  }
  ownFile_ = true;
  struct stat info;
  if (fstat(fileno(file_), &info) == 0 && S_ISREG(info.st_mode)) {
    seekable_ = true;
    size_ = uint64_t(info.st_size);
  } else if (fstat(fileno(file_), &info) == 0 && S_ISDIR(info.st_mode)) {
    *error = path + " is a directory";
    return false;
  }
  return true;
}

bool SampleFile::readHead(uint64_t limit, std::string* bytes, std::string* error) {
  if (seekable_) {
    if (!readAt(file_, 0, seekable_ ? std::min(limit, size_) : limit, bytes)) {
      *error = "cannot read " + path_ + ": " + std::strerror(errno);
      return false;
    }
    bytesRead_ = bytes->size();
    return true;
  }
  bytes->resize(limit);
  size_t n = std::fread(bytes->data(), 1, limit, file_);
  bytes->resize(n);
  bytesRead_ = n;
  if (std::ferror(file_)) {
    *error = "cannot read " + path_;
    return false;
  }
  // What was read is kept for a whole-file pass, which cannot seek back.
  carry_ = *bytes;
  return true;
}

bool SampleFile::readSpans(uint64_t after, int count, uint64_t spanBytes,
                           const EncodingGuess& encoding, std::vector<std::string>* spans,
                           std::string* error) {
  if (!seekable_ || count <= 0 || size_ <= after + spanBytes) return true;
  const uint64_t room = size_ - after;
  const uint64_t step = room / uint64_t(count);
  for (int k = 0; k < count; ++k) {
    // Aligned to 4 bytes, so that 16- and 32-bit units line up.
    uint64_t at = (after + step * uint64_t(k) + step / 2) & ~uint64_t(3);
    if (at >= size_) break;
    std::string bytes;
    if (!readAt(file_, at, std::min<uint64_t>(spanBytes, size_ - at), &bytes)) {
      *error = "cannot read " + path_ + ": " + std::strerror(errno);
      return false;
    }
    bytesRead_ += bytes.size();
    size_t begin = afterLineFeed(bytes, 0, encoding);
    size_t end = at + bytes.size() == size_ ? bytes.size() : afterLastLineFeed(bytes, encoding);
    if (begin == std::string::npos || end == std::string::npos || end <= begin) continue;
    spans->push_back(bytes.substr(begin, end - begin));
  }
  return true;
}

bool SampleFile::rewind(std::string* error) {
  bytesRead_ = 0;
  eof_ = false;
  if (!seekable_) {
    bytesRead_ = carry_.size();
    return true;  // the head read before stays in carry_
  }
  carry_.clear();
  if (fseeko(file_, 0, SEEK_SET) != 0) {
    *error = "cannot read " + path_ + ": " + std::strerror(errno);
    return false;
  }
  return true;
}

bool SampleFile::nextChunk(const EncodingGuess& encoding, std::string* chunk, bool* last,
                           std::string* error) {
  chunk->swap(carry_);
  carry_.clear();
  while (!eof_ && chunk->size() < kChunk) {
    size_t old = chunk->size();
    chunk->resize(old + kChunk);
    size_t n = std::fread(chunk->data() + old, 1, kChunk, file_);
    chunk->resize(old + n);
    bytesRead_ += n;
    if (n < kChunk) {
      if (std::ferror(file_)) {
        *error = "cannot read " + path_ + ": " + std::strerror(errno);
        return false;
      }
      eof_ = std::feof(file_);
    }
  }
  *last = eof_;
  if (!eof_) {
    size_t end = afterLastLineFeed(*chunk, encoding);
    if (end != std::string::npos && end < chunk->size()) {
      carry_.assign(*chunk, end, std::string::npos);
      chunk->resize(end);
    }
  }
  return true;
}

Decoder::Decoder(KovaNls* nls, const EncodingGuess& encoding) {
  if (encoding.id == 20 || encoding.id == 62) {
    passThrough_ = true;
    return;
  }
  if (nls) transcoder_ = nls->ops->createTranscoder(nls, encoding.id, 20, 0, nullptr);
}

Decoder::~Decoder() {
  if (transcoder_) transcoder_->ops->destroyTranscoder(transcoder_);
}

bool Decoder::decode(std::string_view bytes, std::string* utf8) {
  if (passThrough_) {
    utf8->assign(bytes);
    return true;
  }
  if (!transcoder_) return false;
  if (bytes.empty()) {
    utf8->clear();
    return true;
  }
  uint64_t capacity = bytes.size() * 3 + 16;
  for (int attempt = 0; attempt < 3; ++attempt, capacity *= 2) {
    utf8->resize(capacity);
    uint64_t written = 0;
    KovaStatus status = transcoder_->ops->transcode(transcoder_, bytes.data(), bytes.size(),
                                                    utf8->data(), capacity, &written, 0);
    if (status == kStatusTargetTooSmall) continue;
    if (status != kStatusOk && status != kStatusTranscodeWarning) return false;
    utf8->resize(written);
    return true;
  }
  return false;
}

}  // namespace kova::tool::infer
