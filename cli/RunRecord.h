#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QJsonObject>
#include <QString>

#include <cstdint>

namespace nuvora::cli {

// One device's run as a factory system reads it: a line of the record file, an element of
// program's --json document.
struct RunRecord {
    QDateTime time;             // when the run began, kept in UTC
    QString port;               // as the lines name it: COM7, or the device path given
    QString device;             // the device the port led to, links followed
    QString image;              // the image's file name
    std::uint32_t imageCrc = 0; // of the image bytes as sent
    qint64 imageBytes = 0;
    qint64 bytes = 0; // written and acknowledged
    int frames = 0;   // acknowledged
    int framesResent = 0;
    QString outcome; // one word: programmed, no-answer, write-failed...
    int status = 0;  // the exit status this run alone would give
    double seconds = 0;
};

QJsonObject toJson(const RunRecord &record);
// The record as one JSON Lines line, newline included.
QByteArray recordLine(const RunRecord &record);

// A record file shared by stations: opened for append, each line handed to the system in one
// write, so that lines of several processes never interleave.
class RecordFile {
public:
    RecordFile() = default;
    RecordFile(const RecordFile &) = delete;
    RecordFile &operator=(const RecordFile &) = delete;
    ~RecordFile();

    // Creates the file when missing; false with error() set when it cannot be opened.
    bool open(const QString &path);
    bool isOpen() const { return m_fd >= 0; }
    // False with error() set when the line did not go out whole.
    bool append(const QByteArray &line);
    QString path() const { return m_path; }
    QString error() const { return m_error; }

private:
    int m_fd = -1;
    QString m_path;
    QString m_error;
};

} // namespace nuvora::cli
