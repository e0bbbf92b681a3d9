// The user manual as shipped: doc/manual/vorlane.chm must be what its project compiles to now,
// everything it refers to must lead somewhere, its context numbers must be the ones the program
// names, and the program's own viewer must show it. The compiler does not write the same bytes
// twice (it stores a time and the build folder), so the files are compared object by object.

#include "help/ChmFile.h"
#include "help/HelpContext.h"
#include "help/HelpDocument.h"
#include "help/HelpSystem.h"
#include "help/HelpViewer.h"
#include "support/TempDir.h"

#include <QDir>
#include <QDirIterator>
#include <QImage>
#include <QListWidget>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QAbstractTextDocumentLayout>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextDocument>
#include <QTextLayout>
#include <QTreeWidget>

#include <map>

using namespace Qt::StringLiterals;
using namespace vl;

namespace {

const QString kManualDir = QStringLiteral(VORLANE_MANUAL_DIR);
const QString kProgramDir = QStringLiteral(VORLANE_PROGRAM_DIR);
const char *const kOutOfDate = "doc/manual/vorlane.chm is out of date: run doc/manual/build.sh";

QString committedChm()
{
    return kManualDir + u"/vorlane.chm"_s;
}

// The lines of one [SECTION] of the project file, blank lines and comments left out.
QStringList projectSection(const QString &name)
{
    const QString text = QString::fromUtf8(vl::test::readAll(kManualDir + u"/vorlane.hhp"_s));
    QStringList lines;
    bool inside = false;
    for (QString line : text.split(u'\n')) {
        line = line.trimmed();
        if (line.startsWith(u'[')) {
            inside = line.compare(u'[' + name + u']', Qt::CaseInsensitive) == 0;
            continue;
        }
        if (inside && !line.isEmpty() && !line.startsWith(u';'))
            lines.append(line);
    }
    return lines;
}

// Context number -> alias name, from the [MAP] section.
std::map<int, QString> projectContextMap()
{
    std::map<int, QString> map;
    static const QRegularExpression define(u"^#define\\s+(\\S+)\\s+(\\d+)$"_s);
    for (const QString &line : projectSection(u"MAP"_s)) {
        const QRegularExpressionMatch m = define.match(line);
        if (m.hasMatch())
            map[m.captured(2).toInt()] = m.captured(1);
    }
    return map;
}

// The objects the project put into the file (pages, pictures, style sheet, contents, index), by
// path; the compiler's own bookkeeping ("/#...", "/$...", "::...") is left out.
std::map<QString, QByteArray> userObjects(const ChmFile &chm)
{
    std::map<QString, QByteArray> objects;
    for (const ChmEntry &e : chm.entries()) {
        const QString path = QString::fromUtf8(e.path);
        if (!path.startsWith(u'/') || path.startsWith(u"/#"_s) || path.startsWith(u"/$"_s) || path.endsWith(u'/'))
            continue;
        objects[path] = chm.read(path).value_or(QByteArray("<unreadable>"));
    }
    return objects;
}

bool copyTree(const QString &from, const QString &to)
{
    QDirIterator it(from, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString file = it.next();
        const QString relative = QDir(from).relativeFilePath(file);
        if (relative == u"vorlane.chm"_s)
            continue;
        const QString target = QDir(to).filePath(relative);
        if (!QDir().mkpath(QFileInfo(target).absolutePath()) || !QFile::copy(file, target))
            return false;
    }
    return true;
}

// Where the rightmost picture of the page shown ends, as laid out.
qreal rightmostPicture(const QTextBrowser &browser)
{
    QTextDocument *doc = browser.document();
    doc->documentLayout()->documentSize();
    qreal right = 0;
    for (QTextBlock block = doc->begin(); block.isValid(); block = block.next()) {
        for (QTextBlock::iterator it = block.begin(); !it.atEnd(); ++it) {
            if (!it.fragment().charFormat().isImageFormat())
                continue;
            const QTextLayout *layout = block.layout();
            const QTextLine line = layout->lineForTextPosition(it.fragment().position() - block.position());
            if (line.isValid())
                right = std::max(right, layout->position().x() + line.cursorToX(it.fragment().position() - block.position()
                                                                                 + it.fragment().length()));
        }
    }
    return right;
}

} // namespace

class TestManual : public QObject {
    Q_OBJECT
private slots:
    void committedFileIsCurrent();
    void everyReferenceLeadsToAPage();
    void contextNumbersAreTheProgramsOwn();
    void viewerShowsTheManual();
    void everyPictureFitsThePane();
};

void TestManual::committedFileIsCurrent()
{
    const QString chmcmd = QStandardPaths::findExecutable(u"chmcmd"_s);
    if (chmcmd.isEmpty())
        QFAIL("chmcmd is needed to check the manual (Debian package fp-utils)");
    QTemporaryDir work;
    QVERIFY(work.isValid());
    QVERIFY(copyTree(kManualDir, work.path()));
    QProcess compiler;
    compiler.setWorkingDirectory(work.path());
    compiler.setProcessChannelMode(QProcess::MergedChannels);
    compiler.start(chmcmd, {u"--no-html-scan"_s, u"vorlane.hhp"_s});
    QVERIFY(compiler.waitForFinished(120000));
    const QString fresh = work.filePath(u"vorlane.chm"_s);
    QVERIFY2(compiler.exitCode() == 0 && QFileInfo::exists(fresh), compiler.readAll().constData());

    QString why;
    const std::unique_ptr<HelpDocument> committed = HelpDocument::open(committedChm(), &why);
    QVERIFY2(committed, qPrintable(why));
    const std::unique_ptr<HelpDocument> compiled = HelpDocument::open(fresh, &why);
    QVERIFY2(compiled, qPrintable(why));

    QStringList differences;
    const auto was = userObjects(committed->archive());
    const auto now = userObjects(compiled->archive());
    for (const auto &[path, bytes] : now) {
        const auto it = was.find(path);
        if (it == was.end())
            differences << path + u" is new"_s;
        else if (it->second != bytes)
            differences << path + u" differs"_s;
    }
    for (const auto &[path, bytes] : was) {
        if (!now.count(path))
            differences << path + u" is gone"_s;
    }
    if (committed->title() != compiled->title())
        differences << u"the title differs"_s;
    if (committed->startPage() != compiled->startPage())
        differences << u"the start page differs"_s;
    for (const auto &[number, alias] : projectContextMap()) {
        if (committed->pageForContext(number) != compiled->pageForContext(number))
            differences << u"context number %1 (%2) leads elsewhere"_s.arg(number).arg(alias);
    }
    QVERIFY2(differences.isEmpty(),
             qPrintable(QString::fromLatin1(kOutOfDate) + u"\n  "_s + differences.join(u"\n  "_s)));
}

void TestManual::everyReferenceLeadsToAPage()
{
    QString why;
    const std::unique_ptr<HelpDocument> doc = HelpDocument::open(committedChm(), &why);
    QVERIFY2(doc, qPrintable(why));
    QStringList broken;

    // Every page, picture and style sheet in the folder is in the project, and so in the file.
    const QStringList files = projectSection(u"FILES"_s);
    const QSet<QString> listed(files.begin(), files.end());
    QDirIterator it(kManualDir, {u"*.html"_s, u"*.png"_s, u"*.css"_s}, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString relative = QDir(kManualDir).relativeFilePath(it.next());
        if (!listed.contains(relative))
            broken << relative + u" is not listed in vorlane.hhp"_s;
        else if (!doc->contains(u'/' + relative))
            broken << relative + u" is not in vorlane.chm"_s;
    }

    QCOMPARE(doc->startPage(), u"/index.html"_s);
    for (const auto *sitemap : {&doc->contents(), &doc->index()}) {
        for (const SitemapItem &item : *sitemap) {
            for (const HelpTopicRef &topic : item.topics) {
                if (doc->locate(topic.local).isEmpty())
                    broken << u"\"%1\" leads to %2, which is missing"_s.arg(item.name, topic.local);
            }
        }
    }

    // Links and pictures of every page, anchors included.
    static const QRegularExpression reference(u"(?:href|src)\\s*=\\s*\"([^\"]*)\""_s);
    static const QRegularExpression anchor(u"\\b(?:id|name)\\s*=\\s*\"([^\"]+)\""_s);
    std::map<QString, QSet<QString>> anchors;
    auto anchorsOf = [&](const QString &page) -> const QSet<QString> & {
        auto found = anchors.find(page);
        if (found == anchors.end()) {
            QSet<QString> names;
            const QString text = decodeHelpText(doc->read(page).value_or(QByteArray()));
            for (const QRegularExpressionMatch &m : anchor.globalMatch(text))
                names.insert(m.captured(1));
            found = anchors.emplace(page, names).first;
        }
        return found->second;
    };
    int pages = 0;
    for (const ChmEntry &e : doc->archive().entries()) {
        const QString page = QString::fromUtf8(e.path);
        if (!page.endsWith(u".html"_s))
            continue;
        ++pages;
        const QString text = decodeHelpText(doc->read(page).value_or(QByteArray()));
        for (const QRegularExpressionMatch &m : reference.globalMatch(text)) {
            const QString link = m.captured(1);
            if (link.startsWith(u"http:"_s) || link.startsWith(u"https:"_s) || link.startsWith(u"mailto:"_s))
                continue;
            const QString target = link.startsWith(u'#') ? page + link : doc->locate(link, page);
            if (target.isEmpty()) {
                broken << page + u": "_s + link + u" is missing"_s;
                continue;
            }
            const qsizetype hash = target.indexOf(u'#');
            if (hash >= 0 && !anchorsOf(target.left(hash)).contains(target.mid(hash + 1)))
                broken << page + u": "_s + link + u" names no anchor of its page"_s;
        }
    }
    QVERIFY(pages >= 20);
    QVERIFY(doc->index().size() >= 60);
    QVERIFY2(broken.isEmpty(), qPrintable(broken.join(u'\n')));
}

void TestManual::contextNumbersAreTheProgramsOwn()
{
    // The program's constants and the project's [MAP] name the same numbers...
    QSet<int> program;
    for (int number : HelpContext::All)
        program.insert(number);
    QSet<int> project;
    for (const auto &[number, alias] : projectContextMap())
        project.insert(number);
    QCOMPARE(program.size(), int(std::size(HelpContext::All)));
    QCOMPARE(project, program);

    // ... and each leads to a page of the file.
    const std::unique_ptr<HelpDocument> doc = HelpDocument::open(committedChm());
    QVERIFY(doc);
    for (int number : HelpContext::All)
        QVERIFY2(!doc->pageForContext(number).isEmpty(), qPrintable(QString::number(number)));
    QCOMPARE(doc->pageForContext(HelpContext::Keyboard), u"/keyboard.html"_s);
    QCOMPARE(doc->pageForContext(HelpContext::SaveErrors), u"/save-errors.html"_s);
}

void TestManual::viewerShowsTheManual()
{
    // The build puts the manual where the program looks for it first.
    const QString besideProgram = HelpSystem::defaultHelpFile(kProgramDir, QString());
    QCOMPARE(QFileInfo(besideProgram).absoluteFilePath(), QDir(kProgramDir).absoluteFilePath(u"vorlane.chm"_s));
    QVERIFY2(vl::test::readAll(besideProgram) == vl::test::readAll(committedChm()),
             "the manual beside the program is not the committed one: build the vorlane target");

    HelpSystem help;
    help.setApplicationHelpFile(besideProgram);
    QVERIFY(help.showContents());
    HelpViewer *viewer = help.viewer();
    QCOMPARE(viewer->windowTitle(), u"Vorlane Help"_s);
    QCOMPARE(viewer->currentPage(), u"/index.html"_s);
    QVERIFY(viewer->browser()->toPlainText().contains(u"several extra desktops in one window"_s));
    const QImage picture =
        viewer->browser()->loadResource(QTextDocument::ImageResource, QUrl(u"images/main-window.png"_s)).value<QImage>();
    QVERIFY(picture.width() > 300 && picture.height() > 200);

    const HelpDocument &doc = *viewer->helpDocument();
    int topLevel = 0;
    for (const SitemapItem &item : doc.contents())
        topLevel += item.depth == 0 ? 1 : 0;
    QCOMPARE(viewer->contentsTree()->topLevelItemCount(), topLevel);
    QCOMPARE(viewer->indexList()->count(), int(doc.index().size()));

    QVERIFY(help.showContext(HelpContext::Keyboard));
    QVERIFY(viewer->browser()->toPlainText().contains(u"Quit without saving"_s));
    emit viewer->browser()->anchorClicked(QUrl(u"menus.html"_s));
    QCOMPARE(viewer->currentPage(), u"/menus.html"_s);
    QVERIFY(help.showKeyword(u"Reload"_s));
    QCOMPARE(viewer->currentPage(), u"/saving.html#reload"_s);
}

// The viewer at its default size shows every picture of the manual within the pane: one wider
// than the pane is shown at the pane's width.
void TestManual::everyPictureFitsThePane()
{
    HelpSystem help;
    help.setApplicationHelpFile(committedChm());
    QVERIFY(help.showContents());
    HelpViewer *viewer = help.viewer();
    QVERIFY(QTest::qWaitForWindowExposed(viewer));
    QSet<QString> pages;
    for (const SitemapItem &item : viewer->helpDocument()->contents()) {
        for (const HelpTopicRef &topic : item.topics)
            pages.insert(cleanChmPath(topic.local));
    }
    QVERIFY(pages.size() > 10);
    HelpBrowser *browser = viewer->browser();
    for (const QString &page : pages) {
        QVERIFY(viewer->showPage(page));
        // The scroll bars follow the layout a moment later.
        QTRY_VERIFY2_WITH_TIMEOUT(rightmostPicture(*browser) <= browser->viewport()->width(),
                                  qPrintable(u"%1 has a picture reaching %2 of a pane %3 pixels wide"_s.arg(page)
                                                 .arg(rightmostPicture(*browser))
                                                 .arg(browser->viewport()->width())),
                                  2000);
    }
}

QTEST_MAIN(TestManual)
#include "tst_manual.moc"
