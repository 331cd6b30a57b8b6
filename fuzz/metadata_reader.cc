// Fuzz target for the metadata document reader. The first two bytes of an
// input choose how the rest, a document, is cut into pieces for
// readXmlChunk. Checks, for every input:
// - reading in pieces gives the same status and the same object as reading
//   the document whole;
// - a document that reads writes back, and what it writes reads and writes
//   again to the same bytes;
// - nothing stays alive in the host once the instances are destroyed.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "fuzz/fuzz_support.h"

namespace kova::fuzzing {
const char* const kTargetName = "metadata_reader";
}  // namespace kova::fuzzing

namespace {

using kova::fuzzing::check;
using kova::fuzzing::module;

KovaObject* instance() {
  KovaExtensionObject* e = module().extension;
  uint32_t flags = kObjectFlagWriteDropped;
  KovaObject* object = e->createInstance(e, &flags, nullptr, nullptr);
  check(object != nullptr, "createInstance failed");
  return object;
}

std::string write(KovaObject* object, KovaStatus* status) {
  const uint8_t* bytes = nullptr;
  uint64_t length = 0;
  *status = object->extension->writeXml(object, &bytes, &length);
  return *status == kStatusOk ? std::string(reinterpret_cast<const char*>(bytes), length) : "";
}

KovaStatus readInPieces(KovaObject* object, const uint8_t* data, size_t size, uint32_t seed) {
  size_t offset = 0;
  for (;;) {
    seed = seed * 1103515245u + 12345u;
    size_t piece = 1 + (seed >> 16) % 97;
    if (piece > size - offset) piece = size - offset;
    bool more = offset + piece < size;
    KovaStatus status =
        object->extension->readXmlChunk(object, data + offset, int64_t(piece), more, nullptr);
    offset += piece;
    if (!more) return status;
    if (status != kStatusOk && status != kStatusDocumentComplete) return status;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  kova::runtime::Account before = module().host.account();
  uint32_t seed = uint32_t(data[0]) << 8 | data[1];
  data += 2;
  size -= 2;

  KovaObject* whole = instance();
  KovaStatus wholeStatus = whole->extension->readXml(whole, data, int64_t(size), nullptr);
  KovaObject* pieces = instance();
  KovaStatus piecesStatus = readInPieces(pieces, data, size, seed);
  check(whole->xmlObject == nullptr && pieces->xmlObject == nullptr, "a parser outlived its read");
  check(wholeStatus == piecesStatus, "pieces and whole read differ in status");

  if (wholeStatus == kStatusOk) {
    KovaStatus status = kStatusOk;
    std::string first = write(whole, &status);
    check(status == kStatusOk, "a document that reads does not write");
    check(write(pieces, &status) == first, "pieces and whole read differ");
    KovaObject* again = instance();
    check(
        again->extension->readXml(again, first.data(), int64_t(first.size()), nullptr) == kStatusOk,
        "a written document does not read");
    check(write(again, &status) == first, "write, read, write changed the document");
    again->destroy(again);
  }
  whole->destroy(whole);
  pieces->destroy(pieces);
  kova::fuzzing::checkAccount(before);
  return 0;
}
