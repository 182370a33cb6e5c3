// nuvora-icon-png: the window's XPM icon as a PNG for the desktop icon theme.
#include <QImage>
#include <QString>

#include <cstdio>
#include <cstdlib>

int main(int argc, char **argv)
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: nuvora-icon-png ICON SIZE OUT.png\n");
        return 2;
    }
    // The icon file has no extension: Qt recognises the XPM by its content.
    const QImage icon(QString::fromLocal8Bit(argv[1]));
    const int size = std::atoi(argv[2]);
    if (icon.isNull() || size < 1) {
        std::fprintf(stderr, "nuvora-icon-png: cannot read %s or bad size %s\n", argv[1], argv[2]);
        return 1;
    }
    // Whole-pixel scaling keeps the drawing's hard edges at every theme size.
    const QImage scaled = icon.scaled(size, size, Qt::IgnoreAspectRatio, Qt::FastTransformation)
                              .convertToFormat(QImage::Format_ARGB32);
    if (!scaled.save(QString::fromLocal8Bit(argv[3]), "PNG")) {
        std::fprintf(stderr, "nuvora-icon-png: cannot write %s\n", argv[3]);
        return 1;
    }
    return 0;
}
