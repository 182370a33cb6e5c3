#include "image/RecordCheck.h"

#include "image/LineReader.h"

#include <QFile>

namespace nuvora {

namespace {

using Line = LineReader::Line;

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

// The record without the white space (CR, blanks, a DOS end-of-file mark) that ends it.
int recordLength(const Line &line)
{
    int size = line.size;
    while (size > 0) {
        const char c = line.data[size - 1];
        if (c != ' ' && c != '\t' && c != '\x1a')
            break;
        --size;
    }
    return size;
}

QString hex2(int value)
{
    return QStringLiteral("%1").arg(value, 2, 16, QLatin1Char('0')).toUpper();
}

// The first problem of one record, if it has one.
bool checkRecord(const Line &line, qint64 number, RecordProblem &problem)
{
    problem.line = number;
    const int size = recordLength(line);
    for (int at = 1; at < size; ++at) {
        if (hexValue(line.data[at]) < 0) {
            problem.kind = RecordProblem::Kind::NotHex;
            problem.what = QStringLiteral("'%1' in column %2 is not a hex digit")
                               .arg(QString::fromLatin1(line.data + at, 1))
                               .arg(at + 1);
            return true;
        }
    }
    const int count = size >= 4 ? hexValue(line.data[2]) * 16 + hexValue(line.data[3]) : -1;
    if (count < 1 || size != 4 + 2 * count) {
        problem.kind = RecordProblem::Kind::Count;
        problem.what = count < 0 ? QStringLiteral("the line ends before the count")
                                 : QStringLiteral("count %1 asks for %2 digits, the line has %3")
                                       .arg(hex2(count))
                                       .arg(2 * count)
                                       .arg(size - 4);
        return true;
    }
    int sum = 0;
    for (int at = 2; at < size - 2; at += 2)
        sum += hexValue(line.data[at]) * 16 + hexValue(line.data[at + 1]);
    const int expected = 0xFF - (sum & 0xFF);
    const int given = hexValue(line.data[size - 2]) * 16 + hexValue(line.data[size - 1]);
    if (given == expected)
        return false;
    problem.kind = RecordProblem::Kind::Checksum;
    problem.what = QStringLiteral("checksum is %1, the record's bytes give %2")
                       .arg(hex2(given), hex2(expected));
    return true;
}

} // namespace

std::vector<RecordProblem> CheckRecords(const QString &path)
{
    std::vector<RecordProblem> problems;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return problems;
    LineReader reader(file);
    Line line;
    qint64 number = 0;
    bool ended = false;
    while (reader.next(line) && line.size > 0 && line.data[0] == 'S') {
        ++number;
        RecordProblem problem;
        if (checkRecord(line, number, problem))
            problems.push_back(problem);
        ended = line.size > 1 && line.data[1] >= '7' && line.data[1] <= '9';
    }
    if (!ended && number > 0) {
        problems.push_back({RecordProblem::Kind::NoEndRecord, 0,
                            QStringLiteral("no end record (S7, S8 or S9) after line %1: the "
                                           "file may be cut short")
                                .arg(number)});
    }
    return problems;
}

} // namespace nuvora
