#include "help/HelpSystem.h"

#include "help/HelpDocument.h"
#include "help/HelpViewer.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

using namespace Qt::StringLiterals;

#ifndef VORLANE_HELP_DATADIR
#define VORLANE_HELP_DATADIR "/usr/local/share/vorlane"
#endif

namespace vl {

namespace {

const QString kHelpFileName = u"vorlane.chm"_s;

} // namespace

HelpSystem::HelpSystem(QObject *parent) : QObject(parent) {}

HelpSystem::~HelpSystem()
{
    closeAll();
}

void HelpSystem::setApplicationHelpFile(const QString &fileName)
{
    m_applicationFile = fileName;
}

void HelpSystem::setManagerHelpFile(const QString &fileName)
{
    m_managerFile = fileName;
}

QString HelpSystem::findHelpFile(const QString &fileName) const
{
    QString name = fileName;
    if (name.isEmpty())
        name = m_managerFile;
    if (name.isEmpty())
        name = m_applicationFile;
    if (name.isEmpty())
        return {};
    const QFileInfo info(name);
    return info.isFile() ? info.absoluteFilePath() : QString();
}

bool HelpSystem::load(const QString &path, QString *whyNot)
{
    const QFileInfo info(path);
    if (m_doc && path == m_docPath && info.size() == m_docSize && info.lastModified() == m_docModified)
        return true;
    m_doc.reset();
    m_docPath.clear();
    std::shared_ptr<const HelpDocument> doc = HelpDocument::open(path, whyNot);
    if (!doc)
        return false;
    m_doc = std::move(doc);
    m_docPath = path;
    m_docSize = info.size();
    m_docModified = info.lastModified();
    return true;
}

HelpViewer *HelpSystem::present()
{
    if (!m_viewer)
        m_viewer = std::make_unique<HelpViewer>();
    m_viewer->setHelpDocument(m_doc);
    if (m_viewer->isMinimized())
        m_viewer->showNormal();
    else if (m_viewer->isVisible())
        m_viewer->raise();
    else
        m_viewer->show();
    m_viewer->activateWindow();
    return m_viewer.get();
}

HelpViewer *HelpSystem::viewerOn(const QString &path)
{
    QString why;
    if (load(path, &why))
        return present();
    HelpViewer *viewer = present();
    viewer->showNote(tr("The help file %1 cannot be read: %2.").arg(QDir::toNativeSeparators(path), why));
    return nullptr;
}

bool HelpSystem::showContents()
{
    const QString path = findHelpFile();
    HelpViewer *viewer = path.isEmpty() ? nullptr : viewerOn(path);
    if (!viewer)
        return false;
    viewer->showContentsTab();
    viewer->showStartPage();
    return !viewer->currentPage().isEmpty();
}

bool HelpSystem::showKeyword(const QString &keyword)
{
    const QString path = findHelpFile();
    HelpViewer *viewer = path.isEmpty() ? nullptr : viewerOn(path);
    if (!viewer)
        return false;
    viewer->showIndex(keyword, m_doc->topicsForKeyword(keyword));
    viewer->showStartPage();
    return !viewer->currentPage().isEmpty();
}

bool HelpSystem::showTopic(const QString &topic, const QString &fileName)
{
    const QString path = findHelpFile(fileName);
    if (path.isEmpty())
        return false;
    return displayTopic(path + QLatin1StringView(kTopicSeparator) + topic);
}

bool HelpSystem::displayTopic(const QString &text)
{
    // The engine also takes "file::/page" without the blank.
    const qsizetype separator = text.indexOf(u"::/"_s);
    QString file = separator < 0 ? text : text.left(separator);
    if (separator >= 0 && file.endsWith(u' '))
        file.chop(1);
    const QFileInfo info(file);
    if (file.isEmpty() || !info.isFile())
        return false;
    HelpViewer *viewer = viewerOn(info.absoluteFilePath());
    if (!viewer)
        return false;
    if (separator < 0) {
        viewer->showStartPage();
        return !viewer->currentPage().isEmpty();
    }
    return viewer->showPage(text.mid(separator + 2));
}

bool HelpSystem::showContext(int number, const QString &fileName)
{
    const QString path = findHelpFile(fileName);
    if (path.isEmpty())
        return false;
    QString why;
    if (!load(path, &why)) {
        viewerOn(path);
        return false;
    }
    // An unmapped number opens nothing.
    const QString page = m_doc->pageForContext(number);
    return !page.isEmpty() && present()->showPage(page);
}

void HelpSystem::closeAll()
{
    m_viewer.reset();
    m_doc.reset();
    m_docPath.clear();
}

QString HelpSystem::defaultHelpFile()
{
    const QString programDir = QCoreApplication::instance() ? QCoreApplication::applicationDirPath() : QString();
    return defaultHelpFile(programDir, QString::fromUtf8(VORLANE_HELP_DATADIR));
}

QString HelpSystem::defaultHelpFile(const QString &programDir, const QString &dataDir)
{
    QString first;
    for (const QString &dir : {programDir, dataDir}) {
        if (dir.isEmpty())
            continue;
        const QString candidate = QDir(dir).filePath(kHelpFileName);
        if (QFileInfo(candidate).isFile())
            return candidate;
        if (first.isEmpty())
            first = candidate;
    }
    return first;
}

} // namespace vl
