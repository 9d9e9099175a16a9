// orvex_icon DIR: writes the program icon as DIR/<n>x<n>/apps/orvex-gcs.png for the sizes of the
// desktop's icon theme. Run at build time.
#include <QDir>
#include <QGuiApplication>
#include <QImage>

#include <cstdio>

#include "app/mainframe/Artwork.h"

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: orvex_icon DIR\n");
        return 2;
    }
    QGuiApplication app(argc, argv);
    const QDir root(QString::fromLocal8Bit(argv[1]));
    for (int size : {16, 24, 32, 48, 64, 128, 256}) {
        const QString sub = QStringLiteral("%1x%1/apps").arg(size);
        if (!root.mkpath(sub) || !orvex::programIconImage(size).save(root.filePath(sub + QStringLiteral("/orvex-gcs.png")))) {
            std::fprintf(stderr, "orvex_icon: cannot write %s/%s\n", argv[1], qPrintable(sub));
            return 1;
        }
    }
    return 0;
}
