#include "ui/Pictures.h"

#include <QPainter>
#include <QSvgRenderer>

#include <climits>

static void initPictureResources() { Q_INIT_RESOURCE(pictures); }

namespace zorvane {

namespace {

QImage render(const QString& resource, QSize size, QImage::Format format)
{
    initPictureResources();
    QImage image(size, format);
    image.fill(Qt::transparent);
    QSvgRenderer renderer(resource);
    QPainter painter(&image);
    renderer.render(&painter, QRectF(QPointF(0, 0), QSizeF(size)));
    return image;
}

} // namespace

QPixmap Pictures::adapterCard()
{
    return QPixmap::fromImage(render(QStringLiteral(":/pictures/adapter.svg"),
                                     QSize(CardWidth, CardHeight), QImage::Format_RGB888));
}

QList<QRgb> Pictures::iconPalette()
{
    return {qRgb(0, 0, 0),       qRgb(128, 0, 0),   qRgb(0, 128, 0),   qRgb(128, 128, 0),
            qRgb(0, 0, 128),     qRgb(128, 0, 128), qRgb(0, 128, 128), qRgb(192, 192, 192),
            qRgb(128, 128, 128), qRgb(255, 0, 0),   qRgb(0, 255, 0),   qRgb(255, 255, 0),
            qRgb(0, 0, 255),     qRgb(255, 0, 255), qRgb(0, 255, 255), qRgb(255, 255, 255)};
}

QImage Pictures::programIconImage()
{
    // The drawing is made of whole pixels in the 16 colours, so rendering it at
    // its own size and mapping it to the palette changes nothing.
    const QImage rendered = render(QStringLiteral(":/pictures/zorvane.svg"),
                                   QSize(IconSize, IconSize), QImage::Format_ARGB32);
    QList<QRgb> table = iconPalette();
    table.append(qRgba(0, 0, 0, 0));
    QImage icon(rendered.size(), QImage::Format_Indexed8);
    icon.setColorTable(table);
    for (int y = 0; y < rendered.height(); ++y) {
        for (int x = 0; x < rendered.width(); ++x) {
            const QRgb pixel = rendered.pixel(x, y);
            if (qAlpha(pixel) < 128) {
                icon.setPixel(x, y, uint(table.size() - 1));
                continue;
            }
            int best = 0;
            int bestDistance = INT_MAX;
            for (int i = 0; i < 16; ++i) {
                const int dr = qRed(pixel) - qRed(table[i]);
                const int dg = qGreen(pixel) - qGreen(table[i]);
                const int db = qBlue(pixel) - qBlue(table[i]);
                const int distance = dr * dr + dg * dg + db * db;
                if (distance < bestDistance) {
                    bestDistance = distance;
                    best = i;
                }
            }
            icon.setPixel(x, y, uint(best));
        }
    }
    return icon;
}

QIcon Pictures::listingIcon()
{
    QIcon icon;
    for (const int size : {16, 24, 32, 48, 64})
        icon.addPixmap(QPixmap::fromImage(render(QStringLiteral(":/pictures/zorvane-listing.svg"),
                                                 QSize(size, size), QImage::Format_ARGB32)));
    return icon;
}

QIcon Pictures::addressesIcon()
{
    QIcon icon;
    for (const int size : {16, 24, 32, 48, 64})
        icon.addPixmap(QPixmap::fromImage(render(QStringLiteral(":/pictures/zorvane-addresses.svg"),
                                                 QSize(size, size), QImage::Format_ARGB32)));
    return icon;
}

QIcon Pictures::programIcon()
{
    QIcon icon;
    icon.addPixmap(QPixmap::fromImage(programIconImage()));
    return icon;
}

} // namespace zorvane
