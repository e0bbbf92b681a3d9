#include "help/ChmFile.h"

#include "help/HelpText.h"
#include "help/LzxReplay.h"
#include "platform/SafeFile.h"

#include <QFile>
#include <QStringDecoder>
#include <QStringList>
#include <QUrl>

#include <chm_lib.h>
#include <strings.h>

#include <bit>
#include <cstring>

using namespace Qt::StringLiterals;

namespace vl {

namespace {

// Sizes and signatures of the ITSF container, as chmlib reads them.
constexpr quint64 kItsfV2Len = 0x58;
constexpr quint64 kItsfV3Len = 0x60;
constexpr quint64 kItspLen = 0x54;
constexpr quint32 kPmglHeaderLen = 0x14;
constexpr quint32 kPmgiHeaderLen = 0x08;
constexpr quint32 kMinBlockLen = 0x200;
constexpr quint32 kMaxBlockLen = 0x10000;
constexpr quint64 kMaxPathLen = CHM_MAX_PATHLEN;
constexpr quint64 kResetTableLen = 0x28;
constexpr quint64 kMaxControlDataLen = 256; // chm_open's stack buffer
constexpr quint64 kControlDataMinLen = 0x18;
// LZX output per reset-table block, and the most input chmlib lets one block take.
constexpr quint64 kLzxFrame = 0x8000;
constexpr quint64 kLzxInputSlack = 6144;

const char kResetTableName[] = "::DataSpace/Storage/MSCompressed/Transform/"
                               "{7FC28940-9D31-11D0-9B27-00A0C91E9C7C}/InstanceData/ResetTable";
const char kContentName[] = "::DataSpace/Storage/MSCompressed/Content";
const char kControlDataName[] = "::DataSpace/Storage/MSCompressed/ControlData";

quint32 le32(const char *p)
{
    const auto *u = reinterpret_cast<const unsigned char *>(p);
    return quint32(u[0]) | quint32(u[1]) << 8 | quint32(u[2]) << 16 | quint32(u[3]) << 24;
}

quint64 le64(const char *p)
{
    return quint64(le32(p)) | quint64(le32(p + 4)) << 32;
}

bool add(quint64 a, quint64 b, quint64 *sum)
{
    return !__builtin_add_overflow(a, b, sum);
}

// Reads of exact length at exact offsets, refused beyond the end of the file. Only a regular file
// is opened, and without waiting: a FIFO named as the help file would otherwise block the window
// until somebody wrote to it.
class BoundedFile {
public:
    explicit BoundedFile(const QString &name) : m_name(name) {}
    bool open()
    {
        m_file = openRegularFile(m_name);
        if (!m_file)
            return false;
        m_size = m_file->size();
        return m_size >= 0;
    }
    quint64 size() const { return quint64(m_size); }
    const QFile &file() const { return *m_file; }
    bool readAt(quint64 offset, quint64 length, QByteArray *out)
    {
        if (offset > size() || length > size() - offset || length > quint64(INT32_MAX))
            return false;
        if (!m_file->seek(qint64(offset)))
            return false;
        *out = m_file->read(qint64(length));
        return quint64(out->size()) == length;
    }

private:
    QString m_name;
    std::unique_ptr<QFile> m_file;
    qint64 m_size = -1;
};

// A variable-length number as chmlib decodes it (seven bits a byte, high bit set on all but the
// last), which must end before end.
bool readCword(const QByteArray &block, quint32 &pos, quint32 end, quint64 *value)
{
    quint64 acc = 0;
    while (pos < end) {
        const auto b = static_cast<unsigned char>(block[pos++]);
        if (b < 0x80) {
            *value = (acc << 7) + b;
            return true;
        }
        acc = (acc << 7) + (b & 0x7f);
    }
    return false;
}

} // namespace

// What open() learned about the file, kept for look-ups and the bounds checks of read().
struct ChmLayout {
    struct IndexEntry {
        QByteArray name;
        int child = -1;
    };
    struct Block {
        enum Kind { Other, Listing, Index } kind = Other;
        int next = -1;                 // Listing: the next listing block
        std::size_t first = 0, last = 0; // Listing: range in listed
        std::vector<IndexEntry> index; // Index: entries in order
    };
    quint64 fileSize = 0;
    quint64 dataOffset = 0;
    quint32 language = 0;
    int root = -1;
    int head = -1;
    std::vector<Block> blocks;
    std::vector<ChmEntry> listed; // every listing block's entries, in block order
    bool compressed = false;      // chmlib will decompress
    quint64 uncompressedLength = 0;
    // The compressed stream, when there is one.
    quint64 contentStart = 0;         // where the compressed section begins in the file
    quint64 compressedLength = 0;
    std::vector<quint64> blockStarts; // the reset table: each block's offset in the section
    int windowBits = 0;
    quint64 resetBlocks = 0;          // blocks from one decoder reset to the next
    // Per reset interval: 0 not replayed yet, 1 safe for chmlib's decoder, -1 refused.
    std::vector<signed char> intervals;
    std::unique_ptr<BoundedFile> file;

    // Whether chmlib may decompress the blocks holding [start, start + length): every reset
    // interval they lie in must have replayed cleanly (see LzxReplay), as chmlib decodes each
    // block from the last reset point on.
    bool replayable(quint64 start, quint64 length)
    {
        if (length == 0)
            return true;
        const quint64 usefulBlocks = (uncompressedLength + kLzxFrame - 1) / kLzxFrame;
        const quint64 first = start / kLzxFrame;
        const quint64 last = (start + length - 1) / kLzxFrame;
        for (quint64 interval = first / resetBlocks; interval <= last / resetBlocks; ++interval) {
            signed char &state = intervals[std::size_t(interval)];
            if (state == 0)
                state = replayInterval(interval, usefulBlocks) ? 1 : -1;
            if (state < 0)
                return false;
        }
        return true;
    }

    bool replayInterval(quint64 interval, quint64 usefulBlocks)
    {
        LzxReplay replay(windowBits);
        const quint64 begin = interval * resetBlocks;
        const quint64 end = qMin(begin + resetBlocks, usefulBlocks);
        QByteArray data;
        for (quint64 b = begin; b < end; ++b) {
            const quint64 from = blockStarts[std::size_t(b)];
            const quint64 to = b + 1 < blockStarts.size() ? blockStarts[std::size_t(b + 1)] : compressedLength;
            if (!file->readAt(contentStart + from, to - from, &data)
                || !replay.frame(reinterpret_cast<const unsigned char *>(data.constData()), int(data.size()),
                                 int(kLzxFrame + kLzxInputSlack)))
                return false;
        }
        return true;
    }

    // chm_resolve_object's walk, on the checked blocks: down the index blocks by name order,
    // then a linear search of the listing block reached.
    const ChmEntry *resolve(const char *path) const
    {
        int page = root;
        for (std::size_t steps = 0; page >= 0 && steps <= blocks.size(); ++steps) {
            const Block &b = blocks[std::size_t(page)];
            if (b.kind == Block::Listing) {
                for (std::size_t i = b.first; i < b.last; ++i) {
                    if (strcasecmp(listed[i].path.constData(), path) == 0)
                        return &listed[i];
                }
                return nullptr;
            }
            if (b.kind != Block::Index)
                return nullptr;
            int next = -1;
            for (const IndexEntry &e : b.index) {
                if (strcasecmp(e.name.constData(), path) > 0)
                    break;
                next = e.child;
            }
            page = next;
        }
        return nullptr;
    }
};

namespace {

using Layout = ChmLayout;

bool fail(QString *whyNot, const QString &text)
{
    if (whyNot)
        *whyNot = text;
    return false;
}

// Parses one directory block. Every entry must lie wholly before the block's free space, names
// must be 1..512 bytes without NUL, and every index pointer must name a block that exists.
bool parseBlock(const QByteArray &raw, int blockCount, Layout &layout, Layout::Block &block)
{
    const auto len = quint32(raw.size());
    if (raw.startsWith("PMGL")) {
        const quint32 freeSpace = le32(raw.constData() + 4);
        if (freeSpace > len - kPmglHeaderLen)
            return false;
        const qint32 next = qint32(le32(raw.constData() + 0x10));
        if (next < -1 || next >= blockCount)
            return false;
        block.kind = Layout::Block::Listing;
        block.next = next;
        block.first = layout.listed.size();
        const quint32 end = len - freeSpace;
        quint32 pos = kPmglHeaderLen;
        while (pos < end) {
            quint64 nameLen = 0, space = 0, start = 0, length = 0;
            if (!readCword(raw, pos, end, &nameLen) || nameLen == 0 || nameLen > kMaxPathLen
                || nameLen > end - pos)
                return false;
            QByteArray name = raw.mid(int(pos), int(nameLen));
            pos += quint32(nameLen);
            if (name.contains('\0'))
                return false;
            if (!readCword(raw, pos, end, &space) || !readCword(raw, pos, end, &start)
                || !readCword(raw, pos, end, &length))
                return false;
            // chmlib takes any space but 0 as compressed, yet only 1 disables compression in
            // chm_open: refuse the rest rather than follow it into uninitialised tables.
            if (space > 1 || layout.listed.size() >= ChmFile::kMaxEntries)
                return false;
            layout.listed.push_back({std::move(name), int(space), start, length});
        }
        block.last = layout.listed.size();
        return true;
    }
    if (raw.startsWith("PMGI")) {
        const quint32 freeSpace = le32(raw.constData() + 4);
        if (freeSpace > len - kPmgiHeaderLen)
            return false;
        block.kind = Layout::Block::Index;
        const quint32 end = len - freeSpace;
        quint32 pos = kPmgiHeaderLen;
        while (pos < end) {
            quint64 nameLen = 0, child = 0;
            if (!readCword(raw, pos, end, &nameLen) || nameLen > kMaxPathLen || nameLen > end - pos)
                return false;
            QByteArray name = raw.mid(int(pos), int(nameLen));
            pos += quint32(nameLen);
            if (!readCword(raw, pos, end, &child) || child >= quint64(blockCount))
                return false;
            block.index.push_back({std::move(name), int(child)});
        }
        return true;
    }
    // chmlib gives up on a block of any other kind, so it may hold anything.
    block.kind = Layout::Block::Other;
    return true;
}

// No index block may be reached again on a way down from the root: chmlib would circle for
// ever. Depth-first with an explicit stack, so a deep directory cannot exhaust the call stack.
bool indexIsAcyclic(const Layout &layout)
{
    if (layout.root < 0)
        return true;
    enum Mark : unsigned char { Unseen, Open, Done };
    std::vector<Mark> mark(layout.blocks.size(), Unseen);
    struct Frame {
        int block;
        std::size_t nextChild;
    };
    std::vector<Frame> stack{{layout.root, 0}};
    mark[std::size_t(layout.root)] = Open;
    while (!stack.empty()) {
        Frame &top = stack.back();
        const Layout::Block &b = layout.blocks[std::size_t(top.block)];
        if (b.kind != Layout::Block::Index || top.nextChild >= b.index.size()) {
            mark[std::size_t(top.block)] = Done;
            stack.pop_back();
            continue;
        }
        const int child = b.index[top.nextChild++].child;
        if (mark[std::size_t(child)] == Open)
            return false;
        if (mark[std::size_t(child)] == Unseen) {
            mark[std::size_t(child)] = Open;
            stack.push_back({child, 0});
        }
    }
    return true;
}

// The same steps as chm_open on the compression tables. Where chmlib would switch compression
// off, so does this; where chmlib would go on with values that make it divide by zero, use an
// uninitialised or missing decoder, or read a compressed block past its buffer, the file is
// refused.
bool checkCompression(BoundedFile &file, Layout &layout, QString *whyNot)
{
    const ChmEntry *rt = layout.resolve(kResetTableName);
    const ChmEntry *cn = layout.resolve(kContentName);
    const ChmEntry *ctl = layout.resolve(kControlDataName);
    if (!rt || rt->space != 0 || !cn || cn->space != 0 || !ctl || ctl->space != 0)
        return true; // chmlib leaves compression off; compressed objects read as nothing

    QByteArray table;
    quint64 rtStart = 0;
    if (!add(layout.dataOffset, rt->start, &rtStart) || rt->length < kResetTableLen
        || !file.readAt(rtStart, kResetTableLen, &table) || le32(table.constData()) != 2)
        return true; // chmlib switches compression off

    if (ctl->length > kMaxControlDataLen)
        return fail(whyNot, u"oversized LZX control data"_s);
    QByteArray control;
    quint64 ctlStart = 0;
    if (!add(layout.dataOffset, ctl->start, &ctlStart) || ctl->length < kControlDataMinLen
        || !file.readAt(ctlStart, ctl->length, &control)
        || std::memcmp(control.constData() + 4, "LZXC", 4) != 0)
        return fail(whyNot, u"unreadable LZX control data"_s);
    // chmlib's arithmetic, in its 32-bit types.
    const quint32 version = le32(control.constData() + 8);
    quint32 resetInterval = le32(control.constData() + 12);
    quint32 windowSize = le32(control.constData() + 16);
    const quint32 windowsPerReset = le32(control.constData() + 20);
    if (version == 2) {
        resetInterval *= 0x8000u;
        windowSize *= 0x8000u;
    }
    // LZX windows are 2^15..2^21 bytes; chmlib's decoder setup fails silently on others and
    // the next read dereferences the missing decoder.
    if (windowSize < (1u << 15) || windowSize > (1u << 21) || (windowSize & (windowSize - 1)) != 0)
        return fail(whyNot, u"bad LZX window size"_s);
    if (resetInterval == 0 || resetInterval % (windowSize / 2) != 0)
        return fail(whyNot, u"bad LZX reset interval"_s);
    const quint32 resetBlocks = resetInterval / (windowSize / 2) * windowsPerReset;
    if (resetBlocks == 0)
        return fail(whyNot, u"bad LZX reset interval"_s);

    const quint32 blockCount = le32(table.constData() + 4);
    const quint32 tableOffset = le32(table.constData() + 12);
    const quint64 uncompressedLength = le64(table.constData() + 16);
    const quint64 compressedLength = le64(table.constData() + 24);
    const quint64 blockLength = le64(table.constData() + 32);
    if (blockLength != kLzxFrame || blockCount == 0 || blockCount > ChmFile::kMaxCompressedBlocks)
        return fail(whyNot, u"bad LZX reset table"_s);
    quint64 tableEnd = 0;
    if (!add(tableOffset, quint64(blockCount) * 8, &tableEnd) || tableEnd > rt->length
        || uncompressedLength > quint64(blockCount) * kLzxFrame || compressedLength > cn->length)
        return fail(whyNot, u"bad LZX reset table"_s);
    quint64 cnStart = 0, cnEnd = 0;
    if (!add(layout.dataOffset, cn->start, &cnStart) || !add(cnStart, cn->length, &cnEnd)
        || cnEnd > file.size())
        return fail(whyNot, u"compressed section beyond the end of the file"_s);
    QByteArray starts;
    if (!file.readAt(rtStart + tableOffset, quint64(blockCount) * 8, &starts))
        return fail(whyNot, u"bad LZX reset table"_s);
    // Every block must start after its predecessor and take no more input than chmlib's buffer
    // holds; the last one ends at the compressed length.
    for (quint32 i = 0; i < blockCount; ++i) {
        const quint64 begin = le64(starts.constData() + 8 * i);
        const quint64 end = i + 1 < blockCount ? le64(starts.constData() + 8 * (i + 1)) : compressedLength;
        if (end < begin || end - begin > kLzxFrame + kLzxInputSlack || end > compressedLength)
            return fail(whyNot, u"bad LZX reset table"_s);
    }
    layout.compressed = true;
    layout.uncompressedLength = uncompressedLength;
    layout.contentStart = cnStart;
    layout.compressedLength = compressedLength;
    layout.blockStarts.resize(blockCount);
    for (quint32 i = 0; i < blockCount; ++i)
        layout.blockStarts[i] = le64(starts.constData() + 8 * i);
    layout.windowBits = std::countr_zero(windowSize);
    layout.resetBlocks = resetBlocks;
    const quint64 usefulBlocks = (uncompressedLength + kLzxFrame - 1) / kLzxFrame;
    layout.intervals.assign(std::size_t((usefulBlocks + resetBlocks - 1) / resetBlocks), 0);
    return true;
}

bool checkLayout(BoundedFile &file, Layout &layout, QString *whyNot)
{
    layout.fileSize = file.size();
    QByteArray itsf;
    if (!file.readAt(0, kItsfV3Len, &itsf) || !itsf.startsWith("ITSF"))
        return fail(whyNot, u"not a compiled help file"_s);
    const quint32 version = le32(itsf.constData() + 4);
    const quint32 headerLen = le32(itsf.constData() + 8);
    if ((version != 2 || headerLen < kItsfV2Len) && (version != 3 || headerLen < kItsfV3Len))
        return fail(whyNot, u"unknown compiled help file version"_s);
    const quint64 dirOffset = le64(itsf.constData() + 0x48);
    const quint64 dirLen = le64(itsf.constData() + 0x50);
    if (dirOffset > file.size() || dirLen > file.size() - dirOffset || dirLen < kItspLen)
        return fail(whyNot, u"directory beyond the end of the file"_s);
    layout.dataOffset = version == 3 ? le64(itsf.constData() + 0x58) : dirOffset + dirLen;
    layout.language = le32(itsf.constData() + 0x14);

    QByteArray itsp;
    if (!file.readAt(dirOffset, kItspLen, &itsp) || !itsp.startsWith("ITSP") || le32(itsp.constData() + 4) != 1
        || le32(itsp.constData() + 8) != kItspLen)
        return fail(whyNot, u"bad directory header"_s);
    const quint32 blockLen = le32(itsp.constData() + 0x10);
    if (blockLen < kMinBlockLen || blockLen > kMaxBlockLen)
        return fail(whyNot, u"bad directory block size"_s);
    const quint64 blockCount = (dirLen - kItspLen) / blockLen;
    if (blockCount == 0 || blockCount * blockLen > ChmFile::kMaxDirectoryBytes)
        return fail(whyNot, u"bad directory size"_s);
    const qint32 indexRoot = qint32(le32(itsp.constData() + 0x1c));
    const qint32 indexHead = qint32(le32(itsp.constData() + 0x20));
    // chmlib fetches any block number it is given; one past the directory would be read from
    // whatever follows it, unchecked.
    if (indexHead < 0 || quint64(indexHead) >= blockCount || quint64(qMax(indexRoot, 0)) >= blockCount)
        return fail(whyNot, u"bad directory root"_s);
    layout.root = indexRoot <= -1 ? indexHead : indexRoot;
    layout.head = indexHead;

    QByteArray directory;
    if (!file.readAt(dirOffset + kItspLen, blockCount * blockLen, &directory))
        return fail(whyNot, u"directory beyond the end of the file"_s);
    layout.blocks.resize(std::size_t(blockCount));
    for (quint64 i = 0; i < blockCount; ++i) {
        const QByteArray raw = directory.mid(int(i * blockLen), int(blockLen));
        if (!parseBlock(raw, int(blockCount), layout, layout.blocks[std::size_t(i)]))
            return fail(whyNot, u"malformed directory block"_s);
    }
    if (!indexIsAcyclic(layout))
        return fail(whyNot, u"directory index loops"_s);
    // chm_enumerate follows the listing blocks' chain from the head until it ends.
    std::vector<bool> seen(layout.blocks.size(), false);
    for (int page = layout.head; page >= 0;) {
        if (seen[std::size_t(page)])
            return fail(whyNot, u"directory listing loops"_s);
        seen[std::size_t(page)] = true;
        const Layout::Block &b = layout.blocks[std::size_t(page)];
        if (b.kind != Layout::Block::Listing)
            break; // chmlib stops listing here
        page = b.next;
    }
    return true;
}

// The objects chm_enumerate would list, in its order; the chain was checked to end.
std::vector<ChmEntry> listingFrom(const Layout &layout)
{
    std::vector<ChmEntry> entries;
    for (int page = layout.head; page >= 0;) {
        const Layout::Block &b = layout.blocks[std::size_t(page)];
        if (b.kind != Layout::Block::Listing)
            break;
        entries.insert(entries.end(), layout.listed.begin() + std::ptrdiff_t(b.first),
                       layout.listed.begin() + std::ptrdiff_t(b.last));
        page = b.next;
    }
    return entries;
}

} // namespace

ChmFile::~ChmFile()
{
    if (m_handle)
        chm_close(m_handle);
}

std::unique_ptr<ChmFile> ChmFile::open(const QString &fileName, QString *whyNot)
{
    auto layout = std::make_unique<Layout>();
    layout->file = std::make_unique<BoundedFile>(fileName);
    if (!layout->file->open()) {
        fail(whyNot, u"cannot open the file"_s);
        return nullptr;
    }
    if (!checkLayout(*layout->file, *layout, whyNot) || !checkCompression(*layout->file, *layout, whyNot))
        return nullptr;

    std::unique_ptr<ChmFile> chm(new ChmFile);
    chm->m_entries = listingFrom(*layout);

    // chmlib opens files by name: it is given a name of the file the checks above read, so that
    // a file put in its place meanwhile (unchecked, or a FIFO that would block) is never opened.
    chm->m_handle = chm_open(QFile::encodeName(nameOfOpenFile(layout->file->file(), fileName)).constData());
    if (!chm->m_handle) {
        fail(whyNot, u"chmlib could not open the file"_s);
        return nullptr;
    }
    chm->m_fileName = fileName;
    chm->m_language = layout->language;
    chm->m_layout = std::move(layout);
    return chm;
}

void ChmFile::setLegacyCodePage(const QByteArray &codePage)
{
    m_codePage = codePage;
    m_legacyNames.clear();
    for (const ChmEntry &e : m_entries) {
        QStringDecoder utf8(QStringDecoder::Utf8);
        const QString asUtf8 = utf8.decode(e.path);
        if (utf8.hasError())
            m_legacyNames.insert(decodeLegacyText(e.path, m_codePage).toLower(), e.path);
    }
}

QString ChmFile::nameOf(const ChmEntry &entry) const
{
    return decodeLegacyText(entry.path, m_codePage);
}

QByteArray ChmFile::storedName(const QString &path) const
{
    QByteArray raw = path.toUtf8();
    if (m_legacyNames.isEmpty() || resolve(raw))
        return raw;
    return m_legacyNames.value(path.toLower(), raw);
}

const ChmEntry *ChmFile::resolve(const QByteArray &path) const
{
    if (path.isEmpty() || quint64(path.size()) > kMaxPathLen || path.contains('\0'))
        return nullptr;
    return m_layout->resolve(path.constData());
}

bool ChmFile::contains(const QString &path) const
{
    return resolve(storedName(path)) != nullptr;
}

std::optional<QByteArray> ChmFile::read(const QString &path, qint64 limit) const
{
    const QByteArray raw = storedName(path);
    const ChmEntry *entry = resolve(raw);
    if (!entry || limit < 0 || entry->length > quint64(limit))
        return std::nullopt;
    quint64 begin = 0, end = 0;
    if (entry->space == 0) {
        if (!add(m_layout->dataOffset, entry->start, &begin) || !add(begin, entry->length, &end)
            || end > m_layout->fileSize)
            return std::nullopt;
    } else if (!m_layout->compressed || !add(entry->start, entry->length, &end)
               || end > m_layout->uncompressedLength || !m_layout->replayable(entry->start, entry->length)) {
        return std::nullopt;
    }
    chmUnitInfo ui{};
    if (chm_resolve_object(m_handle, raw.constData(), &ui) != CHM_RESOLVE_SUCCESS || ui.space != entry->space
        || ui.start != entry->start || ui.length != entry->length)
        return std::nullopt;
    QByteArray data(qsizetype(entry->length), Qt::Uninitialized);
    if (entry->length == 0)
        return data;
    const LONGINT64 got = chm_retrieve_object(m_handle, &ui, reinterpret_cast<unsigned char *>(data.data()), 0,
                                              LONGINT64(entry->length));
    if (got != LONGINT64(entry->length))
        return std::nullopt;
    return data;
}

QString ChmFile::findByTail(const QString &anyPath) const
{
    QString s = anyPath;
    s.replace(u'\\', u'/');
    QStringList parts = s.split(u'/', Qt::SkipEmptyParts);
    constexpr int kMaxParts = 64;
    if (parts.size() > kMaxParts)
        parts = parts.mid(parts.size() - kMaxParts);
    for (int i = 0; i < parts.size(); ++i) {
        const QString candidate = cleanChmPath(u'/' + parts.mid(i).join(u'/'));
        if (!candidate.isEmpty() && contains(candidate))
            return candidate;
    }
    return {};
}

QString cleanChmPath(const QString &link)
{
    constexpr qsizetype kMaxLinkLength = 4096;
    if (link.isEmpty() || link.size() > kMaxLinkLength)
        return {};
    QString s = link;
    const qsizetype store = s.indexOf(u"::/"_s);
    if (store >= 0)
        s = s.mid(store + 2);
    const qsizetype cut = s.indexOf(u'#');
    if (cut >= 0)
        s.truncate(cut);
    const qsizetype query = s.indexOf(u'?');
    if (query >= 0)
        s.truncate(query);
    s = QUrl::fromPercentEncoding(s.toUtf8());
    s.replace(u'\\', u'/');
    QStringList kept;
    for (const QString &segment : s.split(u'/')) {
        if (segment.isEmpty() || segment == u"."_s)
            continue;
        if (segment == u".."_s) {
            if (!kept.isEmpty())
                kept.removeLast();
            continue;
        }
        kept.append(segment);
    }
    if (kept.isEmpty())
        return {};
    return u'/' + kept.join(u'/');
}

QString resolveChmLink(const QString &page, const QString &link)
{
    if (link.contains(u"::/"_s) || link.startsWith(u'/') || link.startsWith(u'\\'))
        return cleanChmPath(link);
    const qsizetype slash = page.lastIndexOf(u'/');
    return cleanChmPath(page.left(slash + 1) + link);
}

} // namespace vl
