#pragma once

#include "RunRecord.h"

#include <QJsonArray>
#include <QString>

namespace nuvora {
struct AppState;
}

namespace nuvora::cli {

// Where the runs' records go: the record file, and for --json standard output, either one
// document at the end or, for a station left running, a line per device as it comes.
class RunLog {
public:
    enum class Json { None, Document, Lines };

    RunLog(const AppState &loaded, const QString &imagePath, Json json);

    // False, with the reason printed, when the record file cannot be opened.
    bool openRecordFile(const QString &path);
    // What every run of this image shares.
    const RunRecord &image() const { return m_image; }
    // Keeps the run's record; false (said on stderr) when the record file refused it.
    bool add(const RunRecord &record);
    // The --json document: every run in the order added, how many were programmed, the status.
    void finish(int status);

private:
    RunRecord m_image;
    Json m_json;
    RecordFile m_file;
    QJsonArray m_results;
    int m_programmed = 0;
};

} // namespace nuvora::cli
