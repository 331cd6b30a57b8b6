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
    {"meta", "metadata documents: fmt (canonical form), show, infer (from data)",
     "usage: kova meta fmt DOC\n       kova meta show DOC [--json]\n"
     "       kova meta infer DATA [--format auto|delimited|clf|json|xml] [--sample SIZE|all]\n"
     "                            [--record-tag NAME] [--encoding NAME] [--json]\n\n"
     "fmt   reads DOC (a metadata document; - for stdin) and writes it back to\n"
     "      stdout in canonical form: byte for byte what the module writes.\n"
     "show  prints the table's fields and columns; with --json one object with\n"
     "      every field of the table and its columns by name, codes also by keyword.\n\n"
     "infer reads a sample of the data file DATA and writes the metadata document\n"
     "      that rips it (canonical form) to stdout: encoding, record format,\n"
     "      separator, qualifier, header, column names and types with informats.\n"
     "      Decisions the sample cannot settle are warnings on stderr.\n"
     "  --format F        the record format (default auto: JSON, XML, Common Log\n"
     "                    Format lines or delimited text, from the first bytes)\n"
     "  --sample SIZE     the first SIZE bytes and as much again in 64 spans spread\n"
     "                    over the rest (default 1M, at least 4k); all reads the whole file\n"
     "  --record-tag NAME the XML element that holds one record (default: the most\n"
     "                    repeated element with child elements)\n"
     "  --encoding NAME   the data's encoding (default: found from the bytes)\n"
     "  --json            the findings with the evidence for each decision\n\n"
     "Exits 1 when DOC cannot be read or is not a metadata document (its root\n"
     "element must be <kova>), or when DATA is not a table (empty, binary,\n"
     "ragged rows).\n",
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
     "                         [--split OFFSET:LENGTH | --jobs N [--split-size N]]\n"
     "                         [--no-quoted-newlines]\n"
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
     "                    a field beyond the last column, a record cut at the end,\n"
     "                    a qualified field over --max-quoted-lines) or a column\n"
     "                    that is null in every row\n"
     "  --max-quoted-lines N  report a qualified field that takes in more than N\n"
     "                    line ends, where it began (default: no limit)\n"
     "  --image           row-image rows instead of typed rows\n"
     "  --null-as-missing a null DOUBLE gets the indicator -88\n"
     "  --limit N         stop after N rows\n"
     "  --raw             dates and times as the host's numbers (days or seconds\n"
     "                    since 1960-01-01, seconds since midnight)\n"
     "  --split O:L       only the records that begin in bytes [O, O+L) of DATA,\n"
     "                    each read to its end (see `kova splits`); the outputs of\n"
     "                    every split of a file, concatenated in split order, are\n"
     "                    the whole file's rip (csv: only the split at offset 0\n"
     "                    prints the header line)\n"
     "  --jobs N          rip the file's splits on N threads (0: one per core) and\n"
     "                    print the rows in file order, as one thread would\n"
     "                    (neither takes --rejects, --max-rejects or the loss checks)\n"
     "  --split-size N    bytes per split with --jobs (default: from the file size)\n"
     "  --no-quoted-newlines  no qualified field holds CR or LF, so a split of a\n"
     "                    qualified table can find its first record alone\n"
     "  --rejects FILE    one JSON line per value that could not be stored as read\n"
     "                    (file, offset of its record, fieldOffset, record,\n"
     "                    column, text, reason; FIXED and VARBIN fields that are\n"
     "                    not printable text also hex, their bytes); - for stderr\n"
     "  --max-rejects N   stop with exit 1 at the Nth such value\n\n"
     "Header lines the document declares are skipped. The summary counts what was\n"
     "lost besides truncations, with one warning line per kind. Exits 1 when the\n"
     "ripper cannot be made or a block fails (the message names the block's\n"
     "offset, and the split's with --jobs), and with --strict on any loss.\n",
     runRip},
    {"convert", "rip a data file with one document's table and burn it with another's",
     "usage: kova convert IN_DOC IN_DATA OUT_DOC [-o OUT_DATA] [--verify]\n"
     "                    [--block-size N] [--limit N] [--batch N] [--image]\n"
     "                    [--strict] [--memory SIZE] [--max-quoted-lines N]\n\n"
     "Rips IN_DATA (- for stdin) with the table of the metadata document IN_DOC,\n"
     "moves each row's values by column name into the rows of a burner for the\n"
     "table of OUT_DOC and writes the burned bytes to OUT_DATA (stdout without\n"
     "-o). Columns of the same type are copied; others go through their text\n"
     "(dates and times in ISO form) and are read back by the host's informats.\n"
     "An OUT column with no IN column of its name is null. When OUT_DOC declares\n"
     "header lines, the first holds the column names. A summary (rows,\n"
     "truncations, values that could not be converted, throughput) ends the run;\n"
     "like kova rip's, it counts what the rip of IN_DATA lost besides truncations,\n"
     "with one warning line per kind.\n\n"
     "  -o OUT_DATA       the file to write (default stdout)\n"
     "  --verify          rip OUT_DATA back with OUT_DOC and compare every value\n"
     "                    with what was burned; a difference is reported with its\n"
     "                    row, column and both values (needs -o)\n"
     "  --block-size N    bytes per input block, e.g. 65536, 64k, 1M (default 1M)\n"
     "  --limit N         stop after N rows\n"
     "  --batch N         burn at most N rows per call of the burner (default: the\n"
     "                    rows of each input block)\n"
     "  --image           burn row-image rows (OUT_DOC's column formats apply), as\n"
     "                    delimited text: not for a FIXED OUT_DOC\n"
     "  --strict, --memory SIZE, --max-quoted-lines N   as for kova rip\n\n"
     "Exits 1 when a table cannot be ripped or burned, a block fails, a row cannot\n"
     "be written (the message names the row and the status) or --verify finds a\n"
     "difference, and with --strict on any loss.\n",
     runConvert},
    {"splits", "list the splits of a data file and whether it can be split",
     "usage: kova splits DOC DATA [--size N] [--json]\n\n"
     "Lists the byte ranges [offset, offset + length) a file of the table of DOC\n"
     "divides into, for `kova rip --split` (one task per split; concatenating the\n"
     "outputs in split order gives the whole file's rows). A file whose records\n"
     "cannot be found from the middle is one split, and the reason is given.\n\n"
     "  --size N   bytes per split, e.g. 64M (default 128M)\n"
     "  --json     one JSON object for scripts\n",
     runSplits},
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
