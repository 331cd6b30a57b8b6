// Test support: a fixture that loads the module through the reference host
// and starts its extension, plus the allocation-failure driver every suite
// uses. The module is dlopen'ed once per test program; each test gets a fresh
// Host, diagnostics recorder and extension, and must leave the host's account
// as it found it.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "kova/extension.h"
#include "runtime/kernel/diagnostics.h"
#include "runtime/kernel/host.h"
#include "runtime/loader/module.h"

namespace kova::testing {

// The module, loaded once per program from the build tree (or $KOVA_MODULE).
runtime::Module& loadedModule();

class ModuleTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  runtime::Host& host() { return *host_; }
  runtime::RecordingDiagnostics& diagnostics() { return diagnostics_; }
  KovaExtensionObject* extension() { return extension_; }

  // A new instance, destroyed at tear-down unless the test destroys it first
  // (then call forget()).
  KovaObject* newInstance(const char* name = nullptr, uint32_t flags = 0);
  void forget(KovaObject* object);

  // Sets a text field through the extension's copyString.
  void setText(KovaObject* object, const char16_t** field, int64_t* length,
               std::u16string_view text);

 private:
  std::unique_ptr<runtime::Host> host_;
  runtime::RecordingDiagnostics diagnostics_;
  KovaExtensionObject* extension_ = nullptr;
  std::vector<KovaObject*> instances_;
};

// Runs scenario with the 1st, 2nd, 3rd, ... allocation event failing (once,
// or from then on when persistent), until a run completes without an
// injected failure. After every run the host's account must be back where it
// was before the first: the scenario destroys what it made. The scenario
// gets the number of the failing event and checks its own outcome (the
// expected status or null). Returns the number of runs.
int forEachAllocationFailure(runtime::Host& host, const std::function<void(int nth)>& scenario,
                             bool persistent = false);

// UTF-8 to UTF-16 and back, for readable tests.
std::u16string u16(std::string_view utf8);
std::string u8(std::u16string_view text);

// UTF-8 text as the bytes of UTF-16 (no byte order mark) or of ISO-8859-1
// (every character below U+0100), for twins of an input in other encodings.
std::string utf16Bytes(std::string_view utf8, bool bigEndian);
std::string latin1Bytes(std::string_view utf8);

}  // namespace kova::testing
