#include "help/HelpDocument.h"

#include "help/HelpText.h"

#include <QSet>
#include <QStringConverter>
#include <QStringList>
#include <QUrl>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace vl {

namespace {

constexpr qint64 kMaxContextMapBytes = 4 * 1024 * 1024;
constexpr qsizetype kMaxContextString = 4096;
constexpr std::size_t kMaxTopicsPerItem = 1000;
constexpr int kMaxAttributes = 64;

quint32 le32(const QByteArray &data, qsizetype pos)
{
    const auto *u = reinterpret_cast<const unsigned char *>(data.constData() + pos);
    return quint32(u[0]) | quint32(u[1]) << 8 | quint32(u[2]) << 16 | quint32(u[3]) << 24;
}

quint16 le16(const QByteArray &data, qsizetype pos)
{
    const auto *u = reinterpret_cast<const unsigned char *>(data.constData() + pos);
    return quint16(u[0] | u[1] << 8);
}

// A NUL-terminated name from the file's own tables.
QString decodeName(QByteArray bytes, const QByteArray &codePage)
{
    const qsizetype nul = bytes.indexOf('\0');
    if (nul >= 0)
        bytes.truncate(nul);
    return decodeLegacyText(bytes, codePage);
}

struct Attribute {
    QStringView name;
    QString value;
};

// The attributes of a tag's inside (the text after its name), quoted or not.
std::vector<Attribute> parseAttributes(QStringView tag)
{
    std::vector<Attribute> attributes;
    qsizetype i = 0;
    const qsizetype n = tag.size();
    auto skipSpace = [&] {
        while (i < n && tag[i].isSpace())
            ++i;
    };
    while (i < n && attributes.size() < std::size_t(kMaxAttributes)) {
        skipSpace();
        const qsizetype nameStart = i;
        while (i < n && !tag[i].isSpace() && tag[i] != u'=' && tag[i] != u'/')
            ++i;
        if (i == nameStart) {
            ++i; // a stray '/' or '='
            continue;
        }
        Attribute a{tag.mid(nameStart, i - nameStart), {}};
        skipSpace();
        if (i < n && tag[i] == u'=') {
            ++i;
            skipSpace();
            if (i < n && (tag[i] == u'"' || tag[i] == u'\'')) {
                const QChar quote = tag[i++];
                qsizetype close = tag.indexOf(quote, i);
                if (close < 0)
                    close = n;
                a.value = decodeHtmlEntities(tag.mid(i, close - i));
                i = close + 1;
            } else {
                const qsizetype valueStart = i;
                while (i < n && !tag[i].isSpace())
                    ++i;
                a.value = decodeHtmlEntities(tag.mid(valueStart, i - valueStart));
            }
        }
        attributes.push_back(std::move(a));
    }
    return attributes;
}

QString attribute(const std::vector<Attribute> &attributes, QStringView name)
{
    for (const Attribute &a : attributes) {
        if (a.name.compare(name, Qt::CaseInsensitive) == 0)
            return a.value;
    }
    return {};
}

bool isHtmlPage(const QByteArray &path)
{
    const QByteArray lower = path.toLower();
    return path.startsWith('/') && !path.startsWith("/#") && !path.startsWith("/$")
        && (lower.endsWith(".htm") || lower.endsWith(".html"));
}

} // namespace

QString decodeHelpText(const QByteArray &bytes, const QByteArray &codePage)
{
    // Without a declaration this is UTF-8; a declared charset the text breaks (a template's
    // "utf-8" over GBK text) counts for nothing either.
    QStringDecoder decoder = QStringDecoder::decoderForHtml(bytes);
    if (decoder.isValid()) {
        QString text = decoder.decode(bytes);
        if (!decoder.hasError())
            return text;
    }
    return decodeLegacyText(bytes, codePage);
}

QString removeScripts(const QString &html)
{
    QString out;
    qsizetype from = 0;
    for (;;) {
        qsizetype open = html.indexOf(u"<script"_s, from, Qt::CaseInsensitive);
        // "<scripts>" or "<scripting" are other elements.
        while (open >= 0 && open + 7 < html.size() && !html[open + 7].isSpace() && html[open + 7] != u'>'
               && html[open + 7] != u'/')
            open = html.indexOf(u"<script"_s, open + 7, Qt::CaseInsensitive);
        if (open < 0)
            break;
        out += QStringView(html).mid(from, open - from);
        // A script ends at the first "</script", whatever the code around it: as browsers read it.
        const qsizetype close = html.indexOf(u"</script"_s, open + 7, Qt::CaseInsensitive);
        if (close < 0)
            return out;
        const qsizetype gt = html.indexOf(u'>', close + 8);
        if (gt < 0)
            return out;
        from = gt + 1;
    }
    if (from == 0)
        return html;
    out += QStringView(html).mid(from);
    return out;
}

namespace {

// Where the tag that starts at open ends: its '>' outside quotes, or html.size() if none.
qsizetype tagEnd(const QString &html, qsizetype open)
{
    QChar quote;
    for (qsizetype i = open + 1; i < html.size(); ++i) {
        const QChar c = html[i];
        if (!quote.isNull()) {
            if (c == quote)
                quote = QChar();
        } else if (c == u'"' || c == u'\'') {
            quote = c;
        } else if (c == u'>') {
            return i;
        }
    }
    return html.size();
}

} // namespace

QString boundHtmlNesting(const QString &html)
{
    static const QSet<QString> kUncounted = {
        // empty elements
        u"area"_s, u"base"_s, u"basefont"_s, u"br"_s, u"col"_s, u"embed"_s, u"frame"_s, u"hr"_s, u"img"_s,
        u"input"_s, u"link"_s, u"meta"_s, u"param"_s, u"source"_s, u"track"_s, u"wbr"_s,
        // end tag optional, and commonly left out
        u"p"_s, u"li"_s, u"dt"_s, u"dd"_s, u"tr"_s, u"td"_s, u"th"_s, u"thead"_s, u"tbody"_s, u"tfoot"_s,
        u"colgroup"_s, u"option"_s, u"optgroup"_s, u"html"_s, u"head"_s, u"body"_s};
    QString out;
    out.reserve(html.size());
    std::vector<QString> open;
    int tables = 0;
    QHash<QString, int> dropped;
    const qsizetype n = html.size();
    qsizetype i = 0;
    while (i < n) {
        const qsizetype lt = html.indexOf(u'<', i);
        if (lt < 0) {
            out += QStringView(html).mid(i);
            break;
        }
        out += QStringView(html).mid(i, lt - i);
        if (QStringView(html).mid(lt, 4) == u"<!--") {
            const qsizetype close = html.indexOf(u"-->"_s, lt + 4);
            i = close < 0 ? n : close + 3;
            out += QStringView(html).mid(lt, i - lt);
            continue;
        }
        const qsizetype gt = tagEnd(html, lt);
        if (gt >= n) {
            out += QStringView(html).mid(lt);
            break;
        }
        i = gt + 1;
        const QStringView whole = QStringView(html).mid(lt, i - lt);
        const QStringView inside = whole.mid(1, whole.size() - 2);
        const bool closing = inside.startsWith(u'/');
        const QStringView body = closing ? inside.mid(1) : inside;
        qsizetype nameEnd = 0;
        while (nameEnd < body.size() && body[nameEnd].isLetterOrNumber())
            ++nameEnd;
        const QString name = body.left(nameEnd).toString().toLower();
        if (name.isEmpty() || kUncounted.contains(name) || inside.endsWith(u'/')) {
            out += whole;
            continue;
        }
        const bool table = name == u"table"_s;
        if (!closing) {
            if (open.size() >= kMaxHtmlNesting || (table && tables >= kMaxTableNesting)) {
                ++dropped[name];
                continue;
            }
            open.push_back(name);
            tables += table ? 1 : 0;
            out += whole;
            continue;
        }
        // A closing tag ends its element and any left open inside it, as browsers do.
        const auto match = std::find(open.rbegin(), open.rend(), name);
        if (match != open.rend()) {
            while (open.back() != name) {
                tables -= open.back() == u"table"_s ? 1 : 0;
                open.pop_back();
            }
            tables -= table ? 1 : 0;
            open.pop_back();
            out += whole;
        } else if (dropped.value(name) > 0) {
            --dropped[name];
        } else {
            out += whole;
        }
    }
    return out;
}

std::vector<SitemapItem> parseSitemap(const QString &html)
{
    std::vector<SitemapItem> items;
    qsizetype lists = 0;    // <UL> open; may exceed the depth kept
    bool inItem = false;    // inside <OBJECT type="text/sitemap">
    bool named = false;
    QString pendingTitle;   // a "Name" after the first, waiting for its "Local"
    SitemapItem current;

    auto finish = [&] {
        if (inItem && (named || !current.topics.empty()) && items.size() < kMaxSitemapItems)
            items.push_back(std::move(current));
        current = SitemapItem{};
        inItem = false;
        named = false;
        pendingTitle.clear();
    };

    const qsizetype n = html.size();
    qsizetype i = 0;
    while (i < n && items.size() < kMaxSitemapItems) {
        const qsizetype open = html.indexOf(u'<', i);
        if (open < 0)
            break;
        if (QStringView(html).mid(open, 4) == u"<!--") {
            const qsizetype close = html.indexOf(u"-->"_s, open + 4);
            i = close < 0 ? n : close + 3;
            continue;
        }
        // The tag ends at the first '>' outside quotes.
        const qsizetype close = tagEnd(html, open);
        if (close >= n)
            break;
        const QStringView tag = QStringView(html).mid(open + 1, close - open - 1).trimmed();
        i = close + 1;

        const bool closing = tag.startsWith(u'/');
        const QStringView body = closing ? tag.mid(1).trimmed() : tag;
        qsizetype nameEnd = 0;
        while (nameEnd < body.size() && body[nameEnd].isLetterOrNumber())
            ++nameEnd;
        const QStringView name = body.left(nameEnd);

        if (name.compare(u"ul", Qt::CaseInsensitive) == 0) {
            lists = closing ? qMax<qsizetype>(0, lists - 1) : lists + 1;
        } else if (name.compare(u"object", Qt::CaseInsensitive) == 0) {
            finish(); // an earlier object left open ends here
            if (!closing) {
                const auto attributes = parseAttributes(body.mid(nameEnd));
                inItem = attribute(attributes, u"type").trimmed().compare(u"text/sitemap"_s, Qt::CaseInsensitive) == 0;
                current.depth = int(qBound<qsizetype>(0, lists - 1, qsizetype(kMaxSitemapDepth)));
            }
        } else if (inItem && !closing && name.compare(u"param", Qt::CaseInsensitive) == 0) {
            const auto attributes = parseAttributes(body.mid(nameEnd));
            const QString key = attribute(attributes, u"name").trimmed();
            const QString value = attribute(attributes, u"value");
            if (key.compare(u"Name"_s, Qt::CaseInsensitive) == 0) {
                if (!named) {
                    current.name = value.trimmed();
                    named = true;
                } else {
                    pendingTitle = value.trimmed();
                }
            } else if (key.compare(u"Local"_s, Qt::CaseInsensitive) == 0
                       || key.compare(u"URL"_s, Qt::CaseInsensitive) == 0) {
                if (current.topics.size() < kMaxTopicsPerItem && !value.trimmed().isEmpty())
                    current.topics.push_back({pendingTitle, value.trimmed()});
                pendingTitle.clear();
            } else if (key.compare(u"See Also"_s, Qt::CaseInsensitive) == 0) {
                current.seeAlso = value.trimmed();
            }
        }
    }
    finish();
    return items;
}

std::unique_ptr<HelpDocument> HelpDocument::open(const QString &fileName, QString *whyNot)
{
    auto chm = ChmFile::open(fileName, whyNot);
    if (!chm)
        return nullptr;
    std::unique_ptr<HelpDocument> doc(new HelpDocument(std::move(chm)));
    doc->readSystem();
    doc->m_chm->setLegacyCodePage(doc->m_codePage);
    doc->readContextMap();
    doc->m_contents = doc->readSitemap(doc->m_contentsFile, ".hhc");
    doc->m_index = doc->readSitemap(doc->m_indexFile, ".hhk");

    QString start = doc->locate(doc->m_defaultTopic);
    for (std::size_t i = 0; start.isEmpty() && i < doc->m_contents.size(); ++i) {
        for (const HelpTopicRef &t : doc->m_contents[i].topics) {
            start = doc->locate(t.local);
            if (!start.isEmpty())
                break;
        }
    }
    for (const ChmEntry &e : doc->m_chm->entries()) {
        if (!start.isEmpty())
            break;
        if (isHtmlPage(e.path))
            start = doc->m_chm->nameOf(e);
    }
    doc->m_startPage = start;
    return doc;
}

// #SYSTEM: a version word, then records of a 16-bit code, a 16-bit length and that many bytes.
// Record 4 begins with the LCID; its texts are in that language's code page, so they are read
// once it is known, wherever it stands.
void HelpDocument::readSystem()
{
    quint32 lcid = m_chm->language();
    const auto data = m_chm->read(u"/#SYSTEM"_s, kMaxSystemBytes);
    std::vector<std::pair<quint16, QByteArray>> records;
    qsizetype pos = 4;
    while (data && pos + 4 <= data->size()) {
        const quint16 code = le16(*data, pos);
        const quint16 length = le16(*data, pos + 2);
        pos += 4;
        if (length > data->size() - pos)
            break;
        if (code == 4 && length >= 4)
            lcid = le32(*data, pos);
        else
            records.emplace_back(code, data->mid(pos, length));
        pos += length;
    }
    m_codePage = codePageForLcid(lcid);
    for (const auto &[code, bytes] : records) {
        const QString text = decodeName(bytes, m_codePage);
        switch (code) {
        case 0:
            m_contentsFile = text;
            break;
        case 1:
            m_indexFile = text;
            break;
        case 2:
            m_defaultTopic = text;
            break;
        case 3:
            m_title = text.trimmed();
            break;
        default:
            break;
        }
    }
}

// #IVB: the byte length of the pairs that follow, then pairs of a context number and the offset
// in #STRINGS of the name of its page.
void HelpDocument::readContextMap()
{
    const auto ivb = m_chm->read(u"/#IVB"_s, kMaxContextMapBytes);
    const auto strings = m_chm->read(u"/#STRINGS"_s, ChmFile::kDefaultReadLimit);
    if (!ivb || !strings || ivb->size() < 4)
        return;
    const qsizetype end = qsizetype(qMin<quint64>(4 + quint64(le32(*ivb, 0)), quint64(ivb->size())));
    for (qsizetype pos = 4; pos + 8 <= end; pos += 8) {
        const quint32 number = le32(*ivb, pos);
        const quint32 offset = le32(*ivb, pos + 4);
        if (offset >= quint32(strings->size()) || m_contextPages.contains(number))
            continue;
        m_contextPages.insert(number, decodeName(strings->mid(offset, kMaxContextString), m_codePage));
    }
}

std::vector<SitemapItem> HelpDocument::readSitemap(const QString &named, const char *suffix) const
{
    QString path = cleanChmPath(named);
    if (path.isEmpty() || !m_chm->contains(path)) {
        path.clear();
        for (const ChmEntry &e : m_chm->entries()) {
            if (e.path.toLower().endsWith(suffix)) {
                path = m_chm->nameOf(e);
                break;
            }
        }
    }
    if (path.isEmpty())
        return {};
    const auto data = m_chm->read(path);
    return data ? parseSitemap(decodeHelpText(*data, m_codePage)) : std::vector<SitemapItem>{};
}

QString HelpDocument::locate(const QString &local, const QString &fromPage) const
{
    const QString trimmed = local.trimmed();
    if (trimmed.isEmpty())
        return {};
    const QUrl url(trimmed);
    const QString scheme = url.scheme().toLower();
    // Web and mail targets, and other help files, are not pages of this file.
    if (!scheme.isEmpty() && scheme.size() > 1 && !trimmed.contains(u"::/"_s))
        return {};
    const QString path = resolveChmLink(fromPage.isEmpty() ? u"/"_s : fromPage, trimmed);
    if (path.isEmpty() || !m_chm->contains(path))
        return {};
    const qsizetype hash = trimmed.indexOf(u'#');
    return hash >= 0 ? path + trimmed.mid(hash) : path;
}

QString HelpDocument::pageForContext(int number) const
{
    const QString target = m_contextPages.value(quint32(number));
    if (target.isEmpty())
        return {};
    const qsizetype hash = target.indexOf(u'#');
    const QString page = m_chm->findByTail(hash >= 0 ? target.left(hash) : target);
    if (page.isEmpty())
        return {};
    return hash >= 0 ? page + target.mid(hash) : page;
}

std::vector<HelpTopicRef> topicsForKeyword(const std::vector<SitemapItem> &index, const QString &keyword)
{
    std::vector<HelpTopicRef> found;
    QSet<QString> visited;
    QString wanted = keyword.trimmed();
    for (int step = 0; step <= kMaxSeeAlsoSteps && !wanted.isEmpty(); ++step) {
        if (visited.contains(wanted.toCaseFolded()))
            break;
        visited.insert(wanted.toCaseFolded());
        QString seeAlso;
        for (const SitemapItem &item : index) {
            if (item.name.compare(wanted, Qt::CaseInsensitive) != 0)
                continue;
            for (const HelpTopicRef &t : item.topics)
                found.push_back({t.title.isEmpty() ? item.name : t.title, t.local});
            if (item.topics.empty() && seeAlso.isEmpty())
                seeAlso = item.seeAlso;
        }
        if (!found.empty())
            break;
        wanted = seeAlso;
    }
    return found;
}

} // namespace vl
