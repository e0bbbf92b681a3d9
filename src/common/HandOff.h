#pragma once

#include <QByteArray>
#include <QSet>
#include <QString>
#include <QStringList>

#include <optional>

namespace vl {

// The per-user folder where the hand-off spool, the instance lock and the
// instance socket live. Nothing in it may be reachable by another user, so a
// candidate counts only when it is a real directory (not a symlink), owned by
// the effective user and of mode 0700 exactly.
//
// Order: $XDG_RUNTIME_DIR when it passes that check; otherwise
// <tmpBase>/vorlane-<uid>, created with mode 0700 when missing. An existing
// fallback that fails the check is refused rather than repaired: someone
// else may have planted it. Returns nullopt with *error set when neither
// works.
std::optional<QString> privateRuntimeFolder(QString *error = nullptr);
std::optional<QString> privateRuntimeFolder(const QString &xdgRuntimeDir, const QString &tmpBase,
                                            QString *error = nullptr);

// True when path is a real directory owned by us with mode 0700; otherwise
// false with the reason in *why.
bool isPrivateFolder(const QString &path, QString *why = nullptr);

// The hand-off spool: every start with a file argument leaves its path there
// as an entry of its own, and a window takes the entries in the order their
// copies were started. Many starts at the same moment (a file manager
// opening a selection) thus each arrive, once. The order is that of the
// entries waiting together: one whose writer gets to write only after the
// window took later ones comes after them.
//
// The rules, all kept here:
// - The spool is the folder "vorlane-<uid>.handoff" in the private runtime
//   folder, itself of mode 0700 and checked as that folder is.
// - An entry is named after its writer's start stamp (fixed-width hex, so
//   names sort in start order), then a number counting the writer's own
//   entries and a random part. It is written whole and synced under a
//   temporary name starting with a dot, mode 0600, and only then renamed
//   to its name: a reader never sees half an entry.
// - Its content is the path's bytes as the command line gave them, then a
//   line feed. Names are bytes on Linux: nothing is decoded on the way, and
//   line breaks inside a name survive, since the entry ends only at its
//   last byte.
// - An entry is taken by whoever removes it: of two windows reading the
//   same entry, only the one whose unlink succeeds gets it.
// - Entries are never followed through a symlink and never read unless
//   they are regular files, so a FIFO never blocks. None is larger than
//   MaxEntryBytes (more than any one command-line word can be).
// - A temporary file older than StaleAfterSeconds belongs to a writer that
//   died on the way; the reader removes it. Entries themselves wait as long
//   as it takes: one that a closing window will not save stays for the
//   next start.
//
// The caller reports failures with its own message texts; errorString()
// tells what went wrong for diagnostics.
class HandOff {
public:
    static constexpr qint64 MaxEntryBytes = 256 * 1024;
    static constexpr int StaleAfterSeconds = 10 * 60;

    // An empty folder means privateRuntimeFolder(). A given folder must pass
    // isPrivateFolder() too; otherwise every operation fails. The spool in
    // it is made when missing.
    explicit HandOff(const QString &runtimeFolder = {});

    bool isValid() const { return !m_folder.isEmpty(); }
    // The spool folder.
    QString folderPath() const { return m_folder; }
    QString errorString() const { return m_error; }

    // Leaves path as a new entry, made absolute against the current folder
    // unless it carries a URL scheme of two or more characters ("https:",
    // "file:"). False when it could not be written whole (nothing is left
    // behind then) or is longer than an entry may be.
    bool SaveTempOpenFile(const QByteArray &path);

    // Whether any entry waits (cheap: asked on every paint of the window).
    bool HandOffExists() const;
    // The names of the waiting entries, in the order their writers were
    // started. Removes temporary files left by writers that died.
    QStringList waiting();

    struct Taken {
        enum class Status {
            Taken,      // path holds what the entry's writer was given
            Gone,       // another window took it first
            Unreadable, // no entry that could be read (it is removed all the same)
        };
        Status status = Status::Gone;
        QByteArray path;
    };
    // Takes the entry of that name: reads it and removes it. An entry that
    // cannot be removed is never given out (it would arrive again on every
    // pickup) and is passed over from then on.
    Taken take(const QString &entry);

    // The bytes SaveTempOpenFile leaves for path (without the line end).
    static QByteArray absoluteHandOffPath(const QByteArray &path);

private:
    QString m_folder;
    QString m_error;
    QSet<QString> m_stuck;
};

} // namespace vl
