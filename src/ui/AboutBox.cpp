#include "ui/AboutBox.h"

#include "base/Prompter.h"
#include "base/VersionText.h"

#include <QFrame>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QImageReader>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>

namespace nuvora {

namespace {

const QString kIconFile = QStringLiteral("VURUVEVI.ROD");

// Picture1: a memory chip with a message flowing into it, drawn here so that the box carries
// no picture file of its own.
QPixmap chipPicture()
{
    QPixmap picture(64, 64);
    picture.fill(Qt::white);
    QPainter p(&picture);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(Qt::darkGray, 2));
    for (int i = 0; i < 4; ++i) {
        const int y = 18 + i * 9;
        p.drawLine(12, y, 18, y);
        p.drawLine(46, y, 52, y);
    }
    p.setBrush(QColor(40, 40, 48));
    p.setPen(Qt::NoPen);
    p.drawRoundedRect(QRectF(18, 12, 28, 40), 3, 3);
    p.setBrush(QColor(192, 255, 255));
    p.drawEllipse(QPointF(24, 18), 2.5, 2.5);
    QPainterPath arrow;
    arrow.moveTo(32, 2);
    arrow.lineTo(38, 10);
    arrow.lineTo(26, 10);
    arrow.closeSubpath();
    p.setBrush(QColor(0, 160, 0));
    p.drawPath(arrow);
    p.setPen(QPen(QColor(255, 200, 0), 2));
    p.drawLine(24, 30, 40, 30);
    p.drawLine(24, 36, 36, 36);
    p.drawLine(24, 42, 38, 42);
    return picture;
}

} // namespace

AboutBox::AboutBox(const QString &programFolder)
    : QWidget(nullptr, Qt::Window), m_programFolder(programFolder)
{
    setObjectName(QStringLiteral("FrmInfo"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Info"));
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::white);
    setPalette(pal);

    m_image2 = new QLabel(this);
    m_image2->setObjectName(QStringLiteral("Image2"));
    m_image2->setFixedSize(48, 48);
    m_image2->setAlignment(Qt::AlignCenter);
    auto *picture1 = new QLabel(this);
    picture1->setObjectName(QStringLiteral("Picture1"));
    picture1->setPixmap(chipPicture());

    auto *frame1 = new QGroupBox(QStringLiteral("Program Info"), this);
    frame1->setObjectName(QStringLiteral("Frame1"));
    m_label0 = new QLabel(frame1);
    m_label0->setObjectName(QStringLiteral("Label1_0"));
    QFont titleFont = m_label0->font();
    titleFont.setBold(true);
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.3);
    m_label0->setFont(titleFont);
    m_label1 = new QLabel(frame1);
    m_label1->setObjectName(QStringLiteral("Label1_1"));
    auto *line1 = new QFrame(frame1);
    line1->setObjectName(QStringLiteral("Line1"));
    line1->setFrameShape(QFrame::HLine);
    auto *fixed1 =
        new QLabel(QStringLiteral("Writes message images into the device's EEPROM"), frame1);
    auto *fixed2 = new QLabel(QStringLiteral("over a serial line, 16 bytes per frame."), frame1);

    auto *text = new QVBoxLayout(frame1);
    text->addWidget(m_label0);
    text->addWidget(m_label1);
    text->addWidget(line1);
    text->addWidget(fixed1);
    text->addWidget(fixed2);

    auto *pictures = new QVBoxLayout;
    pictures->addWidget(m_image2);
    pictures->addWidget(picture1);
    pictures->addStretch();
    auto *top = new QHBoxLayout(this);
    top->addLayout(pictures);
    top->addWidget(frame1);
    top->setSizeConstraint(QLayout::SetFixedSize);

    Form_Load();
}

void AboutBox::Form_Load()
{
    // A missing or unreadable icon just leaves the picture empty.
    QImageReader reader(m_programFolder + QLatin1Char('/') + kIconFile);
    const QImage icon = reader.read();
    m_image2->setPixmap(icon.isNull() ? QPixmap()
                                      : QPixmap::fromImage(icon.scaled(48, 48, Qt::KeepAspectRatio,
                                                                       Qt::SmoothTransformation)));
    m_label0->setText(kAppTitle);
    m_label1->setText(programVersionText());
}

} // namespace nuvora
