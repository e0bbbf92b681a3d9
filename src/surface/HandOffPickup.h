#pragma once

#include <QByteArray>
#include <QString>

#include <functional>
#include <optional>

namespace vl {

class HandOff;
class Prompt;

// A path handed over by a later start, in the form its shortcut gets.
struct HandedPath {
    QString caption; // the file's own name (an address: the address)
    QString path;
};

// The long form of a handed path: web addresses stay as they are, but a
// local file's address (file:///...) is that file's path; a path
// gets its folder as the kernel resolves it (symbolic links and ".." taken
// as the kernel takes them, never lexically), and keeps its own last name,
// so a handed symbolic link stays the link. nullopt when the path is empty,
// not absolute or leads nowhere.
//
// Names are bytes. A path whose bytes are no text this program can keep
// (not UTF-8, or holding a line break, which the settings file cannot
// store) becomes its file:// address with those bytes percent-encoded: that
// still names exactly the file, survives every save, and opens it. Its
// caption shows the name as far as it is text.
std::optional<HandedPath> longFormOf(const QByteArray &handed);

// Takes every waiting hand-off in the order the starts that left them were
// made, giving each that leads somewhere to add, for as long as mayTake()
// allows (it is asked before each one; what it refuses stays waiting). A
// hand-off that cannot be read is reported with its message (once per
// pickup), one that leads nowhere is not passed on; either is gone
// afterwards and makes the result false.
bool takeHandOffs(HandOff &handOff, Prompt &prompt, const std::function<bool()> &mayTake,
                  const std::function<void(const HandedPath &)> &add);

} // namespace vl
