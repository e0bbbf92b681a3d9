#include "storage/BigIni.h"

#include "platform/SafeFile.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <charconv>
#include <cstring>
#include <limits>
#include <unordered_set>

namespace vl {

namespace {

// Splits [p, end) into lines as the reader does: LF ends a line, one CR
// before it is dropped. Calls f(line) for each line, including empty ones.
template <class F> void splitLines(const char *p, const char *end, F &&f)
{
    while (p < end) {
        const char *eol = static_cast<const char *>(std::memchr(p, '\n', static_cast<std::size_t>(end - p)));
        const char *lineEnd = eol ? eol : end;
        std::size_t len = static_cast<std::size_t>(lineEnd - p);
        if (len > 0 && p[len - 1] == '\r')
            --len;
        if (!f(std::string_view(p, len), eol ? eol + 1 : end))
            return;
        p = eol ? eol + 1 : end;
    }
}

// Empty lines and a lone end-of-file mark carry nothing.
bool isBlankLine(std::string_view line) { return line.empty() || (line.size() == 1 && line[0] == '\x1A'); }

bool isHeader(std::string_view line) { return line.size() >= 2 && line.front() == '[' && line.back() == ']'; }

// What a value may not hold, because the reader would take it otherwise
// than it was meant: a line break ends the line early and could forge a
// section header, and a binary zero marks a file as no settings file.
bool unstorable(char c) { return c == '\r' || c == '\n' || c == '\0'; }

// Makes the text from `from` on storable, the one rule every written value
// and line passes: line breaks become blanks, binary zeros go. Values are
// single-line by construction; the writer never writes what the reader
// refuses.
void flattenLineBreaks(std::string &s, std::size_t from)
{
    std::size_t out = from;
    for (std::size_t i = from; i < s.size(); ++i) {
        const char c = s[i];
        if (c == '\0')
            continue;
        s[out++] = (c == '\r' || c == '\n') ? ' ' : c;
    }
    s.resize(out);
}

// Section names never hold a line break (it would forge headers when
// written); a name with one stands for its flattened form everywhere.
std::string_view plainName(std::string_view name, std::string &storage)
{
    if (!std::any_of(name.begin(), name.end(), unstorable))
        return name;
    storage.assign(name);
    flattenLineBreaks(storage, 0);
    return storage;
}

QString fromUtf8(std::string_view s)
{
    if (s.empty())
        return QString();
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}
} // namespace

// ---------------------------------------------------------------- TSectionList

std::size_t TSectionList::Section::count() const
{
    if (own)
        return own->size();
    if (lineCount == UnknownCount) {
        std::uint32_t n = 0;
        splitLines(body, body + bodyLen, [&](std::string_view line, const char *) {
            if (!isBlankLine(line))
                ++n;
            return true;
        });
        lineCount = n;
    }
    return lineCount;
}

int TSectionList::indexFind(std::string_view name, std::size_t hash) const
{
    if (slots_.empty())
        return -1;
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t i = hash & mask;; i = (i + 1) & mask) {
        const std::uint32_t s = slots_[i];
        if (s == 0)
            return -1;
        if (sameTextNoCase(sections_[s - 1].name, name))
            return static_cast<int>(s - 1);
    }
}

void TSectionList::indexInsert(std::uint32_t sectionIndex, std::size_t hash)
{
    if ((used_ + 1) * 2 > slots_.size()) {
        rebuildIndex(); // grows and re-inserts everything up to sectionIndex
        return;
    }
    const std::size_t mask = slots_.size() - 1;
    std::size_t i = hash & mask;
    while (slots_[i] != 0)
        i = (i + 1) & mask;
    slots_[i] = sectionIndex + 1;
    ++used_;
}

void TSectionList::rebuildIndex()
{
    std::size_t size = 16;
    while (size < sections_.size() * 2 + 2)
        size *= 2;
    slots_.assign(size, 0);
    used_ = 0;
    const std::size_t mask = size - 1;
    for (std::size_t k = 0; k < sections_.size(); ++k) {
        std::size_t i = hashNoCase(sections_[k].name) & mask;
        while (slots_[i] != 0)
            i = (i + 1) & mask;
        slots_[i] = static_cast<std::uint32_t>(k + 1);
        ++used_;
    }
}

int TSectionList::IndexOf(std::string_view name)
{
    if (lastFound_ < Count() && sameTextNoCase(sections_[static_cast<std::size_t>(lastFound_)].name, name))
        return lastFound_;
    const int i = indexFind(name, hashNoCase(name));
    if (i >= 0)
        lastFound_ = i;
    return i;
}

int TSectionList::Add(std::string name)
{
    const std::size_t h = hashNoCase(name);
    Section s;
    s.name = std::move(name);
    s.own = std::make_unique<std::vector<std::string>>();
    sections_.push_back(std::move(s));
    const auto index = static_cast<std::uint32_t>(sections_.size() - 1);
    indexInsert(index, h);
    return static_cast<int>(index);
}

bool TSectionList::AddFromFile(std::string name, int *index)
{
    const std::size_t h = hashNoCase(name);
    const bool duplicate = indexFind(name, h) >= 0;
    Section s;
    s.name = std::move(name);
    sections_.push_back(std::move(s));
    *index = static_cast<int>(sections_.size() - 1);
    if (!duplicate)
        indexInsert(static_cast<std::uint32_t>(*index), h);
    return !duplicate;
}

void TSectionList::Delete(int index)
{
    sections_.erase(sections_.begin() + index);
    if (lastFound_ >= Count())
        lastFound_ = 0;
    rebuildIndex();
}

void TSectionList::DeleteMany(const std::vector<int> &ascending)
{
    std::size_t next = 0, out = 0;
    for (std::size_t i = 0; i < sections_.size(); ++i) {
        if (next < ascending.size() && static_cast<std::size_t>(ascending[next]) == i) {
            ++next;
            continue;
        }
        if (out != i)
            sections_[out] = std::move(sections_[i]);
        ++out;
    }
    sections_.resize(out);
    lastFound_ = 0;
    rebuildIndex();
}

void TSectionList::reserve(std::size_t n)
{
    sections_.reserve(n);
    std::size_t size = 16;
    while (size < n * 2 + 2)
        size *= 2;
    if (size > slots_.size() && used_ == 0)
        slots_.assign(size, 0);
}

void TSectionList::Clear()
{
    sections_.clear();
    slots_.clear();
    used_ = 0;
    lastFound_ = 0;
}

// ---------------------------------------------------------------- TBigIniFile

TBigIniFile::TBigIniFile(const QString &fileName) { SetFileName(fileName); }

TBigIniFile::~TBigIniFile()
{
    try {
        UpdateFile();
    } catch (...) {
        // A destructor cannot report; callers that care flush explicitly.
    }
}

template <class F> void TBigIniFile::forEachLine(const TSectionList::Section &sec, F &&f) const
{
    if (sec.own) {
        for (std::size_t i = 0; i < sec.own->size(); ++i) {
            if (!f(std::string_view((*sec.own)[i]), i))
                return;
        }
        return;
    }
    std::size_t ordinal = 0;
    splitLines(sec.body, sec.body + sec.bodyLen, [&](std::string_view line, const char *) {
        if (isBlankLine(line))
            return true;
        return bool(f(line, ordinal++));
    });
}

std::vector<std::string> &TBigIniFile::materialize(TSectionList::Section &sec)
{
    // Every change goes through here first: the split lines may be stale.
    cachedSection_ = nullptr;
    if (!sec.own) {
        auto lines = std::make_unique<std::vector<std::string>>();
        lines->reserve(sec.count());
        forEachLine(sec, [&](std::string_view line, std::size_t) {
            lines->emplace_back(line);
            return true;
        });
        sec.own = std::move(lines);
        sec.body = nullptr;
        sec.bodyLen = 0;
    }
    return *sec.own;
}

int TBigIniFile::findSection(std::string_view name, bool create)
{
    const int n = sections_.Count();
    // Loads and saves walk the sections in file order: the wanted section is
    // almost always the current one or the next.
    if (currentSection_ < n && sameTextNoCase(sections_.at(currentSection_).name, name))
        return currentSection_;
    if (currentSection_ + 1 < n && sameTextNoCase(sections_.at(currentSection_ + 1).name, name))
        return ++currentSection_;
    std::string storage;
    name = plainName(name, storage);
    int i = sections_.IndexOf(name);
    if (i < 0) {
        if (!create)
            return -1;
        cachedSection_ = nullptr; // sections may move
        i = sections_.Add(std::string(name));
    }
    currentSection_ = i;
    return i;
}

int TBigIniFile::findKey(TSectionList::Section &sec, std::string_view key, std::string_view *found) const
{
    // A load or save asks one section for several keys in a row: its lines
    // are split once and kept until anything changes.
    if (cachedSection_ != &sec) {
        cachedLines_.clear();
        forEachLine(sec, [&](std::string_view line, std::size_t) {
            cachedLines_.push_back(line);
            return true;
        });
        cachedSection_ = &sec;
    }
    // An ASCII key without "=" can only match a line that has "=" right
    // after as many characters as the key has.
    const bool plain = std::none_of(key.begin(), key.end(), [](char c) { return c == '=' || (c & 0x80); });
    for (std::size_t i = 0; i < cachedLines_.size(); ++i) {
        const std::string_view line = cachedLines_[i];
        bool match;
        if (plain) {
            match = line.size() > key.size() && line[key.size()] == '=' && sameTextNoCase(line.substr(0, key.size()), key);
        } else {
            const std::size_t eq = line.find('=');
            match = eq != std::string_view::npos && sameTextNoCase(line.substr(0, eq), key);
        }
        if (match) {
            if (found)
                *found = line;
            return static_cast<int>(i);
        }
    }
    return -1;
}

std::optional<std::string_view> TBigIniFile::ReadValue(std::string_view section, std::string_view key)
{
    const int s = findSection(section, false);
    if (s < 0)
        return std::nullopt;
    std::string_view line;
    if (findKey(sections_.at(s), key, &line) < 0)
        return std::nullopt;
    return line.substr(line.find('=') + 1);
}

QString TBigIniFile::ReadString(std::string_view section, std::string_view key, const QString &def)
{
    const auto v = ReadValue(section, key);
    return v ? fromUtf8(*v) : def;
}

void TBigIniFile::WriteValue(std::string_view section, std::string_view key, std::string_view value)
{
    // Compare what will really be stored, or a value with a line break would
    // count as a change on every save.
    std::string flat;
    if (std::any_of(value.begin(), value.end(), unstorable)) {
        flat.assign(value);
        flattenLineBreaks(flat, 0);
        value = flat;
    }
    const int s = findSection(section, true);
    TSectionList::Section &sec = sections_.at(s);
    std::string_view old;
    const int k = findKey(sec, key, &old);
    if (k >= 0 && old.size() == key.size() + 1 + value.size() && old.compare(0, key.size(), key) == 0
        && old[key.size()] == '=' && old.compare(key.size() + 1, value.size(), value) == 0) {
        return; // same text, same case: nothing changes
    }
    std::string line;
    line.reserve(key.size() + 1 + value.size());
    line.append(key).append(1, '=').append(value);
    flattenLineBreaks(line, 0);
    auto &lines = materialize(sec);
    if (k < 0)
        lines.push_back(std::move(line));
    else
        lines[static_cast<std::size_t>(k)] = std::move(line);
    modified_ = true;
}

void TBigIniFile::WriteString(std::string_view section, std::string_view key, QStringView value)
{
    if (key.empty()) {
        if (!section.empty() || !value.isEmpty())
            EraseSection(section);
        else
            UpdateFile();
        return;
    }
    scratch_.clear();
    appendUtf8(scratch_, value);
    WriteValue(section, key, scratch_);
}

std::int32_t TBigIniFile::ReadInteger(std::string_view section, std::string_view key, std::int32_t def)
{
    const auto v = ReadValue(section, key);
    if (!v)
        return def;
    std::string_view text = *v;
    if (text.size() >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        std::string hex = "$";
        hex.append(text.substr(2));
        return parseInteger(hex).value_or(def);
    }
    return parseInteger(text).value_or(def);
}

void TBigIniFile::WriteInteger(std::string_view section, std::string_view key, std::int32_t value)
{
    char buf[16];
    const auto r = std::to_chars(buf, buf + sizeof buf, value);
    WriteValue(section, key, std::string_view(buf, static_cast<std::size_t>(r.ptr - buf)));
}

bool TBigIniFile::ReadBool(std::string_view section, std::string_view key, bool def)
{
    return ReadInteger(section, key, def ? 1 : 0) != 0;
}

void TBigIniFile::WriteBool(std::string_view section, std::string_view key, bool value)
{
    WriteValue(section, key, value ? "1" : "0");
}

void TBigIniFile::ReadSection(std::string_view section, QStringList &target)
{
    std::string storage;
    const int s = sections_.IndexOf(plainName(section, storage));
    if (s < 0)
        return;
    forEachLine(sections_.at(s), [&](std::string_view line, std::size_t) {
        const std::size_t eq = line.find('=');
        target.append(eq == std::string_view::npos ? QString() : fromUtf8(line.substr(0, eq)));
        return true;
    });
}

void TBigIniFile::ReadSections(QStringList &target)
{
    target.clear();
    target.reserve(sections_.Count());
    for (int i = 0; i < sections_.Count(); ++i)
        target.append(fromUtf8(sections_.at(i).name));
}

void TBigIniFile::ReadSectionValues(std::string_view section, QStringList &target)
{
    std::string storage;
    const int s = sections_.IndexOf(plainName(section, storage));
    if (s < 0)
        return;
    forEachLine(sections_.at(s), [&](std::string_view line, std::size_t) {
        target.append(fromUtf8(line));
        return true;
    });
}

void TBigIniFile::EraseSection(std::string_view section)
{
    std::string storage;
    const int s = sections_.IndexOf(plainName(section, storage));
    if (s < 0)
        return;
    cachedSection_ = nullptr;
    sections_.Delete(s);
    if (currentSection_ >= sections_.Count())
        currentSection_ = 0;
    modified_ = true;
}

void TBigIniFile::DeleteKey(std::string_view section, std::string_view key)
{
    const int s = findSection(section, true);
    TSectionList::Section &sec = sections_.at(s);
    const int k = findKey(sec, key, nullptr);
    if (k < 0)
        return;
    auto &lines = materialize(sec);
    lines.erase(lines.begin() + k);
    modified_ = true;
}

void TBigIniFile::AppendAll(QStringList &target)
{
    for (int i = 0; i < sections_.Count(); ++i) {
        const auto &sec = sections_.at(i);
        if (sec.count() == 0)
            continue;
        target.append(QLatin1Char('[') + fromUtf8(sec.name) + QLatin1Char(']'));
        forEachLine(sec, [&](std::string_view line, std::size_t) {
            target.append(fromUtf8(line));
            return true;
        });
        target.append(QString());
    }
}

int TBigIniFile::SectionLineCount(std::string_view section)
{
    const int s = findSection(section, false);
    return s < 0 ? 0 : static_cast<int>(sections_.at(s).count());
}

std::string TBigIniFile::buildFileText() const
{
    std::string out;
    out.reserve(buffer_.size() + 4096);
    for (int i = 0; i < sections_.Count(); ++i) {
        const auto &sec = sections_.at(i);
        if (sec.count() == 0)
            continue;
        out.append(1, '[').append(sec.name).append("]\r\n");
        if (!sec.own) {
            // Lines read with CR LF are written back as they are: copy each
            // run of them in one piece instead of line by line.
            const char *run = sec.body;
            splitLines(sec.body, sec.body + sec.bodyLen, [&](std::string_view line, const char *next) {
                const bool crlf = next - line.data() == static_cast<std::ptrdiff_t>(line.size()) + 2 && next[-1] == '\n';
                if (crlf && !isBlankLine(line))
                    return true;
                out.append(run, static_cast<std::size_t>(line.data() - run));
                if (!isBlankLine(line))
                    out.append(line).append("\r\n");
                run = next;
                return true;
            });
            out.append(run, static_cast<std::size_t>(sec.body + sec.bodyLen - run));
            out.append("\r\n");
            continue;
        }
        forEachLine(sec, [&](std::string_view line, std::size_t) {
            out.append(line).append("\r\n");
            return true;
        });
        out.append("\r\n");
    }
    return out;
}

bool TBigIniFile::HasSection(std::string_view section)
{
    std::string storage;
    return sections_.IndexOf(plainName(section, storage)) >= 0;
}

void TBigIniFile::UpdateFile()
{
    if (!modified_ || failed_)
        return;
    if (!fileName_.isEmpty()) {
        try {
            std::string text = buildFileText();
            // Values and lines were made storable as they were set; a text
            // the reader would refuse is a fault here, never a file.
            if (static_cast<qint64>(text.size()) > MaxFileBytes)
                throw IniIoError(QStringLiteral("Cannot write %1: more than %2 bytes").arg(fileName_).arg(MaxFileBytes).toStdString());
            if (std::memchr(text.data(), '\0', text.size()))
                throw IniIoError(QStringLiteral("Cannot write %1: a binary zero in the text").arg(fileName_).toStdString());
            // Written whole and synced before anything else happens; the
            // history's copy of the old content goes in place only once the
            // new content has.
            PendingFile next(fileName_, text, WriteOptions{NewFileMode::Private, keepBackup_});
            const AfterReplace after = beforeReplace_ ? beforeReplace_() : AfterReplace();
            next.commit();
            writeInfo_ = {true, next.identity(), contentHash(text), next.remark()};
            if (after)
                after();
        } catch (...) {
            failed_ = true;
            throw;
        }
    }
    modified_ = false;
}

void TBigIniFile::SetFileName(const QString &fileName)
{
    UpdateFile();
    cachedSection_ = nullptr;
    sections_.Clear();
    buffer_.clear();
    buffer_.shrink_to_fit();
    readInfo_ = {};
    writeInfo_ = {};
    failed_ = false;
    fileName_ = fileName;
    // Cleared before reading: dropping duplicate sections while reading is a
    // change the next flush must write.
    modified_ = false;
    if (!fileName_.isEmpty())
        ReadFile(fileName_);
}

void TBigIniFile::ReadFile(const QString &fileName)
{
    currentSection_ = 0;
    cachedSection_ = nullptr;
    readInfo_ = {};
    const QFileInfo info(fileName);
    if (!info.exists() && !info.isSymLink())
        return;
    readInfo_.existed = true;

    // Only a regular file is read, and a FIFO is refused without waiting.
    std::string raw;
    try {
        raw = readRegularFile(fileName, MaxFileBytes, &readInfo_.identity);
    } catch (const FileIoError &) {
        failed_ = true;
        throw;
    }
    readInfo_.hash = contentHash(raw);
    readInfo_.bytes = raw.size();
    readInfo_.hasNul = std::memchr(raw.data(), '\0', raw.size()) != nullptr;
    // Older builds wrote a binary zero typed or pasted into a value as it
    // was. The byte goes; whether the rest is read as settings is the
    // caller's to decide (holdsSettingsText), and it reports the loss.
    if (readInfo_.hasNul)
        raw.erase(std::remove(raw.begin(), raw.end(), '\0'), raw.end());
    readInfo_.blank = std::all_of(raw.begin(), raw.end(), [](char c) {
        return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\x1A';
    });

    std::string_view text(raw);
    if (text.size() >= 3 && text.substr(0, 3) == "\xEF\xBB\xBF")
        text.remove_prefix(3);
    if (isValidUtf8(text)) {
        if (text.size() != raw.size())
            raw.erase(0, raw.size() - text.size());
        buffer_ = std::move(raw);
    } else {
        // Written by a Windows program in its ANSI code page.
        buffer_ = windows1252ToUtf8(text);
        readInfo_.decodedAsWindows1252 = true;
    }

    sections_.Clear();
    // Sizing the index for the file up front spares rehashing it as it
    // grows; a settings section takes a hundred bytes or more.
    sections_.reserve(buffer_.size() / 96 + 16);
    const char *begin = buffer_.data();
    const char *end = begin + buffer_.size();
    int current = -1; // an index: adding sections may move them
    std::vector<int> duplicates;
    // Only header lines matter here: the search jumps from one "[" at the
    // start of a line to the next, and a section's lines are split when
    // they are first needed.
    const char *p = begin;
    while (p < end) {
        if (*p != '[') {
            const char *q = p;
            for (;;) {
                q = static_cast<const char *>(std::memchr(q, '[', static_cast<std::size_t>(end - q)));
                if (!q || q[-1] == '\n')
                    break;
                ++q;
            }
            if (!q)
                break;
            p = q;
        }
        const char *eol = static_cast<const char *>(std::memchr(p, '\n', static_cast<std::size_t>(end - p)));
        const char *next = eol ? eol + 1 : end;
        std::size_t len = static_cast<std::size_t>((eol ? eol : end) - p);
        if (len > 0 && p[len - 1] == '\r')
            --len;
        const std::string_view line(p, len);
        if (isHeader(line)) {
            if (current >= 0) {
                auto &sec = sections_.at(current);
                sec.bodyLen = static_cast<std::uint32_t>(line.data() - sec.body);
            }
            std::string storage;
            if (!sections_.AddFromFile(std::string(plainName(line.substr(1, line.size() - 2), storage)), &current))
                duplicates.push_back(current);
            sections_.at(current).body = next;
        }
        p = next;
    }
    if (current >= 0) {
        auto &sec = sections_.at(current);
        sec.bodyLen = static_cast<std::uint32_t>(end - sec.body);
    }
    // The first section of a name keeps its lines; later ones go.
    if (!duplicates.empty()) {
        sections_.DeleteMany(duplicates);
        modified_ = true;
    }
}

// ---------------------------------------------------------------- TBiggerIniFile

std::int32_t TBiggerIniFile::ReadHexInteger(std::string_view section, std::string_view key, std::int32_t def)
{
    const auto v = ReadValue(section, key);
    std::string text = "$";
    text.append(v ? *v : std::string_view(toHex8(def)));
    if (const auto n = parseInteger(text))
        return *n;
    throw ConvertError("'" + text + "' is not a valid integer value");
}

void TBiggerIniFile::WriteHexInteger(std::string_view section, std::string_view key, std::int32_t value)
{
    WriteValue(section, key, toHex8(value));
}

void TBiggerIniFile::ReadFont(std::string_view section, std::string_view key, FontSpec &font)
{
    // An absent key leaves the font as it is, as does text that does not
    // parse: parsing goes into a copy. No fallback text needs building.
    const auto v = ReadValue(section, key);
    if (!v)
        return;
    FontSpec parsed = font;
    try {
        StringToFont(fromUtf8(*v), parsed);
    } catch (const ConvertError &) {
        return;
    }
    font = std::move(parsed);
}

void TBiggerIniFile::WriteFont(std::string_view section, std::string_view key, const FontSpec &font)
{
    WriteString(section, key, FontToString(font));
}

namespace {

// The number a line list's key stands for ("1", "2", ...), or 0 for any
// other key: the lookups these replace match the decimal text exactly.
int numberedKey(std::string_view line)
{
    const std::size_t eq = line.find('=');
    if (eq == std::string_view::npos || eq == 0 || eq > 10 || line[0] == '0')
        return 0;
    std::int64_t v = 0;
    for (std::size_t i = 0; i < eq; ++i) {
        if (line[i] < '0' || line[i] > '9')
            return 0;
        v = v * 10 + (line[i] - '0');
    }
    return v > std::numeric_limits<std::int32_t>::max() ? 0 : static_cast<int>(v);
}

} // namespace

// Both line-list operations touch each line of the section once: a key
// lookup per numbered line would make a long note quadratic to load and save.
void TBiggerIniFile::ReadStrings(std::string_view section, QStringList &target, const QString &def)
{
    int none = 0;
    ReadStrings(section, target, def, none);
}

void TBiggerIniFile::ReadStrings(std::string_view section, QStringList &target, const QString &def,
                                 int &missingAllowance)
{
    int n = ReadInteger(section, "Count", 0);
    // A section holds at most as many numbered lines as it has lines; a
    // corrupt count must not make the reader invent billions of default
    // lines beyond what the caller allows to be missing.
    const int lines = SectionLineCount(section);
    n = std::min<qint64>(n, qint64(lines) + std::max(missingAllowance, 0));
    if (n <= 0)
        return;
    std::vector<std::optional<std::string_view>> found(static_cast<std::size_t>(n));
    forEachLine(sections_.at(findSection(section, false)), [&](std::string_view line, std::size_t) {
        const int k = numberedKey(line);
        if (k >= 1 && k <= n && !found[static_cast<std::size_t>(k - 1)])
            found[static_cast<std::size_t>(k - 1)] = line.substr(line.find('=') + 1);
        return true;
    });
    target.reserve(target.size() + n);
    for (const auto &v : found) {
        target.append(v ? fromUtf8(*v) : def);
        missingAllowance -= v ? 0 : 1;
    }
}

// A save of an unchanged note finds "Count" = n followed, at the end of the
// section, by the n numbered lines in order; deleting and appending them
// again would change nothing, so the section need not be materialized.
bool TBiggerIniFile::stringsInPlace(std::string_view section, const QStringList &source)
{
    const int s = findSection(section, false);
    if (s < 0)
        return false;
    std::vector<std::string_view> lines;
    forEachLine(sections_.at(s), [&](std::string_view line, std::size_t) {
        lines.push_back(line);
        return true;
    });
    const std::size_t n = static_cast<std::size_t>(source.size());
    if (lines.size() < n + 1)
        return false;
    const std::size_t tail = lines.size() - n;
    char buf[16];
    for (std::size_t i = 0; i < n; ++i) {
        const std::string_view line = lines[tail + i];
        if (numberedKey(line) != static_cast<int>(i + 1))
            return false;
        scratch_.clear();
        appendUtf8(scratch_, source[static_cast<qsizetype>(i)]);
        flattenLineBreaks(scratch_, 0);
        if (line.substr(line.find('=') + 1) != scratch_)
            return false;
    }
    bool countSeen = false;
    for (std::size_t j = 0; j < tail; ++j) {
        const std::string_view line = lines[j];
        const int k = numberedKey(line);
        if (k >= 1 && static_cast<std::size_t>(k) <= n)
            return false; // would be deleted first instead of the tail line
        const std::size_t eq = line.find('=');
        if (!countSeen && eq != std::string_view::npos && sameTextNoCase(line.substr(0, eq), "Count")) {
            // The line must read exactly as the write would make it.
            const auto r = std::to_chars(buf, buf + sizeof buf, n);
            if (line.substr(0, eq) != "Count" || line.substr(eq + 1) != std::string_view(buf, static_cast<std::size_t>(r.ptr - buf)))
                return false;
            countSeen = true;
        }
    }
    return countSeen;
}

void TBiggerIniFile::WriteStrings(std::string_view section, const QStringList &source)
{
    if (stringsInPlace(section, source))
        return;
    QStringList before;
    ReadSectionValues(section, before);
    const int oldCount = ReadInteger(section, "Count", 0);
    WriteInteger(section, "Count", static_cast<std::int32_t>(source.size()));
    const bool wasModified = modified_;
    auto &lines = materialize(sections_.at(findSection(section, true)));

    // The first line of each old numbered key goes, whatever the number of
    // lines: "Count=5" over the lines "Count" and "5" still loses its "5".
    if (oldCount > 0) {
        std::unordered_set<int> deleted;
        std::vector<std::string> kept;
        kept.reserve(lines.size());
        for (auto &line : lines) {
            const int k = numberedKey(line);
            if (k >= 1 && k <= oldCount && deleted.insert(k).second) {
                modified_ = true;
                continue;
            }
            kept.push_back(std::move(line));
        }
        lines = std::move(kept);
    }

    // Each new line replaces the first line of its key, or is appended.
    const auto count = static_cast<std::size_t>(source.size());
    std::vector<std::size_t> at(count + 1, std::string::npos);
    for (std::size_t pos = 0; pos < lines.size(); ++pos) {
        const int k = numberedKey(lines[pos]);
        if (k >= 1 && static_cast<std::size_t>(k) <= count && at[static_cast<std::size_t>(k)] == std::string::npos)
            at[static_cast<std::size_t>(k)] = pos;
    }
    char buf[16];
    for (std::size_t i = 1; i <= count; ++i) {
        const auto r = std::to_chars(buf, buf + sizeof buf, i);
        std::string line(buf, static_cast<std::size_t>(r.ptr - buf));
        line.push_back('=');
        appendUtf8(line, source[static_cast<qsizetype>(i - 1)]);
        flattenLineBreaks(line, 0);
        if (at[i] == std::string::npos) {
            lines.push_back(std::move(line));
            modified_ = true;
        } else if (lines[at[i]] != line) {
            lines[at[i]] = std::move(line);
            modified_ = true;
        }
    }
    if (!wasModified) {
        QStringList after;
        ReadSectionValues(section, after);
        modified_ = after != before;
    }
}

TAppIniFile::TAppIniFile(const QString &fileName) : TBiggerIniFile(fileName) {}

} // namespace vl
