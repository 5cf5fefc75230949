// zorvane_render_icon OUTDIR NAME=SVG... -- SIZE...: renders each SVG picture
// as OUTDIR/SIZExSIZE/apps/NAME.png, the icon theme's layout, at every size.
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>

#include <cstdio>

int main(int argc, char* argv[])
{
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    const qsizetype split = args.indexOf(QStringLiteral("--"));
    if (args.size() < 4 || split < 2) {
        std::fputs("usage: zorvane_render_icon OUTDIR NAME=SVG... -- SIZE...\n", stderr);
        return 2;
    }
    const QDir out(args.first());
    for (const QString& picture : args.mid(1, split - 1)) {
        const QString name = picture.section(QLatin1Char('='), 0, 0);
        QSvgRenderer svg(picture.section(QLatin1Char('='), 1));
        if (!svg.isValid()) {
            std::fprintf(stderr, "zorvane_render_icon: %s: not a picture\n", qPrintable(picture));
            return 1;
        }
        for (const QString& sizeText : args.mid(split + 1)) {
            const int size = sizeText.toInt();
            QImage image(size, size, QImage::Format_ARGB32);
            image.fill(Qt::transparent);
            QPainter painter(&image);
            painter.setRenderHint(QPainter::Antialiasing);
            svg.render(&painter, QRectF(0, 0, size, size));
            painter.end();
            const QString folder = QStringLiteral("%1x%1/apps").arg(size);
            const QString file = out.filePath(folder + QLatin1Char('/') + name + QStringLiteral(".png"));
            if (!out.mkpath(folder) || !image.save(file)) {
                std::fprintf(stderr, "zorvane_render_icon: cannot write %s\n", qPrintable(file));
                return 1;
            }
        }
    }
    return 0;
}
