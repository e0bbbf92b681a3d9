#include "surface/FormMainViews.h"

#include "app/SplashWindow.h"
#include "common/PictureLoader.h"
#include "notes/NoteBoard.h"
#include "notes/TResizer.h"
#include "search/SearchIndex.h"
#include "search/FindPopup.h"
#include "shortcuts/ShortcutFiles.h"
#include "storage/LegacyImport.h"
#include "surface/DesktopSurface.h"
#include "surface/StatusBarMain.h"
#include "surface/TabStrip.h"
#include "app/SaveController.h"

#include <QApplication>
#include <QCoreApplication>
#include <QStyle>

namespace vl {

void TFormMain::Host::loadProgressTotal(int total)
{
    if (w_.splash_)
        w_.splash_->setTotal(total);
}

void TFormMain::Host::loadProgressStep(int number)
{
    // Drawn at once: a small file loads faster than the event loop would
    // get round to painting, and every number is to be seen.
    if (w_.splash_)
        w_.splash_->showCurrent(number);
}

void TFormMain::Host::processEvents()
{
    // Paints, timers and signals go on while a large file loads; input
    // waits, so no command can act on desktops that are half built, and
    // whatever else arrives waits as an outside request. A round of events
    // every few milliseconds keeps the window alive; one per desktop would
    // cost more than the desktops themselves.
    if (sinceEvents_.isValid() && sinceEvents_.elapsed() < 15)
        return;
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    sinceEvents_.start();
}

void TFormMain::Host::applyWindowState(const GlobalSettings &g) { w_.applyWindowState(g); }
void TFormMain::Host::captureWindowState(GlobalSettings &g) { w_.captureWindowState(g); }
void TFormMain::Host::flushEdits() { w_.notes_->flush(); }

void TFormMain::Host::setAttachedFile(ShortcutItem &item, const QString &file)
{
    AttachFile(item, file, w_.platform_);
}

void TFormMain::Host::desktopChanged()
{
    w_.desktopsChanged();
    w_.showActiveDesktop();
    w_.PageControl1Change();
}

void TFormMain::Host::reloadStarted()
{
    ownSplash_ = new TfrmSplash;
    w_.splash_ = ownSplash_;
    ownSplash_->show();
}

void TFormMain::Host::reloadFinished()
{
    delete ownSplash_.data();
    w_.splash_ = nullptr;
}

void TFormMain::Host::setSaveState(const QString &text) { w_.status_->setSaveState(text); }
void TFormMain::Host::statusMessage(const QString &text) { w_.status_->showMessage(text); }

void TFormMain::Host::otherVersionChosen()
{
    // Not from inside the save that asked: it still holds the engine.
    w_.requests_.post([this] {
        if (!w_.finished_ && !w_.ending_)
            w_.loadNewVersion();
    });
}

void TFormMain::Undoing::flushEdits() { w_.notes_->flush(); }

void TFormMain::Undoing::elementsReplacing(const Desktop &d)
{
    // Every record of the desktop is about to be a new one.
    w_.gestures_->cancel();
    w_.selection_.dropAll();
    w_.search_->desktopRemoving(&d);
    w_.notes_->forget(&d);
    w_.clipboard_.forgetDesktop(&d);
    w_.surface_->forget(&d);
}

void TFormMain::Undoing::desktopGoing(const Desktop &d) { w_.desktopRemoving(const_cast<Desktop &>(d)); }

void TFormMain::Undoing::modelReplaced()
{
    w_.desktopsChanged();
    w_.showActiveDesktop();
    w_.applyLook();
    w_.surface_->styleChanged();
    w_.saver_->applyAutoSave();
}

void TFormMain::Undoing::changeReported() { w_.saver_->Modified(); }
void TFormMain::Undoing::statusMessage(const QString &text) { w_.status_->showMessage(text); }

void TFormMain::Options::lookChanged()
{
    w_.applyLook();
    // The cell width is the captions' wrap width.
    w_.surface_->styleChanged();
}

void TFormMain::Options::desktopOrderChanged() { w_.desktopsChanged(); }
void TFormMain::Options::applyAutoSave() { w_.saver_->applyAutoSave(); }
void TFormMain::Options::Modified() { w_.Modified(); }
void TFormMain::Options::Unmodified() { w_.saver_->Unmodified(); }
void TFormMain::Options::desktopsClearing()
{
    w_.journal_.suspend();
    w_.forgetAllDesktops();
}

void TFormMain::Options::importRegistry(const RegistryFile &registry)
{
    w_.legacy_->LoadFromRegistry(registry);
    // An import that failed before its first desktop must not leave the
    // window without one.
    if (w_.ws_.desktopCount() == 0) {
        w_.ws_.CreateNewTabSheet();
        w_.desktopsChanged();
        w_.PageControl1Change();
    }
    w_.desktopsChanged();
    w_.applyLook();
    w_.surface_->styleChanged();
    if (w_.journal_.canUndo() || w_.journal_.canRedo())
        w_.status_->showMessage(UndoClearedMessage);
    w_.journal_.reset();
    w_.updateUndoActions();
}

void TFormMain::Options::RefreshShortcutFont()
{
    w_.shortcutCmds_.RefreshShortcutFont();
    w_.surface_->styleChanged();
}

void TFormMain::Options::backgroundChanged(const Desktop &d) { w_.surface_->backgroundChanged(&d); }

GlobalShortcut::Support TFormMain::Options::toggleKeySupport() { return w_.toggleKey_->support(); }

void TFormMain::Options::toggleKeyChanged()
{
    w_.applyToggleKey();
    if (w_.toggleKey_->support() == GlobalShortcut::Support::Taken)
        w_.status_->showMessage(QStringLiteral("Another program holds the key chosen to show the window"));
}

FindPopup::Actions TFormMain::Finder::actions()
{
    FindPopup::Actions found;
    found.visible = [this](const Desktop &d) { return listed(d); };
    found.start = [this](const SearchHit &hit) { start(hit); };
    found.show = [this](const SearchHit &hit) { show(hit); };
    found.picture = [this](const SearchHit &hit) {
        // Looked up by the texts the result carries: the record itself is
        // read only once the result is acted on.
        ShortcutItem look;
        look.AttachedFile = hit.attachedFile;
        look.Picture = hit.picture;
        return w_.pictures_.pictureFor(look, w_.surface_->devicePixelRatioF());
    };
    return found;
}

bool TFormMain::Finder::listed(const Desktop &d) const
{
    return d.settings.Password_On_Desktop == 0 || w_.gate_.unlocked(d);
}

bool TFormMain::Finder::mayOpen() const
{
    // Rolled up into the compact strip, the page the field lies over is gone.
    return !w_.finished_ && w_.ws_.activeDesktop() && w_.normalMode() && !w_.requests_.busy()
        && !QApplication::activeModalWidget();
}

void TFormMain::Finder::start(const SearchHit &hit)
{
    const SearchIndex::Resolved found = SearchIndex::resolve(w_.ws_, hit);
    if (!found || !found.item || !listed(*found.desktop))
        return;
    // As a double click does; the shortcut becomes the current element only
    // where it can be seen, so that no key acts on a shortcut out of sight.
    if (found.desktop == w_.ws_.activeDesktop()) {
        // Selected alone, as the press of a double click leaves it.
        w_.selection_.UnFocused();
        w_.selection_.Focused(*found.item, false);
        w_.RefreshAll();
    }
    w_.executeItem(*found.item);
}

void TFormMain::Finder::show(const SearchHit &hit)
{
    SearchIndex::Resolved found = SearchIndex::resolve(w_.ws_, hit);
    if (!found || !listed(*found.desktop))
        return;
    if (found.desktopIndex != w_.ws_.activeIndex() || w_.surface_->desktop() != found.desktop) {
        // As a click on its tab: the strip moves, then the switching
        // procedure with its password question.
        w_.tabs_->setCurrentIndex(found.desktopIndex, false);
        w_.onTabChanged(found.desktopIndex);
    }
    // The question may have been refused, or have outlived the element.
    found = SearchIndex::resolve(w_.ws_, hit);
    if (!found || found.desktop != w_.ws_.activeDesktop() || w_.surface_->desktop() != found.desktop
        || w_.surface_->isLocked())
        return;
    if (found.item) {
        w_.selection_.UnFocused();
        w_.selection_.Focused(*found.item, false);
        w_.surface_->setFocus(Qt::OtherFocusReason);
        w_.RefreshAll();
    } else if (TResizer *note = w_.notes_->controllerOf(found.note)) {
        if (QWidget *memo = note->memo())
            memo->setFocus(Qt::OtherFocusReason);
    }
}

void TFormMain::Compact::compactLook(bool compact)
{
    // The field lies over the page, which the strip does not show.
    if (compact && w_.find_)
        w_.find_->close();
    w_.applyLook();
}

int TFormMain::Compact::stripHeight()
{
    // Room for one row of tabs, and no more: the row's own height. (Twice
    // the caption's text height with the frame, as the strip was measured
    // once, leaves a band of the page under the tabs here.)
    return w_.tabRow_->sizeHint().height();
}

} // namespace vl
