// Reading the sample of a data file for `kova meta infer`: the first bytes
// plus evenly spaced spans across the rest (each cut to whole lines), or the
// whole file in chunks; and decoding sampled bytes to UTF-8 through the
// host's transcoders.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "kova/host.h"
#include "tools/kova/infer_encoding.h"

namespace kova::tool::infer {

inline constexpr uint64_t kDefaultHead = 1 << 20;
inline constexpr int kSpanCount = 64;

class SampleFile {
 public:
  SampleFile() = default;
  ~SampleFile();
  SampleFile(const SampleFile&) = delete;
  SampleFile& operator=(const SampleFile&) = delete;

  // "-" reads stdin (no spans then). False and *error when it cannot be opened.
  bool open(const std::string& path, std::string* error);
  // The file's size, or 0 when it is not known (stdin).
  uint64_t size() const { return size_; }
  bool seekable() const { return seekable_; }
  // The first bytes of the file, at most limit.
  bool readHead(uint64_t limit, std::string* bytes, std::string* error);
  // count spans of about spanBytes each, evenly spaced after the first
  // `after` bytes, each cut to whole lines of the encoding. Nothing when
  // the file is not seekable or the spans would overlap the head.
  bool readSpans(uint64_t after, int count, uint64_t spanBytes, const EncodingGuess& encoding,
                 std::vector<std::string>* spans, std::string* error);
  // The whole file from its start, chunk by chunk: each chunk ends after a
  // line feed (or at the end of the file); *last is set with the final one.
  bool rewind(std::string* error);
  bool nextChunk(const EncodingGuess& encoding, std::string* chunk, bool* last, std::string* error);
  uint64_t bytesRead() const { return bytesRead_; }

 private:
  FILE* file_ = nullptr;
  bool ownFile_ = false;
  bool seekable_ = false;
  uint64_t size_ = 0;
  uint64_t bytesRead_ = 0;
  std::string path_;
  std::string carry_;
  bool eof_ = false;
};

// Text in an encoding to UTF-8. UTF-8 passes through; the others go through
// the host's transcoder (so every encoding the host knows can be sampled).
class Decoder {
 public:
  Decoder(KovaNls* nls, const EncodingGuess& encoding);
  ~Decoder();
  Decoder(const Decoder&) = delete;
  Decoder& operator=(const Decoder&) = delete;
  bool ok() const { return passThrough_ || transcoder_ != nullptr; }
  // *utf8 = bytes as UTF-8; false when the host cannot convert them.
  bool decode(std::string_view bytes, std::string* utf8);

 private:
  bool passThrough_ = false;
  KovaTranscoder* transcoder_ = nullptr;
};

}  // namespace kova::tool::infer
