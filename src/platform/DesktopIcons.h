#pragma once

#include <QIcon>
#include <QString>
#include <QStringList>

namespace vl {

// Makes QIcon::fromTheme find the desktop's icons where Qt was given no icon
// theme (no platform theme, offscreen, a bare X server): adds the system's
// and the user's icon folders to the search path and picks Adwaita, else
// hicolor. A theme that Qt already took from the desktop is left alone.
// Call once, after the application object exists.
void setUpIconTheme();

// The first of `names` that the icon theme knows (absolute paths are image
// files); null when none is found.
QIcon themedIcon(const QStringList &names);

// The icon of an existing file or folder as the desktop shows it: a folder
// icon, a launcher's own Icon, or the icon of the file's type by its name;
// null when the path does not exist or no icon is found.
QIcon iconForPath(const QString &path);

// The program's own icon, from the resources compiled into the library.
QIcon programIcon();

} // namespace vl
