#include "surface/PasswordGate.h"

#include "common/Prompt.h"
#include "storage/TextConv.h"

#include <array>

namespace vl {

namespace {

constexpr std::array<char, 12> kKey{'K', 'a', 'l', 'v', 'o', 'R', 'e', 's', 't', 'u', 'n', 'd'};

} // namespace

std::int32_t TransformToPassword(const QString &password)
{
    std::int32_t sum = 0;
    for (qsizetype i = 0; i < password.size(); ++i) {
        const unsigned char k = i < static_cast<qsizetype>(kKey.size()) ? static_cast<unsigned char>(kKey[i]) : 255;
        // Passwords typed here give the values stored by earlier versions.
        unsigned char c = windows1252Byte(password[i].unicode()) ^ k;
        if (c == 0)
            c = 255;
        sum += c;
    }
    return sum;
}

QString storedPasswordText(const QString &password) { return QString::number(TransformToPassword(password)); }

bool hasPassword(const DesktopSettings &s) { return !s.Password.isEmpty() && s.Password != QLatin1String("0"); }

QString PasswordGate::creationError(const char *where)
{
    return QStringLiteral("Error of creating Form of PasswordForDesktop in TFormMain.") + QLatin1String(where);
}

bool PasswordGate::askPassword(const Desktop &d, const QString &errorText)
{
    std::optional<QString> typed;
    try {
        typed = prompt_.PasswordForDesktop(d.Desktop_Caption);
    } catch (const std::exception &) {
        work_.ErrorsOccurred = true;
        prompt_.ShowMessage(errorText);
        return false;
    }
    if (!typed)
        return false;
    if (storedPasswordText(*typed) == d.settings.Password) {
        given_[&d] = d.settings.Password;
        return true;
    }
    prompt_.ShowMessage(WrongPassword);
    return false;
}

bool PasswordGate::unlocked(const Desktop &d) const
{
    if (!hasPassword(d.settings))
        return true;
    const auto it = given_.find(&d);
    return it != given_.end() && it->second == d.settings.Password;
}

bool PasswordGate::menuAllowed(const Desktop &d, const QString &errorText)
{
    if (!hasPassword(d.settings) || d.settings.Password_On_Desktop == 1)
        return true;
    return askPassword(d, errorText);
}

bool PasswordGate::switchAllowed(const Desktop &d, const QString &errorText)
{
    if (!hasPassword(d.settings) || d.settings.Password_On_Desktop == 0)
        return true;
    return askPassword(d, errorText);
}

bool PasswordChange::needsCurrent() const { return !stored_.isEmpty() && stored_ != QLatin1String("0"); }

bool PasswordChange::checkCurrent(const QString &typed) const
{
    // A hand-edited, non-numeric stored value can never be matched.
    const auto stored = parseInteger(QStringView(stored_));
    return stored && *stored == TransformToPassword(typed);
}

PasswordChange::Outcome PasswordChange::accept(const QString &newPassword, const QString &confirm)
{
    if (newPassword != confirm)
        return Outcome::Mismatch;
    newStored_ = storedPasswordText(confirm);
    return confirm.isEmpty() ? Outcome::Disabled : Outcome::Set;
}

} // namespace vl
