#include "tests/siblings/xml_test_util.h"

#include <gtest/gtest.h>

namespace kova::runtime {
namespace {

std::vector<XmlRecorder*>& liveRecorders() {
  static std::vector<XmlRecorder*> live;
  return live;
}

// The recorder whose table the parser handed back; a pointer that is no
// recorder's table fails the test (and lands in a spare recorder).
XmlRecorder& recorderOf(KovaXmlCallbacks* table) {
  for (XmlRecorder* r : liveRecorders()) {
    if (&r->table == table) return *r;
  }
  ADD_FAILURE() << "callback received a pointer that is not the callback table";
  static XmlRecorder spare;
  return spare;
}

std::u16string textOf(const char16_t* text, int32_t bytes) {
  return std::u16string(text, static_cast<size_t>(bytes / 2));
}

KovaStatus onCharacters(KovaXmlCallbacks* table, const char16_t* text, int32_t bytes) {
  XmlRecorder& r = recorderOf(table);
  if (bytes % 2 != 0 || bytes <= 0) ADD_FAILURE() << "character data of " << bytes << " bytes";
  r.events.push_back("text " + u8(textOf(text, bytes)));
  return r.verdict();
}

KovaStatus onStart(KovaXmlCallbacks* table, const char16_t* name, int32_t nameBytes, int32_t count,
                   const KovaXmlAttribute* attributes) {
  XmlRecorder& r = recorderOf(table);
  std::u16string element = textOf(name, nameBytes);
  std::string line = "start " + u8(element);
  for (int32_t i = 0; i < count; ++i) {
    line += " " + u8(textOf(attributes[i].name, attributes[i].nameLength)) + "=[" +
            u8(textOf(attributes[i].value, attributes[i].valueLength)) + "]";
  }
  r.events.push_back(line);
  return r.verdict();
}

KovaStatus onEnd(KovaXmlCallbacks* table, const char16_t* name, int32_t nameBytes) {
  XmlRecorder& r = recorderOf(table);
  std::u16string element = textOf(name, nameBytes);
  r.events.push_back("end " + u8(element));
  return r.verdict();
}

}  // namespace

XmlRecorder::XmlRecorder() {
  table.characters = onCharacters;
  table.startElement = onStart;
  table.endElement = onEnd;
  liveRecorders().push_back(this);
}

XmlRecorder::~XmlRecorder() { std::erase(liveRecorders(), this); }

KovaStatus XmlRecorder::verdict() const {
  bool stop = !stopAt.empty() && events.back().rfind(stopAt, 0) == 0;
  return stop ? stopStatus : 0;
}

std::vector<std::string> XmlRecorder::joined() const {
  std::vector<std::string> out;
  for (const std::string& event : events) {
    if (event.rfind("text ", 0) == 0 && !out.empty() && out.back().rfind("text ", 0) == 0) {
      out.back() += event.substr(5);
    } else {
      out.push_back(event);
    }
  }
  return out;
}

KovaXmlObject* makeParser(KovaExtensionHandle* handle, XmlRecorder& recorder, int32_t inputEncoding,
                          KovaDiagnostics* diagnostics, std::u16string_view documentName) {
  KovaXmlConfig config{};
  config.inputEncoding = inputEncoding;
  config.callbackEncoding = kEncodingWide;
  config.documentName = documentName.data();
  config.documentNameLength = static_cast<int32_t>(documentName.size());
  config.options = 0x25000000;
  config.diagnostics = diagnostics;
  config.callbacks = &recorder.table;
  return static_cast<KovaXmlObject*>(
      handle->ops->createObject(handle, &config, nullptr, "metadata parser"));
}

}  // namespace kova::runtime
