#pragma once

#include "app/ConsolePrompt.h"
#include "model/Model.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>
#include <vector>

namespace vl::bench {

// How many desktops, shortcuts and notes a generated settings file holds.
struct SettingsShape {
    QString name;
    int desktops = 1;
    int itemsPerDesktop = 0;
    int notesPerDesktop = 0;

    std::int64_t items() const { return std::int64_t(desktops) * itemsPerDesktop; }
    std::int64_t notes() const { return std::int64_t(desktops) * notesPerDesktop; }
    // "General", one "Page" section per desktop, one per element.
    std::int64_t sections() const { return 1 + desktops + items() + notes(); }
};

// S, M, L and XL, smallest first.
const std::vector<SettingsShape> &standardShapes();
// "S", "M", "L", "XL" (any case) or "DxI+N", e.g. "200x500+20".
std::optional<SettingsShape> shapeFromName(const QString &name);

// Fills an empty workspace with plausible content: document, program, folder
// and web shortcuts, a few command strings, a few "NONE" pictures, notes of
// two to four lines, everything on a grid. The same shape always gives the
// same content.
void buildWorkspace(Workspace &ws, const SettingsShape &shape);

// A caption of the kind buildWorkspace gives, 10 to 25 characters of words
// and numbers; the same seed gives the same caption.
QString sampleCaption(std::uint64_t seed);

// Description of the first persisted difference between two workspaces, or
// an empty string. Shortcuts and notes are compared list by list, so the
// interleaving of the two (which a load does not restore) does not count.
QString firstDifference(const Workspace &a, const Workspace &b);

struct GeneratedFile {
    std::int64_t bytes = 0;
    std::int64_t sections = 0;
    int desktops = 0;
    std::int64_t items = 0;
    std::int64_t notes = 0;
};

// Writes the settings file for the shape at path (replacing any file there)
// through SettingsFile::SaveAll, reads it back through LoadAll and compares.
// Throws std::runtime_error when anything disagrees.
GeneratedFile generateSettingsFile(const QString &path, const SettingsShape &shape);

// A prompt that never shows anything; a benchmark that reaches a message or
// a question is measuring an error path, so the texts are kept for the check.
// Dialogs a load or save never opens keep the console prompt's refusals.
class SilentPrompt : public ConsolePrompt {
public:
protected:
    void showMessage(const QString &text) override { texts.append(text); }
    ModalResult messageDlg(const QString &text, MsgDlgType, unsigned, int) override
    {
        texts.append(text);
        return ModalResult::Cancel;
    }

public:
    QStringList texts;
};

} // namespace vl::bench
