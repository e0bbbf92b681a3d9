#include "app/ConsolePrompt.h"

namespace vl {

void ConsolePrompt::showMessage(const QString &text)
{
    std::fprintf(out_, "vorlane: %s\n", text.toLocal8Bit().constData());
}

ModalResult ConsolePrompt::messageDlg(const QString &text, MsgDlgType, unsigned buttons, int)
{
    const bool canSayNo = buttons & mbNo;
    std::fprintf(out_, "vorlane: %s (answered %s)\n", text.toLocal8Bit().constData(), canSayNo ? "No" : "Cancel");
    return canSayNo ? ModalResult::No : ModalResult::Cancel;
}

} // namespace vl
