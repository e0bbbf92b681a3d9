#pragma once

#include "help/HelpDocument.h"

#include <QTextBrowser>
#include <QWidget>

#include <memory>
#include <vector>

class QAction;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QTabWidget;
class QTreeWidget;
class QTreeWidgetItem;

namespace vl {

// Shows the pages of one compiled help file. Pages live at "chm:///path" URLs; everything a page
// refers to (other pages, pictures, style sheets) is read from the file through loadResource(),
// never from disk or the network. Web and mail links go to the desktop's handler.
class HelpBrowser : public QTextBrowser {
    Q_OBJECT
public:
    explicit HelpBrowser(QWidget *parent = nullptr);

    void setHelpDocument(std::shared_ptr<const HelpDocument> doc);
    QVariant loadResource(int type, const QUrl &name) override;

    // The URL of a page given as an object path, "#fragment" kept.
    static QUrl urlFor(const QString &page);
    // The object path (with "#fragment") the current source shows; empty if none, or while a
    // note is shown.
    QString currentPage() const;
    // A note in place of a page, until the next page is shown.
    void showNote(const QString &text);

    static constexpr qint64 kMaxResourceBytes = 8 * 1024 * 1024;
    // Qt lays out a page of a few megabytes for seconds already.
    static constexpr qint64 kMaxPageBytes = 2 * 1024 * 1024;
    // Bytes one page may pull in with all its pictures; a page that names the same big object a
    // thousand times stops getting it.
    static constexpr qint64 kPageBudgetBytes = 64 * 1024 * 1024;
    static constexpr int kMaxImageSide = 4096;

protected:
    void doSetSource(const QUrl &name, QTextDocument::ResourceType type) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void followLink(const QUrl &link);
    // Pictures wider than the pane are shown at its width (their height in proportion), as a
    // browser's pane shows them; narrower again once the pane is wide enough.
    void fitPictures();
    // Fits them into room pixels; whether the page has any.
    bool fitPicturesTo(qreal room);
    // Where the rightmost picture of the page ends, laid out.
    qreal picturesRightEdge() const;

    std::shared_ptr<const HelpDocument> m_doc;
    qint64 m_budget = kPageBudgetBytes;
    bool m_freshDocument = false;
    bool m_showingNote = false;
};

// The help window: contents tree and filterable index beside the page, with back, forward and
// home. A top-level window; the help system that creates it owns it.
class HelpViewer : public QWidget {
    Q_OBJECT
public:
    explicit HelpViewer(QWidget *parent = nullptr);
    ~HelpViewer() override;

    // Switches to another file (or none): rebuilds contents and index, forgets the history.
    // The same document again changes nothing.
    void setHelpDocument(std::shared_ptr<const HelpDocument> doc);
    const HelpDocument *helpDocument() const { return m_doc.get(); }

    // Shows the page local names (relative to the top of the file, "#fragment" allowed);
    // false, with a note in place of the page, if the file has no such page. (A page that is
    // listed but cannot be read shows a note from the browser.)
    bool showPage(const QString &local);
    // The start page, unless a page of this document is already shown.
    void showStartPage();
    // A note in place of a page, for a file that cannot be read.
    void showNote(const QString &text);

    void showContentsTab();
    // The index tab filtered to keyword, with topics listed to choose from; a single topic is
    // shown at once.
    void showIndex(const QString &keyword, const std::vector<HelpTopicRef> &topics);

    QString currentPage() const;
    HelpBrowser *browser() const { return m_browser; }
    QTabWidget *tabs() const { return m_tabs; }
    QTreeWidget *contentsTree() const { return m_contents; }
    QLineEdit *indexFilter() const { return m_filter; }
    QListWidget *indexList() const { return m_index; }
    QListWidget *topicList() const { return m_topics; }
    QAction *backAction() const { return m_back; }
    QAction *forwardAction() const { return m_forward; }

    static constexpr const char *kDefaultTitle = "Vorlane Help";

private:
    void rebuild();
    void filterIndex(const QString &text);
    void indexActivated(QListWidgetItem *item);
    void listTopics(const std::vector<HelpTopicRef> &topics);

    std::shared_ptr<const HelpDocument> m_doc;
    HelpBrowser *m_browser = nullptr;
    QTabWidget *m_tabs = nullptr;
    QTreeWidget *m_contents = nullptr;
    QLineEdit *m_filter = nullptr;
    QListWidget *m_index = nullptr;
    QListWidget *m_topics = nullptr;
    QAction *m_back = nullptr;
    QAction *m_forward = nullptr;
    QAction *m_home = nullptr;
};

} // namespace vl
