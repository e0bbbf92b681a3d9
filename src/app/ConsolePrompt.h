#pragma once

#include "common/Prompt.h"

#include <cstdio>

namespace vl {

// The prompt of the maintenance commands: messages go to stderr and every
// question is answered No (Cancel where No is not offered), so nothing is
// ever written without a person having said so.
class ConsolePrompt : public Prompt {
public:
    explicit ConsolePrompt(std::FILE *out = stderr) : out_(out) {}

protected:
    void showMessage(const QString &text) override;
    ModalResult messageDlg(const QString &text, MsgDlgType type, unsigned buttons, int helpContext) override;
    std::optional<QString> renameDialog(const QString &) override { return std::nullopt; }
    std::optional<QString> passwordForDesktop(const QString &) override { return std::nullopt; }
    std::optional<QString> openFileDialog(const QString &, const QString &, bool) override { return std::nullopt; }
    std::optional<UrlShortcutFields> urlShortcutDialog(const UrlShortcutFields &) override { return std::nullopt; }
    std::optional<ShortcutAttributes> attributesDialog(const ShortcutAttributes &) override { return std::nullopt; }
    std::optional<NoteLook> notePropertiesDialog(const NoteLook &) override { return std::nullopt; }
    std::optional<FontSpec> fontDialog(const FontSpec &, FontColour) override { return std::nullopt; }
    std::optional<Colour> colorDialog(Colour) override { return std::nullopt; }
    bool commonOptionsDialog(CommonOptions &) override { return false; }
    bool desktopOptionsDialog(DesktopOptions &) override { return false; }
    std::optional<QString> passwordDialog(const QString &, const QString &) override { return std::nullopt; }
    std::optional<int> chooseHistoryVersion(const QList<HistoryVersion> &) override { return std::nullopt; }

private:
    std::FILE *out_;
};

} // namespace vl
