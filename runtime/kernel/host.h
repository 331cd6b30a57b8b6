// The reference host kernel: owns the KovaKernel handle the module is given,
// its pools, resource cans, options, the NLS service and the sibling
// extensions. One Host per embedding program (the tool, each test); it must
// outlive every pool, can and object made through its kernel.
//
// Threads: options and failure switches are set before rippers run; then
// any number of threads may use the kernel at once, each with pools, cans
// and host objects of its own (the account and failure injection are
// shared safely; a failure armed during a parallel run fires in whichever
// thread asks next).
//
// Failure injection: every "allocation event" (pool and can creation,
// allocate, resize, the creation of any host object: transcoders, encoding
// handles, extension handles, sibling objects, engines, format objects, and
// the two operations that store an entry: a can's canAdd and a search tree's
// insertItem) first asks consumeAllocation(); when armed, the Nth event from
// the arming fails (once, or that one and every later one).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "kova/host.h"

namespace kova::runtime {

// What is alive in the host right now; tests assert it is all zero after the
// objects they made are destroyed.
struct Account {
  uint64_t pools = 0;
  uint64_t blocks = 0;  // live blocks across all pools
  uint64_t bytes = 0;   // live bytes across all pools
  uint64_t cans = 0;
  uint64_t objects = 0;  // live host objects (transcoders, handles, sibling objects, ...)
  bool empty() const {
    return pools == 0 && blocks == 0 && bytes == 0 && cans == 0 && objects == 0;
  }
};

class Host {
 public:
  Host();
  ~Host();
  Host(const Host&) = delete;
  Host& operator=(const Host&) = delete;

  KovaKernel* kernel();
  // The Host behind a kernel handle made by a Host (null for any other).
  static Host* fromKernel(KovaKernel* kernel);

  // Options the embedding program sets ("ZRNLS.KPA_SESSION_CEI",
  // "ZR_NAME_YEARCUTOFF", ...). getOption on an unset key fails.
  void setOption(std::u16string_view key, int64_t value);
  void unsetOption(std::u16string_view key);
  // The value of an option; false when it is not set.
  bool option(std::u16string_view key, int64_t* value) const;

  // Failure injection. failAllocation(1) fails the very next event.
  void failAllocation(uint64_t nth, bool persistent = false);
  void clearFailure();
  // True when an injected failure has fired since the last arming.
  bool failureFired() const;
  // Called by host components before each allocation event; false = fail it.
  bool consumeAllocation();
  // Events seen since the Host was made.
  uint64_t allocationEvents() const;

  // Live pools, blocks, bytes, cans and objects.
  Account account() const;
  // Host components report the birth (+1) and death (-1) of host objects.
  void trackObject(int delta);
  // Pools report block births and deaths (used by the pool implementation).
  void trackBlocks(int64_t blocks, int64_t bytes);
  void trackPools(int delta);
  void trackCans(int delta);

  // Makes loadExtension of the named sibling fail (tests), or succeed again.
  void setExtensionLoadable(std::u16string_view name, bool loadable);
  bool extensionLoadable(std::u16string_view name) const;

  // Makes needsTranscoding answer true for every pair of different
  // identifiers, even where the encodings share their bytes (tests).
  void setForceTranscoding(bool force);
  bool forceTranscoding() const;

  struct State;

 private:
  std::unique_ptr<State> state_;
};

}  // namespace kova::runtime
