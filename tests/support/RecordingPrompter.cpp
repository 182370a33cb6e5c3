#include "RecordingPrompter.h"

#include <QFileInfo>
#include <QTest>

namespace nuvora::test {

void RecordingPrompter::chooseFile(const QString &path)
{
    OpenFileAnswer answer;
    answer.cancelled = false;
    answer.fileName = path;
    answer.fileTitle = QFileInfo(path).fileName();
    answers.enqueue(answer);
}

} // namespace nuvora::test

char *toString(const nuvora::test::Box &box)
{
    return QTest::toString(QStringLiteral("Box(%1, %2, %3)").arg(box.text).arg(box.style).arg(box.title));
}
