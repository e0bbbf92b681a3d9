#pragma once

#include "model/FontSpec.h"
#include "platform/SafeFile.h"
#include "storage/TextConv.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vl {

// The sections of an INI file in file order. Section names are compared
// without regard to case; the list keeps them unique (the file reader drops
// later duplicates, writers create a section only when it is absent), which
// lets a hash index answer every search exactly as a linear scan would.
class TSectionList {
public:
    struct Section {
        std::string name;
        // Until the section is first changed its lines stay in the file
        // buffer: body points at the text between its header and the next
        // one. lineCount counts the non-empty lines in it, worked out the
        // first time it is asked for: reading a file only looks for headers.
        const char *body = nullptr;
        std::uint32_t bodyLen = 0;
        mutable std::uint32_t lineCount = UnknownCount;
        std::unique_ptr<std::vector<std::string>> own;

        static constexpr std::uint32_t UnknownCount = 0xFFFFFFFFu;
        std::size_t count() const;
    };

    int Count() const { return static_cast<int>(sections_.size()); }
    Section &at(int index) { return sections_[static_cast<std::size_t>(index)]; }
    const Section &at(int index) const { return sections_[static_cast<std::size_t>(index)]; }

    // Index of the section, or -1; a hit becomes the last found index.
    int IndexOf(std::string_view name);
    int lastFoundIndex() const { return lastFound_; }
    // Appends a section (the caller guarantees the name is absent).
    int Add(std::string name);
    // Appends even when the name exists; used by the reader before it drops
    // duplicates. Returns false when the name was already present.
    bool AddFromFile(std::string name, int *index);
    void Delete(int index);
    // Deletes the sections at the given indexes, which must be ascending.
    void DeleteMany(const std::vector<int> &ascending);
    void Clear();
    // Room for n sections, in the list and in its index.
    void reserve(std::size_t n);

private:
    void rebuildIndex();
    void indexInsert(std::uint32_t sectionIndex, std::size_t hash);
    int indexFind(std::string_view name, std::size_t hash) const;

    std::vector<Section> sections_;
    // Open addressing over section indexes; slot value 0 is empty, else index+1.
    std::vector<std::uint32_t> slots_;
    std::size_t used_ = 0;
    int lastFound_ = 0;
};

// The in-memory INI engine. The whole file is read once, every operation
// works on memory, and the file is rewritten only by UpdateFile when
// something really changed.
//
// Lines are kept whole: nothing is cut at 255 characters. Section and key
// names are UTF-8; values go in and out as QString.
class TBigIniFile {
public:
    static constexpr int TextBufferSize = 28672;

    explicit TBigIniFile(const QString &fileName);
    virtual ~TBigIniFile();
    TBigIniFile(const TBigIniFile &) = delete;
    TBigIniFile &operator=(const TBigIniFile &) = delete;

    virtual QString ReadString(std::string_view section, std::string_view key, const QString &def);
    virtual void WriteString(std::string_view section, std::string_view key, QStringView value);
    virtual std::int32_t ReadInteger(std::string_view section, std::string_view key, std::int32_t def);
    virtual void WriteInteger(std::string_view section, std::string_view key, std::int32_t value);
    virtual bool ReadBool(std::string_view section, std::string_view key, bool def);
    virtual void WriteBool(std::string_view section, std::string_view key, bool value);
    virtual void ReadSection(std::string_view section, QStringList &target);
    virtual void ReadSections(QStringList &target);
    virtual void ReadSectionValues(std::string_view section, QStringList &target);
    virtual void EraseSection(std::string_view section);
    virtual void DeleteKey(std::string_view section, std::string_view key);
    virtual void AppendAll(QStringList &target);
    // Writes the file when modified. Throws IniIoError when it cannot; the old
    // file is then untouched and the engine writes nothing any more.
    virtual void UpdateFile();
    virtual void ReadFile(const QString &fileName);

    void SetFileName(const QString &fileName);
    // From now on nothing is written, whatever changes.
    void Abandon() { failed_ = true; }
    QString FileName() const { return fileName_; }
    bool Modified() const { return modified_; }
    int SectionCount() const { return sections_.Count(); }
    int SectionLineCount(std::string_view section);

    // The largest file read or written. The writer checks its text against
    // every rule of the reader: it never writes what the reader refuses.
    static constexpr qint64 MaxFileBytes = std::numeric_limits<std::int32_t>::max();

    // Facts about the last file read, for telling a settings file from
    // something else that happens to sit at its path, and for noticing
    // later that another program replaced it.
    struct ReadInfo {
        bool existed = false;
        std::size_t bytes = 0;
        // It held binary zeros; they were dropped from what was read.
        bool hasNul = false;
        bool blank = true; // nothing but white space and end-of-file marks
        bool decodedAsWindows1252 = false;
        FileIdentity identity;
        std::uint64_t hash = 0; // contentHash() of the bytes read
    };
    const ReadInfo &lastRead() const { return readInfo_; }
    // The file last written by UpdateFile: its identity and contentHash().
    struct WriteInfo {
        bool written = false;
        FileIdentity identity;
        std::uint64_t hash = 0;
        QString remark; // PendingFile::remark() of the write
    };
    const WriteInfo &lastWrite() const { return writeInfo_; }
    // The text a flush would write now.
    std::string Text() const { return buildFileText(); }
    // Whether a section of this name exists (without making it current).
    bool HasSection(std::string_view section);

    // Raw access for fast paths: the value text of the key, or nullopt.
    std::optional<std::string_view> ReadValue(std::string_view section, std::string_view key);
    // Writes key=value with the value already in UTF-8.
    void WriteValue(std::string_view section, std::string_view key, std::string_view value);

    // When set, the file's previous content stays as "<name>.bak" beside it
    // once new content has replaced it.
    void setKeepBackup(bool keep) { keepBackup_ = keep; }
    // Runs when new content, written whole, is about to replace the file,
    // which still holds its old content: whatever must go with the
    // replacement is prepared here (the history's copy of the old content),
    // and the step it returns runs once the file was replaced. A step that
    // never runs, because the replacement failed, must leave nothing
    // behind when it is destroyed. Neither may throw.
    using AfterReplace = std::function<void()>;
    void setBeforeReplace(std::function<AfterReplace()> hook) { beforeReplace_ = std::move(hook); }

protected:
    // Finds or (when create is set) creates the section and makes it current.
    int findSection(std::string_view name, bool create);
    // Ordinal of the first line whose key matches, or -1; line gets its text.
    int findKey(TSectionList::Section &sec, std::string_view key, std::string_view *line) const;
    std::vector<std::string> &materialize(TSectionList::Section &sec);
    template <class F> void forEachLine(const TSectionList::Section &sec, F &&f) const;
    std::string buildFileText() const;

    QString fileName_;
    bool modified_ = false;
    TSectionList sections_;
    int currentSection_ = 0;
    std::string buffer_;  // the file as read, UTF-8
    std::string scratch_; // value encoding without an allocation per write
    ReadInfo readInfo_;
    bool failed_ = false; // after a failed read or write nothing is written
    bool keepBackup_ = false;
    std::function<AfterReplace()> beforeReplace_;
    WriteInfo writeInfo_;
    // The lines of the section last searched for a key.
    mutable const TSectionList::Section *cachedSection_ = nullptr;
    mutable std::vector<std::string_view> cachedLines_;
};

class TBiggerIniFile : public TBigIniFile {
public:
    using TBigIniFile::TBigIniFile;

    virtual std::int32_t ReadHexInteger(std::string_view section, std::string_view key, std::int32_t def);
    virtual void WriteHexInteger(std::string_view section, std::string_view key, std::int32_t value);

    void ReadFont(std::string_view section, std::string_view key, FontSpec &font);
    void WriteFont(std::string_view section, std::string_view key, const FontSpec &font);
    void ReadStrings(std::string_view section, QStringList &target, const QString &def);
    // As above; counted lines that are missing from the section read as def
    // while missingAllowance lasts, and use it up.
    void ReadStrings(std::string_view section, QStringList &target, const QString &def, int &missingAllowance);
    void WriteStrings(std::string_view section, const QStringList &source);

private:
    // True when WriteStrings would leave the section exactly as it is.
    bool stringsInPlace(std::string_view section, const QStringList &source);
};

class TAppIniFile : public TBiggerIniFile {
public:
    explicit TAppIniFile(const QString &fileName);
};

// Text form of a font: "Name,Size,Charset,BIUS,Colour".
QString FontToString(const FontSpec &font);
// Parses the text form into font, field by field; throws ConvertError with
// "Invalid string to font conversion" or a number/colour conversion message.
void StringToFont(const QString &text, FontSpec &font);

} // namespace vl
