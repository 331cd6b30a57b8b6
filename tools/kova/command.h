// The commands of the kova tool. Each command lives in a file of its own and
// is listed in kCommands (main.cc). Exit codes: 0 success, 1 the data or
// document could not be processed, 2 a usage error.
#pragma once

#include <span>
#include <string_view>

namespace kova::tool {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;

struct Command {
  const char* name;
  const char* summary;                // one line for `kova --help`
  const char* usage;                  // the text of `kova NAME --help`
  int (*run)(std::span<char*> args);  // arguments after the command name
};

int runVersion(std::span<char*> args);
int runEncodings(std::span<char*> args);
int runCheckFormat(std::span<char*> args);
int runMeta(std::span<char*> args);
int runMetaInfer(std::span<char*> args);  // kova meta infer, reached through runMeta
int runDescribe(std::span<char*> args);
int runRip(std::span<char*> args);
int runConvert(std::span<char*> args);
int runSplits(std::span<char*> args);

// Prints "kova NAME: message" and the usage hint to stderr; returns kExitUsage.
int usageError(std::string_view command, std::string_view message);

// True when args holds -h or --help.
bool wantsHelp(std::span<char*> args);

}  // namespace kova::tool
