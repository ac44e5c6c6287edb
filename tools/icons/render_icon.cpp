// Renders the program's one SVG icon as PNG files of the given sizes, for the icon theme.
//
//   render_icon ICON.svg OUTDIR SIZE...    writes OUTDIR/SIZExSIZE/pdfplait.png

#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QImageReader>

#include <cstdio>

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: render_icon ICON.svg OUTDIR SIZE...\n");
        return 2;
    }
    // Runs during the build, where there is no display.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QString source = QString::fromLocal8Bit(argv[1]);
    const QString outDir = QString::fromLocal8Bit(argv[2]);
    for (int i = 3; i < argc; ++i) {
        bool ok = false;
        const int size = QString::fromLatin1(argv[i]).toInt(&ok);
        if (!ok || size <= 0 || size > 1024) {
            std::fprintf(stderr, "render_icon: %s: not a size from 1 to 1024\n", argv[i]);
            return 2;
        }
        QImageReader reader(source);
        reader.setScaledSize(QSize(size, size));
        const QImage image = reader.read();
        if (image.isNull()) {
            std::fprintf(stderr, "render_icon: %s: %s\n", argv[1], qPrintable(reader.errorString()));
            return 1;
        }
        const QString dir = QStringLiteral("%1/%2x%2").arg(outDir).arg(size);
        const QString target = dir + QStringLiteral("/pdfplait.png");
        if (!QDir().mkpath(dir) || !image.save(target, "PNG")) {
            std::fprintf(stderr, "render_icon: %s: cannot write\n", qPrintable(target));
            return 1;
        }
    }
    return 0;
}
