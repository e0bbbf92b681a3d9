#pragma once

#include "model/Model.h"

#include <array>
#include <cstdint>

namespace vl {

class OutsideRequests;
class Prompt;
class RegistryFile;
class SettingsHost;

// The import of an older version's settings from the registry area
// "Software\Quendry\Vorlane" of the current user: the desktops, their
// shortcuts and the options that lived there. It reads only, and saves
// nothing: the imported model reaches the settings file with the next save.
//
// One object lives as long as the program: the two font records it reads
// keep their last content from one import to the next.
class LegacyImport {
public:
    LegacyImport(Workspace &ws, Prompt &prompt, SettingsHost &host);

    void setRequests(OutsideRequests *requests) { requests_ = requests; }

    // Builds the desktops from the registry, adding them to those that
    // exist (the caller has destroyed them first), then makes the desktop at
    // "Active_Page" active through the host. Errors set ErrorsOccurred and
    // show "Error in TFormMain.LoadFromRegistry".
    void LoadFromRegistry(const RegistryFile &registry);

    static inline const QString ImportError = QStringLiteral("Error in TFormMain.LoadFromRegistry");
    static inline const QString Key = QStringLiteral("Software\\Quendry\\Vorlane");

    using FontRecord = std::array<std::uint8_t, 40>;
    const FontRecord &shortcutRecord() const { return shortcutRecord_; }
    const FontRecord &tabRecord() const { return tabRecord_; }

private:
    Workspace &ws_;
    Prompt &prompt_;
    SettingsHost &host_;
    OutsideRequests *requests_ = nullptr;
    FontRecord shortcutRecord_{};
    FontRecord tabRecord_{};
};

} // namespace vl
