// kova: inspect, rip, convert and benchmark data files through the module and
// the reference host. `kova --help` lists the commands.
#include <cstdio>
#include <cstring>
#include <span>
#include <string_view>

#include "tools/kova/command.h"

namespace kova::tool {
namespace {

const Command kCommands[] = {
    {"version", "module and host versions",
     "usage: kova version\n\nLoads the module and prints its version, the two version triples of\n"
     "its extension object and its version record.\n",
     runVersion},
    {"encodings", "the host's encoding registry",
     "usage: kova encodings [--json]\n\nLists every encoding the reference host knows: id, name,\n"
     "maximum bytes per character and description.\n\n  --json   one JSON array for scripts\n",
     runEncodings},
    {"check-format", "is a format or informat name known?",
     "usage: kova check-format NAME [--informat]\n\nAsks the format engine, through the module, "
     "whether NAME (NAMEw.d, e.g.\nCOMMA10.2 or YYMMDD10.) names a format, or with --informat an "
     "informat.\nPrints known or unknown; exits 0 when known, 1 when not.\n",
     runCheckFormat},
    {"meta", "read a metadata document: fmt (canonical form) or show",
     "usage: kova meta fmt DOC\n       kova meta show DOC [--json]\n\n"
     "fmt   reads DOC (a metadata document; - for stdin) and writes it back to\n"
     "      stdout in canonical form: byte for byte what the module writes.\n"
     "show  prints the table's fields and columns; with --json one object with\n"
     "      every field of the table and its columns by name, codes also by keyword.\n\n"
     "Exits 1 when DOC cannot be read or is not a metadata document (its root\n"
     "element must be <kova>).\n",
     runMeta},
    {"describe", "the row layout of a ripper or burner for a document's table",
     "usage: kova describe DOC [--image] [--output] [--json] [--char-expansion X]\n"
     "                         [--time-scale] [--null-as-missing]\n\n"
     "Creates a ripper (with --output a burner) for the table of the metadata\n"
     "document DOC, describes and binds it, and prints the row layout: for each\n"
     "column its types, value offset and length, indicator offset and width (with\n"
     "--image the row-image offset and length), the bound informat or format, and\n"
     "the row length.\n\n"
     "  --image              row-image rows instead of typed rows\n"
     "  --output             a burner instead of a ripper\n"
     "  --json               one JSON object for scripts\n"
     "  --char-expansion X   bytes per character for sizing character values\n"
     "                       (default: the encoding's widest character)\n"
     "  --time-scale         TIME precision from the column's scale\n"
     "  --null-as-missing    a null DOUBLE gets the indicator -88\n\n"
     "Exits 1 when the table cannot be ripped or burned this way.\n",
     runDescribe},
    {"rip", "rip a data file with a document's table and print the rows",
     "usage: kova rip DOC DATA [--format table|csv|jsonl|none] [--block-size N]\n"
     "                         [--image] [--null-as-missing] [--limit N] [--raw]\n"
     "                         [--rejects FILE] [--max-rejects N]\n"
     "                         [--strict] [--memory SIZE] [--max-quoted-lines N]\n\n"
     "Creates a ripper for the table of the metadata document DOC, feeds it DATA\n"
     "(- for stdin) block by block and prints the rows. A summary (rows,\n"
     "truncations, throughput) ends the run on stderr.\n\n"
     "  --format F        table (default on a terminal), csv (RFC 4180 with a header\n"
     "                    line; the default otherwise), jsonl (one JSON object per\n"
     "                    row) or none (rip only)\n"
     "  --block-size N    bytes per block, e.g. 65536, 64k, 1M, 2G (default 1M)\n"
     "  --memory SIZE     memory for one block's rows (default 256M); blocks shrink\n"
     "                    to fit it\n"
     "  --strict          exit 1 on the first value lost (not read, invalid bytes,\n"
     "                    a field beyond the last column, a record cut at the end)\n"
     "                    or a column that is null in every row\n"
     "  --max-quoted-lines N  report a qualified field that runs on across more\n"
     "                    than N line ends (default: no limit)\n"
     "  --image           row-image rows instead of typed rows\n"
     "  --null-as-missing a null DOUBLE gets the indicator -88\n"
     "  --limit N         stop after N rows\n"
     "  --raw             dates and times as the host's numbers (days or seconds\n"
     "                    since 1960-01-01, seconds since midnight)\n"
     "  --rejects FILE    one JSON line per value that could not be stored as read\n"
     "                    (file, offset, record, column, text, reason); - for stderr\n"
     "  --max-rejects N   stop with exit 1 at the Nth such value\n\n"
     "Header lines the document declares are skipped. The summary counts what was\n"
     "lost besides truncations, with one warning line per kind. Exits 1 when the\n"
     "ripper cannot be made or a block fails (the message names the block's\n"
     "offset), and with --strict on any loss.\n",
     runRip},
};

void printHelp(FILE* out) {
  std::fprintf(out,
               "usage: kova COMMAND [OPTIONS]\n\n"
               "Inspect, rip and convert Hadoop table files through the kova module.\n\n"
               "Commands:\n");
  for (const Command& command : kCommands) {
    std::fprintf(out, "  %-14s %s\n", command.name, command.summary);
  }
  std::fprintf(out,
               "\nRun `kova COMMAND --help` for a command's options.\n"
               "The module is libzrekova.so next to this program, or $KOVA_MODULE.\n");
}

}  // namespace

int usageError(std::string_view command, std::string_view message) {
  std::fprintf(stderr, "kova %.*s: %.*s\nTry `kova %.*s --help`.\n", int(command.size()),
               command.data(), int(message.size()), message.data(), int(command.size()),
               command.data());
  return kExitUsage;
}

bool wantsHelp(std::span<char*> args) {
  for (char* arg : args) {
    if (std::strcmp(arg, "-h") == 0 || std::strcmp(arg, "--help") == 0) return true;
  }
  return false;
}

}  // namespace kova::tool

int main(int argc, char** argv) {
  using namespace kova::tool;
  if (argc < 2) {
    printHelp(stderr);
    return kExitUsage;
  }
  std::string_view name = argv[1];
  if (name == "-h" || name == "--help" || name == "help") {
    printHelp(stdout);
    return kExitOk;
  }
  for (const Command& command : kCommands) {
    if (name != command.name) continue;
    std::span<char*> args(argv + 2, argv + argc);
    if (wantsHelp(args)) {
      std::fputs(command.usage, stdout);
      return kExitOk;
    }
    return command.run(args);
  }
  std::fprintf(stderr, "kova: unknown command '%s'\n\n", argv[1]);
  printHelp(stderr);
  return kExitUsage;
}
