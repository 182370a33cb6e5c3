#include "ui/WidgetPrompter.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QStringList>

namespace nuvora {

QString qtFileFilter(const QString &filter)
{
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList entries;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        const QString description = parts[i];
        const QString patterns = QString(parts[i + 1]).replace(QLatin1Char(';'), QLatin1Char(' '));
        if (description.contains(QLatin1Char('(')))
            entries << description;
        else
            entries << QStringLiteral("%1 (%2)").arg(description, patterns);
    }
    if (parts.size() % 2 == 1 && !parts.last().isEmpty())
        entries << parts.last();
    return entries.join(QStringLiteral(";;"));
}

void WidgetPrompter::message(const QString &text, int style, const QString &title)
{
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    switch (style & 0xF0) {
    case kStyleCritical:
        icon = QMessageBox::Critical;
        break;
    case kStyleExclamation:
        icon = QMessageBox::Warning;
        break;
    case kStyleInformation:
        icon = QMessageBox::Information;
        break;
    default:
        break;
    }
    // A carriage return alone starts a new line in the box, as the texts expect.
    QString shown = text;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"))
        .replace(QLatin1Char('\r'), QLatin1Char('\n'));
    QMessageBox box(icon, title.isEmpty() ? kAppTitle : title, shown, QMessageBox::Ok, m_parent);
    box.exec();
}

OpenFileAnswer WidgetPrompter::openFile(const OpenFileOptions &options)
{
    QFileDialog dialog(m_parent);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile); // the path and the file must exist
    dialog.setNameFilter(qtFileFilter(options.filter));
    dialog.setDefaultSuffix(options.defaultExt);
    dialog.setOption(QFileDialog::ReadOnly, false);
    OpenFileAnswer answer;
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return answer;
    answer.cancelled = false;
    answer.fileName = QDir::toNativeSeparators(dialog.selectedFiles().first());
    answer.fileTitle = QFileInfo(answer.fileName).fileName();
    return answer;
}

} // namespace nuvora
