#pragma once

#include <QString>

#include <optional>

namespace vl {

class HandOff;
class Prompt;

// A path handed over by a later start, in the form its shortcut gets.
struct HandedPath {
    QString caption; // the file's own name (an address: the address)
    QString path;
};

// The long form of a handed path: web addresses stay as they are; a path
// gets its folder as the kernel resolves it (symbolic links and ".." taken
// as the kernel takes them, never lexically), and keeps its own last name,
// so a handed symbolic link stays the link. nullopt when the path is empty,
// not absolute or leads nowhere.
std::optional<HandedPath> longFormOf(const QString &handed);

// Reads the waiting hand-off and deletes it, whatever happens. A file that
// cannot be read is reported with its message and gives nullopt, as does a
// path that leads nowhere.
std::optional<HandedPath> takeHandOff(HandOff &handOff, Prompt &prompt);

} // namespace vl
