#pragma once

#include "model/Model.h"

#include <QString>

#include <cstdint>
#include <unordered_map>

namespace vl {

class Prompt;

// Reduces a password to the number whose decimal text a desktop stores.
// This is a privacy screen against casual looks, not encryption: many
// passwords share one value, and the value is easy to reverse.
std::int32_t TransformToPassword(const QString &password);
QString storedPasswordText(const QString &password);

// True when the stored form means "no password".
bool hasPassword(const DesktopSettings &s);

// The questions that guard a desktop's content and its menus.
class PasswordGate {
public:
    // A prompt that cannot be shown marks the session as having had errors.
    PasswordGate(Prompt &prompt, WorkingValues &work) : prompt_(prompt), work_(work) {}

    // Menu and keyboard gate: whether a menu on the desktop may open (asks
    // the prompt when the desktop protects its menus).
    bool menuAllowed(const Desktop &d, const QString &errorText);
    // The question on switching to the desktop: whether its content may show.
    bool switchAllowed(const Desktop &d, const QString &errorText);

    // Asks for the desktop's password once; "You wrong" on a wrong one.
    bool askPassword(const Desktop &d, const QString &errorText);

    // Whether the desktop's content may be shown outside its own page (in
    // search results): it has no password, or its present password was
    // given in this run. A password changed since asks anew.
    bool unlocked(const Desktop &d) const;
    // The desktop is about to be destroyed; every desktop is.
    void forget(const Desktop *d) { given_.erase(d); }
    void forgetAll() { given_.clear(); }

    static inline const QString WrongPassword = QStringLiteral("You wrong");
    static QString creationError(const char *where);

private:
    Prompt &prompt_;
    WorkingValues &work_;
    // Desktop -> the stored form of the password given for it.
    std::unordered_map<const Desktop *, QString> given_;
};

// The logic of the dialog that sets, changes or removes a password.
class PasswordChange {
public:
    explicit PasswordChange(const QString &stored) : stored_(stored) {}

    // The current-password face shows first when there is a password.
    bool needsCurrent() const;
    // Checks the current password (numerically, as the stored text is read).
    bool checkCurrent(const QString &typed) const;

    enum class Outcome { Mismatch, Disabled, Set };
    // Outcome of the new-password face; on Disabled or Set, newStored()
    // holds the text to store.
    Outcome accept(const QString &newPassword, const QString &confirm);
    const QString &newStored() const { return newStored_; }

    static inline const QString WrongCurrent = QStringLiteral("You Wrong");
    static inline const QString Mismatch = QStringLiteral("Mismatch of password");
    static inline const QString DisabledWarning = QStringLiteral("Warning! Password disabled");

private:
    QString stored_;
    QString newStored_;
};

} // namespace vl
