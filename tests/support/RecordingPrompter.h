#pragma once

#include "base/Prompter.h"

#include <QFileInfo>
#include <QList>
#include <QQueue>
#include <QTest>

namespace nuvora::test {

// One message box as the program asked for it.
struct Box {
    QString text;
    int style = 0;
    QString title;
    bool operator==(const Box &o) const
    {
        return text == o.text && style == o.style && title == o.title;
    }
};

// Records every box and answers open-file dialogs from a queue (an empty queue cancels).
class RecordingPrompter : public Prompter {
public:
    void message(const QString &text, int style, const QString &title) override
    {
        boxes.append({text, style, title});
    }
    OpenFileAnswer openFile(const OpenFileOptions &options) override
    {
        dialogs.append(options);
        return answers.isEmpty() ? OpenFileAnswer{} : answers.dequeue();
    }
    // Queues the answer "the operator chose this file".
    void chooseFile(const QString &path)
    {
        answers.enqueue({false, path, QFileInfo(path).fileName()});
    }

    QList<Box> boxes;
    QList<OpenFileOptions> dialogs;
    QQueue<OpenFileAnswer> answers;
};

} // namespace nuvora::test

// Lets QCOMPARE print a box when two differ.
inline char *toString(const nuvora::test::Box &box)
{
    return QTest::toString(
        QStringLiteral("Box(%1, %2, %3)").arg(box.text).arg(box.style).arg(box.title));
}
