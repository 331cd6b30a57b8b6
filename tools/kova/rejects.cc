#include "tools/kova/rejects.h"

#include <string_view>

#include "tools/kova/json.h"

namespace kova::tool {

const KovaDiagnosticsOps RejectLog::kForwardOps = {&RejectLog::onLog, &RejectLog::onStatus};

RejectLog::RejectLog(KovaDiagnostics* forward, FILE* out, std::string file, uint64_t limit,
                     uint64_t header, std::vector<std::string> columns)
    : forward_(forward),
      out_(out),
      file_(std::move(file)),
      limit_(limit),
      header_(header),
      columns_(std::move(columns)) {
  sink_.abi.base.ops = &kForwardOps;
  sink_.abi.reject = &RejectLog::onReject;
  sink_.owner = this;
}

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

void RejectLog::onReject(KovaRejectDiagnostics* self, KovaRipper*, const KovaReject* reject) {
  reinterpret_cast<Sink*>(self)->owner->write(*reject);
}

void RejectLog::onLog(KovaDiagnostics* context, int32_t level, const char16_t* format,
                      int64_t formatLength, va_list args) {
  KovaDiagnostics* forward = reinterpret_cast<Sink*>(context)->owner->forward_;
  if (forward) forward->ops->log(forward, level, format, formatLength, args);
}

void RejectLog::onStatus(KovaDiagnostics* context, int32_t level, KovaStatus status) {
  KovaDiagnostics* forward = reinterpret_cast<Sink*>(context)->owner->forward_;
  if (forward) forward->ops->reportStatus(forward, level, status);
}

void RejectLog::write(const KovaReject& reject) {
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
  std::string line = "{\"file\":" + jsonString(file_) + ",\"offset\":";
  line += reject.fieldOffset >= 0 ? std::to_string(reject.fieldOffset) : "null";
  line += ",\"record\":" + std::to_string(header_ + row + 1);
  line += ",\"column\":" + jsonString(column);
  line += ",\"text\":" + jsonString(text);
  line += ",\"reason\":" + jsonString(reasonText(reject.reason)) + "}\n";
  std::fwrite(line.data(), 1, line.size(), out_);
}

}  // namespace kova::tool
