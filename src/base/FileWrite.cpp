#include "base/FileWrite.h"

#include "base/FileErrors.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cerrno>
#include <cstdio>
#include <cstring>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace nuvora {

namespace {

// Symbolic links chained deeper than this are a loop.
constexpr int kMaxLinkDepth = 40;

WriteResult failed(int error, const QString &reason)
{
    return WriteResult{false, error, reason};
}

int errorNumberFor(int errnoValue)
{
    switch (errnoValue) {
    case ENOSPC:
    case EFBIG:
#ifdef EDQUOT
    case EDQUOT:
#endif
        return kErrDiskFull;
    case EACCES:
    case EPERM:
    case EROFS:
        return kErrPermissionDenied;
    case EIO:
        return kErrDeviceIo;
    default:
        return kErrPathAccess;
    }
}

WriteResult fromErrno(int errnoValue, const QString &fallback)
{
    if (errnoValue == 0)
        return failed(kErrPathAccess, fallback);
    return failed(errorNumberFor(errnoValue), QString::fromLocal8Bit(std::strerror(errnoValue)));
}

// The file a path finally names: links followed (a dangling link names the file it would
// create), relative targets taken from the link's folder.
QString finalTarget(const QString &path)
{
    QString current = QFileInfo(path).absoluteFilePath();
    for (int depth = 0; depth < kMaxLinkDepth; ++depth) {
        const QFileInfo info(current);
        if (!info.isSymLink())
            return current;
        current = info.symLinkTarget();
    }
    return QString();
}

// Writes in place: for devices and FIFOs, which must never be replaced by a regular file.
WriteResult writeInPlace(QFile &file, const QByteArray &bytes)
{
    errno = 0;
    if (file.write(bytes) != bytes.size() || !file.flush())
        return fromErrno(errno, file.errorString());
    return WriteResult{};
}

WriteResult writeStandardOutput(const QByteArray &bytes)
{
    QFile out;
    if (!out.open(stdout, QIODevice::WriteOnly))
        return failed(kErrDeviceIo, out.errorString());
    return writeInPlace(out, bytes);
}

// Keeps the replaced file's mode and owner on its successor (an administrator's run must not
// take a user's file over).
void keepModeAndOwner(QSaveFile &file, const QString &target)
{
#ifdef Q_OS_UNIX
    struct stat old {};
    if (::stat(QFile::encodeName(target).constData(), &old) != 0)
        return;
    const int fd = file.handle();
    if (fd < 0)
        return;
    (void)::fchmod(fd, old.st_mode & 07777);
    if (old.st_uid != ::geteuid() || old.st_gid != ::getegid())
        (void)::fchown(fd, old.st_uid, old.st_gid); // only root may, and only root needs to
#else
    Q_UNUSED(file);
    Q_UNUSED(target);
#endif
}

WriteResult replaceAtomically(const QString &target, const QByteArray &bytes)
{
    QSaveFile file(target);
    errno = 0;
    if (!file.open(QIODevice::WriteOnly)) {
        // Qt refuses a read-only file itself, without a system error to go by.
        const QFileInfo old(target);
        const QFileInfo folder(old.absolutePath());
        if ((old.exists() && !old.isWritable()) || (folder.isDir() && !folder.isWritable()))
            return failed(kErrPermissionDenied, file.errorString());
        return fromErrno(errno, file.errorString());
    }
    keepModeAndOwner(file, target);
    // commit() alone reports success when buffered bytes never reached a full disk: the
    // flush is what tells, and a cancelled write leaves the old file in place.
    errno = 0;
    if (file.write(bytes) != bytes.size() || !file.flush()) {
        const WriteResult result = fromErrno(errno, file.errorString());
        file.cancelWriting();
        file.commit();
        return result;
    }
    errno = 0;
    if (!file.commit())
        return fromErrno(errno, file.errorString());
    return WriteResult{};
}

} // namespace

WriteResult WriteWholeFile(const QString &path, const QByteArray &bytes)
{
    if (path == QLatin1String("-"))
        return writeStandardOutput(bytes);
    const QString target = finalTarget(path);
    if (target.isEmpty())
        return failed(kErrPathAccess, QStringLiteral("too many levels of symbolic links"));
    const QFileInfo info(target);
    if (!info.exists())
        return replaceAtomically(target, bytes);
    if (info.isDir())
        return failed(kErrPathAccess, QStringLiteral("is a folder"));
    if (info.isFile())
        return replaceAtomically(target, bytes);
#ifdef Q_OS_UNIX
    struct stat st {};
    if (::stat(QFile::encodeName(target).constData(), &st) == 0 &&
        (S_ISCHR(st.st_mode) || S_ISFIFO(st.st_mode))) {
        QFile file(target);
        errno = 0;
        if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
            return fromErrno(errno, file.errorString());
        return writeInPlace(file, bytes);
    }
#endif
    return failed(kErrPathAccess, QStringLiteral("is not a regular file, a character device or "
                                                 "a FIFO"));
}

} // namespace nuvora
