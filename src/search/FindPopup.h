#pragma once

#include "search/SearchIndex.h"

#include <QFrame>

#include <functional>
#include <vector>

class QLabel;
class QLineEdit;
class QPixmap;
class QTreeWidget;

namespace vl {

// The search field over the main window with its list of results. It is a
// child of the window, never a window of its own: it opens and closes with
// no effect on questions, and closes when the focus goes elsewhere in the
// window. What a result does is the owner's business.
class FindPopup : public QFrame {
    Q_OBJECT
public:
    struct Actions {
        // Whether a desktop's elements may be listed; those refused are
        // counted when nothing is found.
        std::function<bool(const Desktop &)> visible;
        // Enter on a result, and Alt+Enter. The popup has closed already.
        std::function<void(const SearchHit &)> start;
        std::function<void(const SearchHit &)> show;
        // The picture a shortcut result shows; none for nothing.
        std::function<const QPixmap *(const SearchHit &)> picture;
    };

    // Lies over the top of page, which must be a descendant of parent. The
    // index must outlive the popup.
    FindPopup(SearchIndex &index, Actions actions, QWidget *page, QWidget *parent);
    ~FindPopup() override;

    // Opens (or, when open, selects what was typed) with the field holding typed.
    void open(const QString &typed);
    void close();
    bool isOpen() const { return !isHidden(); }
    // Whether widget is the field, the list or anything else of the popup.
    bool owns(const QWidget *widget) const;

    // A printable key typed into page while it has the focus, or into the
    // window while nothing in it has, opens the popup with that text when
    // mayOpen agrees.
    void openOnTyping(std::function<bool()> mayOpen);

    QLineEdit *field() const { return field_; }
    QTreeWidget *list() const { return list_; }
    const std::vector<SearchHit> &hits() const { return hits_; }
    // How many results the query has, listed or not.
    std::size_t total() const { return total_; }
    // The line under the list: how many were found, or that nothing was.
    QString countText() const;

    static constexpr std::size_t MaxListed = 50;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void refresh();
    void refreshLater();
    void place();
    void choose(bool showOnly);
    void moveCurrent(int by);

    SearchIndex &index_;
    Actions actions_;
    QWidget *page_;
    QLineEdit *field_ = nullptr;
    QTreeWidget *list_ = nullptr;
    QLabel *count_ = nullptr;
    std::vector<SearchHit> hits_;
    std::size_t total_ = 0;
    std::size_t leftOut_ = 0;
    bool refreshQueued_ = false;
    std::function<bool()> mayOpen_;
};

} // namespace vl
