// Turning the sniffer's findings into a table instance through the module
// (createInstance, addColumn, copyString), so that writeXml gives the
// canonical document exactly as `kova meta fmt` writes it.
#pragma once

#include <string>

#include "kova/extension.h"
#include "tools/kova/infer.h"
#include "tools/kova/session.h"

namespace kova::tool::infer {

// A new instance described by findings; tableName is set when not empty.
// Null and *error when the module cannot make it. The caller destroys it.
KovaObject* buildTable(Session& session, const Findings& findings, const std::string& tableName,
                       std::string* error);

// A table name from a file's path: its base name without extensions, made
// valid as a name ("" for stdin).
std::string tableNameOf(const std::string& path);

}  // namespace kova::tool::infer
