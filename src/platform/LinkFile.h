#pragma once

#include "platform/Platform.h"

#include <QString>

#include <optional>

namespace vl {

// Reads a shell link (".lnk") file. The target is the link's local path,
// else its network path, else its relative path, each exactly as the link
// spells it (Windows drive letters and backslashes included). nullopt when
// the file cannot be opened or is no shell link.
std::optional<LinkTarget> readShellLink(const QString &path);

} // namespace vl
