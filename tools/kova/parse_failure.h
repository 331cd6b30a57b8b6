// What the tool says when an XML table's data did not parse: the line,
// column and byte offset of the fault and the parser's reason.
#pragma once

#include <string>

#include "kova/ripper.h"

namespace kova::tool {

// "not well-formed XML at line 3, column 7 (byte 20): mismatched tag", or ""
// when the ripper is no XML ripper or its parser has not failed on the data
// (a callback's status, such as no memory, is not the data's fault).
std::string xmlParseFailure(const KovaRipper* ripper);

}  // namespace kova::tool
