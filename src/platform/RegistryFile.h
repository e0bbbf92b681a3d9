#pragma once

#include <QByteArray>
#include <QString>

#include <memory>
#include <optional>

namespace vl {

// A registry export read from a file, for the import of an older version's
// settings on a system without a registry: the text a registry editor exports
// ("REGEDIT4", or "Windows Registry Editor Version 5.00" in UTF-16LE with a
// byte order mark) or a Wine prefix's user.reg ("WINE REGISTRY Version 2").
// Read-only; keys are taken relative to HKEY_CURRENT_USER and compared
// without regard to case.
class RegistryFile {
public:
    struct Value {
        enum class Type { String, ExpandString, MultiString, Dword, Qword, Binary, Other };
        Type type = Type::String;
        QString text;    // String, ExpandString, MultiString (lines joined by '\n')
        quint64 number = 0; // Dword, Qword
        QByteArray bytes;   // Binary and Other: the raw data
    };

    RegistryFile();
    ~RegistryFile();
    RegistryFile(RegistryFile &&) noexcept;
    RegistryFile &operator=(RegistryFile &&) noexcept;

    // nullopt with *error set when the file cannot be read or is no registry
    // export of either form.
    static std::optional<RegistryFile> read(const QString &path, QString *error = nullptr);
    static std::optional<RegistryFile> parse(const QByteArray &content, QString *error = nullptr);

    bool hasKey(const QString &key) const;
    // The value `name` of `key` ("Software\Quendry\Vorlane\General"), or
    // nullopt when the key or the value is absent.
    std::optional<Value> value(const QString &key, const QString &name) const;

private:
    struct Data;
    std::unique_ptr<Data> d_;
};

} // namespace vl
