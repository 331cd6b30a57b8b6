// A recording client of the zrexml parser: its callback table is the first
// member of its context record, as the module lays out its own, and every
// event becomes one line of text so that runs can be compared.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "kova/siblings.h"
#include "runtime/kernel/host.h"
#include "tests/siblings/sibling_test_util.h"
#include "tests/support/module_fixture.h"

namespace kova::runtime {

using kova::testing::u16;
using kova::testing::u8;

struct XmlRecorder {
  KovaXmlCallbacks table{};  // first: the parser hands back its address
  std::vector<std::string> events;
  // Fails the first callback whose event line begins with this text (e.g.
  // "end b", "text t") with stopStatus.
  std::string stopAt;
  KovaStatus stopStatus = 0;

  XmlRecorder();
  ~XmlRecorder();
  XmlRecorder(const XmlRecorder&) = delete;
  XmlRecorder& operator=(const XmlRecorder&) = delete;
  // Events with runs of character data joined: how pieces are cut depends on
  // where the input was split, what they add up to does not.
  std::vector<std::string> joined() const;
  // The status for the event just recorded.
  KovaStatus verdict() const;
};

// Makes a parser for recorder through handle (input encoding 20 or 0).
KovaXmlObject* makeParser(KovaExtensionHandle* handle, XmlRecorder& recorder,
                          int32_t inputEncoding = kEncodingUtf8,
                          KovaDiagnostics* diagnostics = nullptr,
                          std::u16string_view documentName = u"test.xml");

}  // namespace kova::runtime
