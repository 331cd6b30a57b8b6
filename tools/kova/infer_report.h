// `kova meta infer --json`: the findings with the evidence for each
// decision, as one JSON object.
#pragma once

#include <string>

#include "tools/kova/infer.h"

namespace kova::tool::infer {

std::string findingsJson(const Findings& findings, const std::string& path);

}  // namespace kova::tool::infer
