#pragma once

#include <QString>

#include <string_view>

namespace vl {

// Replaces the file's content in one step: the data goes to a temporary file
// in the same folder, is flushed, and then renamed over the old file, so a
// failure at any point leaves the old content in place. With keepBackup the
// old content is kept as "<path>.bak". Throws IniIoError.
void writeFileAtomically(const QString &path, std::string_view data, bool keepBackup);
// As above, for a new file that must be no more open than the file it was
// copied from: it gets the permissions of `like` (when that exists) from
// the start.
void writeFileAtomically(const QString &path, std::string_view data, bool keepBackup, const QString &like);

} // namespace vl
