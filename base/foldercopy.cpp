#include "base/foldercopy.h"

#include "base/posixfile.h"

#include <QDebug>
#include <QFile>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {
using lf::PosixFile::join;
using lf::PosixFile::linkStatus;

constexpr size_t kCopyChunk = 256 * 1024;

class FileDescriptor
{
public:
    explicit FileDescriptor(int fd)
        : m_fd(fd)
    { }
    ~FileDescriptor()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Q_DISABLE_COPY_MOVE(FileDescriptor)
    int get() const { return m_fd; }
    bool close()
    {
        const int fd = m_fd;
        m_fd = -1;
        return ::close(fd) == 0;
    }

private:
    int m_fd;
};

std::optional<struct stat> regularFileStatus(const FileDescriptor& file)
{
    struct stat info
    {
    };
    if (file.get() < 0 || ::fstat(file.get(), &info) != 0 || !S_ISREG(info.st_mode))
        return std::nullopt;
    return info;
}

qint64 readSome(int fd, char* buffer, size_t size)
{
    for (;;) {
        const ssize_t count = ::read(fd, buffer, size);
        if (count >= 0 || errno != EINTR)
            return count;
    }
}

// Copies one regular file, keeping its modification time: the stored search
// text and thumbnails are bound to their documents by it.
bool copyFile(const QByteArray& from, const QByteArray& to)
{
    FileDescriptor in(::open(from.constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK));
    const std::optional<struct stat> info = regularFileStatus(in);
    if (!info)
        return false;
    FileDescriptor out(::open(to.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, S_IRUSR | S_IWUSR));
    if (out.get() < 0)
        return false;
    std::vector<char> buffer(kCopyChunk);
    for (;;) {
        const qint64 count = readSome(in.get(), buffer.data(), kCopyChunk);
        if (count < 0)
            return false;
        if (count == 0)
            break;
        if (!lf::PosixFile::writeAll(out.get(), buffer.data(), count))
            return false;
    }
    const struct timespec times[2] = { info->st_atim, info->st_mtim };
    return ::futimens(out.get(), times) == 0 && out.close();
}

bool sameFile(const QByteArray& a, const QByteArray& b)
{
    FileDescriptor first(::open(a.constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK));
    FileDescriptor second(::open(b.constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK));
    const std::optional<struct stat> firstInfo = regularFileStatus(first);
    const std::optional<struct stat> secondInfo = regularFileStatus(second);
    if (!firstInfo || !secondInfo || firstInfo->st_size != secondInfo->st_size
        || firstInfo->st_mtim.tv_sec != secondInfo->st_mtim.tv_sec
        || firstInfo->st_mtim.tv_nsec != secondInfo->st_mtim.tv_nsec)
        return false;
    std::vector<char> left(kCopyChunk);
    std::vector<char> right(kCopyChunk);
    for (;;) {
        const qint64 count = readSome(first.get(), left.data(), kCopyChunk);
        if (count < 0)
            return false;
        if (count == 0)
            return readSome(second.get(), right.data(), 1) == 0;
        qint64 got = 0;
        while (got < count) {
            const qint64 more = readSome(second.get(), right.data() + got, size_t(count - got));
            if (more <= 0)
                return false;
            got += more;
        }
        if (std::memcmp(left.data(), right.data(), size_t(count)) != 0)
            return false;
    }
}
} // namespace

std::optional<QList<QByteArray>> lf::FolderCopy::entriesOf(const QByteArray& folder)
{
    DIR* dir = ::opendir(folder.constData());
    if (!dir)
        return std::nullopt;
    QList<QByteArray> names;
    errno = 0;
    while (const dirent* entry = ::readdir(dir)) {
        const QByteArray name(entry->d_name);
        if (name != "." && name != "..")
            names.append(name);
    }
    const bool failed = errno != 0;
    ::closedir(dir);
    if (failed)
        return std::nullopt;
    std::sort(names.begin(), names.end());
    return names;
}

bool lf::FolderCopy::copy(const QByteArray& from, const QByteArray& to)
{
    const std::optional<QList<QByteArray>> names = entriesOf(from);
    if (!names || ::mkdir(to.constData(), S_IRWXU) != 0)
        return false;
    for (const QByteArray& name : *names) {
        const std::optional<struct stat> info = linkStatus(join(from, name));
        const bool copied = info
            && (S_ISDIR(info->st_mode) ? copy(join(from, name), join(to, name))
                                       : S_ISREG(info->st_mode) && copyFile(join(from, name), join(to, name)));
        if (!copied) {
            qInfo().noquote() << "not copied:" << QFile::decodeName(join(from, name));
            return false;
        }
    }
    return true;
}

bool lf::FolderCopy::same(const QByteArray& a, const QByteArray& b)
{
    const std::optional<QList<QByteArray>> names = entriesOf(a);
    if (!names || names != entriesOf(b))
        return false;
    for (const QByteArray& name : *names) {
        const std::optional<struct stat> first = linkStatus(join(a, name));
        const std::optional<struct stat> second = linkStatus(join(b, name));
        if (!first || !second)
            return false;
        const bool equal = S_ISDIR(first->st_mode) ? S_ISDIR(second->st_mode) && same(join(a, name), join(b, name))
                                                   : sameFile(join(a, name), join(b, name));
        if (!equal)
            return false;
    }
    return true;
}

bool lf::FolderCopy::flushFileSystemOf(const QByteArray& folder)
{
    FileDescriptor dir(::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    return dir.get() >= 0 && ::syncfs(dir.get()) == 0;
}
