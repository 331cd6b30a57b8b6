// The two diagnostics contexts. Log lines are formatted with the host's wide
// printf; stderr output is UTF-8.
#include "runtime/kernel/diagnostics.h"

#include <cstdint>
#include <cstdio>
#include <string_view>

#include "runtime/kernel/print_wide.h"

namespace kova::runtime {
namespace {

// UTF-16 to UTF-8; an unpaired surrogate becomes U+FFFD.
std::string toUtf8(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    uint32_t code = text[i];
    if (code >= 0xD800 && code <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
      code = 0x10000 + ((code - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    } else if (code >= 0xD800 && code <= 0xDFFF) {
      code = 0xFFFD;
    }
    if (code < 0x80) {
      out += static_cast<char>(code);
    } else if (code < 0x800) {
      out += static_cast<char>(0xC0 | (code >> 6));
      out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
      out += static_cast<char>(0xE0 | (code >> 12));
      out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (code >> 18));
      out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (code & 0x3F));
    }
  }
  return out;
}

const char* levelName(int32_t level) {
  switch (level) {
    case kLogError:
      return "error";
    case kLogWarning:
      return "warning";
    case kLogTrace:
      return "trace";
    default:
      return "note";
  }
}

}  // namespace

std::string LogLine::utf8() const { return toUtf8(text); }

// ---- RecordingDiagnostics ------------------------------------------------

RecordingDiagnostics::RecordingDiagnostics() {
  static const KovaDiagnosticsOps kOps = {&RecordingDiagnostics::log,
                                          &RecordingDiagnostics::reportStatus};
  abi_.base.ops = &kOps;
  abi_.self = this;
}

void RecordingDiagnostics::log(KovaDiagnostics* context, int32_t level, const char16_t* format,
                               int64_t formatLength, va_list args) {
  RecordingDiagnostics* self = reinterpret_cast<Abi*>(context)->self;
  LogLine line{level, vformatWide(format, formatLength, args)};
  std::lock_guard<std::mutex> lock(self->mutex_);
  self->lines_.push_back(std::move(line));
}

void RecordingDiagnostics::reportStatus(KovaDiagnostics* context, int32_t level,
                                        KovaStatus status) {
  RecordingDiagnostics* self = reinterpret_cast<Abi*>(context)->self;
  std::lock_guard<std::mutex> lock(self->mutex_);
  self->statuses_.push_back({level, status});
}

bool RecordingDiagnostics::contains(std::string_view utf8, int32_t level) const {
  for (const LogLine& line : lines_) {
    if ((level == 0 || line.level == level) && line.utf8().find(utf8) != std::string::npos) {
      return true;
    }
  }
  return false;
}

void RecordingDiagnostics::clear() {
  std::lock_guard<std::mutex> lock(mutex_);
  lines_.clear();
  statuses_.clear();
}

// ---- StderrDiagnostics ---------------------------------------------------

namespace {

// "RC=[-2143305719]" in a module's line becomes "RC=[kStatusName
// (0x803fe809)]": statuses are read by name and in hexadecimal everywhere.
std::string withStatusNames(std::string text) {
  static constexpr std::string_view kMark = "RC=[-";
  size_t at = 0;
  while ((at = text.find(kMark, at)) != std::string::npos) {
    const size_t digits = at + kMark.size();
    size_t end = digits;
    while (end < text.size() && end - digits < 11 && text[end] >= '0' && text[end] <= '9') ++end;
    if (end == digits || end >= text.size() || text[end] != ']') {
      at = digits;
      continue;
    }
    const long long value = -std::stoll(text.substr(digits, end - digits));
    if (value < INT32_MIN) {
      at = end;
      continue;
    }
    const auto status = static_cast<KovaStatus>(static_cast<int32_t>(value));
    char code[16];
    std::snprintf(code, sizeof code, "0x%08x", static_cast<unsigned>(status));
    const char* name = kovaStatusName(status);
    const std::string shown = name ? std::string(name) + " (" + code + ")" : std::string(code);
    text.replace(at + 4, end - (at + 4), shown);
    at += 4 + shown.size();
  }
  return text;
}

}  // namespace

StderrDiagnostics::StderrDiagnostics(int32_t minimumLevel) : minimumLevel_(minimumLevel) {
  static const KovaDiagnosticsOps kOps = {&StderrDiagnostics::log,
                                          &StderrDiagnostics::reportStatus};
  abi_.base.ops = &kOps;
  abi_.self = this;
}

void StderrDiagnostics::log(KovaDiagnostics* context, int32_t level, const char16_t* format,
                            int64_t formatLength, va_list args) {
  StderrDiagnostics* self = reinterpret_cast<Abi*>(context)->self;
  if (level < self->minimumLevel_) return;
  std::string text = withStatusNames(toUtf8(vformatWide(format, formatLength, args)));
  if (!self->internalName_.empty() && text.starts_with(self->internalName_ + ":")) {
    text.replace(0, self->internalName_.size(), self->shownName_);
  }
  std::fprintf(stderr, "kova: %s: %s\n", levelName(level), text.c_str());
}

void StderrDiagnostics::renameDocument(std::string internal, std::string shown) {
  internalName_ = std::move(internal);
  shownName_ = std::move(shown);
}

void StderrDiagnostics::reportStatus(KovaDiagnostics* context, int32_t level, KovaStatus status) {
  StderrDiagnostics* self = reinterpret_cast<Abi*>(context)->self;
  if (level < self->minimumLevel_) return;
  const char* name = kovaStatusName(status);
  std::fprintf(stderr, "kova: %s: status 0x%08x (%s)\n", levelName(level),
               static_cast<unsigned>(status), name ? name : "unknown");
}

}  // namespace kova::runtime
