#pragma once

#include "model/Model.h"

#include <array>
#include <cstdint>
#include <optional>

namespace vl {

class LoadSteps;
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
    //
    // A key that is missing reads as empty: every value takes its default,
    // and a registry without the key gives one desktop "NewDesktop". A
    // caller that replaces the desktops by what a file holds reads it with
    // readForImport(), which refuses such a file and any file whose import
    // would fail part-way before anything is destroyed.
    void LoadFromRegistry(const RegistryFile &registry);

    // Whether the registry holds the key "Software\Quendry\Vorlane" at all.
    static bool holdsSettings(const RegistryFile &registry);
    // Why importing the registry would fail, or nullopt when it would go
    // through: a registry without the key, or an import error (a font value
    // that is no binary record, an Active_Page that is no desktop). The
    // import runs into a scratch workspace for this, with the same steps,
    // asking nothing; pictures that cannot be shown are no reason, as they
    // are none for the import itself.
    static std::optional<QString> refusal(const RegistryFile &registry);
    // The registry export or Wine user.reg a user named for an import, read
    // and checked completely by refusal(). nullopt, with *why naming the
    // file and the reason, when it cannot be read or would not import.
    static std::optional<RegistryFile> readForImport(const QString &path, QString *why);

    static inline const QString ImportError = QStringLiteral("Error in TFormMain.LoadFromRegistry");
    static inline const QString Key = QStringLiteral("Software\\Quendry\\Vorlane");
    // The caption of a desktop without one; unlike the settings file's
    // "New Desktop", without a blank.
    static inline const QString DefaultCaption = QStringLiteral("NewDesktop");

    // Font record of the older versions, 40 bytes, little-endian:
    //   0 name length n (0..20; more is taken as 20), 1..20 the face name in
    //   Windows-1252, 24 colour (32 bits), 28 character set, 32 size in
    //   points (signed 32 bits), 36 styles (bit 0 bold, 1 italic, 2
    //   underline, 3 strike-out); the other bytes are padding.
    using FontRecord = std::array<std::uint8_t, 40>;
    const FontRecord &shortcutRecord() const { return shortcutRecord_; }
    const FontRecord &tabRecord() const { return tabRecord_; }

    // A size of 0 stands for a font 8 pixels high; at the 96 pixels per
    // inch the records were written for, that is 6 points.
    static constexpr int ZeroSizeHeightPixels = 8;
    static constexpr int ZeroSizePoints = ZeroSizeHeightPixels * 72 / 96;

    // The font a record describes.
    static FontSpec RecordToFont(const FontRecord &record);
    // Applies both records: the shortcut record to the working shortcut
    // font, the tab record to the tab font.
    void RegistryToFont();

private:
    // For refusal(): an importer that asks nothing.
    LegacyImport(Workspace &ws, SettingsHost &host);
    void importBody(const RegistryFile &registry, LoadSteps &steps, bool &immediateSave);

    Workspace &ws_;
    Prompt *prompt_; // null only for refusal()'s dry run, which never shows one
    SettingsHost &host_;
    OutsideRequests *requests_ = nullptr;
    FontRecord shortcutRecord_{};
    FontRecord tabRecord_{};
};

} // namespace vl
