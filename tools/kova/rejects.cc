#include "tools/kova/rejects.h"

#include <string_view>

#include "tools/kova/json.h"
#include "tools/kova/utf8_repair.h"

namespace kova::tool {
namespace {

std::string offsetText(int64_t offset, int64_t base) {
  return offset >= 0 ? std::to_string(offset + base) : "null";
}

}  // namespace

RejectLog::RejectLog(FILE* out, std::string file, uint64_t limit, uint64_t header,
                     std::vector<std::string> columns)
    : out_(out),
      file_(std::move(file)),
      limit_(limit),
      header_(header),
      columns_(std::move(columns)) {}

const char* RejectLog::reasonText(uint32_t reason) {
  switch (reason) {
    case kRejectNotReadable:
      return "not readable for its column";
    case kRejectOutOfRange:
      return "out of range";
    case kRejectCut:
      return "cut to the column";
    case kRejectBeyondLastColumn:
      return "beyond the last column";
    default:
      return "unknown";
  }
}

bool RejectLog::printable(std::string_view bytes) {
  for (unsigned char c : bytes) {
    if (c < 0x20 || c == 0x7F) return false;
  }
  return countInvalidUtf8(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()) == 0;
}

std::string RejectLog::hex(std::string_view bytes) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(bytes.size() * 2);
  for (unsigned char c : bytes) {
    out += kDigits[c >> 4];
    out += kDigits[c & 15];
  }
  return out;
}

void RejectLog::write(const KovaReject& reject, int64_t base) {
  // Values after the limit belong to rows that are not printed either.
  if (count_ >= limit_) return;
  ++count_;
  const uint64_t row = rowsBefore_ + reject.row;
  if (count_ == limit_) limitRow_ = row;
  if (!out_) return;
  const std::string column =
      reject.column < columns_.size() ? columns_[reject.column] : std::to_string(reject.column);
  const std::string_view text(reinterpret_cast<const char*>(reject.field),
                              reject.field ? size_t(reject.fieldLength) : 0);
  std::string line = "{\"file\":" + jsonString(file_);
  line += ",\"offset\":" + offsetText(reject.recordOffset, base);
  line += ",\"fieldOffset\":" + offsetText(reject.fieldOffset, base);
  line += ",\"record\":" + std::to_string(header_ + row + 1);
  line += ",\"column\":" + jsonString(column);
  line += ",\"text\":" + jsonString(text);
  line += ",\"reason\":" + jsonString(reasonText(reject.reason));
  // Binary bytes (a number, text in another encoding) also as they are.
  if (binary_ && !printable(text)) line += ",\"hex\":\"" + hex(text) + "\"";
  line += "}\n";
  std::fwrite(line.data(), 1, line.size(), out_);
}

}  // namespace kova::tool
