// The embedding calls in one process: a module that cannot be loaded is
// refused with a message (and a null handle), whatever the room for it; a
// real one starts, takes options and gives its extension, kernel and
// diagnostics; closing a null handle does nothing.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "kova/embed.h"

namespace kova::testing {
namespace {

TEST(EmbedApi, AModuleThatCannotLoadIsRefusedWithAMessage) {
  char error[256] = "untouched";
  EXPECT_EQ(kovaEmbedOpen("/nonexistent/libzrekova.so", error, sizeof error), nullptr);
  EXPECT_NE(std::string(error).find("cannot load the module"), std::string::npos) << error;
  // No room for the message: still refused, nothing written.
  char none[4] = "abc";
  EXPECT_EQ(kovaEmbedOpen("/nonexistent/libzrekova.so", none, 0), nullptr);
  EXPECT_STREQ(none, "abc");
  EXPECT_EQ(kovaEmbedOpen("/nonexistent/libzrekova.so", nullptr, 0), nullptr);
  // A file that is no module at all.
  EXPECT_EQ(kovaEmbedOpen(KOVA_TOOL_PATH, error, sizeof error), nullptr);
  EXPECT_NE(std::string(error).find("cannot load the module"), std::string::npos) << error;
  kovaEmbedClose(nullptr);
}

TEST(EmbedApi, TheModuleStartsAndGivesItsHandles) {
  char error[256] = "";
  KovaEmbed* embed = kovaEmbedOpen(KOVA_MODULE_PATH, error, sizeof error);
  ASSERT_NE(embed, nullptr) << error;
  KovaExtensionObject* extension = kovaEmbedExtension(embed);
  ASSERT_NE(extension, nullptr);
  EXPECT_NE(kovaEmbedKernel(embed), nullptr);
  EXPECT_NE(kovaEmbedDiagnostics(embed), nullptr);
  kovaEmbedSetOption(embed, "ZR_NAME_YEARCUTOFF", 1950);
  int64_t value = 0;
  int64_t size = 8;
  const std::u16string key = u"ZR_NAME_YEARCUTOFF";
  KovaKernel* kernel = kovaEmbedKernel(embed);
  ASSERT_EQ(kernel->ops->getOption(kernel, key.data(), int32_t(key.size()), kOptionTypeInteger,
                                   &value, &size),
            kStatusOk);
  EXPECT_EQ(value, 1950);
  kovaEmbedClose(embed);
}

}  // namespace
}  // namespace kova::testing
