// Diagnostics contexts of the reference host: one that records every log line
// and status (tests) and one that prints them to stderr (the tool). Each owns
// the KovaDiagnostics it hands out; keep it alive while the module may log.
// Rippers on several threads may log to one context at once: recording takes
// a lock, and each stderr line is written by one call.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "kova/host.h"

namespace kova::runtime {

struct LogLine {
  int32_t level = 0;
  std::u16string text;
  std::string utf8() const;
};

struct ReportedStatus {
  int32_t level = 0;
  KovaStatus status = 0;
};

class RecordingDiagnostics {
 public:
  RecordingDiagnostics();
  KovaDiagnostics* get() { return &abi_.base; }
  const std::vector<LogLine>& lines() const { return lines_; }
  const std::vector<ReportedStatus>& statuses() const { return statuses_; }
  // lines() and statuses() are for when no ripper is logging any more.
  // True when some line at the given level (0: any) contains the UTF-8 text.
  bool contains(std::string_view utf8, int32_t level = 0) const;
  void clear();

 private:
  struct Abi {
    KovaDiagnostics base;
    RecordingDiagnostics* self;
  };
  static void log(KovaDiagnostics*, int32_t, const char16_t*, int64_t, va_list);
  static void reportStatus(KovaDiagnostics*, int32_t, KovaStatus);
  Abi abi_;
  std::mutex mutex_;  // guards lines_ and statuses_ while the module logs
  std::vector<LogLine> lines_;
  std::vector<ReportedStatus> statuses_;
};

// Prints "kova: error: <text>" (warning, trace) to stderr; lines below
// minimumLevel are dropped.
class StderrDiagnostics {
 public:
  explicit StderrDiagnostics(int32_t minimumLevel = kLogWarning);
  KovaDiagnostics* get() { return &abi_.base; }
  // Lines that begin with "internal:" are printed with "shown:" instead, so
  // that a message names the user's file rather than the name the module
  // gives a document it parses. Empty internal: no renaming.
  void renameDocument(std::string internal, std::string shown);

 private:
  struct Abi {
    KovaDiagnostics base;
    StderrDiagnostics* self;
  };
  static void log(KovaDiagnostics*, int32_t, const char16_t*, int64_t, va_list);
  static void reportStatus(KovaDiagnostics*, int32_t, KovaStatus);
  Abi abi_;
  int32_t minimumLevel_;
  std::string internalName_;
  std::string shownName_;
};

}  // namespace kova::runtime
