#pragma once

#include <QTest>

#include <vector>

namespace nuvora::test {

// A table of plain rows as a test's data: each row named by its `name`, fetched by index.
template <class Row> void indexRows(const std::vector<Row> &rows)
{
    QTest::addColumn<int>("row");
    for (std::size_t i = 0; i < rows.size(); ++i)
        QTest::newRow(qPrintable(QString(rows[i].name))) << int(i);
}
template <class Row> const Row &currentRow(const std::vector<Row> &rows)
{
    QFETCH(int, row);
    return rows[std::size_t(row)];
}

} // namespace nuvora::test
