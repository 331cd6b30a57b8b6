// A KovaRejectDiagnostics for tests of kRipperReportRejects: it forwards log
// lines and statuses and records each rejected value as one line of text.
#pragma once

#include <cstdarg>
#include <string>
#include <vector>

#include "kova/extension.h"
#include "kova/ripper.h"

namespace kova::testing {

// A KovaRejectDiagnostics that records each reject as
// "row:column:reason:fieldOffset@recordOffset:text" (a qualified field's
// line ends in place of the text), rows counted from the start of the input.
// abi comes first: the module hands back its address.
struct Recorder {
  KovaRejectDiagnostics abi;
  KovaDiagnostics* forward;
  uint64_t rowsBefore = 0;
  std::vector<std::string> seen;
  bool hex = false;  // the field's bytes in hex (binary fields) instead of as text

  static void log(KovaDiagnostics* self, int32_t level, const char16_t* format, int64_t length,
                  va_list args) {
    KovaDiagnostics* forward = reinterpret_cast<Recorder*>(self)->forward;
    forward->ops->log(forward, level, format, length, args);
  }
  static void status(KovaDiagnostics* self, int32_t level, KovaStatus code) {
    KovaDiagnostics* forward = reinterpret_cast<Recorder*>(self)->forward;
    forward->ops->reportStatus(forward, level, code);
  }
  static void reject(KovaRejectDiagnostics* self, KovaRipper*, const KovaReject* r) {
    auto* recorder = reinterpret_cast<Recorder*>(self);
    // Where a block left a qualified field open is a position, not a value:
    // it depends on the cut, so these tests keep to the values.
    if (r->reason == kRejectOpenQualified) return;
    std::string text =
        r->reason == kRejectQualifiedLineEnds
            ? std::to_string(r->lineEnds)
            : std::string(reinterpret_cast<const char*>(r->field), size_t(r->fieldLength));
    if (recorder->hex && r->reason != kRejectQualifiedLineEnds) {
      static const char kDigits[] = "0123456789ABCDEF";
      std::string bytes;
      for (unsigned char c : text) bytes += {kDigits[c >> 4], kDigits[c & 15]};
      text = bytes;
    }
    recorder->seen.push_back(std::to_string(recorder->rowsBefore + r->row) + ":" +
                             std::to_string(r->column) + ":" + std::to_string(r->reason) + ":" +
                             std::to_string(r->fieldOffset) + "@" +
                             std::to_string(r->recordOffset) + ":" + text);
  }
  explicit Recorder(KovaDiagnostics* to) : forward(to) {
    static const KovaDiagnosticsOps kOps = {&Recorder::log, &Recorder::status};
    abi.base.ops = &kOps;
    abi.reject = &Recorder::reject;
  }
};

// A ripper of table created with kRipperReportRejects into recorder,
// described and bound; null (whatever was made destroyed) when a step fails,
// as it may under allocation failures.
inline KovaRipper* tryReportingRipper(KovaExtensionObject* extension, KovaObject* table,
                                      Recorder* recorder, uint32_t flags = 0) {
  KovaRipperOptions options{};
  options.flags = flags | kRipperReportRejects;
  KovaRipper* ripper = extension->createRipper(table, &options, &recorder->abi.base);
  if (!ripper) return nullptr;
  if (!ripper->ops.describe(ripper) || ripper->ops.bind(ripper) != kStatusOk) {
    ripper->ops.destroy(ripper);
    return nullptr;
  }
  return ripper;
}

}  // namespace kova::testing
