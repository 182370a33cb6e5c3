#pragma once

#include "base/VersionText.h"

#include <QWidget>

class QLabel;

namespace nuvora {

// FrmInfo: the modeless About box with the program's icon, title and version. It deletes itself
// when closed, so the next opening fills it anew.
class AboutBox : public QWidget {
    Q_OBJECT
public:
    explicit AboutBox(const QString &programFolder);

    // The icon from the program folder and the two label texts.
    void Form_Load();
    QLabel *titleLabel() const { return m_label0; }
    QLabel *versionLabel() const { return m_label1; }
    QLabel *iconLabel() const { return m_image2; }

private:
    QString m_programFolder;
    QLabel *m_image2 = nullptr;
    QLabel *m_label0 = nullptr;
    QLabel *m_label1 = nullptr;
};

} // namespace nuvora
