#include "RunRecord.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#ifdef Q_OS_WIN
#include <io.h>
#else
#include <unistd.h>
#endif

namespace nuvora::cli {

namespace {

#ifdef Q_OS_WIN
int openAppend(const char *path)
{
    return ::_open(path, _O_WRONLY | _O_CREAT | _O_APPEND | _O_BINARY, 0666);
}
long long writeAll(int fd, const char *bytes, std::size_t count)
{
    return ::_write(fd, bytes, static_cast<unsigned>(count));
}
void closeFd(int fd)
{
    ::_close(fd);
}
#else
int openAppend(const char *path)
{
    return ::open(path, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666);
}
long long writeAll(int fd, const char *bytes, std::size_t count)
{
    ssize_t n;
    do
        n = ::write(fd, bytes, count);
    while (n < 0 && errno == EINTR);
    return n;
}
void closeFd(int fd)
{
    ::close(fd);
}
#endif

} // namespace

QJsonObject toJson(const RunRecord &r)
{
    // Hex digits as crc32 and cksum print them, so that the two compare as text.
    return QJsonObject{
        {QStringLiteral("time"), r.time.toUTC().toString(Qt::ISODateWithMs)},
        {QStringLiteral("port"), r.port},
        {QStringLiteral("device"), r.device},
        {QStringLiteral("image"), r.image},
        {QStringLiteral("image_crc32"),
         QStringLiteral("%1").arg(r.imageCrc, 8, 16, QLatin1Char('0'))},
        {QStringLiteral("image_bytes"), r.imageBytes},
        {QStringLiteral("bytes"), r.bytes},
        {QStringLiteral("frames"), r.frames},
        {QStringLiteral("frames_resent"), r.framesResent},
        {QStringLiteral("outcome"), r.outcome},
        {QStringLiteral("status"), r.status},
        {QStringLiteral("seconds"), qRound64(r.seconds * 1000) / 1000.0},
    };
}

QByteArray recordLine(const RunRecord &record)
{
    return QJsonDocument(toJson(record)).toJson(QJsonDocument::Compact) + '\n';
}

RecordFile::~RecordFile()
{
    if (m_fd >= 0)
        closeFd(m_fd);
}

bool RecordFile::open(const QString &path)
{
    m_path = QDir::toNativeSeparators(path);
    m_fd = openAppend(QFile::encodeName(path).constData());
    if (m_fd < 0)
        m_error = QString::fromLocal8Bit(std::strerror(errno));
    return m_fd >= 0;
}

bool RecordFile::append(const QByteArray &line)
{
    // One call: with O_APPEND the system places the whole line at the end at once. A second
    // call for a short write could land after another station's line.
    const long long n = writeAll(m_fd, line.constData(), std::size_t(line.size()));
    if (n == line.size())
        return true;
    m_error = n < 0 ? QString::fromLocal8Bit(std::strerror(errno))
                    : QStringLiteral("only %1 of %2 bytes written").arg(n).arg(line.size());
    return false;
}

} // namespace nuvora::cli
