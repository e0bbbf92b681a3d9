#include "common/Prompt.h"

#include "common/OutsideRequests.h"
#include "model/StorableText.h"

namespace vl {

// One question while it is open: the program counts as busy, and a
// question asked after the dismissal is not asked at all.
class Prompt::Question {
public:
    explicit Question(Prompt &p) : prompt_(p), busy_(p.requests_) { ++prompt_.open_; }
    ~Question() { --prompt_.open_; }
    Question(const Question &) = delete;
    Question &operator=(const Question &) = delete;
    bool dismissed() const { return prompt_.dismissing_; }

private:
    Prompt &prompt_;
    OutsideRequests::Busy busy_;
};

template <class Result, class Ask>
Result Prompt::ask(Result cancelled, Ask &&askIt)
{
    Question q(*this);
    if (q.dismissed())
        return cancelled;
    Result r = askIt();
    // A question closed by the dismissal counts as cancelled, whatever its
    // dialog made of being closed.
    return q.dismissed() ? cancelled : r;
}

void Prompt::AboutBox()
{
    ask(0, [&] {
        aboutBox();
        return 0;
    });
}

void Prompt::ShowMessage(const QString &text)
{
    ask(0, [&] {
        showMessage(text);
        return 0;
    });
}

ModalResult Prompt::MessageDlg(const QString &text, MsgDlgType type, unsigned buttons, int helpContext)
{
    return ask(ModalResult::Cancel, [&] { return messageDlg(text, type, buttons, helpContext); });
}

// What the user types in a dialog enters the model from here: it is made
// storable before anybody sees it.

std::optional<QString> Prompt::RenameDialog(const QString &current)
{
    std::optional<QString> name = ask<std::optional<QString>>(std::nullopt, [&] { return renameDialog(current); });
    if (name)
        name = storable(std::move(*name));
    // A name is never empty, also when nothing storable was typed.
    return name && !name->isEmpty() ? name : std::nullopt;
}

std::optional<QString> Prompt::PasswordForDesktop(const QString &desktopCaption)
{
    return ask<std::optional<QString>>(std::nullopt, [&] { return passwordForDesktop(desktopCaption); });
}

std::optional<QString> Prompt::OpenFileDialog(const QString &filter, const QString &startFolder, bool picturePreview)
{
    // A file chosen is a name to open, not yet text of the model: where it
    // becomes one, it is made storable there.
    return ask<std::optional<QString>>(std::nullopt,
                                       [&] { return openFileDialog(filter, startFolder, picturePreview); });
}

std::optional<UrlShortcutFields> Prompt::UrlShortcutDialog(const UrlShortcutFields &preset)
{
    std::optional<UrlShortcutFields> fields =
        ask<std::optional<UrlShortcutFields>>(std::nullopt, [&] { return urlShortcutDialog(preset); });
    if (fields) {
        fields->caption = storable(std::move(fields->caption));
        fields->link = storable(std::move(fields->link));
    }
    return fields;
}

std::optional<ShortcutAttributes> Prompt::AttributesDialog(const ShortcutAttributes &preset)
{
    std::optional<ShortcutAttributes> fields =
        ask<std::optional<ShortcutAttributes>>(std::nullopt, [&] { return attributesDialog(preset); });
    if (fields) {
        for (QString *text : {&fields->caption, &fields->attachedFile, &fields->commandString, &fields->picture})
            *text = storable(std::move(*text));
    }
    return fields;
}

std::optional<NoteLook> Prompt::NoteProperties(const NoteLook &preset)
{
    return ask<std::optional<NoteLook>>(std::nullopt, [&] { return notePropertiesDialog(preset); });
}

std::optional<FontSpec> Prompt::FontDialog(const FontSpec &preset, FontColour colour)
{
    return ask<std::optional<FontSpec>>(std::nullopt, [&] { return fontDialog(preset, colour); });
}

std::optional<Colour> Prompt::ColorDialog(Colour preset)
{
    return ask<std::optional<Colour>>(std::nullopt, [&] { return colorDialog(preset); });
}

bool Prompt::CommonOptionsDialog(CommonOptions &options)
{
    return ask(false, [&] { return commonOptionsDialog(options); });
}

bool Prompt::DesktopOptionsDialog(DesktopOptions &options)
{
    return ask(false, [&] { return desktopOptionsDialog(options); });
}

std::optional<QString> Prompt::PasswordDialog(const QString &desktopCaption, const QString &storedPassword)
{
    return ask<std::optional<QString>>(std::nullopt,
                                       [&] { return passwordDialog(desktopCaption, storedPassword); });
}

std::optional<int> Prompt::ChooseHistoryVersion(const QList<HistoryVersion> &versions)
{
    const std::optional<int> chosen =
        ask<std::optional<int>>(std::nullopt, [&] { return chooseHistoryVersion(versions); });
    // Whatever answered, only a version that can be read is a choice.
    if (!chosen || *chosen < 0 || *chosen >= versions.size() || !versions.at(*chosen).readable)
        return std::nullopt;
    return chosen;
}

void Prompt::dismissQuestions()
{
    if (dismissing_)
        return;
    dismissing_ = true;
    if (open_ > 0)
        cancelOpenQuestions();
}

} // namespace vl
