#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

class QFile;

namespace vl {

// The one place where the program writes files, and the one where it opens
// files a user named. Every file it writes goes through here: the settings
// file, its ".bak", the history copies and the kept unreadable files, the
// registry store, the autostart and Send To entries, the hand-off spool.
//
// The writer's guarantees:
// - The new content goes to a temporary file beside the target; every
//   write, the sync and the close are checked, and only then is it renamed
//   over the target. A failure at any of these steps (a full disk, a file
//   size limit, an I/O error) leaves the target and its ".bak" exactly as
//   they were and is reported; a cut file never gets the target's name.
// - ".bak" is whole or left alone: it is a hard link to the old file (or a
//   checked copy where links are not possible), put in place only after the
//   new content has replaced the target.
// - A target that exists keeps its mode and, where the caller may, its
//   owner. A new file gets the mode the caller asks for: files that hold
//   password values are the owner's alone (0600) from their first byte.
// - Only regular files are replaced: a pipe, a device or a folder at the
//   target's place is refused before anything is written.
//
// The reader opens only regular files and never blocks: a FIFO or a device
// named as a settings file, a picture or an import is refused at once.

// A file could not be read or written; the message says which and why.
class FileIoError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Enough of a file's inode to tell whether it is still the file that was
// read or written: a rename over it changes the inode, a write in place its
// size or modification time.
struct FileIdentity {
    bool exists = false;
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    qint64 size = 0;
    qint64 modifiedNs = 0;

    bool operator==(const FileIdentity &) const = default;
    // Of the file at path now (symbolic links followed); exists is false
    // when there is nothing there.
    static FileIdentity of(const QString &path);
};

enum class NewFileMode {
    Private,    // 0600: it holds password values, or paths meant for us alone
    Shared,     // 0666 less the umask: an entry other programs read
    Executable, // 0777 less the umask: a launcher other programs run
};

struct WriteOptions {
    NewFileMode newFileMode = NewFileMode::Private;
    // Keep the old content as "<path>.bak".
    bool keepBackup = false;
};

// New content for one file, written whole and synced under a temporary name
// beside it, not yet in place. Nothing the target's readers see changes until
// commit(); an object destroyed without commit() removes its temporary file.
// Preparing several and committing them in turn lets a caller put a group of
// files in place only once every one of them was written.
class PendingFile {
public:
    // Throws FileIoError; nothing is left behind then.
    PendingFile(const QString &path, std::string_view data, const WriteOptions &options = {});
    ~PendingFile();
    PendingFile(PendingFile &&other) noexcept;
    PendingFile &operator=(PendingFile &&other) noexcept;
    PendingFile(const PendingFile &) = delete;
    PendingFile &operator=(const PendingFile &) = delete;

    // Renames the new content over the target (keeping the old as ".bak"
    // first when asked) and syncs the folder. Throws FileIoError when the
    // rename fails; the target and ".bak" are then as they were.
    void commit();

    // The file the content goes to (a symbolic link's target).
    const QString &target() const { return target_; }
    // The new file's identity, as it will be once committed.
    const FileIdentity &identity() const { return identity_; }
    // Set after commit() when something beside the content itself went
    // wrong: ".bak" could not be brought up to date (it then still holds
    // an older whole version), or the folder could not be synced.
    const QString &remark() const { return remark_; }

private:
    void discard() noexcept;

    QString path_; // as asked for
    QString target_;
    QString temp_;
    WriteOptions options_;
    FileIdentity identity_;
    QString remark_;
    bool committed_ = false;
};

// Writes data to path in one step (PendingFile, then commit). Throws
// FileIoError. The remark of the commit, if any, goes to *remark.
void writeFileAtomically(const QString &path, std::string_view data, const WriteOptions &options = {},
                         QString *remark = nullptr);

// Reads a whole regular file of at most maxBytes. Throws FileIoError when
// the file cannot be opened or read, is not a regular file (a FIFO is
// refused without waiting for a writer) or is larger. With identity, the
// identity of the file read, taken from the open file itself.
std::string readRegularFile(const QString &path, qint64 maxBytes, FileIdentity *identity = nullptr);
// As above; nullopt with the reason in *error instead of throwing.
std::optional<QByteArray> tryReadRegularFile(const QString &path, qint64 maxBytes, QString *error = nullptr);

// A QFile open for reading on a regular file, for readers that take a
// device (pictures). Null with the reason in *error otherwise.
std::unique_ptr<QFile> openRegularFile(const QString &path, QString *error = nullptr);
// Whether path names a regular file (symbolic links followed), for
// libraries that open files by name themselves; *why says why not.
bool isRegularFile(const QString &path, QString *why = nullptr);
// For a library that opens files by name itself (chmlib, liblnk): a name
// that opens the file already open in `file` (from openRegularFile) again,
// /proc/self/fd/N, so that what has taken its path since (a FIFO, another
// file) is never opened instead. `path` itself where /proc is missing.
// Valid while `file` stays open.
QString nameOfOpenFile(const QFile &file, const QString &path);

// Size of a regular file, nullopt when it is no readable regular file.
std::optional<qint64> regularFileSize(const QString &path);

// A cheap fingerprint of content, for telling versions of a file apart.
std::uint64_t contentHash(std::string_view data);

// The test seam of the writer: every system call it checks asks the
// injector first, which answers 0 to let it run or an errno value to fail it
// with. Tests fail the first, second, ... k-th call of a save in turn.
namespace fileFaults {
enum class Call { Open, Write, Sync, Close, Link, Rename, SyncFolder };
using Injector = std::function<int(Call)>;
void setInjector(Injector injector);
// The name of a call, for test messages.
const char *name(Call call);
} // namespace fileFaults

} // namespace vl
