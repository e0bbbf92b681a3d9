#include "storage/TextConv.h"

#include <QStringEncoder>

#include <algorithm>
#include <array>
#include <cstring>

namespace vl {

namespace {

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

constexpr unsigned char asciiLower(unsigned char c) { return (c >= 'A' && c <= 'Z') ? c + 32 : c; }

bool hasHighBytes(std::string_view s)
{
    for (unsigned char c : s) {
        if (c & 0x80)
            return true;
    }
    return false;
}

} // namespace

std::optional<std::int32_t> parseInteger(std::string_view s)
{
    std::size_t i = 0;
    while (i < s.size() && s[i] == ' ')
        ++i;
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
        negative = s[i] == '-';
        ++i;
    }
    if (i == s.size())
        return std::nullopt;
    if (s[i] == '$') {
        ++i;
        if (i == s.size())
            return std::nullopt;
        std::uint64_t v = 0;
        for (; i < s.size(); ++i) {
            const int d = hexValue(s[i]);
            if (d < 0)
                return std::nullopt;
            v = v * 16 + static_cast<unsigned>(d);
            if (v > 0xFFFFFFFFull)
                return std::nullopt;
        }
        auto u = static_cast<std::uint32_t>(v);
        if (negative)
            u = 0u - u;
        return static_cast<std::int32_t>(u);
    }
    std::int64_t v = 0;
    for (; i < s.size(); ++i) {
        if (s[i] < '0' || s[i] > '9')
            return std::nullopt;
        v = v * 10 + (s[i] - '0');
        if (v > 2147483648LL)
            return std::nullopt;
    }
    if (negative)
        v = -v;
    if (v > 2147483647LL)
        return std::nullopt;
    return static_cast<std::int32_t>(v);
}

std::optional<std::int32_t> parseInteger(QStringView text)
{
    // Only ASCII can form a number; anything else fails fast.
    char buf[64];
    if (text.size() >= static_cast<qsizetype>(sizeof buf))
        return std::nullopt;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c >= 0x80)
            return std::nullopt;
        buf[i] = static_cast<char>(c);
    }
    return parseInteger(std::string_view(buf, static_cast<std::size_t>(text.size())));
}

std::int32_t strToInt(QStringView text)
{
    if (const auto v = parseInteger(text))
        return *v;
    throw ConvertError("'" + text.toString().toStdString() + "' is not a valid integer value");
}

std::string toHex8(std::int32_t value)
{
    static constexpr char digits[] = "0123456789ABCDEF";
    auto u = static_cast<std::uint32_t>(value);
    std::string out(8, '0');
    for (int i = 7; i >= 0; --i) {
        out[static_cast<std::size_t>(i)] = digits[u & 0xF];
        u >>= 4;
    }
    return out;
}

void appendUtf8(std::string &out, QStringView text)
{
    // Qt's encoder is vectorised; it writes straight into room made for the
    // worst case, so a save of a hundred thousand values allocates nothing.
    QStringEncoder encoder(QStringEncoder::Utf8, QStringConverter::Flag::Stateless);
    const std::size_t start = out.size();
    out.resize(start + static_cast<std::size_t>(encoder.requiredSpace(text.size())));
    char *end = encoder.appendToBuffer(out.data() + start, text);
    out.resize(static_cast<std::size_t>(end - out.data()));
}

bool isValidUtf8(std::string_view bytes)
{
    const auto *p = reinterpret_cast<const unsigned char *>(bytes.data());
    const std::size_t n = bytes.size();
    std::size_t i = 0;
    while (i < n) {
        // Skip ASCII 32 bytes at a time, then eight.
        while (i + 32 <= n) {
            std::uint64_t w[4];
            std::memcpy(w, p + i, 32);
            if (((w[0] | w[1] | w[2] | w[3]) & 0x8080808080808080ull) != 0)
                break;
            i += 32;
        }
        if (i >= n)
            break;
        if (i + 8 <= n) {
            std::uint64_t w;
            std::memcpy(&w, p + i, 8);
            if ((w & 0x8080808080808080ull) == 0) {
                i += 8;
                continue;
            }
        }
        const unsigned char c = p[i];
        if (c < 0x80) {
            ++i;
            continue;
        }
        std::size_t len;
        char32_t min;
        char32_t cp;
        if ((c & 0xE0) == 0xC0) {
            len = 2;
            min = 0x80;
            cp = c & 0x1F;
        } else if ((c & 0xF0) == 0xE0) {
            len = 3;
            min = 0x800;
            cp = c & 0x0F;
        } else if ((c & 0xF8) == 0xF0) {
            len = 4;
            min = 0x10000;
            cp = c & 0x07;
        } else {
            return false;
        }
        if (i + len > n)
            return false;
        for (std::size_t k = 1; k < len; ++k) {
            if ((p[i + k] & 0xC0) != 0x80)
                return false;
            cp = (cp << 6) | (p[i + k] & 0x3F);
        }
        if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        i += len;
    }
    return true;
}

namespace {

// 0x80..0x9F; the five undefined positions keep their C1 code points.
constexpr std::array<char16_t, 32> kWindows1252High{{
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
}};

} // namespace

char16_t windows1252Char(unsigned char byte)
{
    return byte >= 0x80 && byte < 0xA0 ? kWindows1252High[byte - 0x80] : char16_t(byte);
}

unsigned char windows1252Byte(char16_t c)
{
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF))
        return static_cast<unsigned char>(c);
    for (std::size_t i = 0; i < kWindows1252High.size(); ++i) {
        if (kWindows1252High[i] == c)
            return static_cast<unsigned char>(0x80 + i);
    }
    return '?';
}

std::string windows1252ToUtf8(std::string_view bytes)
{
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 8);
    for (unsigned char c : bytes) {
        if (c < 0x80) {
            out.push_back(static_cast<char>(c));
            continue;
        }
        const char16_t u = windows1252Char(c);
        appendUtf8(out, QStringView(&u, 1));
    }
    return out;
}

bool sameTextNoCaseSlow(std::string_view a, std::string_view b)
{
    // Up to the first differing byte both texts decode alike, so an ASCII
    // byte that differs there (after lowering) decides: ASCII folds only to
    // ASCII. Scanning whole texts for non-ASCII bytes first cost more than
    // the comparisons themselves.
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        const auto x = static_cast<unsigned char>(a[i]);
        const auto y = static_cast<unsigned char>(b[i]);
        if (x == y)
            continue;
        if ((x | y) & 0x80)
            goto unicode;
        if (asciiLower(x) != asciiLower(y))
            return false;
    }
    // One is the other plus a tail; an ASCII tail makes them differ.
    if (!hasHighBytes(a.substr(n)) && !hasHighBytes(b.substr(n)))
        return a.size() == b.size();
unicode:
    return QString::fromUtf8(a.data(), static_cast<qsizetype>(a.size()))
               .compare(QString::fromUtf8(b.data(), static_cast<qsizetype>(b.size())), Qt::CaseInsensitive)
        == 0;
}

std::size_t hashNoCase(std::string_view text)
{
    std::uint64_t h = 1469598103934665603ull; // FNV-1a
    unsigned char high = 0;
    for (unsigned char c : text) {
        high |= c;
        h ^= asciiLower(c);
        h *= 1099511628211ull;
    }
    if (!(high & 0x80))
        return static_cast<std::size_t>(h);
    h = 1469598103934665603ull;
    const QString folded = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())).toCaseFolded();
    std::string bytes;
    appendUtf8(bytes, folded);
    for (unsigned char c : bytes) {
        h ^= asciiLower(c);
        h *= 1099511628211ull;
    }
    return static_cast<std::size_t>(h);
}

} // namespace vl
