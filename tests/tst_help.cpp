#include "help/ChmFile.h"
#include "help/HelpDocument.h"
#include "help/HelpSystem.h"
#include "help/HelpViewer.h"
#include "help/LzxReplay.h"
#include "platform/SafeFile.h"
#include "support/Fifo.h"
#include "support/TempDir.h"

#include <QAction>
#include <QDir>
#include <QImage>
#include <QLineEdit>
#include <QListWidget>
#include <QRandomGenerator>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTextDocument>
#include <QTest>
#include <QTreeWidget>

#include <lzx.h>

#include <cstdio>
#include <memory>

using namespace Qt::StringLiterals;
using namespace vl;
using vl::test::readAll;
using vl::test::writeAll;

namespace {

const QString kFixtures = QStringLiteral(VORLANE_HELP_FIXTURES);

QString mainChm()
{
    return kFixtures + u"/vorlane-test.chm"_s;
}

QString otherChm()
{
    return kFixtures + u"/other.chm"_s;
}

QStringList contentsNames(const HelpDocument &doc, qsizetype count)
{
    QStringList names;
    for (const SitemapItem &item : doc.contents())
        names.append(item.name);
    return names.mid(0, count);
}

quint32 le32(const QByteArray &d, qsizetype at)
{
    const auto *u = reinterpret_cast<const unsigned char *>(d.constData() + at);
    return quint32(u[0]) | quint32(u[1]) << 8 | quint32(u[2]) << 16 | quint32(u[3]) << 24;
}

quint64 le64(const QByteArray &d, qsizetype at)
{
    return quint64(le32(d, at)) | quint64(le32(d, at + 4)) << 32;
}

void put32(QByteArray &d, qsizetype at, quint32 v)
{
    for (int i = 0; i < 4; ++i)
        d[at + i] = char(v >> (8 * i));
}

void put64(QByteArray &d, qsizetype at, quint64 v)
{
    put32(d, at, quint32(v));
    put32(d, at + 4, quint32(v >> 32));
}

// Where the fixtures' single directory block and one entry in it lie.
struct Layout {
    qsizetype itsp = 0, block = 0;
    quint64 dataOffset = 0;
};

Layout layoutOf(const QByteArray &chm)
{
    Layout l;
    l.itsp = qsizetype(le64(chm, 0x48));
    l.block = l.itsp + 0x54;
    l.dataOffset = le64(chm, 0x58);
    return l;
}

struct Entry {
    qsizetype lengthAt = -1; // offset of the entry's length number
    int lengthWidth = 0;
    quint64 start = 0, length = 0;
};

quint64 cword(const QByteArray &d, qsizetype &pos)
{
    quint64 v = 0;
    while (static_cast<unsigned char>(d[pos]) >= 0x80)
        v = (v << 7) | (static_cast<unsigned char>(d[pos++]) & 0x7f);
    return (v << 7) | static_cast<unsigned char>(d[pos++]);
}

Entry entryOf(const QByteArray &chm, const QByteArray &name)
{
    const Layout l = layoutOf(chm);
    Entry e;
    qsizetype pos = chm.indexOf(name, l.block);
    if (pos < 0)
        return e;
    pos += name.size();
    cword(chm, pos); // space
    e.start = cword(chm, pos);
    e.lengthAt = pos;
    e.length = cword(chm, pos);
    e.lengthWidth = int(pos - e.lengthAt);
    return e;
}

// A length of the same encoded width, the largest it allows.
void setHugeLength(QByteArray &chm, const Entry &e)
{
    for (int i = 0; i < e.lengthWidth; ++i)
        chm[e.lengthAt + i] = char(i + 1 < e.lengthWidth ? 0xff : 0x7f);
}

// LZX bits go out most significant first in 16-bit little-endian words.
struct BitWriter {
    QByteArray bytes;
    quint32 word = 0;
    int used = 0;
    void put(quint32 value, int bits)
    {
        for (int i = bits - 1; i >= 0; --i) {
            word = (word << 1) | ((value >> i) & 1);
            if (++used == 16)
                flush();
        }
    }
    void flush()
    {
        if (used == 0)
            return;
        word <<= 16 - used;
        bytes.append(char(word & 0xff));
        bytes.append(char(word >> 8));
        word = 0;
        used = 0;
    }
};

// One frame for a 64 KiB window: an uncompressed block of 16 bytes whose header sets the
// repeated offset R0, then a verbatim block of 2-byte matches at that offset, which may go on
// for spill bytes into the next frame.
QByteArray repeatedOffsetFrame(quint32 r0, int spill = 0)
{
    BitWriter w;
    w.put(0, 1);          // no E8 translation
    w.put(3, 3);          // uncompressed
    w.put(0, 16);
    w.put(16, 8);
    w.flush();
    for (quint32 r : {r0, 1u, 1u}) {
        for (int i = 0; i < 4; ++i)
            w.bytes.append(char(r >> (8 * i)));
    }
    for (int i = 0; i < 16; ++i)
        w.bytes.append(char('a' + i));
    const int rest = LzxReplay::kFrameBytes - 16;
    w.put(1, 3); // verbatim
    w.put(quint32(rest + spill) >> 8, 16);
    w.put(quint32(rest + spill) & 0xff, 8);
    // Code lengths go as deltas through a pre-tree: symbols 0..11 take 4 bits, 12..19 five.
    auto lengths = [&w](int first, int last, int oneBitSymbol) {
        for (int s = 0; s < 20; ++s)
            w.put(s < 12 ? 4 : 5, 4);
        for (int x = first; x < last; ++x) {
            if (x == oneBitSymbol)
                w.put(24 + 16 - 12, 5); // delta 16: length 0 becomes 1
            else
                w.put(0, 4);
        }
    };
    lengths(0, 256, 'z');
    lengths(256, 512, 256); // a match of length 2 at the repeated offset
    lengths(0, 249, -1);    // no length tree
    for (int i = 0; i < rest / 2; ++i)
        w.put(1, 1);
    w.flush();
    return w.bytes;
}

const QByteArray kResetTable = "::DataSpace/Storage/MSCompressed/Transform/"
                               "{7FC28940-9D31-11D0-9B27-00A0C91E9C7C}/InstanceData/ResetTable";

} // namespace

class TestHelp : public QObject {
    Q_OBJECT

private slots:
    void helpFileLookupOrder();
    void contentsTreeAndStartPage();
    void keywords();
    void topicRequestsAndLinks();
    void contextRequests();
    void missingFilesDoNothing();
    void specialFilesRefusedAtOnce();
    void chmlibReadsTheCheckedFile();
    void linkPaths();
    void sitemaps();
    void characterReferences_data();
    void characterReferences();
    void legacyCodePages_data();
    void legacyCodePages();
    void legacyNamesAndLinks();
    void pageNesting();
    void malformedFiles_data();
    void malformedFiles();
    void damagedObjectsStillOpen();
    void mutatedFilesNeverCrash();
    void lzxReplayGuardsTheDecoder();
};

void TestHelp::helpFileLookupOrder()
{
    QTemporaryDir program, data;
    QVERIFY(program.isValid() && data.isValid());
    // Neither exists: the one beside the program, where the requests then find nothing.
    QCOMPARE(HelpSystem::defaultHelpFile(program.path(), data.path()), program.filePath(u"vorlane.chm"_s));
    QVERIFY(QFile::copy(mainChm(), data.filePath(u"vorlane.chm"_s)));
    QCOMPARE(HelpSystem::defaultHelpFile(program.path(), data.path()), data.filePath(u"vorlane.chm"_s));
    QVERIFY(QFile::copy(mainChm(), program.filePath(u"vorlane.chm"_s)));
    QCOMPARE(HelpSystem::defaultHelpFile(program.path(), data.path()), program.filePath(u"vorlane.chm"_s));

    HelpSystem help;
    const QString app = QFileInfo(mainChm()).absoluteFilePath();
    const QString other = QFileInfo(otherChm()).absoluteFilePath();
    help.setApplicationHelpFile(app);
    QCOMPARE(help.findHelpFile(), app);
    help.setManagerHelpFile(other);
    QCOMPARE(help.findHelpFile(), other);
    QCOMPARE(help.findHelpFile(app), app);
    // A named file that does not exist means no help, not the next file in line.
    QCOMPARE(help.findHelpFile(data.filePath(u"absent.chm"_s)), QString());
    help.setManagerHelpFile({});
    help.setApplicationHelpFile(data.filePath(u"absent.chm"_s));
    QCOMPARE(help.findHelpFile(), QString());
}

void TestHelp::contentsTreeAndStartPage()
{
    HelpSystem help;
    help.setApplicationHelpFile(mainChm());
    QVERIFY(help.showContents());
    HelpViewer *viewer = help.viewer();
    QVERIFY(viewer && viewer->isVisible() && viewer->isWindow());
    QCOMPARE(viewer->windowTitle(), u"Vorlane Test Help"_s);
    QCOMPARE(viewer->tabs()->currentIndex(), 0);
    QCOMPARE(viewer->currentPage(), u"/intro.html"_s);
    QVERIFY(viewer->browser()->toPlainText().contains(u"Desktops hold shortcuts"_s));

    QTreeWidget *tree = viewer->contentsTree();
    QCOMPARE(tree->topLevelItemCount(), 1);
    QTreeWidgetItem *intro = tree->topLevelItem(0);
    QCOMPARE(intro->text(0), u"Introduction"_s);
    QCOMPARE(intro->childCount(), 2);
    QCOMPARE(intro->child(0)->text(0), u"Shortcuts & details"_s);
    emit tree->itemActivated(intro->child(1), 0);
    QCOMPARE(viewer->currentPage(), u"/topics/more.html#notes"_s);

    // Pictures come out of the file, relative to the page that names them.
    const QVariant image = viewer->browser()->loadResource(QTextDocument::ImageResource, QUrl(u"../images/logo.png"_s));
    QCOMPARE(image.value<QImage>().size(), QSize(12, 7));
    // Nothing comes from the disk, even where the page's document would
    // look there itself.
    QTemporaryDir disk;
    QImage onDisk(5, 5, QImage::Format_RGB32);
    onDisk.fill(Qt::red);
    QVERIFY(onDisk.save(disk.filePath(u"local.png"_s)));
    const QUrl local = QUrl::fromLocalFile(disk.filePath(u"local.png"_s));
    QVERIFY(viewer->browser()->document()->resource(QTextDocument::ImageResource, local).value<QImage>().isNull());
    QVERIFY(viewer->browser()->loadResource(QTextDocument::ImageResource, QUrl(u"file:///etc/passwd"_s))
                .toByteArray()
                .isEmpty());

    // A second request reuses the window and keeps the page shown.
    QVERIFY(help.showContents());
    QCOMPARE(help.viewer(), viewer);
    QCOMPARE(viewer->currentPage(), u"/topics/more.html#notes"_s);
    help.closeAll();
    QVERIFY(!help.viewer());
    QVERIFY(help.showContents());
    QCOMPARE(help.viewer()->currentPage(), u"/intro.html"_s);
}

void TestHelp::keywords()
{
    HelpSystem help;
    help.setApplicationHelpFile(mainChm());
    QVERIFY(help.showKeyword(u" desktops "_s));
    HelpViewer *viewer = help.viewer();
    QCOMPARE(viewer->tabs()->currentIndex(), 1);
    QCOMPARE(viewer->currentPage(), u"/intro.html"_s);
    QVERIFY(viewer->topicList()->isHidden());

    // Two topics: listed to choose from, titled by their own names.
    QVERIFY(help.showKeyword(u"Shortcuts"_s));
    QListWidget *topics = viewer->topicList();
    QCOMPARE(topics->count(), 2);
    QCOMPARE(topics->item(0)->text(), u"Shortcut details"_s);
    QCOMPARE(topics->item(1)->text(), u"Shortcuts on notes"_s);
    emit topics->itemActivated(topics->item(1));
    QCOMPARE(viewer->currentPage(), u"/topics/more.html"_s);

    // An unknown keyword leaves the index filtered to it and the page as it was.
    QVERIFY(help.showKeyword(u"Zebra"_s));
    QCOMPARE(viewer->indexFilter()->text(), u"Zebra"_s);
    QCOMPARE(topics->count(), 0);
    QCOMPARE(viewer->currentPage(), u"/topics/more.html"_s);
    viewer->indexFilter()->setText(u"not"_s);
    int shown = 0;
    for (int i = 0; i < viewer->indexList()->count(); ++i)
        shown += viewer->indexList()->item(i)->isHidden() ? 0 : 1;
    QCOMPARE(shown, 1);
    QCOMPARE(viewer->indexList()->currentItem()->text(), u"Notes"_s);
}

void TestHelp::topicRequestsAndLinks()
{
    HelpSystem help;
    help.setApplicationHelpFile(otherChm());
    // The file and the page travel as one text, joined by the four-character separator.
    QCOMPARE(QString::fromLatin1(HelpSystem::kTopicSeparator), u" ::/"_s);
    QVERIFY(help.displayTopic(mainChm() + u" ::/topics/details.html"_s));
    HelpViewer *viewer = help.viewer();
    QCOMPARE(viewer->windowTitle(), u"Vorlane Test Help"_s);
    QCOMPARE(viewer->currentPage(), u"/topics/details.html"_s);

    HelpBrowser *browser = viewer->browser();
    emit browser->anchorClicked(QUrl(u"../intro.html"_s));
    QCOMPARE(viewer->currentPage(), u"/intro.html"_s);
    QVERIFY(viewer->backAction()->isEnabled());
    viewer->backAction()->trigger();
    QCOMPARE(viewer->currentPage(), u"/topics/details.html"_s);
    viewer->forwardAction()->trigger();
    QCOMPARE(viewer->currentPage(), u"/intro.html"_s);

    QVERIFY(help.showTopic(u"topics/more.html#notes"_s, mainChm()));
    QCOMPARE(viewer->currentPage(), u"/topics/more.html#notes"_s);
    QVERIFY(help.displayTopic(mainChm() + u"::/intro.html"_s));
    QCOMPARE(viewer->currentPage(), u"/intro.html"_s);
    // A page the file lacks: a note instead, and no page.
    QVERIFY(!help.showTopic(u"nowhere.html"_s, mainChm()));
    QVERIFY(viewer->browser()->toPlainText().contains(u"nowhere.html"_s));
    // Without a file name the topic is looked for in the application's file.
    QVERIFY(help.showTopic(u"elsewhere.html"_s));
    QCOMPARE(viewer->windowTitle(), u"Other Test Help"_s);
    QCOMPARE(viewer->currentPage(), u"/elsewhere.html"_s);
    QVERIFY(!viewer->backAction()->isEnabled()); // another file: a fresh history
}

void TestHelp::contextRequests()
{
    HelpSystem help;
    help.setApplicationHelpFile(mainChm());
    // The aliases were compiled as absolute build paths; only their tails are in the file.
    QVERIFY(help.showContext(1001));
    QCOMPARE(help.viewer()->currentPage(), u"/topics/details.html"_s);
    // The same number in another file that the request names: that file's page.
    QVERIFY(help.showContext(1002, otherChm()));
    QCOMPARE(help.viewer()->windowTitle(), u"Other Test Help"_s);
    QCOMPARE(help.viewer()->currentPage(), u"/elsewhere.html"_s);
    QVERIFY(help.showContext(1002));
    QCOMPARE(help.viewer()->currentPage(), u"/topics/more.html"_s);
    // A number without a mapping changes nothing.
    QVERIFY(!help.showContext(4242));
    QVERIFY(!help.showContext(1001, otherChm()));
    QCOMPARE(help.viewer()->currentPage(), u"/topics/more.html"_s);

    help.closeAll();
    QVERIFY(!help.showContext(4242));
    QVERIFY(!help.viewer());
}

void TestHelp::missingFilesDoNothing()
{
    QTemporaryDir dir;
    HelpSystem help;
    help.setApplicationHelpFile(dir.filePath(u"vorlane.chm"_s));
    QVERIFY(!help.showContents());
    QVERIFY(!help.showKeyword(u"Desktops"_s));
    QVERIFY(!help.showTopic(u"intro.html"_s));
    QVERIFY(!help.showContext(1001));
    QVERIFY(!help.displayTopic(dir.filePath(u"vorlane.chm"_s) + u" ::/intro.html"_s));
    // A folder is not a help file either.
    QVERIFY(!help.showTopic(u"intro.html"_s, dir.path()));
    help.setApplicationHelpFile({});
    QVERIFY(!help.showContents());
    QVERIFY(!help.viewer());
    help.closeAll();
}

// A FIFO named as the help file is refused as a file that cannot be read, at once, instead of
// blocking the window until somebody writes to it.
void TestHelp::specialFilesRefusedAtOnce()
{
    QTemporaryDir dir;
    vl::test::BlockingFifo fifo(dir.filePath(u"vorlane.chm"_s));
    QVERIFY(fifo.made());
    QString why;
    QVERIFY(!ChmFile::open(fifo.path(), &why));
    QVERIFY(!why.isEmpty());
    QVERIFY(!HelpDocument::open(fifo.path()));

    HelpSystem help;
    help.setApplicationHelpFile(fifo.path());
    QVERIFY(!help.showContents());
    QVERIFY2(!fifo.released(), "the help waited for a writer");
}

// chmlib opens the help file again by name after our checks of it: the name it gets must reach
// the file checked, not one put at its path meanwhile (unchecked, or a FIFO).
void TestHelp::chmlibReadsTheCheckedFile()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"vorlane.chm"_s);
    const QString other = dir.filePath(u"other.chm"_s);
    QVERIFY(QFile::copy(mainChm(), path) && QFile::copy(otherChm(), other));
    const std::unique_ptr<QFile> checked = openRegularFile(path);
    QVERIFY(checked);
    QVERIFY(std::rename(QFile::encodeName(other).constData(), QFile::encodeName(path).constData()) == 0);
    QCOMPARE(readAll(nameOfOpenFile(*checked, path)), readAll(mainChm()));
}

void TestHelp::linkPaths()
{
    const std::pair<QString, QString> cases[] = {
        {u"intro.html"_s, u"/intro.html"_s},
        {u"topics/../../../intro.html#top"_s, u"/intro.html"_s},
        {u"./a//b/./c.htm?x=1"_s, u"/a/b/c.htm"_s},
        {u"topics\\more.html"_s, u"/topics/more.html"_s},
        {u"ms-its:vorlane.chm::/topics/more.html"_s, u"/topics/more.html"_s},
        {u"mk:@MSITStore:C:\\help\\x.chm::/a%20b.html"_s, u"/a b.html"_s},
        {u"../"_s, QString()},
        {QString(5000, u'a'), QString()},
    };
    for (const auto &[link, path] : cases)
        QCOMPARE(cleanChmPath(link), path);
    QCOMPARE(resolveChmLink(u"/topics/details.html"_s, u"../images/logo.png"_s), u"/images/logo.png"_s);
    QCOMPARE(resolveChmLink(u"/topics/details.html"_s, u"more.html#notes"_s), u"/topics/more.html"_s);
    QCOMPARE(resolveChmLink(u"/topics/details.html"_s, u"/intro.html"_s), u"/intro.html"_s);

    const auto chm = ChmFile::open(mainChm());
    QVERIFY(chm);
    QCOMPARE(chm->findByTail(u"/home/builder/help/topics/details.html"_s), u"/topics/details.html"_s);
    QCOMPARE(chm->findByTail(u"C:\\Help\\Project\\TOPICS\\more.html"_s), u"/TOPICS/more.html"_s);
    QCOMPARE(chm->findByTail(u"/build/images/logo.png/"_s), u"/images/logo.png"_s);
    QCOMPARE(chm->findByTail(u"/build/topics/absent.html"_s), QString());
    QCOMPARE(chm->findByTail(u"IDH_DETAILS"_s), QString());
}

void TestHelp::sitemaps()
{
    const QString hhk = uR"(<HTML><BODY><!-- <UL><OBJECT type="text/sitemap"><param name="Name" value="hidden"></OBJECT> -->
        <UL>
          <LI><OBJECT type="text/sitemap"><param name="Name" value="Fish &amp; chips"><param name="Local" value="a.html"></OBJECT>
          <UL>
            <LI><OBJECT type='text/sitemap'><PARAM NAME=Name VALUE=Cod><param name="Local" value="b.html">
            <LI><OBJECT type="text/sitemap"><param name="Name" value="Two">
                <param name="Name" value="First title"><param name="Local" value="c.html">
                <param name="Local" value="d.html"></OBJECT>
          </UL></UL></UL>
          <LI><OBJECT type="text/sitemap"><param name="Name" value="Loop A"><param name="See Also" value="Loop B"></OBJECT>
          <LI><OBJECT type="text/sitemap"><param name="Name" value="Loop B"><param name="See Also" value="loop a"></OBJECT>
          <LI><OBJECT type="text/sitemap"><param name="Name" value="Via"><param name="See Also" value="Cod"></OBJECT>
          <LI><OBJECT type="text/site properties"><param name="Name" value="not an entry"></OBJECT>
          <LI><OBJECT type="text/sitemap"><param name="Name" value="Unclosed" )"_s;
    const auto items = parseSitemap(hhk);
    QCOMPARE(items.size(), std::size_t(6));
    QCOMPARE(items[0].name, u"Fish & chips"_s);
    QCOMPARE(items[0].depth, 0);
    // An object left open ends at the next one.
    QCOMPARE(items[1].name, u"Cod"_s);
    QCOMPARE(items[1].depth, 1);
    QCOMPARE(items[2].topics.size(), std::size_t(2));
    QCOMPARE(items[2].topics[0].title, u"First title"_s);
    QCOMPARE(items[2].topics[1].local, u"d.html"_s);
    // More closing than opening lists: back at the top, not below it.
    QCOMPARE(items[3].depth, 0);

    QCOMPARE(topicsForKeyword(items, u"Two"_s).size(), std::size_t(2));
    QCOMPARE(topicsForKeyword(items, u"Two"_s)[1].title, u"Two"_s);
    const auto via = topicsForKeyword(items, u"via"_s);
    QCOMPARE(via.size(), std::size_t(1));
    QCOMPARE(via[0].local, u"b.html"_s);
    QVERIFY(topicsForKeyword(items, u"Loop A"_s).empty()); // a ring of references ends

    // Nesting far beyond any real file stays at the depth kept.
    QString deep;
    for (int i = 0; i < 200000; ++i)
        deep += u"<UL>"_s;
    deep += u"<LI><OBJECT type=\"text/sitemap\"><param name=\"Name\" value=\"Deep\"></OBJECT>"_s;
    const auto deepItems = parseSitemap(deep);
    QCOMPARE(deepItems.size(), std::size_t(1));
    QCOMPARE(deepItems[0].depth, kMaxSitemapDepth);
    QVERIFY(parseSitemap(u"<OBJECT type=\"text/sitemap\"><param name=\"Name\" value=\"x"_s).empty());
}

void TestHelp::characterReferences_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("text");
    QTest::newRow("HTML 4 names") << u"&eacute;t&eacute; &Omega;&hellip; &copy;&nbsp;&euro; &apos;&rArr;"_s
                                  << u"été Ω… ©\u00a0€ '⇒"_s;
    QTest::newRow("numbers") << u"&#x4E2D;&#25991;&#X1F600;&#0065;"_s << u"中文😀A"_s;
    QTest::newRow("128 to 159 as windows-1252") << u"&#150;&#x93;q&#148;&#129;"_s << u"–“q”\u0081"_s;
    QTest::newRow("impossible numbers") << u"&#0;&#xD800;&#x110000;&#99999999999999;"_s << u"\ufffd\ufffd\ufffd\ufffd"_s;
    QTest::newRow("left as written") << u"Q&A &bogus; &amp &#x; &#12a; & ;"_s << u"Q&A &bogus; &amp &#x; &#12a; & ;"_s;
}

// Contents and index entries are named and aimed with any character reference.
void TestHelp::characterReferences()
{
    QFETCH(QString, value);
    QFETCH(QString, text);
    const QString hhc = u"<OBJECT type=\"text/sitemap\"><param name=\"Name\" value=\"%1\">"
                        "<param name=\"Local\" value=\"%1.html\"></OBJECT>"_s.arg(value);
    const auto items = parseSitemap(hhc);
    QCOMPARE(items.size(), std::size_t(1));
    QCOMPARE(items[0].name, text);
    QCOMPARE(items[0].topics.at(0).local, text + u".html"_s);
}

void TestHelp::legacyCodePages_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QStringList>("contents"); // the first names
    QTest::addColumn<QString>("page");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QStringList>("hidden"); // text of its scripts

    QTest::newRow("compiled here: GBK without a charset, names stored both ways")
        << kFixtures + u"/legacy.chm"_s << u"旧代码页帮助"_s
        << QStringList{u"主界面"_s, u"帮助"_s, u"R&D <实验> été 中文… – ©"_s} << u"帮助.htm"_s << u"帮助正文"_s
        << QStringList{u"脚本"_s, u"document.write"_s};
    QTest::newRow("CHM Editor: GBK contents, pages in gb2312")
        << kFixtures + u"/real/supertexttoolbox-gbk.chm"_s << u"New Documentation"_s
        << QStringList{u"万能文字工具箱帮助"_s, u"欢迎页"_s, u"翻译功能"_s} << u"page_1.html"_s << u"欢迎使用"_s
        << QStringList{};
    QTest::newRow("Dr.Explain: windows-1251, pages full of scripts")
        << kFixtures + u"/real/filmcollection-cp1251.chm"_s << u"Руководство"_s
        << QStringList{u"О программе"_s, u"Ключевые возможности"_s, u"Рекомендации"_s} << u"about.htm"_s
        << u"специализированная программа для учета"_s
        << QStringList{u"is_touch_device"_s, u"CDATA"_s, u"oembed"_s};
}

// Help files compiled for a language with a legacy code page: their texts read in it, every
// contents and index entry leads to its page (names in it included), and no script shows.
void TestHelp::legacyCodePages()
{
    QFETCH(QString, file);
    QFETCH(QString, title);
    QFETCH(QStringList, contents);
    QFETCH(QString, page);
    QFETCH(QString, shown);
    QFETCH(QStringList, hidden);

    std::shared_ptr<const HelpDocument> doc = HelpDocument::open(file);
    QVERIFY(doc);
    QCOMPARE(doc->title(), title);
    QCOMPARE(contentsNames(*doc, contents.size()), contents);
    QVERIFY(!doc->startPage().isEmpty());

    HelpViewer viewer;
    viewer.setHelpDocument(doc);
    for (const auto *list : {&doc->contents(), &doc->index()}) {
        for (const SitemapItem &item : *list) {
            for (const HelpTopicRef &topic : item.topics) {
                QVERIFY2(viewer.showPage(topic.local), qPrintable(item.name + u" -> "_s + topic.local));
                QVERIFY2(!viewer.browser()->toPlainText().contains(u"This help file has no page"_s),
                         qPrintable(topic.local));
            }
        }
    }
    QVERIFY(viewer.showPage(page));
    const QString text = viewer.browser()->toPlainText();
    QVERIFY2(text.contains(shown), qPrintable(text.left(2000)));
    for (const QString &script : hidden)
        QVERIFY2(!text.contains(script), qPrintable(script + u" in: "_s + text.left(2000)));
}

// The default topic, a link and the index of the compiled legacy file reach its pages, whether
// the compiler stored their names as UTF-8 or as the project's GBK bytes.
void TestHelp::legacyNamesAndLinks()
{
    HelpSystem help;
    help.setApplicationHelpFile(kFixtures + u"/legacy.chm"_s);
    QVERIFY(help.showContents());
    HelpViewer *viewer = help.viewer();
    QCOMPARE(viewer->windowTitle(), u"旧代码页帮助"_s);
    QCOMPARE(viewer->currentPage(), u"/主界面.htm"_s);
    QVERIFY(viewer->browser()->toPlainText().contains(u"欢迎使用旧代码页帮助"_s));
    emit viewer->browser()->anchorClicked(QUrl(u"帮助.htm"_s));
    QCOMPARE(viewer->currentPage(), u"/帮助.htm"_s);
    QVERIFY(viewer->browser()->toPlainText().contains(u"帮助正文"_s));
    QVERIFY(help.showKeyword(u"欢迎"_s));
    QCOMPARE(viewer->currentPage(), u"/主界面.htm"_s);
    QVERIFY(help.showKeyword(u"À propos"_s));
    QCOMPARE(viewer->currentPage(), u"/帮助.htm"_s);
    QVERIFY(viewer->browser()->toPlainText().contains(u"帮助正文"_s));
}

void TestHelp::pageNesting()
{
    // Real pages pass unchanged, sloppy ones too.
    const auto doc = HelpDocument::open(mainChm());
    QVERIFY(doc);
    for (const QString &page : {u"/intro.html"_s, u"/topics/details.html"_s}) {
        const QString html = decodeHelpText(doc->read(page).value_or(QByteArray()));
        QVERIFY(!html.isEmpty());
        QCOMPARE(boundHtmlNesting(html), html);
    }
    const QString sloppy = u"<p>a<p>b<ul><li>c<li><b><i>d</b></i></ul><br><img src=x.png/>"_s;
    QCOMPARE(boundHtmlNesting(sloppy), sloppy);

    QString tables, divs;
    for (int i = 0; i < 2000; ++i)
        tables += u"<table><tr><td>"_s;
    for (int i = 0; i < 20000; ++i)
        divs += u"<div class='a>b'>"_s;
    tables += u"deep"_s;
    divs += u"deep"_s + QString(u"</div>"_s).repeated(20000) + u"after"_s;
    const QString boundTables = boundHtmlNesting(tables);
    QCOMPARE(boundTables.count(u"<table>"_s), kMaxTableNesting);
    const QString boundDivs = boundHtmlNesting(divs);
    QCOMPARE(boundDivs.count(u"<div"_s), qsizetype(kMaxHtmlNesting));
    QCOMPARE(boundDivs.count(u"</div>"_s), qsizetype(kMaxHtmlNesting));
    QVERIFY(boundDivs.endsWith(u"deep"_s + QString(u"</div>"_s).repeated(kMaxHtmlNesting) + u"after"_s));

    // Laid out, the bounded pages take moments; the raw ones would take ages or overflow the
    // stack.
    for (const QString &html : {boundTables, boundDivs}) {
        QTextDocument page;
        page.setHtml(html);
        page.setTextWidth(500);
        QVERIFY(page.size().height() > 0);
        QVERIFY(page.toPlainText().contains(u"deep"_s));
    }
}

void TestHelp::malformedFiles_data()
{
    QTest::addColumn<QByteArray>("bytes");
    const QByteArray good = readAll(mainChm());
    QVERIFY(good.size() > 8000);
    const Layout l = layoutOf(good);

    QTest::newRow("empty") << QByteArray();
    QByteArray noise(65536, Qt::Uninitialized);
    QRandomGenerator random(1234);
    for (char &c : noise)
        c = char(random.bounded(256));
    QTest::newRow("random bytes") << noise;
    QTest::newRow("signature only") << QByteArray("ITSF\3\0\0\0");
    QTest::newRow("cut in the directory") << good.left(l.block + 100);
    QTest::newRow("cut in the compressed data") << good.left(good.size() - 200);

    QByteArray bytes = good;
    put64(bytes, 0x50, quint64(1) << 62);
    QTest::newRow("huge directory") << bytes;
    bytes = good;
    put32(bytes, l.itsp + 0x10, 0);
    QTest::newRow("zero block size") << bytes;
    bytes = good;
    put32(bytes, l.itsp + 0x20, 7);
    QTest::newRow("head beyond the directory") << bytes;

    // A listing block whose successor is itself: chmlib would list it for ever.
    bytes = good;
    put32(bytes, l.block + 0x10, 0);
    QTest::newRow("listing loop") << bytes;
    // An index block that leads to itself: every chmlib look-up would circle for ever.
    bytes = good;
    const QByteArray index = QByteArray("PMGI") + QByteArray(4, '\0') + QByteArray("\x01/\x00", 3);
    bytes.replace(l.block, index.size(), index);
    put32(bytes, l.block + 4, quint32(le32(bytes, l.itsp + 0x10) - index.size()));
    put32(bytes, l.itsp + 0x1c, 0);
    QTest::newRow("index loop") << bytes;

    const Entry control = entryOf(good, "::DataSpace/Storage/MSCompressed/ControlData");
    QVERIFY(control.lengthAt > 0);
    bytes = good;
    put32(bytes, qsizetype(l.dataOffset + control.start) + 16, 0); // chmlib would divide by zero
    QTest::newRow("zero LZX window") << bytes;
    bytes = good;
    put32(bytes, qsizetype(l.dataOffset + control.start) + 16, 3);
    QTest::newRow("odd LZX window") << bytes;
    const Entry reset = entryOf(good, kResetTable);
    QVERIFY(reset.lengthAt > 0);
    bytes = good;
    put64(bytes, qsizetype(l.dataOffset + reset.start) + 24, quint64(1) << 40); // compressed length
    QTest::newRow("huge compressed length") << bytes;
    bytes = good;
    put64(bytes, qsizetype(l.dataOffset + reset.start) + 0x28 + 8, 1 << 20); // a block's start
    QTest::newRow("block beyond its buffer") << bytes;
}

void TestHelp::malformedFiles()
{
    QFETCH(QByteArray, bytes);
    QTemporaryDir dir;
    const QString path = dir.filePath(u"broken.chm"_s);
    QVERIFY(writeAll(path, bytes));
    QString why;
    QVERIFY(!ChmFile::open(path, &why));
    QVERIFY(!why.isEmpty());

    // Through the help system: a note in the viewer, no page.
    HelpSystem help;
    help.setApplicationHelpFile(path);
    QVERIFY(!help.showContents());
    QVERIFY(help.viewer());
    QVERIFY(help.viewer()->browser()->toPlainText().contains(u"cannot be read"_s));
    QVERIFY(!help.showKeyword(u"Desktops"_s));
    QVERIFY(!help.showContext(1001));
    QVERIFY(!help.showTopic(u"intro.html"_s));
}

void TestHelp::damagedObjectsStillOpen()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"damaged.chm"_s);
    const QByteArray good = readAll(mainChm());

    // The system table claims more bytes than the file has; the page claims more than the
    // compressed stream holds. Both are refused alone; the rest of the file still shows.
    QByteArray bytes = good;
    setHugeLength(bytes, entryOf(good, "/#SYSTEM"));
    setHugeLength(bytes, entryOf(good, "/topics/details.html"));
    QVERIFY(writeAll(path, bytes));
    {
        const auto doc = HelpDocument::open(path);
        QVERIFY(doc);
        QVERIFY(!doc->read(u"/#SYSTEM"_s));
        QVERIFY(!doc->read(u"/topics/details.html"_s));
        QVERIFY(doc->read(u"/intro.html"_s));
        QCOMPARE(doc->title(), QString());
        QCOMPARE(doc->contents().size(), std::size_t(3)); // found by its suffix
        HelpSystem help;
        help.setApplicationHelpFile(path);
        QVERIFY(help.showContents());
        QCOMPARE(help.viewer()->windowTitle(), QString::fromLatin1(HelpViewer::kDefaultTitle));
        QVERIFY(help.showContext(1001)); // mapped, but the page cannot be read
        QVERIFY(help.viewer()->browser()->toPlainText().contains(u"no page"_s));
    }

    // No contents file: an empty tree, the default topic still shown.
    bytes = good;
    const qsizetype hhc = bytes.indexOf("/contents.hhc", layoutOf(bytes).block);
    QVERIFY(hhc > 0);
    bytes[hhc + 12] = 'x';
    QVERIFY(writeAll(path, bytes));
    HelpSystem help;
    help.setApplicationHelpFile(path);
    QVERIFY(help.showContents());
    QCOMPARE(help.viewer()->contentsTree()->topLevelItemCount(), 0);
    QCOMPARE(help.viewer()->currentPage(), u"/intro.html"_s);
    QVERIFY(help.showKeyword(u"Notes"_s));
    QCOMPARE(help.viewer()->currentPage(), u"/topics/more.html#notes"_s);
}

void TestHelp::mutatedFilesNeverCrash()
{
    // Seeded, so a failure repeats. Each variant overwrites a few bytes anywhere, most in the
    // headers and directory where a single byte changes the most.
    const QByteArray good = readAll(mainChm());
    const qsizetype hot = layoutOf(good).block + 0x1000;
    QTemporaryDir dir;
    const QString path = dir.filePath(u"mutant.chm"_s);
    QRandomGenerator random(20240601);
    int opened = 0;
    for (int round = 0; round < 400; ++round) {
        QByteArray bytes = good;
        const int changes = 1 + int(random.bounded(6));
        for (int i = 0; i < changes; ++i) {
            const qsizetype at = random.bounded(4) == 0 ? qsizetype(random.bounded(int(bytes.size())))
                                                        : qsizetype(random.bounded(int(hot)));
            const quint32 kind = random.bounded(3);
            bytes[at] = kind == 0 ? char(random.bounded(256)) : kind == 1 ? char(0xff) : char(bytes[at] ^ 0x01);
        }
        QVERIFY(writeAll(path, bytes));
        const auto doc = HelpDocument::open(path);
        if (!doc)
            continue;
        ++opened;
        for (const ChmEntry &e : doc->archive().entries())
            (void)doc->read(QString::fromUtf8(e.path), 1 << 20);
        for (const SitemapItem &item : doc->contents()) {
            for (const HelpTopicRef &t : item.topics)
                (void)doc->locate(t.local);
        }
        (void)doc->pageForContext(1001);
        (void)doc->topicsForKeyword(u"Shortcuts"_s);
    }
    QVERIFY2(opened > 40, qPrintable(u"only %1 variants opened"_s.arg(opened)));
}

void TestHelp::lzxReplayGuardsTheDecoder()
{
    constexpr int kReadable = LzxReplay::kFrameBytes + 6144; // chmlib's input buffer
    const QByteArray good = repeatedOffsetFrame(1);
    QByteArray buffer(kReadable, '\0');
    buffer.replace(0, good.size(), good);
    const auto *in = reinterpret_cast<const unsigned char *>(buffer.constData());
    LzxReplay replay(16);
    QVERIFY(replay.frame(in, int(good.size()), kReadable));

    // What the replay passes, chmlib decodes: 16 bytes as stored, then the last one repeated.
    LZXstate *state = LZXinit(16);
    QVERIFY(state);
    LZXreset(state);
    QByteArray out(LzxReplay::kFrameBytes, '\0');
    QCOMPARE(LZXdecompress(state, reinterpret_cast<unsigned char *>(buffer.data()),
                           reinterpret_cast<unsigned char *>(out.data()), int(good.size()), LzxReplay::kFrameBytes),
             DECR_OK);
    LZXteardown(state);
    QCOMPARE(out.left(16), QByteArray("abcdefghijklmnop"));
    QCOMPARE(out.count('p'), qsizetype(LzxReplay::kFrameBytes - 15));

    // The same frame with a repeated offset a gigabyte back: chmlib would copy from there.
    const QByteArray hostile = repeatedOffsetFrame(0x40000000);
    LzxReplay fresh(16);
    QVERIFY(!fresh.frame(reinterpret_cast<const unsigned char *>(hostile.constData()), int(hostile.size()), kReadable));
    // Cut short: the last matches would come from whatever follows in chmlib's buffer.
    LzxReplay cut(16);
    QVERIFY(!cut.frame(in, int(good.size()) - 64, kReadable));
    // A block may go on into the next frame, whose bits mean nothing without the trees and
    // offsets of the frames before it.
    const QByteArray first = repeatedOffsetFrame(1, 64);
    BitWriter w;
    for (int i = 0; i < 32; ++i)
        w.put(1, 1); // 32 more matches
    w.put(3, 3);     // then an uncompressed block for the rest
    w.put(quint32(LzxReplay::kFrameBytes - 64) >> 8, 16);
    w.put(quint32(LzxReplay::kFrameBytes - 64) & 0xff, 8);
    w.flush();
    w.bytes.append(QByteArray(12, '\0')); // R0..R2
    w.bytes.append(QByteArray(LzxReplay::kFrameBytes - 64, 'q'));
    LzxReplay again(16);
    QVERIFY(again.frame(reinterpret_cast<const unsigned char *>(first.constData()), int(first.size()), kReadable));
    QVERIFY(again.frame(reinterpret_cast<const unsigned char *>(w.bytes.constData()), int(w.bytes.size()), kReadable));
    LzxReplay alone(16);
    QVERIFY(!alone.frame(reinterpret_cast<const unsigned char *>(w.bytes.constData()), int(w.bytes.size()), kReadable));
    again.reset();
    QVERIFY(!again.frame(reinterpret_cast<const unsigned char *>(w.bytes.constData()), int(w.bytes.size()), kReadable));
}

QTEST_MAIN(TestHelp)
#include "tst_help.moc"
