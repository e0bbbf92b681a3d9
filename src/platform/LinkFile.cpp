#include "platform/LinkFile.h"

#include "platform/SafeFile.h"

#include <QFile>

#include <liblnk.h>

#include <memory>
#include <vector>

namespace vl {

namespace {

using SizeGetter = int (*)(liblnk_file_t *, size_t *, liblnk_error_t **);
using TextGetter = int (*)(liblnk_file_t *, uint8_t *, size_t, liblnk_error_t **);

// Owns an open liblnk file; every error object the library hands out is
// freed as soon as it has been looked at.
class LinkReader {
public:
    LinkReader() = default;
    ~LinkReader()
    {
        if (open_)
            liblnk_file_close(file_, &error_);
        drop();
        if (file_)
            liblnk_file_free(&file_, &error_);
        drop();
    }
    LinkReader(const LinkReader &) = delete;
    LinkReader &operator=(const LinkReader &) = delete;

    bool open(const QString &path)
    {
        if (liblnk_file_initialize(&file_, &error_) != 1) {
            file_ = nullptr;
            drop();
            return false;
        }
        open_ = liblnk_file_open(file_, QFile::encodeName(path).constData(), LIBLNK_OPEN_READ, &error_) == 1;
        drop();
        return open_;
    }

    // Empty when the link lacks the value or it cannot be read.
    QString text(SizeGetter getSize, TextGetter getText)
    {
        size_t size = 0;
        const int found = getSize(file_, &size, &error_);
        drop();
        if (found != 1 || size == 0)
            return {};
        std::vector<uint8_t> buffer(size);
        const int read = getText(file_, buffer.data(), buffer.size(), &error_);
        drop();
        if (read != 1)
            return {};
        // The size counts the terminating NUL.
        const char *utf8 = reinterpret_cast<const char *>(buffer.data());
        return QString::fromUtf8(utf8, qsizetype(qstrnlen(utf8, uint(size))));
    }

private:
    void drop() { liblnk_error_free(&error_); }

    liblnk_file_t *file_ = nullptr;
    liblnk_error_t *error_ = nullptr;
    bool open_ = false;
};

} // namespace

std::optional<LinkTarget> readShellLink(const QString &path)
{
    // liblnk opens files by name and would wait on a FIFO: it gets the regular file opened here.
    const std::unique_ptr<QFile> file = openRegularFile(path);
    if (!file)
        return std::nullopt;
    LinkReader link;
    if (!link.open(nameOfOpenFile(*file, path)))
        return std::nullopt;

    LinkTarget target;
    target.path = link.text(liblnk_file_get_utf8_local_path_size, liblnk_file_get_utf8_local_path);
    if (target.path.isEmpty())
        target.path = link.text(liblnk_file_get_utf8_network_path_size, liblnk_file_get_utf8_network_path);
    if (target.path.isEmpty())
        target.path = link.text(liblnk_file_get_utf8_relative_path_size, liblnk_file_get_utf8_relative_path);
    target.arguments = link.text(liblnk_file_get_utf8_command_line_arguments_size,
                                 liblnk_file_get_utf8_command_line_arguments);
    return target;
}

} // namespace vl
