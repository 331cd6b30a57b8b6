#include "tools/kova/table_ripper.h"

#include <cstdio>

#include "src/metadata/vocabulary.h"
#include "tools/kova/json.h"

namespace kova::tool {
namespace {

// Why createRipper gave no ripper, as far as the table tells.
std::string creationProblem(const KovaObject* table, const KovaRipperOptions& options) {
  const bool output = options.flags & kRipperOutput;
  const bool image = options.flags & kRipperRowImage;
  const std::string recfm = toUtf8(recfmName(table->recfm));
  if (table->encoding < 0 || table->encoding >= kEncodingLimit) {
    return "its encoding " + std::to_string(table->encoding) + " is no encoding identifier";
  }
  if (table->recfm == kRecfmJson && !output) {
    return "the host cannot load the JSON sibling (zrejson) a JSON ripper needs";
  }
  if (image && (table->recfm == kRecfmVarbin || table->recfm == kRecfmNative)) {
    return "row-image " + std::string(output ? "burners" : "rippers") + " do not support " + recfm +
           " records";
  }
  if (recfm.empty()) return "its record format " + std::to_string(table->recfm) + " is unknown";
  return recfm + " records cannot be " + (output ? "burned" : "ripped");
}

}  // namespace

KovaRipper* openRipper(Session& session, KovaObject* table, const KovaRipperOptions& options,
                       const char* command, const std::string& document,
                       const KovaRowLayout** layout, KovaDiagnostics* diagnostics) {
  const char* what = (options.flags & kRipperOutput) ? "burner" : "ripper";
  KovaRipper* ripper = session.extension()->createRipper(
      table, &options, diagnostics ? diagnostics : session.diagnostics());
  if (!ripper) {
    std::fprintf(stderr, "kova %s: %s: cannot create a %s: %s\n", command, document.c_str(), what,
                 creationProblem(table, options).c_str());
    return nullptr;
  }
  const KovaRowLayout* described = ripper->ops.describe(ripper);
  if (layout) *layout = described;
  if (!described) {
    std::fprintf(stderr, "kova %s: %s: describe failed: %s\n", command, document.c_str(),
                 statusText(kStatusNoMemory).c_str());
  } else if (KovaStatus status = ripper->ops.bind(ripper); status != kStatusOk) {
    std::fprintf(stderr, "kova %s: %s: cannot bind the %s: %s\n", command, document.c_str(), what,
                 statusText(status).c_str());
  } else {
    return ripper;
  }
  ripper->ops.destroy(ripper);
  return nullptr;
}

}  // namespace kova::tool
