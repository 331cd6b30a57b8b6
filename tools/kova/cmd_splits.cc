// kova splits DOC DATA [--size N] [--json]: the byte ranges a file of the
// table divides into for `kova rip --split`, and whether it divides at all.
#include <cstdio>
#include <string>
#include <vector>

#include "runtime/split/split_rules.h"
#include "tools/kova/byte_size.h"
#include "tools/kova/command.h"
#include "tools/kova/json.h"
#include "tools/kova/session.h"
#include "tools/kova/table_file.h"

namespace kova::tool {
namespace {

constexpr const char* kName = "splits";

// What a reader of the list must know about the table's splits.
std::string splitNote(const runtime::TableShape& shape) {
  switch (shape.mode) {
    case runtime::SplitMode::kWholeFile:
      return "not splittable: " + shape.reason;
    case runtime::SplitMode::kFixed:
      return "records of " + std::to_string(shape.reclen) +
             " bytes; each split begins at the "
             "first record boundary in it";
    case runtime::SplitMode::kQualified:
      return "qualified fields may hold line ends: rip each split with --no-quoted-newlines "
             "only when none does; --jobs verifies every split's first record";
    case runtime::SplitMode::kLines:
      break;
  }
  return "each split begins after the first line end at or after its offset - 1";
}

}  // namespace

int runSplits(std::span<char*> args) {
  std::vector<std::string> positional;
  uint64_t size = uint64_t(128) << 20;
  bool json = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string arg = args[i];
    if (arg == "--json") {
      json = true;
    } else if (arg == "--size") {
      if (i + 1 == args.size()) return usageError(kName, "--size needs a value");
      if (!parseByteSize(args[++i], &size) || size == 0) {
        return usageError(kName, std::string("--size: a size of at least 1 byte, not ") + args[i]);
      }
    } else if (arg.size() > 1 && arg[0] == '-') {
      return usageError(kName, "unknown option " + arg);
    } else {
      positional.push_back(arg);
    }
  }
  if (positional.size() != 2) return usageError(kName, "needs DOC and DATA");
  Session session;
  KovaObject* table = openTable(session, kName, positional[0]);
  if (!table) return kExitFailed;
  std::string error;
  runtime::TableShape shape;
  const bool shaped = runtime::shapeOfTable(table, session.host().kernel()->nls, &shape, &error);
  table->destroy(table);
  if (!shaped) {
    std::fprintf(stderr, "kova splits: %s: %s\n", positional[0].c_str(), error.c_str());
    return kExitFailed;
  }
  std::unique_ptr<runtime::ByteSource> source = runtime::openFileSource(positional[1], &error);
  if (!source) {
    std::fprintf(stderr, "kova splits: %s\n", error.c_str());
    return kExitFailed;
  }
  const std::vector<runtime::Split> splits = runtime::planSplits(shape, source->size(), size);
  const bool splittable = shape.mode != runtime::SplitMode::kWholeFile;
  if (json) {
    std::string out = "{\"file\": " + jsonString(positional[1]) +
                      ", \"size\": " + std::to_string(source->size()) +
                      ", \"splittable\": " + (splittable ? "true" : "false") +
                      ", \"note\": " + jsonString(splitNote(shape)) + ", \"splits\": [";
    for (size_t i = 0; i < splits.size(); ++i) {
      out += (i ? ", " : "") + std::string("{\"offset\": ") + std::to_string(splits[i].offset) +
             ", \"length\": " + std::to_string(splits[i].length) + "}";
    }
    out += "]}\n";
    std::fputs(out.c_str(), stdout);
    return kExitOk;
  }
  std::printf("# %s: %llu bytes, %zu split%s; %s\n", positional[1].c_str(),
              static_cast<unsigned long long>(source->size()), splits.size(),
              splits.size() == 1 ? "" : "s", splitNote(shape).c_str());
  for (const runtime::Split& split : splits) {
    std::printf("%llu %llu\n", static_cast<unsigned long long>(split.offset),
                static_cast<unsigned long long>(split.length));
  }
  return kExitOk;
}

}  // namespace kova::tool
