#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>

#include <memory>
#include <optional>
#include <vector>

struct chmFile;

namespace vl {

struct ChmLayout;

// One object in a compiled help file's directory listing.
struct ChmEntry {
    QByteArray path; // as stored, UTF-8, e.g. "/topics/page.html"
    int space = 0;   // 0 stored as is, otherwise LZX-compressed
    quint64 start = 0;
    quint64 length = 0;
};

// A compiled HTML help file (ITSF archive) read through chmlib.
//
// chmlib trusts its input: a directory block that points to itself makes its look-ups and
// listings loop for ever, a control block with a zero window size divides by zero inside
// chm_open, and a compressed block whose bounds the reset table overstates is read past the end
// of a heap buffer. open() therefore walks the headers, the whole directory and the compression
// tables itself, with bounded reads, and refuses a file that would lead chmlib into any of that
// before chmlib sees it. read() checks each object's bounds against the file and the compressed
// stream before chmlib retrieves it, and has the compressed blocks it needs replayed first
// (LzxReplay): chmlib's LZX decoder is no safer against a hostile stream than the rest.
//
// Not copyable; one instance keeps the file open until it is destroyed.
class ChmFile {
public:
    ~ChmFile();
    ChmFile(const ChmFile &) = delete;
    ChmFile &operator=(const ChmFile &) = delete;

    // Opens and checks the file; nullptr (and *whyNot, when given) if it is missing, not a
    // compiled help file, or malformed in a way listed above.
    static std::unique_ptr<ChmFile> open(const QString &fileName, QString *whyNot = nullptr);

    QString fileName() const { return m_fileName; }

    // The objects in directory order (the order chmlib lists them).
    const std::vector<ChmEntry> &entries() const { return m_entries; }

    // The language the file was compiled for, as its header names it (an LCID); 0 for none.
    quint32 language() const { return m_language; }

    // Names of objects that are not UTF-8 are the help project's own bytes, not converted by
    // its compiler: from now on they are read in codePage, found by that text (contains, read)
    // and named by it (nameOf).
    void setLegacyCodePage(const QByteArray &codePage);
    // An object's name as text: UTF-8, else as the legacy code page reads it.
    QString nameOf(const ChmEntry &entry) const;

    // Whether the object exists; path is matched without regard to ASCII case, as chmlib does.
    bool contains(const QString &path) const;

    // The whole object, or nullopt when it does not exist, is longer than limit, lies outside
    // the file or the compressed stream, or could not be read in full.
    std::optional<QByteArray> read(const QString &path, qint64 limit = kDefaultReadLimit) const;

    // The object that anyPath names, tried from its longest tail to its shortest:
    // "/build/dir/topics/page.html" finds "/topics/page.html". Compilers store the targets of
    // context aliases as the absolute paths they had on the build machine. Empty if none exists.
    QString findByTail(const QString &anyPath) const;

    static constexpr qint64 kDefaultReadLimit = 16 * 1024 * 1024;
    // Limits on what open() accepts; real help files stay far below them.
    static constexpr quint64 kMaxDirectoryBytes = 16 * 1024 * 1024;
    static constexpr std::size_t kMaxEntries = 262144;
    static constexpr quint64 kMaxCompressedBlocks = 16384; // 512 MiB uncompressed

private:
    ChmFile() = default;
    const ChmEntry *resolve(const QByteArray &path) const;
    // The stored name that path (text) stands for.
    QByteArray storedName(const QString &path) const;

    QString m_fileName;
    chmFile *m_handle = nullptr;
    std::vector<ChmEntry> m_entries;
    std::unique_ptr<ChmLayout> m_layout;
    quint32 m_language = 0;
    QByteArray m_codePage;
    // Names that are not UTF-8, by their text in the legacy code page (lower case).
    QHash<QString, QByteArray> m_legacyNames;
};

// The object path a link or an index/contents target names: fragment and query removed, "%XX"
// decoded, backslashes turned into slashes, "ms-its:file.chm::/" style prefixes dropped, "." and
// ".." segments applied (".." at the top is dropped), always starting with "/". Empty for an
// empty or absurdly long text.
QString cleanChmPath(const QString &link);

// link taken relative to the folder of page (an object path), then cleaned as above; a link
// that starts with "/" or carries "::/" is taken as it is.
QString resolveChmLink(const QString &page, const QString &link);

} // namespace vl
