#include "common/Prompt.h"

#include "common/OutsideRequests.h"

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

void Prompt::ShowMessage(const QString &text)
{
    Question q(*this);
    if (!q.dismissed())
        showMessage(text);
}

ModalResult Prompt::MessageDlg(const QString &text, MsgDlgType type, unsigned buttons, int helpContext)
{
    Question q(*this);
    if (q.dismissed())
        return ModalResult::Cancel;
    const ModalResult r = messageDlg(text, type, buttons, helpContext);
    // A question closed by the dismissal counts as cancelled, whatever its
    // dialog made of being closed.
    return q.dismissed() ? ModalResult::Cancel : r;
}

std::optional<QString> Prompt::RenameDialog(const QString &current)
{
    Question q(*this);
    if (q.dismissed())
        return std::nullopt;
    auto r = renameDialog(current);
    return q.dismissed() ? std::nullopt : r;
}

std::optional<QString> Prompt::PasswordForDesktop(const QString &desktopCaption)
{
    Question q(*this);
    if (q.dismissed())
        return std::nullopt;
    auto r = passwordForDesktop(desktopCaption);
    return q.dismissed() ? std::nullopt : r;
}

std::optional<QString> Prompt::OpenFileDialog(const QString &filter, const QString &startFolder, bool picturePreview)
{
    Question q(*this);
    if (q.dismissed())
        return std::nullopt;
    auto r = openFileDialog(filter, startFolder, picturePreview);
    return q.dismissed() ? std::nullopt : r;
}

std::optional<UrlShortcutFields> Prompt::UrlShortcutDialog(const UrlShortcutFields &preset)
{
    Question q(*this);
    if (q.dismissed())
        return std::nullopt;
    auto r = urlShortcutDialog(preset);
    return q.dismissed() ? std::nullopt : r;
}

std::optional<ShortcutAttributes> Prompt::AttributesDialog(const ShortcutAttributes &preset)
{
    Question q(*this);
    if (q.dismissed())
        return std::nullopt;
    auto r = attributesDialog(preset);
    return q.dismissed() ? std::nullopt : r;
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
