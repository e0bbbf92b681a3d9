#pragma once

// The topics of the manual (doc/manual/vorlane.chm) by context number, for
// HelpSystem::showContext. The manual's project file maps the same numbers
// in its [MAP] section; the manual test (tests/tst_manual.cpp) fails when
// a number here is not mapped there or leads to no page.
namespace vl::HelpContext {

inline constexpr int SaveErrors = 10; // save-errors.html
inline constexpr int Introduction = 1000; // index.html
inline constexpr int GettingStarted = 1010; // getting-started.html
inline constexpr int Desktops = 1020; // desktops.html
inline constexpr int Passwords = 1030; // passwords.html
inline constexpr int Shortcuts = 1040; // shortcuts.html
inline constexpr int ShortcutProperties = 1050; // shortcut-properties.html
inline constexpr int Arranging = 1060; // arranging.html
inline constexpr int Clipboard = 1070; // clipboard.html
inline constexpr int Notes = 1080; // notes.html
inline constexpr int Drop = 1090; // drop.html
inline constexpr int TrayAndStrip = 1100; // tray-and-strip.html
inline constexpr int Saving = 1110; // saving.html
inline constexpr int CommonOptions = 1120; // common-options.html
inline constexpr int DesktopOptions = 1130; // desktop-options.html
inline constexpr int Keyboard = 1140; // keyboard.html
inline constexpr int CommandLine = 1150; // command-line.html
inline constexpr int LogonAndSendTo = 1160; // logon-and-sendto.html
inline constexpr int SettingsFile = 1170; // settings-file.html
inline constexpr int About = 1180; // about.html
inline constexpr int Menus = 1190; // menus.html
inline constexpr int Find = 1200; // find.html
inline constexpr int History = 1210; // history.html
inline constexpr int Accessibility = 1220; // accessibility.html
inline constexpr int Installing = 1230; // installing.html
inline constexpr int Scaling = 1240; // appendix-scaling.html

// Every number above, for the check.
inline constexpr int All[] = {
    SaveErrors,
    Introduction,
    GettingStarted,
    Desktops,
    Passwords,
    Shortcuts,
    ShortcutProperties,
    Arranging,
    Clipboard,
    Notes,
    Drop,
    TrayAndStrip,
    Saving,
    CommonOptions,
    DesktopOptions,
    Keyboard,
    CommandLine,
    LogonAndSendTo,
    SettingsFile,
    About,
    Menus,
    Find,
    History,
    Accessibility,
    Installing,
    Scaling,
};

} // namespace vl::HelpContext
