#pragma once

#include <QString>

#include <optional>

namespace vl {

// The per-user folder where the hand-off file, the instance lock and the
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

// The hand-off file "vl30399.tmp": a start with a file argument leaves the
// path there, and the running copy picks it up and deletes it. Content is one
// UTF-8 line ended by CR LF.
//
// The caller reports failures with its own message texts; errorString()
// tells what went wrong for diagnostics.
class HandOff {
public:
    static constexpr const char *FileName = "vl30399.tmp";

    // An empty folder means privateRuntimeFolder(). A given folder must pass
    // isPrivateFolder() too; otherwise every operation fails.
    explicit HandOff(const QString &folder = {});

    bool isValid() const { return !m_filePath.isEmpty(); }
    QString filePath() const { return m_filePath; }
    QString errorString() const { return m_error; }

    // Writes path as the only line, made absolute against the current folder
    // unless it carries a URL scheme of two or more characters ("https:",
    // "file:"). A path holding CR or LF is refused: it could not be read back
    // as one line. Never writes through a symlink at the file's place.
    bool SaveTempOpenFile(const QString &path);

    // The first line, whole, without its line end; an empty file gives an
    // empty string. nullopt when the file is missing, unreadable, not a
    // regular file or a symlink.
    std::optional<QString> LoadTempOpenFile();

    // Removes whatever is at the file's place (a symlink itself, not its
    // target). Succeeds when nothing is left there.
    bool DeleteTempOpenFile();

    // Anything at the file's place counts, a symlink included, so that the
    // pickup gets to fail on it and delete it.
    bool HandOffExists() const;

    // The text SaveTempOpenFile writes for path (without the line end).
    static QString absoluteHandOffPath(const QString &path);

private:
    QString m_filePath;
    QString m_error;
};

} // namespace vl
