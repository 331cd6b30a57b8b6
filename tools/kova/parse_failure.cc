#include "tools/kova/parse_failure.h"

#include "runtime/xml/xml_objects.h"

namespace kova::tool {

std::string xmlParseFailure(const KovaRipper* ripper) {
  if (ripper->table->recfm != kRecfmXml || !ripper->bound) return "";
  const runtime::XmlParseError* error = runtime::xmlParseError(ripper->xml.xmlParser);
  if (!error) return "";
  return "not well-formed XML at line " + std::to_string(error->line) + ", column " +
         std::to_string(error->column) + " (byte " + std::to_string(error->byteOffset) +
         "): " + error->message;
}

}  // namespace kova::tool
