#include "platform/RegistryFile.h"

#include "platform/SafeFile.h"
#include "storage/TextConv.h"

#include <QHash>

#include <algorithm>
#include <cstring>
#include <map>

namespace vl {

// Keys by their case-folded path below HKEY_CURRENT_USER ("software\quendry"),
// values by their case-folded name. The map is ordered so that a key and its
// subkeys form one range: removing a subtree or asking whether a key has
// subkeys costs a lookup, not a walk over every key.
struct RegistryFile::Data {
    using Values = QHash<QString, Value>;
    std::map<QString, Values> keys;
    qsizetype valueCount = 0;
    Format format = Format::RegEdit5;
};

namespace {

using Values = QHash<QString, RegistryFile::Value>;

struct ParseError {
    qsizetype line;
    QString what;
};

const QString HeaderRegEdit4 = QStringLiteral("REGEDIT4");
const QString HeaderRegEdit5 = QStringLiteral("Windows Registry Editor Version 5.00");
const QString HeaderWine = QStringLiteral("WINE REGISTRY Version 2");

bool isBlank(QChar c) { return c == QLatin1Char(' ') || c == QLatin1Char('\t'); }

QStringView trimmed(QStringView s)
{
    qsizetype from = 0;
    qsizetype to = s.size();
    while (from < to && (isBlank(s[from]) || s[from] == QLatin1Char('\r')))
        ++from;
    while (to > from && (isBlank(s[to - 1]) || s[to - 1] == QLatin1Char('\r')))
        --to;
    return s.mid(from, to - from);
}

int hexDigit(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= '0' && u <= '9')
        return u - '0';
    if (u >= 'a' && u <= 'f')
        return u - 'a' + 10;
    if (u >= 'A' && u <= 'F')
        return u - 'A' + 10;
    return -1;
}

// Up to maxDigits hexadecimal digits and nothing else.
std::optional<quint32> hexNumber(QStringView s, int maxDigits)
{
    if (s.isEmpty() || s.size() > maxDigits)
        return std::nullopt;
    quint32 n = 0;
    for (QChar c : s) {
        const int d = hexDigit(c);
        if (d < 0)
            return std::nullopt;
        n = n << 4 | static_cast<quint32>(d);
    }
    return n;
}

QString fromUtf16Bytes(const char *data, qsizetype size, bool bigEndian)
{
    // Copied rather than cast: the bytes need not be aligned for char16_t.
    QString s(size / 2, Qt::Uninitialized);
    std::memcpy(s.data(), data, static_cast<std::size_t>(s.size()) * 2);
    if (bigEndian) {
        for (QChar &c : s)
            c = QChar(static_cast<char16_t>(c.unicode() << 8 | c.unicode() >> 8));
    }
    return s;
}

// The settings file's rule for 8-bit text: UTF-8 when the bytes are
// well-formed UTF-8, otherwise Windows-1252.
QString from8Bit(const char *data, qsizetype size)
{
    const std::string_view bytes(data, static_cast<std::size_t>(size));
    if (isValidUtf8(bytes))
        return QString::fromUtf8(data, size);
    const std::string utf8 = windows1252ToUtf8(bytes);
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

QString cutAtNul(QString s)
{
    const qsizetype nul = s.indexOf(QChar(0));
    if (nul >= 0)
        s.truncate(nul);
    return s;
}

// A multi string ends at its first empty string (the list's terminator).
QString multiLines(const QString &s)
{
    QStringList lines;
    for (const QStringView part : QStringView(s).split(QChar(0))) {
        if (part.isEmpty())
            break;
        lines.append(part.toString());
    }
    return lines.join(QLatin1Char('\n'));
}

// Path components joined by single backslashes, case-folded: the form keys
// are stored and looked up in. Empty components (doubled or outer
// backslashes) are dropped.
QString foldedPath(QStringView path, int *depth = nullptr)
{
    QString out;
    out.reserve(path.size());
    int n = 0;
    for (const QStringView part : path.split(QLatin1Char('\\'), Qt::SkipEmptyParts)) {
        if (n++ > 0)
            out.append(QLatin1Char('\\'));
        out.append(part);
    }
    if (depth)
        *depth = n;
    return out.toCaseFolded();
}

bool isCurrentUserHive(QStringView hive)
{
    return hive.compare(QLatin1String("HKEY_CURRENT_USER"), Qt::CaseInsensitive) == 0
           || hive.compare(QLatin1String("HKCU"), Qt::CaseInsensitive) == 0;
}

} // namespace

// Reads the lines after the header into the keys, in file order.
class RegistryParser {
public:
    RegistryParser(QStringView text, RegistryFile::Format format, RegistryFile::Data &d)
        : text_(text), format_(format), d_(d)
    {
    }

    void run()
    {
        QStringView line;
        nextLine(line); // the header, checked by the caller
        while (nextLine(line)) {
            line = trimmed(line);
            if (line.isEmpty())
                continue;
            if (format_ == RegistryFile::Format::Wine && line.startsWith(QLatin1String(";; All keys relative to "))) {
                relativeTo(line.mid(24));
                continue;
            }
            const QChar first = line[0];
            if (first == QLatin1Char(';'))
                continue;
            if (first == QLatin1Char('#') && format_ == RegistryFile::Format::Wine)
                continue; // #time=, #class=, #arch=, #link
            if (first == QLatin1Char('['))
                section(line);
            else if (first == QLatin1Char('"') || first == QLatin1Char('@'))
                valueLine(line);
            else
                fail(QStringLiteral("neither a key, a value nor a comment"));
        }
    }

private:
    bool wine() const { return format_ == RegistryFile::Format::Wine; }

    [[noreturn]] void fail(const QString &what) const { throw ParseError{line_, what}; }

    bool nextLine(QStringView &line)
    {
        if (pos_ >= text_.size())
            return false;
        qsizetype end = text_.indexOf(QLatin1Char('\n'), pos_);
        if (end < 0)
            end = text_.size();
        line = text_.mid(pos_, end - pos_);
        pos_ = end + 1;
        ++line_;
        return true;
    }

    // Wine's user.reg says which hive its keys are relative to: older Wine
    // wrote "\User\S-1-5-...", current Wine "REGISTRY\User\S-1-5-..." (the
    // object namespace's root). Only a user's own hive is the current user:
    // not system.reg's "\Machine", nor userdef.reg's "\User\.Default", the
    // template new users are made from.
    void relativeTo(QStringView rest)
    {
        qsizetype pos = 0;
        const QString path = wineText(rest, pos, QChar());
        QList<QStringView> parts = QStringView(path).split(QLatin1Char('\\'), Qt::SkipEmptyParts);
        if (!parts.isEmpty() && parts.first().compare(QLatin1String("REGISTRY"), Qt::CaseInsensitive) == 0)
            parts.removeFirst();
        wineCurrentUser_ = parts.size() >= 2 && parts[0].compare(QLatin1String("User"), Qt::CaseInsensitive) == 0
                           && parts[1].compare(QLatin1String(".Default"), Qt::CaseInsensitive) != 0;
    }

    void section(QStringView line)
    {
        sawSection_ = true;
        current_ = nullptr;
        QString path;
        bool remove = false;
        bool ours = true;
        if (wine()) {
            qsizetype pos = 1;
            path = wineText(line, pos, QLatin1Char(']'));
            // After the bracket: the key's time stamp in seconds since 1970,
            // which some older Wine versions followed by a second number;
            // Wine itself reads the first and skips the rest.
            const QStringView rest = trimmed(line.mid(pos));
            for (QChar c : rest) {
                if (!c.isDigit() && !isBlank(c))
                    fail(QStringLiteral("text after the key name"));
            }
            ours = wineCurrentUser_;
        } else {
            const qsizetype close = line.lastIndexOf(QLatin1Char(']'));
            if (close != line.size() - 1)
                fail(QStringLiteral("a key name without its closing \"]\""));
            QStringView inner = trimmed(line.mid(1, close - 1));
            if (inner.startsWith(QLatin1Char('-'))) {
                remove = true;
                inner = inner.mid(1);
            }
            const qsizetype slash = inner.indexOf(QLatin1Char('\\'));
            const QStringView hive = slash < 0 ? inner : inner.left(slash);
            ours = isCurrentUserHive(hive);
            path = slash < 0 ? QString() : inner.mid(slash + 1).toString();
        }
        int depth = 0;
        const QString folded = foldedPath(path, &depth);
        if (depth > RegistryFile::MaxKeyDepth)
            fail(QStringLiteral("a key nested deeper than %1 levels").arg(RegistryFile::MaxKeyDepth));
        if (!ours)
            return;
        if (remove) {
            removeTree(folded);
            return;
        }
        auto [it, added] = d_.keys.try_emplace(folded);
        if (added && static_cast<qsizetype>(d_.keys.size()) > RegistryFile::MaxKeys)
            fail(QStringLiteral("more than %1 keys").arg(RegistryFile::MaxKeys));
        current_ = &it->second;
    }

    void removeTree(const QString &folded)
    {
        auto &keys = d_.keys;
        auto forget = [&](std::map<QString, Values>::iterator from, std::map<QString, Values>::iterator to) {
            for (auto it = from; it != to; ++it)
                d_.valueCount -= it->second.size();
            keys.erase(from, to);
        };
        if (folded.isEmpty()) {
            forget(keys.begin(), keys.end());
            return;
        }
        const auto exact = keys.find(folded);
        if (exact != keys.end())
            forget(exact, std::next(exact));
        // Subkeys are the paths from "key\" up to, not including, "key]":
        // ']' follows '\' in every collation of UTF-16 units.
        forget(keys.lower_bound(folded + QLatin1Char('\\')), keys.lower_bound(folded + QLatin1Char(']')));
    }

    void valueLine(QStringView line)
    {
        if (!sawSection_)
            fail(QStringLiteral("a value before the first key"));
        qsizetype pos = 0;
        QString name;
        if (line[0] == QLatin1Char('@')) {
            pos = 1;
        } else {
            ++pos;
            name = wine() ? wineText(line, pos, QLatin1Char('"')) : regEditText(line, pos);
        }
        while (pos < line.size() && isBlank(line[pos]))
            ++pos;
        if (pos >= line.size() || line[pos] != QLatin1Char('='))
            fail(QStringLiteral("a value name without \"=\""));
        ++pos;
        while (pos < line.size() && isBlank(line[pos]))
            ++pos;
        const QStringView data = line.mid(pos);

        RegistryFile::Value v;
        if (data.startsWith(QLatin1Char('"'))) {
            qsizetype p = 1;
            v.text = wine() ? wineText(data, p, QLatin1Char('"')) : regEditText(data, p);
            endOfLine(data.mid(p));
        } else if (!wine() && data.startsWith(QLatin1Char('-'))) {
            endOfLine(data.mid(1));
            if (current_ && current_->remove(name.toCaseFolded()))
                --d_.valueCount;
            return;
        } else if (data.startsWith(QLatin1String("dword:"), Qt::CaseInsensitive)) {
            QStringView digits = data.mid(6);
            const qsizetype end = digits.indexOf(QLatin1Char(';'));
            if (end >= 0)
                digits = digits.left(end);
            digits = trimmed(digits);
            const auto n = hexNumber(digits, 8);
            if (!n) {
                // Hand-written files hold dwords like "0ffffffff"; the
                // registry editor leaves such a value out and imports the
                // rest, and so does this reader. Anything but hexadecimal
                // digits is damage.
                const bool allHex = std::all_of(digits.begin(), digits.end(), [](QChar c) { return hexDigit(c) >= 0; });
                if (digits.isEmpty() || !allHex)
                    fail(QStringLiteral("a dword that is not 1 to 8 hexadecimal digits"));
                return;
            }
            v.type = RegistryFile::Value::Type::Dword;
            v.number = *n;
        } else if (wine() && data.startsWith(QLatin1String("str"), Qt::CaseInsensitive)) {
            wineStr(data, v);
        } else if (data.startsWith(QLatin1String("hex"), Qt::CaseInsensitive)) {
            hexValue(data, v);
        } else {
            fail(QStringLiteral("a value of a kind not known"));
        }
        store(std::move(name), std::move(v));
    }

    void store(QString name, RegistryFile::Value &&v)
    {
        if (!current_)
            return; // another hive, or the key was just removed
        const QString folded = name.toCaseFolded();
        auto it = current_->find(folded);
        if (it != current_->end()) {
            *it = std::move(v);
            return;
        }
        if (++d_.valueCount > RegistryFile::MaxValues)
            fail(QStringLiteral("more than %1 values").arg(RegistryFile::MaxValues));
        current_->insert(folded, std::move(v));
    }

    // After a value: blanks and a comment only.
    void endOfLine(QStringView rest) const
    {
        rest = trimmed(rest);
        if (!rest.isEmpty() && rest[0] != QLatin1Char(';'))
            fail(QStringLiteral("text after the value"));
    }

    // A quoted text of a registry editor export, pos just after the opening
    // quote; on return pos is just after the closing one. Only \\ and \" are
    // escapes; any other backslash stays as written, so a hand-written
    // "C:\new" keeps its text.
    QString regEditText(QStringView s, qsizetype &pos) const
    {
        QString out;
        while (pos < s.size()) {
            const QChar c = s[pos++];
            if (c == QLatin1Char('"'))
                return out;
            if (c == QLatin1Char('\\') && pos < s.size()
                && (s[pos] == QLatin1Char('\\') || s[pos] == QLatin1Char('"'))) {
                out.append(s[pos++]);
                continue;
            }
            out.append(c);
        }
        fail(QStringLiteral("a text without its closing quote"));
    }

    // A text in Wine's escaping, from pos up to the closing `end` (or to the
    // end of the line when end is null): \a \b \e \f \n \r \t \v, \x with up
    // to four hexadecimal digits of a UTF-16 unit, up to three octal digits,
    // and a backslash before any other character stands for that character.
    QString wineText(QStringView s, qsizetype &pos, QChar end) const
    {
        QString out;
        while (pos < s.size()) {
            const QChar c = s[pos++];
            if (!end.isNull() && c == end)
                return out;
            if (c != QLatin1Char('\\')) {
                out.append(c);
                continue;
            }
            if (pos >= s.size())
                break;
            const QChar e = s[pos++];
            switch (e.unicode()) {
            case 'a': out.append(QChar(7)); break;
            case 'b': out.append(QChar(8)); break;
            case 'e': out.append(QChar(27)); break;
            case 'f': out.append(QChar(12)); break;
            case 'n': out.append(QChar(10)); break;
            case 'r': out.append(QChar(13)); break;
            case 't': out.append(QChar(9)); break;
            case 'v': out.append(QChar(11)); break;
            case 'x': {
                char16_t unit = 0;
                int digits = 0;
                for (; digits < 4 && pos < s.size() && hexDigit(s[pos]) >= 0; ++digits)
                    unit = static_cast<char16_t>(unit << 4 | hexDigit(s[pos++]));
                out.append(digits ? QChar(unit) : e);
                break;
            }
            default:
                if (e >= QLatin1Char('0') && e <= QLatin1Char('7')) {
                    char16_t unit = static_cast<char16_t>(e.unicode() - '0');
                    for (int digits = 1; digits < 3 && pos < s.size() && s[pos] >= QLatin1Char('0')
                                         && s[pos] <= QLatin1Char('7');
                         ++digits)
                        unit = static_cast<char16_t>(unit << 3 | (s[pos++].unicode() - '0'));
                    out.append(QChar(unit));
                } else {
                    out.append(e);
                }
            }
        }
        if (end.isNull())
            return out;
        fail(end == QLatin1Char(']') ? QStringLiteral("a key name without its closing \"]\"")
                                     : QStringLiteral("a text without its closing quote"));
    }

    // str:"...", str(2):"..." and str(7):"..." of Wine.
    void wineStr(QStringView data, RegistryFile::Value &v)
    {
        using T = RegistryFile::Value::Type;
        qsizetype p = 0;
        if (data.startsWith(QLatin1String("str:\""), Qt::CaseInsensitive)) {
            p = 5;
            v.type = T::String;
        } else if (data.startsWith(QLatin1String("str(2):\""), Qt::CaseInsensitive)) {
            p = 8;
            v.type = T::ExpandString;
        } else if (data.startsWith(QLatin1String("str(7):\""), Qt::CaseInsensitive)) {
            p = 8;
            v.type = T::MultiString;
        } else if (data.startsWith(QLatin1String("str(1):\""), Qt::CaseInsensitive)) {
            p = 8;
            v.type = T::String;
        } else {
            fail(QStringLiteral("a value of a kind not known"));
        }
        const QString raw = wineText(data, p, QLatin1Char('"'));
        endOfLine(data.mid(p));
        v.text = v.type == T::MultiString ? multiLines(raw) : cutAtNul(raw);
    }

    // hex:.. and hex(N):.., continued over lines that end in a backslash.
    void hexValue(QStringView data, RegistryFile::Value &v)
    {
        using T = RegistryFile::Value::Type;
        quint32 kind = 3; // REG_BINARY
        qsizetype colon = 0;
        if (data.startsWith(QLatin1String("hex:"), Qt::CaseInsensitive)) {
            colon = 3;
        } else if (data.startsWith(QLatin1String("hex("), Qt::CaseInsensitive)) {
            const qsizetype close = data.indexOf(QLatin1Char(')'));
            const auto n = close < 0 ? std::nullopt : hexNumber(data.mid(4, close - 4), 8);
            if (!n || close + 1 >= data.size() || data[close + 1] != QLatin1Char(':'))
                fail(QStringLiteral("a value of a kind not known"));
            kind = *n;
            colon = close + 1;
        } else {
            fail(QStringLiteral("a value of a kind not known"));
        }

        QByteArray bytes;
        QStringView rest = data.mid(colon + 1);
        for (;;) {
            const qsizetype comment = rest.indexOf(QLatin1Char(';'));
            if (comment >= 0)
                rest = rest.left(comment);
            rest = trimmed(rest);
            const bool continued = rest.endsWith(QLatin1Char('\\'));
            if (continued)
                rest.chop(1);
            hexBytes(rest, bytes);
            if (!continued)
                break;
            QStringView next;
            do {
                if (!nextLine(next))
                    fail(QStringLiteral("the file ends inside a continued value"));
                next = trimmed(next);
            } while (next.startsWith(QLatin1Char(';')));
            if (next.isEmpty())
                break; // an empty line ends the list
            rest = next;
        }

        const bool utf16 = format_ != RegistryFile::Format::RegEdit4;
        auto asText = [&] {
            return utf16 ? fromUtf16Bytes(bytes.constData(), bytes.size(), false)
                         : from8Bit(bytes.constData(), bytes.size());
        };
        switch (kind) {
        case 1:
            v.type = T::String;
            v.text = cutAtNul(asText());
            return;
        case 2:
            v.type = T::ExpandString;
            v.text = cutAtNul(asText());
            return;
        case 3:
            v.type = T::Binary;
            v.bytes = std::move(bytes);
            return;
        case 4:
            if (bytes.size() == 4) {
                v.type = T::Dword;
                for (int i = 3; i >= 0; --i)
                    v.number = v.number << 8 | static_cast<quint8>(bytes[i]);
                return;
            }
            break;
        case 7:
            v.type = T::MultiString;
            v.text = multiLines(asText());
            return;
        case 0xb:
            if (bytes.size() == 8) {
                v.type = T::Qword;
                for (int i = 7; i >= 0; --i)
                    v.number = v.number << 8 | static_cast<quint8>(bytes[i]);
                return;
            }
            break;
        default:
            break;
        }
        v.type = T::Other;
        v.bytes = std::move(bytes);
    }

    // "01,ab,ff" with blanks around items; a comma may end the list.
    void hexBytes(QStringView list, QByteArray &bytes) const
    {
        qsizetype pos = 0;
        while (pos < list.size()) {
            qsizetype comma = list.indexOf(QLatin1Char(','), pos);
            const bool last = comma < 0;
            if (last)
                comma = list.size();
            const QStringView item = trimmed(list.mid(pos, comma - pos));
            const auto n = hexNumber(item, 2);
            if (!n)
                fail(QStringLiteral("\"%1\" is not a hexadecimal byte").arg(item.left(20)));
            bytes.append(static_cast<char>(*n));
            pos = comma + 1;
        }
    }

    QStringView text_;
    qsizetype pos_ = 0;
    qsizetype line_ = 0;
    RegistryFile::Format format_;
    RegistryFile::Data &d_;
    Values *current_ = nullptr;
    bool sawSection_ = false;
    bool wineCurrentUser_ = true; // user.reg names its hive; assume it when it does not
};

namespace {

// The file as text: UTF-16 by its byte order mark (or, without one, when
// the first character is ASCII followed by a zero byte), otherwise 8-bit.
std::optional<QString> decode(const QByteArray &content, QString *error)
{
    const char *data = content.constData();
    const qsizetype size = content.size();
    auto bytesAt = [&](const char *prefix, qsizetype n) { return size >= n && std::memcmp(data, prefix, static_cast<std::size_t>(n)) == 0; };
    if (bytesAt("\xFF\xFE", 2))
        return fromUtf16Bytes(data + 2, size - 2, false);
    if (bytesAt("\xFE\xFF", 2))
        return fromUtf16Bytes(data + 2, size - 2, true);
    if (bytesAt("\xEF\xBB\xBF", 3))
        return from8Bit(data + 3, size - 3);
    if (size >= 2 && data[0] != 0 && static_cast<unsigned char>(data[0]) < 0x80 && data[1] == 0)
        return fromUtf16Bytes(data, size, false);
    if (std::memchr(data, 0, static_cast<std::size_t>(size))) {
        if (error)
            *error = QStringLiteral("binary data, not a registry export");
        return std::nullopt;
    }
    return from8Bit(data, size);
}

} // namespace

RegistryFile::RegistryFile() : d_(std::make_unique<Data>()) {}
RegistryFile::~RegistryFile() = default;
RegistryFile::RegistryFile(RegistryFile &&) noexcept = default;
RegistryFile &RegistryFile::operator=(RegistryFile &&) noexcept = default;

std::optional<RegistryFile> RegistryFile::read(const QString &path, QString *error)
{
    // A FIFO, a device or a folder named as the file is refused at once:
    // opening one for reading could wait for a writer forever.
    QString why;
    const std::optional<QByteArray> content = tryReadRegularFile(path, MaxFileSize, &why);
    if (!content) {
        if (error)
            *error = why; // names the file
        return std::nullopt;
    }
    auto parsed = parse(*content, &why);
    if (!parsed && error)
        *error = path + QStringLiteral(": ") + why;
    return parsed;
}

std::optional<RegistryFile> RegistryFile::parse(const QByteArray &content, QString *error)
{
    auto failed = [&](const QString &why) {
        if (error)
            *error = why;
        return std::nullopt;
    };
    if (content.size() > MaxFileSize)
        return failed(QStringLiteral("larger than %1 MiB").arg(MaxFileSize / (1024 * 1024)));
    const std::optional<QString> text = decode(content, error);
    if (!text)
        return std::nullopt;
    const qsizetype nul = text->indexOf(QChar(0));
    if (nul >= 0)
        return failed(QStringLiteral("binary data, not a registry export (a zero character in line %1)")
                          .arg(QStringView(*text).left(nul).count(QLatin1Char('\n')) + 1));

    QStringView view(*text);
    if (view.startsWith(QChar(0xFEFF)))
        view = view.mid(1);
    const qsizetype firstEnd = view.indexOf(QLatin1Char('\n'));
    const QStringView header = trimmed(firstEnd < 0 ? view : view.left(firstEnd));
    RegistryFile file;
    if (header.compare(HeaderRegEdit4, Qt::CaseInsensitive) == 0)
        file.d_->format = Format::RegEdit4;
    else if (header.compare(HeaderRegEdit5, Qt::CaseInsensitive) == 0)
        file.d_->format = Format::RegEdit5;
    else if (header.compare(HeaderWine, Qt::CaseInsensitive) == 0)
        file.d_->format = Format::Wine;
    else
        return failed(QStringLiteral("not a registry export: the first line is none of \"%1\", \"%2\" and \"%3\"")
                          .arg(HeaderRegEdit4, HeaderRegEdit5, HeaderWine));
    try {
        RegistryParser(view, file.d_->format, *file.d_).run();
    } catch (const ParseError &e) {
        return failed(QStringLiteral("line %1: %2").arg(e.line).arg(e.what));
    }
    return file;
}

RegistryFile::Format RegistryFile::format() const { return d_->format; }

bool RegistryFile::hasKey(const QString &key) const
{
    const QString folded = foldedPath(key);
    const auto &keys = d_->keys;
    if (keys.count(folded))
        return true;
    const QString below = folded.isEmpty() ? folded : folded + QLatin1Char('\\');
    const auto it = keys.lower_bound(below);
    return it != keys.end() && it->first.startsWith(below);
}

std::optional<RegistryFile::Value> RegistryFile::value(const QString &key, const QString &name) const
{
    const auto k = d_->keys.find(foldedPath(key));
    if (k == d_->keys.end())
        return std::nullopt;
    const auto v = k->second.constFind(name.toCaseFolded());
    if (v == k->second.cend())
        return std::nullopt;
    return *v;
}

int RegistryFile::keyCount() const { return static_cast<int>(d_->keys.size()); }

} // namespace vl
