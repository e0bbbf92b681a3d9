#include "help/HelpViewer.h"

#include "common/PictureLoader.h"

#include <QAbstractTextDocumentLayout>
#include <QAction>
#include <QBuffer>
#include <QDesktopServices>
#include <QImage>
#include <QImageReader>
#include <QLineEdit>
#include <QListWidget>
#include <QResizeEvent>
#include <QScrollBar>
#include <QSplitter>
#include <QStyle>
#include <QTabWidget>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextFrame>
#include <QToolBar>
#include <QTreeWidget>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace vl {

namespace {

const QString kScheme = u"chm"_s;
// The size a picture has on its page (its own, or the one the page gives it).
constexpr int kNaturalWidth = QTextFormat::UserProperty + 1;
constexpr int kNaturalHeight = QTextFormat::UserProperty + 2;
constexpr int kLocalRole = Qt::UserRole;
constexpr int kItemRole = Qt::UserRole + 1;

QString notFoundPage(const QString &page)
{
    return u"<html><body><p>This help file has no page %1.</p></body></html>"_s.arg(page.toHtmlEscaped());
}

// A picture within the size limit, or a null image; the header is read before any pixels.
// A picture inside a help file is held to the limits of every picture the
// window shows, and to a side that fits a help page.
QImage decodeImage(const QByteArray &bytes)
{
    QBuffer buffer;
    buffer.setData(bytes);
    if (!buffer.open(QIODevice::ReadOnly))
        return {};
    const QSize size = QImageReader(&buffer).size();
    if (size.isValid() && (size.width() > HelpBrowser::kMaxImageSide || size.height() > HelpBrowser::kMaxImageSide))
        return {};
    return loadPictureData(bytes, QString());
}

} // namespace

HelpBrowser::HelpBrowser(QWidget *parent) : QTextBrowser(parent)
{
    setOpenLinks(false);
    setOpenExternalLinks(false);
    connect(this, &QTextBrowser::anchorClicked, this, &HelpBrowser::followLink);
}

void HelpBrowser::setHelpDocument(std::shared_ptr<const HelpDocument> doc)
{
    m_doc = std::move(doc);
    clear();
    m_freshDocument = true;
}

QUrl HelpBrowser::urlFor(const QString &page)
{
    QUrl url;
    url.setScheme(kScheme);
    url.setHost(QString());
    const qsizetype hash = page.indexOf(u'#');
    url.setPath(hash >= 0 ? page.left(hash) : page);
    if (hash >= 0)
        url.setFragment(page.mid(hash + 1));
    return url;
}

QString HelpBrowser::currentPage() const
{
    const QUrl url = source();
    if (!m_doc || m_showingNote || url.scheme() != kScheme)
        return {};
    const QString path = url.path();
    return url.hasFragment() ? path + u'#' + url.fragment() : path;
}

void HelpBrowser::showNote(const QString &text)
{
    m_showingNote = true;
    setHtml(u"<html><body><p>%1</p></body></html>"_s.arg(text.toHtmlEscaped()));
}

void HelpBrowser::doSetSource(const QUrl &name, QTextDocument::ResourceType type)
{
    m_budget = kPageBudgetBytes;
    m_showingNote = false;
    QTextBrowser::doSetSource(name, type);
    // Old URLs name pages of the previous file. clearHistory() keeps the entry on top, so it
    // runs once the new file's first page is that entry.
    if (m_freshDocument) {
        m_freshDocument = false;
        clearHistory();
    }
    fitPictures();
}

void HelpBrowser::resizeEvent(QResizeEvent *event)
{
    QTextBrowser::resizeEvent(event);
    fitPictures();
}

void HelpBrowser::fitPictures()
{
    // A vertical scroll bar not shown yet comes off the pane too: the page may need one once laid
    // out, and fitted with it in mind a picture never makes the page wider than the pane.
    const int bar = verticalScrollBar()->isVisible()
        ? 0
        : style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, verticalScrollBar());
    const qreal pane = viewport()->width() - bar;
    const QTextFrameFormat page = document()->rootFrame()->frameFormat();
    const qreal room = pane - page.leftMargin() - page.rightMargin() - 2 * (page.padding() + page.border());
    if (!fitPicturesTo(room))
        return;
    // The margins of the paragraphs around a picture (a style sheet's among them) are known only
    // to the layout: what still sticks out comes off the pictures once more.
    const qreal over = picturesRightEdge() - pane;
    if (over > 0.5)
        fitPicturesTo(room - over);
}

qreal HelpBrowser::picturesRightEdge() const
{
    QTextDocument *doc = document();
    doc->documentLayout()->documentSize(); // lays the page out
    qreal right = 0;
    for (QTextBlock block = doc->begin(); block.isValid(); block = block.next()) {
        bool picture = false;
        for (QTextBlock::iterator it = block.begin(); !it.atEnd() && !picture; ++it)
            picture = it.fragment().charFormat().isImageFormat();
        const QTextLayout *layout = block.layout();
        if (!picture || !layout)
            continue;
        for (int i = 0; i < layout->lineCount(); ++i) {
            const QTextLine line = layout->lineAt(i);
            right = std::max(right, layout->position().x() + line.x() + line.naturalTextWidth());
        }
    }
    return right;
}

bool HelpBrowser::fitPicturesTo(qreal room)
{
    room = std::max<qreal>(16, room);
    QTextDocument *doc = document();
    struct Change {
        int position, length;
        QTextImageFormat format;
    };
    std::vector<Change> changes;
    bool any = false;
    for (QTextBlock block = doc->begin(); block.isValid(); block = block.next()) {
        for (QTextBlock::iterator it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            if (!fragment.isValid() || !fragment.charFormat().isImageFormat())
                continue;
            QTextImageFormat image = fragment.charFormat().toImageFormat();
            if (!image.hasProperty(kNaturalWidth)) {
                const QImage picture =
                    doc->resource(QTextDocument::ImageResource, QUrl(image.name())).value<QImage>();
                QSizeF natural = picture.deviceIndependentSize();
                if (image.width() > 0 && image.height() > 0)
                    natural = QSizeF(image.width(), image.height());
                else if (image.width() > 0 && natural.width() > 0)
                    natural = QSizeF(image.width(), natural.height() * image.width() / natural.width());
                else if (image.height() > 0 && natural.height() > 0)
                    natural = QSizeF(natural.width() * image.height() / natural.height(), image.height());
                if (natural.isEmpty())
                    continue;
                image.setProperty(kNaturalWidth, natural.width());
                image.setProperty(kNaturalHeight, natural.height());
            }
            any = true;
            const QSizeF natural(image.doubleProperty(kNaturalWidth), image.doubleProperty(kNaturalHeight));
            const QSizeF shown =
                natural.width() > room ? QSizeF(room, natural.height() * room / natural.width()) : natural;
            if (image.hasProperty(QTextFormat::ImageWidth) && qFuzzyCompare(image.width(), shown.width())
                && qFuzzyCompare(image.height(), shown.height()))
                continue;
            image.setWidth(shown.width());
            image.setHeight(shown.height());
            changes.push_back({fragment.position(), fragment.length(), image});
        }
    }
    // Applied after the walk: a new format may merge or split the fragments walked.
    QTextCursor cursor(doc);
    for (const Change &c : changes) {
        cursor.setPosition(c.position);
        cursor.setPosition(c.position + c.length, QTextCursor::KeepAnchor);
        cursor.setCharFormat(c.format);
    }
    return any;
}

QVariant HelpBrowser::loadResource(int type, const QUrl &name)
{
    const QUrl url = name.isRelative() ? source().resolved(name) : name;
    // An empty answer would make QTextBrowser look on the disk itself: a
    // help file's pages show what the file holds and nothing else.
    if (!m_doc || url.scheme() != kScheme)
        return QVariant(QByteArray());
    const QString path = cleanChmPath(url.path(QUrl::FullyEncoded));
    const qint64 limit = type == QTextDocument::HtmlResource ? kMaxPageBytes : kMaxResourceBytes;
    const auto data = path.isEmpty() ? std::nullopt : m_doc->read(path, qMin(limit, m_budget));
    if (!data) {
        if (type == QTextDocument::HtmlResource)
            return notFoundPage(path.isEmpty() ? url.path() : path);
        return QVariant(QByteArray());
    }
    m_budget -= data->size();
    switch (type) {
    case QTextDocument::HtmlResource:
        return boundHtmlNesting(removeScripts(decodeHelpText(*data, m_doc->codePage())));
    case QTextDocument::StyleSheetResource:
        return decodeHelpText(*data, m_doc->codePage());
    case QTextDocument::ImageResource: {
        const QImage image = decodeImage(*data);
        return image.isNull() ? QVariant() : QVariant(image);
    }
    default:
        return *data;
    }
}

void HelpBrowser::followLink(const QUrl &link)
{
    const QUrl url = link.isRelative() ? source().resolved(link) : link;
    const QString scheme = url.scheme().toLower();
    if (scheme == kScheme) {
        setSource(url);
        return;
    }
    // "ms-its:file.chm::/page.html" and "mk:@MSITStore:file.chm::/page.html": taken as pages of
    // this file, which is where a help file's own such links point.
    const QString text = link.toString();
    const qsizetype store = text.indexOf(u"::/"_s);
    if (store >= 0 && m_doc) {
        const QString page = m_doc->locate(text.mid(store));
        setSource(urlFor(page.isEmpty() ? cleanChmPath(text.mid(store)) : page));
        return;
    }
    if (scheme == u"http"_s || scheme == u"https"_s || scheme == u"ftp"_s || scheme == u"mailto"_s)
        QDesktopServices::openUrl(url);
}

HelpViewer::HelpViewer(QWidget *parent) : QWidget(parent, Qt::Window)
{
    setWindowTitle(QString::fromLatin1(kDefaultTitle));
    resize(900, 600);

    m_browser = new HelpBrowser;
    m_tabs = new QTabWidget;

    m_contents = new QTreeWidget;
    m_contents->setHeaderHidden(true);
    m_contents->setColumnCount(1);
    m_tabs->addTab(m_contents, tr("Contents"));

    auto *indexPane = new QWidget;
    auto *indexLayout = new QVBoxLayout(indexPane);
    indexLayout->setContentsMargins(0, 0, 0, 0);
    m_filter = new QLineEdit;
    m_filter->setClearButtonEnabled(true);
    m_filter->setPlaceholderText(tr("Type in the keyword to find"));
    m_index = new QListWidget;
    m_topics = new QListWidget;
    m_topics->setVisible(false);
    indexLayout->addWidget(m_filter);
    indexLayout->addWidget(m_index, 3);
    indexLayout->addWidget(m_topics, 1);
    m_tabs->addTab(indexPane, tr("Index"));

    auto *toolBar = new QToolBar;
    m_back = toolBar->addAction(QIcon::fromTheme(u"go-previous"_s), tr("Back"), m_browser, &QTextBrowser::backward);
    m_forward = toolBar->addAction(QIcon::fromTheme(u"go-next"_s), tr("Forward"), m_browser, &QTextBrowser::forward);
    m_home = toolBar->addAction(QIcon::fromTheme(u"go-home"_s), tr("Home"), this, [this] {
        if (m_doc && !m_doc->startPage().isEmpty())
            showPage(m_doc->startPage());
    });
    m_back->setShortcut(QKeySequence::Back);
    m_forward->setShortcut(QKeySequence::Forward);
    m_back->setEnabled(false);
    m_forward->setEnabled(false);
    connect(m_browser, &QTextBrowser::backwardAvailable, m_back, &QAction::setEnabled);
    connect(m_browser, &QTextBrowser::forwardAvailable, m_forward, &QAction::setEnabled);

    auto *splitter = new QSplitter;
    splitter->addWidget(m_tabs);
    splitter->addWidget(m_browser);
    splitter->setStretchFactor(1, 3);
    splitter->setSizes({250, 650});

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(toolBar);
    layout->addWidget(splitter);

    connect(m_contents, &QTreeWidget::itemActivated, this, [this](QTreeWidgetItem *item) {
        const QString local = item->data(0, kLocalRole).toString();
        if (!local.isEmpty())
            showPage(local);
    });
    connect(m_contents, &QTreeWidget::itemClicked, m_contents, &QTreeWidget::itemActivated);
    connect(m_filter, &QLineEdit::textChanged, this, &HelpViewer::filterIndex);
    connect(m_filter, &QLineEdit::returnPressed, this, [this] { indexActivated(m_index->currentItem()); });
    connect(m_index, &QListWidget::itemActivated, this, &HelpViewer::indexActivated);
    connect(m_topics, &QListWidget::itemActivated, this, [this](QListWidgetItem *item) {
        if (item)
            showPage(item->data(kLocalRole).toString());
    });
}

HelpViewer::~HelpViewer() = default;

void HelpViewer::setHelpDocument(std::shared_ptr<const HelpDocument> doc)
{
    if (doc == m_doc)
        return;
    m_doc = std::move(doc);
    m_browser->setHelpDocument(m_doc);
    const QString title = m_doc ? m_doc->title() : QString();
    setWindowTitle(title.isEmpty() ? QString::fromLatin1(kDefaultTitle) : title);
    rebuild();
}

void HelpViewer::rebuild()
{
    m_contents->clear();
    m_index->clear();
    m_topics->clear();
    m_topics->setVisible(false);
    m_filter->clear();
    if (!m_doc)
        return;

    // The flat list carries each entry's depth; an entry may go at most one level below the
    // one before it, so a jump from 0 to 5 nests it only once.
    std::vector<QTreeWidgetItem *> parents;
    for (const SitemapItem &entry : m_doc->contents()) {
        const std::size_t depth = qMin(std::size_t(qMax(entry.depth, 0)), parents.size());
        parents.resize(depth);
        auto *item = depth == 0 ? new QTreeWidgetItem(m_contents) : new QTreeWidgetItem(parents.back());
        item->setText(0, entry.name);
        if (!entry.topics.empty())
            item->setData(0, kLocalRole, entry.topics.front().local);
        parents.push_back(item);
    }
    for (int i = 0; i < m_contents->topLevelItemCount(); ++i)
        m_contents->topLevelItem(i)->setExpanded(true);

    const auto &index = m_doc->index();
    for (std::size_t i = 0; i < index.size(); ++i) {
        auto *item = new QListWidgetItem(QString(qMin(index[i].depth, 8) * 4, u' ') + index[i].name, m_index);
        item->setData(kItemRole, qulonglong(i));
    }
}

bool HelpViewer::showPage(const QString &local)
{
    const QString page = m_doc ? m_doc->locate(local) : QString();
    if (!page.isEmpty()) {
        m_browser->setSource(HelpBrowser::urlFor(page));
        return true;
    }
    // Still visited, like any page, so that Back leads away from the note it shows.
    const QString missing = m_doc ? cleanChmPath(local) : QString();
    if (missing.isEmpty())
        showNote(tr("This help file has no page %1.").arg(local));
    else
        m_browser->setSource(HelpBrowser::urlFor(missing));
    return false;
}

void HelpViewer::showStartPage()
{
    if (!m_doc || !m_browser->currentPage().isEmpty())
        return;
    if (m_doc->startPage().isEmpty())
        showNote(tr("This help file has no pages."));
    else
        showPage(m_doc->startPage());
}

void HelpViewer::showNote(const QString &text)
{
    m_browser->showNote(text);
}

QString HelpViewer::currentPage() const
{
    return m_browser->currentPage();
}

void HelpViewer::showContentsTab()
{
    m_tabs->setCurrentIndex(0);
}

void HelpViewer::showIndex(const QString &keyword, const std::vector<HelpTopicRef> &topics)
{
    m_tabs->setCurrentIndex(1);
    m_filter->setText(keyword);
    listTopics(topics);
}

void HelpViewer::filterIndex(const QString &text)
{
    const QString wanted = text.trimmed();
    QListWidgetItem *first = nullptr;
    for (int i = 0; i < m_index->count(); ++i) {
        QListWidgetItem *item = m_index->item(i);
        const QString name = item->text().trimmed();
        const bool match = wanted.isEmpty() || name.contains(wanted, Qt::CaseInsensitive);
        item->setHidden(!match);
        if (match && !first && (wanted.isEmpty() || name.startsWith(wanted, Qt::CaseInsensitive)))
            first = item;
    }
    if (first)
        m_index->setCurrentItem(first);
}

void HelpViewer::indexActivated(QListWidgetItem *item)
{
    if (!item || !m_doc)
        return;
    const auto i = std::size_t(item->data(kItemRole).toULongLong());
    if (i >= m_doc->index().size())
        return;
    const SitemapItem &entry = m_doc->index()[i];
    std::vector<HelpTopicRef> topics;
    for (const HelpTopicRef &t : entry.topics)
        topics.push_back({t.title.isEmpty() ? entry.name : t.title, t.local});
    if (topics.empty() && !entry.seeAlso.isEmpty())
        topics = m_doc->topicsForKeyword(entry.seeAlso);
    listTopics(topics);
}

void HelpViewer::listTopics(const std::vector<HelpTopicRef> &topics)
{
    m_topics->clear();
    if (topics.size() == 1) {
        m_topics->setVisible(false);
        showPage(topics.front().local);
        return;
    }
    for (const HelpTopicRef &t : topics) {
        auto *item = new QListWidgetItem(t.title.isEmpty() ? t.local : t.title, m_topics);
        item->setData(kLocalRole, t.local);
    }
    m_topics->setVisible(!topics.empty());
    if (!topics.empty())
        m_topics->setCurrentRow(0);
}

} // namespace vl
