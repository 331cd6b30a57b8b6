// The record formats the sniffer knows: telling them apart from the head
// of a file, and making the inference for one.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "tools/kova/infer.h"

namespace kova::tool::infer {

// JSON when the text begins with { or [, XML with <, CLF when most of the
// first lines are Common Log Format lines, else delimited text.
RecordFormat detectFormat(std::string_view head, std::vector<std::string>* evidence);

// recordTag: the XML record element given by the user ("": the most repeated
// element under the root).
std::unique_ptr<Inference> makeInference(RecordFormat format, const std::string& recordTag);

std::unique_ptr<Inference> makeClfInference();
std::unique_ptr<Inference> makeJsonInference();
std::unique_ptr<Inference> makeXmlInference(const std::string& recordTag);

// The seven fields of a Common Log Format line as the ripper cuts them
// (host, identity, user, time, request, status, size); false when the line
// lacks the brackets, quotes or fields of one.
bool splitClfLine(std::string_view line, std::string_view fields[7]);

}  // namespace kova::tool::infer
