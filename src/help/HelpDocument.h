#pragma once

#include "help/ChmFile.h"

#include <QByteArray>
#include <QHash>
#include <QString>

#include <memory>
#include <optional>
#include <vector>

namespace vl {

// A topic an index or contents entry points to. local is the target as written (it may carry a
// "#fragment"); title may be empty.
struct HelpTopicRef {
    QString title;
    QString local;
};

// One entry of a sitemap (.hhc contents or .hhk index), flattened in document order; depth is
// its nesting level (0 at the top), so a tree is rebuilt without recursion.
struct SitemapItem {
    QString name;                    // the first "Name"
    int depth = 0;
    std::vector<HelpTopicRef> topics; // each "Local", titled by the "Name" before it if any
    QString seeAlso;                 // "See Also" of an index entry
};

// The sitemap entries of an .hhc or .hhk text. Tolerant of unclosed and stray tags. Nesting
// beyond kMaxSitemapDepth is kept at that depth, and at most kMaxSitemapItems are read, so a
// hostile file costs bounded time and memory.
std::vector<SitemapItem> parseSitemap(const QString &html);
inline constexpr int kMaxSitemapDepth = 32;
inline constexpr std::size_t kMaxSitemapItems = 100000;

// The topics an index keyword leads to: those of every entry named keyword (case and
// surrounding blanks ignored), following "See Also" references kMaxSeeAlsoSteps at most and
// never to a keyword already visited. Topics without a title of their own take the keyword's.
std::vector<HelpTopicRef> topicsForKeyword(const std::vector<SitemapItem> &index, const QString &keyword);
inline constexpr int kMaxSeeAlsoSteps = 8;

// Text of a help file's page or sitemap: the charset its BOM or <meta> names; else, or when the
// text is not valid in that charset, UTF-8; else the help file's legacy code page (see
// HelpText.h); else Latin-1.
QString decodeHelpText(const QByteArray &bytes, const QByteArray &codePage = {});

// page without its <script> elements, their content included (to the end of the page when one
// is never closed). The viewer runs no scripts; left in, a script nested deeper than
// boundHtmlNesting keeps would lose its tags there and show its code as text.
QString removeScripts(const QString &html);

// page with elements nested no deeper than kMaxHtmlNesting and tables no deeper than
// kMaxTableNesting: deeper opening tags are dropped with their closing tags. Qt's rich text
// lays a table out again for every table around it, so time doubles with each level, and it
// overflows the stack on a few thousand nested elements; help pages stay within the limits. Elements whose end
// tag is optional (p, li, td, ...) and empty ones (br, img, ...) do not count.
QString boundHtmlNesting(const QString &html);
inline constexpr std::size_t kMaxHtmlNesting = 48;
inline constexpr int kMaxTableNesting = 3;

// What a viewer shows of one compiled help file: its title, start page, contents, index and
// context numbers, read once when the file is opened.
class HelpDocument {
public:
    // nullptr (and *whyNot) when the file cannot be opened as a compiled help file. A file
    // without contents, index or context map opens; those parts are then empty.
    static std::unique_ptr<HelpDocument> open(const QString &fileName, QString *whyNot = nullptr);

    QString fileName() const { return m_chm->fileName(); }
    QString title() const { return m_title; }
    // The code page of the language the file was compiled for (its LCID); empty when unknown.
    QByteArray codePage() const { return m_codePage; }
    // The page to start on: the default topic if it exists, else the first contents entry that
    // exists, else the first HTML page in the file; empty if there is none.
    QString startPage() const { return m_startPage; }
    const std::vector<SitemapItem> &contents() const { return m_contents; }
    const std::vector<SitemapItem> &index() const { return m_index; }

    // The page (object path, with any "#fragment") a context number maps to through the file's
    // alias and map tables; empty when the number is not mapped or its page is missing.
    QString pageForContext(int number) const;

    // The page (object path plus any "#fragment") that local names, taken relative to the page
    // fromPage (the top when empty); empty for web or mail targets and pages not in the file.
    QString locate(const QString &local, const QString &fromPage = {}) const;

    std::vector<HelpTopicRef> topicsForKeyword(const QString &keyword) const
    {
        return vl::topicsForKeyword(m_index, keyword);
    }

    bool contains(const QString &path) const { return m_chm->contains(path); }
    std::optional<QByteArray> read(const QString &path, qint64 limit = ChmFile::kDefaultReadLimit) const
    {
        return m_chm->read(path, limit);
    }
    const ChmFile &archive() const { return *m_chm; }

    static constexpr qint64 kMaxSystemBytes = 1024 * 1024;

private:
    explicit HelpDocument(std::unique_ptr<ChmFile> chm) : m_chm(std::move(chm)) {}
    void readSystem();
    void readContextMap();
    std::vector<SitemapItem> readSitemap(const QString &named, const char *suffix) const;

    std::unique_ptr<ChmFile> m_chm;
    QString m_title;
    QByteArray m_codePage;
    QString m_defaultTopic;
    QString m_contentsFile;
    QString m_indexFile;
    QString m_startPage;
    std::vector<SitemapItem> m_contents;
    std::vector<SitemapItem> m_index;
    QHash<quint32, QString> m_contextPages;
};

} // namespace vl
