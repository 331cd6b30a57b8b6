// Split rules: which records of a table's file belong to a byte range
// [offset, offset + length) of it. A split's rows are the records that begin
// inside it, each read to its end even past the range, so that any partition
// of a file into splits gives exactly the rows of the whole file. The module
// only sees blocks; these rules decide which bytes a host feeds it.
// SplitRules is immutable after construction: any number of threads may ask
// it at once (each read goes through the ByteSource, which must allow that).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "kova/host.h"
#include "kova/metadata.h"

namespace kova::runtime {

// Bytes of a file at any offset; read may be called from several threads.
class ByteSource {
 public:
  virtual ~ByteSource() = default;
  virtual uint64_t size() const = 0;
  // Up to n bytes at offset into buffer: the count read (0 at the end of the
  // file), or -1 when the file cannot be read.
  virtual int64_t read(uint64_t offset, uint8_t* buffer, size_t n) const = 0;
};

// A file opened for positioned reads (pread); null and *error when it cannot
// be opened or is not a regular file (a pipe has no byte ranges).
std::unique_ptr<ByteSource> openFileSource(const std::string& path, std::string* error);

// Bytes held in memory (tests, embedding programs); the bytes are copied.
std::unique_ptr<ByteSource> memorySource(std::string bytes);

// How records of a table are found from the middle of its file.
enum class SplitMode {
  kLines,      // records end at line ends (DELIMITED/NATIVE, CLF)
  kQualified,  // as kLines, but a qualified field may hold line ends
  kFixed,      // records of reclen bytes
  kWholeFile,  // records cannot be found from the middle: one split per file
};

// What the rules need to know of a table. Line ends and the qualifier are
// kept in the table's encoding: unit bytes each (1, 2 for UTF-16, 4 for
// UTF-32), looked for only at multiples of unit from the file's start.
struct TableShape {
  SplitMode mode = SplitMode::kWholeFile;
  std::string reason;        // kWholeFile: why the file is one split
  uint64_t reclen = 0;       // kFixed
  int32_t headerLines = 0;   // lines skipped at the start of the file
  bool crEndsRecord = true;  // DELIMITED/NATIVE: CR, LF and CR LF; CLF: LF only
  uint32_t unit = 1;
  uint8_t cr[4] = {13};
  uint8_t lf[4] = {10};
  uint8_t qualifier[4] = {};
};

// The shape of a table: its record format decides the mode; the line ends
// and the qualifier are encoded through the host's NLS service. False and
// *error when the NLS service cannot encode them.
bool shapeOfTable(const KovaObject* table, KovaNls* nls, TableShape* shape, std::string* error);

struct Split {
  uint64_t offset = 0;
  uint64_t length = 0;
};

// The splits of a file of fileSize bytes, splitSize bytes each (the last may
// be shorter); one split for a kWholeFile table; none for an empty file.
std::vector<Split> planSplits(const TableShape& shape, uint64_t fileSize, uint64_t splitSize);

class SplitRules {
 public:
  // source must outlive the rules. Reads the header lines' bytes once.
  SplitRules(const TableShape& shape, const ByteSource& source);

  // False when the file could not be read to find the header lines' end.
  bool ok() const { return ok_; }

  const TableShape& shape() const { return shape_; }
  uint64_t fileSize() const { return size_; }

  // The first record that begins at or after offset (the file's size when
  // none does), by the rule of the mode: after the first record end at or
  // after offset - 1 (a CR LF pair is one end, also when a split boundary
  // falls between them); a multiple of reclen; 0 or the end of the file for
  // kWholeFile. Never before the end of the header lines. kQualified tables
  // are read as if no qualified field held a line end. False when the file
  // cannot be read.
  bool recordStart(uint64_t offset, uint64_t* start) const;

  // The bytes whose records are the split's rows: [*begin, *end).
  bool range(const Split& split, uint64_t* begin, uint64_t* end) const;

  // The byte after the header lines, found by the line rule (0 without).
  uint64_t headerEnd() const { return headerEnd_; }

  // kQualified: a guess at the first record at or after offset, from the
  // parity of the qualifiers between offset and each line end. Whoever uses
  // it must verify it against where the previous record really ended.
  bool speculativeStart(uint64_t offset, uint64_t* start) const;

  // True when the unit at pos (a multiple of the unit) is a line feed.
  bool lineFeedAt(uint64_t pos) const;

  // The first unit at or after from (a multiple of the unit) that is a CR or
  // an LF, or the file's size; false when the file cannot be read.
  bool nextLineEnd(uint64_t from, uint64_t* at) const;

 private:
  // The start of the record after the first record end at or after from (a
  // multiple of the unit); with parity, only ends with an even number of
  // qualifiers between from and them count.
  bool startAfterEnd(uint64_t from, bool parity, uint64_t* start) const;

  TableShape shape_;
  const ByteSource& source_;
  uint64_t size_;
  uint64_t headerEnd_ = 0;
  bool ok_ = true;
};

}  // namespace kova::runtime
