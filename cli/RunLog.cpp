#include "RunLog.h"

#include "CommandLine.h"

#include "base/AppState.h"
#include "base/Crc32.h"

#include <QFileInfo>
#include <QJsonDocument>

#include <cstdio>

namespace nuvora::cli {

RunLog::RunLog(const AppState &loaded, const QString &imagePath, Json json) : m_json(json)
{
    const std::size_t bytes = std::size_t(loaded.ImageEnd) + 1;
    m_image.image = QFileInfo(imagePath).fileName();
    m_image.imageBytes = qint64(bytes);
    m_image.imageCrc = crc32(loaded.ImageBuffer.data(), bytes);
}

bool RunLog::openRecordFile(const QString &path)
{
    if (m_file.open(path))
        return true;
    printError(QStringLiteral("cannot open the record file %1: %2; nothing written")
                   .arg(m_file.path(), m_file.error()));
    return false;
}

bool RunLog::add(const RunRecord &record)
{
    m_programmed += record.status == 0;
    if (m_json == Json::Document)
        m_results.append(toJson(record));
    if (m_json == Json::Lines) {
        // A line at a time, flushed, so that a reader at the other end of a pipe sees each
        // device as soon as it is done.
        std::fputs(recordLine(record).constData(), stdout);
        std::fflush(stdout);
    }
    if (!m_file.isOpen() || m_file.append(recordLine(record)))
        return true;
    printError(
        QStringLiteral("cannot write to the record file %1: %2").arg(m_file.path(), m_file.error()),
        record.port);
    return false;
}

void RunLog::finish(int status)
{
    if (m_json != Json::Document)
        return;
    // The image once at the top; each result carries it too, as a record line does.
    const QJsonObject image = toJson(m_image);
    QJsonObject document;
    for (const char *key : {"image", "image_crc32", "image_bytes"})
        document.insert(QLatin1String(key), image.value(QLatin1String(key)));
    document.insert(QStringLiteral("results"), m_results);
    document.insert(QStringLiteral("programmed"), m_programmed);
    document.insert(QStringLiteral("devices"), m_results.size());
    document.insert(QStringLiteral("status"), status);
    std::fputs(QJsonDocument(document).toJson(QJsonDocument::Indented).constData(), stdout);
    std::fflush(stdout);
}

} // namespace nuvora::cli
