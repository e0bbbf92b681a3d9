#pragma once

#include <QDateTime>
#include <QObject>
#include <QString>

#include <memory>

namespace vl {

class HelpDocument;
class HelpViewer;

// The program's help: requests for the contents, an index keyword, a topic or a context number
// of a compiled HTML help file (.chm), shown in the built-in viewer (HelpViewer), which reads the
// file through chmlib. It takes the place of the platform's HTML Help engine, which this
// platform does not have; each show* request maps onto one of that engine's commands.
//
// chmlib is linked into the program, so the help library can never be missing at start and no
// warning about it is ever shown: every request works whenever its help file exists.
//
// Which file a request uses: the file it names, if it names one; else the help manager's file
// (setManagerHelpFile, e.g. a window's own help file); else the application's help file. When
// that file does not exist the request does nothing. A file that exists but cannot be read as
// a compiled help file opens the viewer with a note saying so.
//
// The viewer is one top-level window, created on the first request and owned here; closing it
// only hides it. Destroy the help system before the QApplication.
class HelpSystem : public QObject {
    Q_OBJECT
public:
    explicit HelpSystem(QObject *parent = nullptr);
    ~HelpSystem() override;

    void setApplicationHelpFile(const QString &fileName);
    QString applicationHelpFile() const { return m_applicationFile; }
    void setManagerHelpFile(const QString &fileName);
    QString managerHelpFile() const { return m_managerFile; }

    // The absolute path of the help file a request naming fileName (possibly empty) uses, by
    // the order above; empty when that file does not exist.
    QString findHelpFile(const QString &fileName = {}) const;

    // Each returns whether a page of the help file is now shown.
    // The table of contents (the "Help" command, F1).
    bool showContents();
    // The index at keyword: its only topic shown, or its topics listed to choose from.
    bool showKeyword(const QString &keyword);
    // A page of the help file, as "<help file> ::/<topic>" names it.
    bool showTopic(const QString &topic, const QString &fileName = {});
    // The page a context number maps to through the file's [ALIAS] and [MAP] tables.
    bool showContext(int number, const QString &fileName = {});
    // Closes the viewer and the file (at program end).
    void closeAll();

    // The topic command itself: text is a help file name, kTopicSeparator and a page. A text
    // without the separator shows the file's start page.
    bool displayTopic(const QString &text);
    static constexpr const char *kTopicSeparator = " ::/";

    // The application's help file for start-up: "vorlane.chm" beside the program, else in the
    // installed data folder; the first of them when neither exists.
    static QString defaultHelpFile();
    static QString defaultHelpFile(const QString &programDir, const QString &dataDir);

    // The viewer, once a request created it; nullptr before and after closeAll().
    HelpViewer *viewer() const { return m_viewer.get(); }

private:
    // Makes path's document current, opening it unless it is already open and unchanged.
    bool load(const QString &path, QString *whyNot);
    // The viewer on the current document, shown and raised.
    HelpViewer *present();
    // The viewer on path's document; nullptr when path cannot be read (the viewer then shows
    // why).
    HelpViewer *viewerOn(const QString &path);

    QString m_applicationFile;
    QString m_managerFile;
    std::unique_ptr<HelpViewer> m_viewer;
    std::shared_ptr<const HelpDocument> m_doc;
    // What m_doc was opened from, to notice a file replaced on disk.
    QString m_docPath;
    qint64 m_docSize = -1;
    QDateTime m_docModified;
};

} // namespace vl
