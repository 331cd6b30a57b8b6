// The reference host's NLS service on ICU: the encoding registry, transcoders,
// encoding handles, the locale's number readers and Unicode classification.
// The Host makes one at start and hands it out as kernel->nls.
#pragma once

#include <cstdint>
#include <memory>
#include <span>

#include "kova/host.h"

namespace kova::runtime {

class Host;

// One registered encoding. Identifiers are below kEncodingLimit.
struct EncodingEntry {
  int32_t id;
  const char* name;         // the name reported by encodingInfo, e.g. "UTF-8"
  const char* converter;    // the ICU converter name
  const char* description;  // one line for people
  int8_t maxBytesPerChar;
  bool asciiCompatible;  // bytes 0x00-0x7F mean ASCII, one byte each
};

// Every registered encoding, by increasing id.
std::span<const EncodingEntry> encodingRegistry();
// The entry of id, or null (also for ids outside 0..264).
const EncodingEntry* findEncoding(int32_t id);

class NlsService {
 public:
  virtual ~NlsService() = default;
  virtual KovaNls* abi() = 0;
};

std::unique_ptr<NlsService> createNlsService(Host& host);

}  // namespace kova::runtime
