#include "help/HelpText.h"

#include <QHash>
#include <QStringDecoder>

#include <algorithm>

namespace vl {

namespace {

struct NamedCharacter {
    const char *name;
    char32_t code;
};

// The Latin-1 half of HTML 4's names, from 160 (nbsp) to 255 (yuml) in order.
const char *const kLatin1Names[96] = {
    "nbsp",   "iexcl",  "cent",   "pound",  "curren", "yen",    "brvbar", "sect",   "uml",    "copy",   "ordf",
    "laquo",  "not",    "shy",    "reg",    "macr",   "deg",    "plusmn", "sup2",   "sup3",   "acute",  "micro",
    "para",   "middot", "cedil",  "sup1",   "ordm",   "raquo",  "frac14", "frac12", "frac34", "iquest", "Agrave",
    "Aacute", "Acirc",  "Atilde", "Auml",   "Aring",  "AElig",  "Ccedil", "Egrave", "Eacute", "Ecirc",  "Euml",
    "Igrave", "Iacute", "Icirc",  "Iuml",   "ETH",    "Ntilde", "Ograve", "Oacute", "Ocirc",  "Otilde", "Ouml",
    "times",  "Oslash", "Ugrave", "Uacute", "Ucirc",  "Uuml",   "Yacute", "THORN",  "szlig",  "agrave", "aacute",
    "acirc",  "atilde", "auml",   "aring",  "aelig",  "ccedil", "egrave", "eacute", "ecirc",  "euml",   "igrave",
    "iacute", "icirc",  "iuml",   "eth",    "ntilde", "ograve", "oacute", "ocirc",  "otilde", "ouml",   "divide",
    "oslash", "ugrave", "uacute", "ucirc",  "uuml",   "yacute", "thorn",  "yuml"};

// The rest of HTML 4's names (markup, Latin Extended, punctuation, Greek, mathematics and
// arrows), and &apos;, which help files use as XHTML does.
const NamedCharacter kOtherNames[] = {
    {"quot", 34},       {"amp", 38},        {"apos", 39},      {"lt", 60},         {"gt", 62},
    {"OElig", 338},     {"oelig", 339},     {"Scaron", 352},   {"scaron", 353},    {"Yuml", 376},
    {"fnof", 402},      {"circ", 710},      {"tilde", 732},    {"Alpha", 913},     {"Beta", 914},
    {"Gamma", 915},     {"Delta", 916},     {"Epsilon", 917},  {"Zeta", 918},      {"Eta", 919},
    {"Theta", 920},     {"Iota", 921},      {"Kappa", 922},    {"Lambda", 923},    {"Mu", 924},
    {"Nu", 925},        {"Xi", 926},        {"Omicron", 927},  {"Pi", 928},        {"Rho", 929},
    {"Sigma", 931},     {"Tau", 932},       {"Upsilon", 933},  {"Phi", 934},       {"Chi", 935},
    {"Psi", 936},       {"Omega", 937},     {"alpha", 945},    {"beta", 946},      {"gamma", 947},
    {"delta", 948},     {"epsilon", 949},   {"zeta", 950},     {"eta", 951},       {"theta", 952},
    {"iota", 953},      {"kappa", 954},     {"lambda", 955},   {"mu", 956},        {"nu", 957},
    {"xi", 958},        {"omicron", 959},   {"pi", 960},       {"rho", 961},       {"sigmaf", 962},
    {"sigma", 963},     {"tau", 964},       {"upsilon", 965},  {"phi", 966},       {"chi", 967},
    {"psi", 968},       {"omega", 969},     {"thetasym", 977}, {"upsih", 978},     {"piv", 982},
    {"ensp", 8194},     {"emsp", 8195},     {"thinsp", 8201},  {"zwnj", 8204},     {"zwj", 8205},
    {"lrm", 8206},      {"rlm", 8207},      {"ndash", 8211},   {"mdash", 8212},    {"lsquo", 8216},
    {"rsquo", 8217},    {"sbquo", 8218},    {"ldquo", 8220},   {"rdquo", 8221},    {"bdquo", 8222},
    {"dagger", 8224},   {"Dagger", 8225},   {"bull", 8226},    {"hellip", 8230},   {"permil", 8240},
    {"prime", 8242},    {"Prime", 8243},    {"lsaquo", 8249},  {"rsaquo", 8250},   {"oline", 8254},
    {"frasl", 8260},    {"euro", 8364},     {"image", 8465},   {"weierp", 8472},   {"real", 8476},
    {"trade", 8482},    {"alefsym", 8501},  {"larr", 8592},    {"uarr", 8593},     {"rarr", 8594},
    {"darr", 8595},     {"harr", 8596},     {"crarr", 8629},   {"lArr", 8656},     {"uArr", 8657},
    {"rArr", 8658},     {"dArr", 8659},     {"hArr", 8660},    {"forall", 8704},   {"part", 8706},
    {"exist", 8707},    {"empty", 8709},    {"nabla", 8711},   {"isin", 8712},     {"notin", 8713},
    {"ni", 8715},       {"prod", 8719},     {"sum", 8721},     {"minus", 8722},    {"lowast", 8727},
    {"radic", 8730},    {"prop", 8733},     {"infin", 8734},   {"ang", 8736},      {"and", 8743},
    {"or", 8744},       {"cap", 8745},      {"cup", 8746},     {"int", 8747},      {"there4", 8756},
    {"sim", 8764},      {"cong", 8773},     {"asymp", 8776},   {"ne", 8800},       {"equiv", 8801},
    {"le", 8804},       {"ge", 8805},       {"sub", 8834},     {"sup", 8835},      {"nsub", 8836},
    {"sube", 8838},     {"supe", 8839},     {"oplus", 8853},   {"otimes", 8855},   {"perp", 8869},
    {"sdot", 8901},     {"lceil", 8968},    {"rceil", 8969},   {"lfloor", 8970},   {"rfloor", 8971},
    {"lang", 9001},     {"rang", 9002},     {"loz", 9674},     {"spades", 9824},   {"clubs", 9827},
    {"hearts", 9829},   {"diams", 9830},
};

// windows-1252 for the numbers 128 to 159; the five it leaves undefined keep their number.
const char16_t kWindows1252[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                   0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                   0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                   0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

const QHash<QString, char32_t> &namedCharacters()
{
    static const QHash<QString, char32_t> table = [] {
        QHash<QString, char32_t> t;
        for (int i = 0; i < 96; ++i)
            t.insert(QString::fromLatin1(kLatin1Names[i]), char32_t(160 + i));
        for (const NamedCharacter &c : kOtherNames)
            t.insert(QString::fromLatin1(c.name), c.code);
        return t;
    }();
    return table;
}

constexpr qsizetype kLongestName = 8;     // "thetasym"
constexpr qsizetype kLongestNumber = 32;  // digits, leading zeros allowed
constexpr char32_t kReplacement = 0xFFFD;

int digitOf(QChar c, int base)
{
    const char16_t u = c.unicode();
    int d = -1;
    if (u >= u'0' && u <= u'9')
        d = u - u'0';
    else if (base == 16 && u >= u'a' && u <= u'f')
        d = u - u'a' + 10;
    else if (base == 16 && u >= u'A' && u <= u'F')
        d = u - u'A' + 10;
    return d < base ? d : -1;
}

// The character a numeric reference's digits name, or 0 when they are no number.
char32_t numericCharacter(QStringView digits, int base)
{
    if (digits.isEmpty())
        return 0;
    quint64 value = 0;
    for (const QChar c : digits) {
        const int d = digitOf(c, base);
        if (d < 0)
            return 0;
        value = std::min<quint64>(value * quint64(base) + quint64(d), 0x110000);
    }
    if (value == 0 || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
        return kReplacement;
    if (value >= 0x80 && value <= 0x9F)
        return kWindows1252[value - 0x80];
    return char32_t(value);
}

} // namespace

QByteArray codePageForLcid(quint32 lcid)
{
    const quint32 language = lcid & 0x3FF;
    const quint32 sublanguage = (lcid >> 10) & 0x3F;
    int page = 0;
    switch (language) {
    case 0x00: // neutral: nothing to go by
        return {};
    case 0x04: // Chinese: Taiwan, Hong Kong, Macao and the traditional script use Big5
        page = sublanguage == 1 || sublanguage == 3 || sublanguage == 5 || lcid == 0x7C04 ? 950 : 936;
        break;
    case 0x11: page = 932; break;
    case 0x12: page = 949; break;
    case 0x1E: page = 874; break;
    case 0x2A: page = 1258; break;
    case 0x08: page = 1253; break;
    case 0x1F: page = 1254; break;
    case 0x0D: page = 1255; break;
    case 0x01: case 0x20: case 0x29: page = 1256; break;
    case 0x25: case 0x26: case 0x27: page = 1257; break;
    case 0x02: case 0x19: case 0x22: case 0x23: case 0x2F: case 0x3F: case 0x40: case 0x44: case 0x50:
        page = 1251;
        break;
    case 0x1A: // Croatian, Serbian and Bosnian: Cyrillic or Latin by the sublanguage
        page = sublanguage == 3 || sublanguage == 7 || sublanguage == 8 ? 1251 : 1250;
        break;
    case 0x2C: case 0x43: // Azeri and Uzbek: Latin 1254, Cyrillic 1251
        page = sublanguage == 2 ? 1251 : 1254;
        break;
    case 0x05: case 0x0E: case 0x15: case 0x18: case 0x1B: case 0x1C: case 0x24:
        page = 1250;
        break;
    default:
        page = 1252;
        break;
    }
    return "windows-" + QByteArray::number(page);
}

QString decodeLegacyText(const QByteArray &bytes, const QByteArray &codePage)
{
    QStringDecoder utf8(QStringDecoder::Utf8);
    QString text = utf8.decode(bytes);
    if (!utf8.hasError())
        return text;
    if (!codePage.isEmpty()) {
        QStringDecoder legacy(codePage.constData());
        if (legacy.isValid()) {
            text = legacy.decode(bytes);
            if (!legacy.hasError())
                return text;
        }
    }
    return QString::fromLatin1(bytes);
}

QString decodeHtmlEntities(QStringView text)
{
    if (!text.contains(u'&'))
        return text.toString();
    const QHash<QString, char32_t> &named = namedCharacters();
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c != u'&') {
            out += c;
            continue;
        }
        const qsizetype semi = text.indexOf(u';', i + 1);
        char32_t code = 0;
        if (semi > i + 1) {
            const QStringView name = text.mid(i + 1, semi - i - 1);
            if (name.startsWith(u'#') && name.size() <= kLongestNumber) {
                const bool hex = name.size() > 1 && (name[1] == u'x' || name[1] == u'X');
                code = numericCharacter(name.mid(hex ? 2 : 1), hex ? 16 : 10);
            } else if (name.size() <= kLongestName) {
                code = named.value(name.toString(), 0);
            }
        }
        if (code == 0) {
            out += c;
            continue;
        }
        out += QString::fromUcs4(&code, 1);
        i = semi;
    }
    return out;
}

} // namespace vl
