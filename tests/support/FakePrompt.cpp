#include "support/FakePrompt.h"

namespace vl::test {

void FakePrompt::aboutBox()
{
    calls.append({Call::About, QStringLiteral("About")});
    if (onDialog)
        onDialog(QStringLiteral("About"));
}

void FakePrompt::showMessage(const QString &text)
{
    calls.append({Call::Message, text});
    if (onDialog)
        onDialog(text);
}

ModalResult FakePrompt::messageDlg(const QString &text, MsgDlgType type, unsigned buttons, int helpContext)
{
    calls.append({Call::Dialog, text, type, buttons, helpContext});
    if (onDialog)
        onDialog(text);
    return script_.isEmpty() ? defaultAnswer : script_.takeFirst();
}

std::optional<QString> FakePrompt::renameDialog(const QString &current)
{
    calls.append({Call::Rename, current});
    renamePresets.append(current);
    if (onDialog)
        onDialog(current);
    return renameAnswers.isEmpty() ? std::nullopt : renameAnswers.takeFirst();
}

std::optional<QString> FakePrompt::passwordForDesktop(const QString &desktopCaption)
{
    calls.append({Call::Password, desktopCaption});
    passwordCaptions.append(desktopCaption);
    if (onDialog)
        onDialog(desktopCaption);
    return passwordAnswers.isEmpty() ? std::nullopt : passwordAnswers.takeFirst();
}

std::optional<QString> FakePrompt::openFileDialog(const QString &filter, const QString &startFolder,
                                                  bool picturePreview)
{
    calls.append({Call::File, filter});
    fileDialogs.append({filter, startFolder, picturePreview});
    if (onDialog)
        onDialog(filter);
    return fileAnswers.isEmpty() ? std::nullopt : fileAnswers.takeFirst();
}

std::optional<UrlShortcutFields> FakePrompt::urlShortcutDialog(const UrlShortcutFields &preset)
{
    calls.append({Call::Url, preset.link});
    urlPresets.append(preset);
    if (onDialog)
        onDialog(preset.link);
    return urlAnswers.isEmpty() ? std::nullopt : urlAnswers.takeFirst();
}

std::optional<ShortcutAttributes> FakePrompt::attributesDialog(const ShortcutAttributes &preset)
{
    calls.append({Call::Attributes, preset.caption});
    attributesPresets.append(preset);
    if (onDialog)
        onDialog(preset.caption);
    return attributesAnswers.isEmpty() ? std::nullopt : attributesAnswers.takeFirst();
}

std::optional<NoteLook> FakePrompt::notePropertiesDialog(const NoteLook &preset)
{
    calls.append({Call::NoteProps, preset.font.Name});
    notePresets.append(preset);
    if (onDialog)
        onDialog(preset.font.Name);
    return noteAnswers.isEmpty() ? std::nullopt : noteAnswers.takeFirst();
}

std::optional<FontSpec> FakePrompt::fontDialog(const FontSpec &preset, vl::FontColour colour)
{
    calls.append({Call::FontChoice, preset.Name});
    fontColours.append(colour);
    if (onDialog)
        onDialog(preset.Name);
    return fontAnswers.isEmpty() ? std::nullopt : fontAnswers.takeFirst();
}

std::optional<vl::Colour> FakePrompt::colorDialog(vl::Colour preset)
{
    calls.append({Call::ColourChoice, QString::number(preset)});
    if (onDialog)
        onDialog(QString::number(preset));
    return colourAnswers.isEmpty() ? std::nullopt : colourAnswers.takeFirst();
}

bool FakePrompt::commonOptionsDialog(CommonOptions &options)
{
    calls.append({Call::CommonOptionsForm, QStringLiteral("Common Options")});
    if (onDialog)
        onDialog(QStringLiteral("Common Options"));
    return !commonOptionsScripts.isEmpty() && commonOptionsScripts.takeFirst()(options);
}

bool FakePrompt::desktopOptionsDialog(DesktopOptions &options)
{
    calls.append({Call::DesktopOptionsForm, QStringLiteral("Desktop Options")});
    if (onDialog)
        onDialog(QStringLiteral("Desktop Options"));
    return !desktopOptionsScripts.isEmpty() && desktopOptionsScripts.takeFirst()(options);
}

std::optional<QString> FakePrompt::passwordDialog(const QString &desktopCaption, const QString &storedPassword)
{
    calls.append({Call::PasswordChange, desktopCaption});
    passwordDialogStored.append(storedPassword);
    if (onDialog)
        onDialog(desktopCaption);
    return passwordDialogAnswers.isEmpty() ? std::nullopt : passwordDialogAnswers.takeFirst();
}

std::optional<int> FakePrompt::chooseHistoryVersion(const QList<HistoryVersion> &versions)
{
    calls.append({Call::HistoryChooser, QStringLiteral("Restore")});
    historyLists.append(versions);
    if (onDialog)
        onDialog(QStringLiteral("Restore"));
    return historyAnswers.isEmpty() ? std::nullopt : historyAnswers.takeFirst();
}

QStringList FakePrompt::texts() const
{
    QStringList out;
    for (const auto &c : calls)
        out.append(c.text);
    return out;
}

QStringList FakePrompt::headlines() const
{
    QStringList out;
    for (const auto &c : calls)
        out.append(c.text.section(QLatin1Char('\n'), 0, 0));
    return out;
}

int FakePrompt::count(const QString &text) const
{
    int n = 0;
    for (const auto &c : calls)
        n += c.text == text ? 1 : 0;
    return n;
}

} // namespace vl::test
