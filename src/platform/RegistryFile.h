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
//
// The file is applied in order, as importing it would: a later value of the
// same name replaces an earlier one, "[-key]" removes the key with its
// subkeys and "name"=- removes a value. Keys of other hives are checked for
// syntax and then dropped. A line that is none of the forms known is an
// error: a file that was cut short or damaged is refused as a whole rather
// than imported in part.
class RegistryFile {
public:
    struct Value {
        enum class Type { String, ExpandString, MultiString, Dword, Qword, Binary, Other };
        Type type = Type::String;
        QString text;    // String, ExpandString, MultiString (lines joined by '\n')
        quint64 number = 0; // Dword, Qword
        QByteArray bytes;   // Binary and Other: the raw data
    };

    enum class Format { RegEdit4, RegEdit5, Wine };

    // What a file may hold. Beyond these, read and parse fail with a message
    // instead of taking memory without end. A stored key or value costs a
    // hundred bytes or more beside its text, so a file of tiny lines would
    // otherwise grow about twentyfold in memory; the counts cap that, far
    // above what the settings of the program need (a few hundred keys) and
    // above a typical Wine user.reg. Values themselves are bounded only by
    // the file size (a 10 MB value is read).
    static constexpr qint64 MaxFileSize = 64 * 1024 * 1024;
    // The nesting limit of the Windows registry itself: no real export
    // goes deeper.
    static constexpr int MaxKeyDepth = 512;
    static constexpr int MaxKeys = 100000;
    static constexpr int MaxValues = 1000000;

    RegistryFile();
    ~RegistryFile();
    RegistryFile(RegistryFile &&) noexcept;
    RegistryFile &operator=(RegistryFile &&) noexcept;

    // nullopt with *error set when the file cannot be read or is no registry
    // export of either form; the error names the file, and parse errors the
    // line ("line 12: ..."). Only a regular file is read, and read never
    // waits: a FIFO or a device named as the file is refused at once.
    static std::optional<RegistryFile> read(const QString &path, QString *error = nullptr);
    static std::optional<RegistryFile> parse(const QByteArray &content, QString *error = nullptr);

    Format format() const;

    // True also for a key that holds only subkeys, as in the registry.
    bool hasKey(const QString &key) const;
    // The value `name` of `key` ("Software\Quendry\Vorlane\General"), or
    // nullopt when the key or the value is absent. The empty name is the
    // key's default value ("@").
    std::optional<Value> value(const QString &key, const QString &name) const;
    // Keys that hold values or were named in a section of their own.
    int keyCount() const;

private:
    friend class RegistryParser;
    struct Data;
    std::unique_ptr<Data> d_;
};

} // namespace vl
