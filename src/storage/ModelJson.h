#pragma once

#include "model/Model.h"

#include <string>

namespace vl {

// The workspace as JSON, with the settings file's own key names:
// {"ErrorsOccurred", "General": {...}, "Pages": [{..., "Items", "Notes"}]}.
// Keys keep the file's order, which a JSON library would not.
std::string modelToJson(const Workspace &ws);

} // namespace vl
