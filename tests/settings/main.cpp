#include <QCoreApplication>
#include <QStandardPaths>
#include <QTest>

#include <memory>

std::unique_ptr<QObject> makeSettingsFileTest();
std::unique_ptr<QObject> makeRecentFilesTest();

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QStandardPaths::setTestModeEnabled(true);
    int status = 0;
    status |= QTest::qExec(makeSettingsFileTest().get(), argc, argv);
    status |= QTest::qExec(makeRecentFilesTest().get(), argc, argv);
    return status;
}
