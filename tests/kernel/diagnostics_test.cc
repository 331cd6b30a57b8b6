// Diagnostics contexts: recording formats lines and keeps statuses; the
// stderr context prints UTF-8 lines at or above its level.
#include <gtest/gtest.h>

#include <cstdarg>

#include "runtime/kernel/diagnostics.h"

namespace kova::runtime {
namespace {

// Logs the way the module does: through the operation table with a va_list.
void logLine(KovaDiagnostics* context, int32_t level, const char16_t* format, ...) {
  va_list args;
  va_start(args, format);
  context->ops->log(context, level, format,
                    static_cast<int64_t>(std::u16string_view(format).size()), args);
  va_end(args);
}

TEST(DiagnosticsTest, RecordingKeepsFormattedLinesAndStatusesInOrder) {
  RecordingDiagnostics recording;
  KovaDiagnostics* context = recording.get();
  const char16_t label[] = {u'a', u'p', u'p', u'e', u'n', u'd', u'F', u'r', u'a', u'g'};
  logLine(context, kLogError, u"[%.*s] : Failed to allocate memory. Space requested=[%d]", 10,
          label, 2048);
  logLine(context, kLogTrace, u"caf\u00e9 %s", u"\U0001F600");
  context->ops->reportStatus(context, kLogError, kStatusNoMemory);

  ASSERT_EQ(recording.lines().size(), 2u);
  EXPECT_EQ(recording.lines()[0].level, kLogError);
  EXPECT_EQ(recording.lines()[0].text,
            u"[appendFrag] : Failed to allocate memory. Space requested=[2048]");
  EXPECT_EQ(recording.lines()[1].utf8(), "caf\xc3\xa9 \xf0\x9f\x98\x80");
  ASSERT_EQ(recording.statuses().size(), 1u);
  EXPECT_EQ(recording.statuses()[0].level, kLogError);
  EXPECT_EQ(recording.statuses()[0].status, kStatusNoMemory);

  EXPECT_TRUE(recording.contains("Space requested=[2048]"));
  EXPECT_TRUE(recording.contains("appendFrag", kLogError));
  EXPECT_FALSE(recording.contains("appendFrag", kLogWarning));
  EXPECT_FALSE(recording.contains("initBlock"));

  recording.clear();
  EXPECT_TRUE(recording.lines().empty());
  EXPECT_TRUE(recording.statuses().empty());
}

TEST(DiagnosticsTest, UnpairedSurrogatesBecomeReplacementCharacters) {
  LogLine line{kLogWarning, std::u16string{u'a', char16_t(0xD800), u'b', char16_t(0xDC00)}};
  EXPECT_EQ(line.utf8(),
            "a\xef\xbf\xbd"
            "b\xef\xbf\xbd");
}

TEST(DiagnosticsTest, MalformedFormatIsRecordedVerbatim) {
  RecordingDiagnostics recording;
  logLine(recording.get(), kLogWarning, u"odd %q line");
  ASSERT_EQ(recording.lines().size(), 1u);
  EXPECT_EQ(recording.lines()[0].text, u"odd %q line");
}

TEST(DiagnosticsTest, StderrPrintsLevelsAtOrAboveItsMinimum) {
  StderrDiagnostics diagnostics(kLogWarning);
  ::testing::internal::CaptureStderr();
  logLine(diagnostics.get(), kLogError, u"cannot read %s", u"t\u00e9st.csv");
  logLine(diagnostics.get(), kLogWarning, u"%d truncations", 3);
  logLine(diagnostics.get(), kLogTrace, u"hidden");
  diagnostics.get()->ops->reportStatus(diagnostics.get(), kLogError, kStatusNoMemory);
  std::string printed = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(printed,
            "kova: error: cannot read t\xc3\xa9st.csv\n"
            "kova: warning: 3 truncations\n"
            "kova: error: status 0x803fc002 (kStatusNoMemory)\n");
}

}  // namespace
}  // namespace kova::runtime
