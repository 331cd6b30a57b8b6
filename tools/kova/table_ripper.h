// Creating, describing and binding a ripper or burner for a table loaded by
// a tool command, with one clear message on stderr when a step fails.
#pragma once

#include <string>

#include "kova/ripper.h"
#include "tools/kova/session.h"

namespace kova::tool {

// The ripper (or burner, with kRipperOutput) for table, described and bound;
// null after printing "kova COMMAND: DOCUMENT: what failed: why". The caller
// destroys the ripper before the table. layout, when given, receives what
// describe returned. diagnostics: what createRipper takes instead of the
// session's (a KovaRejectDiagnostics with kRipperReportRejects).
KovaRipper* openRipper(Session& session, KovaObject* table, const KovaRipperOptions& options,
                       const char* command, const std::string& document,
                       const KovaRowLayout** layout = nullptr,
                       KovaDiagnostics* diagnostics = nullptr);

}  // namespace kova::tool
