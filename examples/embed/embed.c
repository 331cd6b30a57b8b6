/* A host program in C that embeds kova: it starts the reference host and the
 * module, reads a table's metadata document, rips a data file with it and
 * prints the number of rows and the first column of each row that is an
 * integer.   usage: embed DOC DATA */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "kova/embed.h"
#include "kova/ripper.h"

static char* readAll(const char* path, long* length) {
  FILE* file = fopen(path, "rb");
  if (!file) return NULL;
  fseek(file, 0, SEEK_END);
  *length = ftell(file);
  fseek(file, 0, SEEK_SET);
  char* bytes = malloc((size_t)*length + 1);
  if (bytes && fread(bytes, 1, (size_t)*length, file) != (size_t)*length) {
    free(bytes);
    bytes = NULL;
  }
  fclose(file);
  return bytes;
}

/* Prints the first column of the rows when it is an integer. */
static void printRows(const KovaRipper* ripper, const uint8_t* rows, int32_t count) {
  const KovaLayoutEntry* first = &ripper->typedLayout[0];
  for (int32_t r = 0; r < count; ++r) {
    const uint8_t* row = rows + (uint64_t)r * ripper->rowLength;
    if (first->storageType == kStorageInt32) {
      int32_t value;
      memcpy(&value, row + first->dataOffset, sizeof value);
      printf("%d\n", value);
    } else if (first->storageType == kStorageInt64) {
      int64_t value;
      memcpy(&value, row + first->dataOffset, sizeof value);
      printf("%lld\n", (long long)value);
    }
  }
}

int main(int argc, char** argv) {
  if (argc != 3) {
    fprintf(stderr, "usage: embed DOC DATA\n");
    return 2;
  }
  char error[512];
  KovaEmbed* embed = kovaEmbedOpen(NULL, error, sizeof error);
  if (!embed) {
    fprintf(stderr, "embed: %s\n", error);
    return 1;
  }
  KovaExtensionObject* extension = kovaEmbedExtension(embed);
  KovaDiagnostics* diagnostics = kovaEmbedDiagnostics(embed);
  int result = 1;
  long docLength = 0, dataLength = 0;
  char* doc = readAll(argv[1], &docLength);
  char* data = readAll(argv[2], &dataLength);
  uint32_t flags = 0;
  KovaObject* table =
      doc && data ? extension->createInstance(extension, &flags, diagnostics, "embedded table")
                  : NULL;
  if (table && extension->readXml(table, doc, docLength, diagnostics) == kStatusOk) {
    KovaRipperOptions options;
    memset(&options, 0, sizeof options);
    KovaRipper* ripper = extension->createRipper(table, &options, diagnostics);
    if (ripper && ripper->ops.describe(ripper) && ripper->ops.bind(ripper) == kStatusOk) {
      /* A typed ripper leaves header lines to its host. */
      ripper->headerLinesLeft = table->headerLines;
      uint8_t* rows = NULL;
      int32_t count = 0;
      uint64_t total = 0;
      if (ripper->ops.ripBlock(ripper, (const uint8_t*)data, dataLength, &rows, &count) ==
          kStatusOk) {
        printRows(ripper, rows, count);
        total += (uint64_t)count;
        if (ripper->ops.flushPending(ripper, &rows, &count) == kStatusOk) {
          printRows(ripper, rows, count);
          total += (uint64_t)count;
          printf("%llu rows\n", (unsigned long long)total);
          result = 0;
        }
      }
    }
    if (ripper) ripper->ops.destroy(ripper);
  } else {
    fprintf(stderr, "embed: cannot read %s or %s\n", argv[1], argv[2]);
  }
  if (table) table->destroy(table);
  free(doc);
  free(data);
  kovaEmbedClose(embed);
  return result;
}
