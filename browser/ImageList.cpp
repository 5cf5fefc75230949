#include "browser/ImageList.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace zorvane {

namespace {

// Every picture is drawn on a 24-unit grid and scaled to the size asked for.
void drawArrow(QPainter& p, bool pointsLeft)
{
    QPainterPath arrow;
    arrow.moveTo(3, 12);
    arrow.lineTo(12, 3.5);
    arrow.lineTo(12, 8.5);
    arrow.lineTo(21, 8.5);
    arrow.lineTo(21, 15.5);
    arrow.lineTo(12, 15.5);
    arrow.lineTo(12, 20.5);
    arrow.closeSubpath();
    if (!pointsLeft) {
        p.translate(24, 0);
        p.scale(-1, 1);
    }
    p.setPen(QPen(QColor(0x1d, 0x5e, 0x1d), 1.2));
    p.setBrush(QColor(0x3c, 0xa8, 0x3c));
    p.drawPath(arrow);
}

void drawStop(QPainter& p)
{
    QPolygonF octagon;
    for (const auto& [x, y] : {std::pair{8.0, 2.5}, {16.0, 2.5}, {21.5, 8.0}, {21.5, 16.0},
                               {16.0, 21.5}, {8.0, 21.5}, {2.5, 16.0}, {2.5, 8.0}})
        octagon << QPointF(x, y);
    p.setPen(QPen(QColor(0x8a, 0x10, 0x10), 1.2));
    p.setBrush(QColor(0xd9, 0x2b, 0x2b));
    p.drawPolygon(octagon);
    p.setPen(QPen(Qt::white, 2.6, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(8.5, 8.5), QPointF(15.5, 15.5));
    p.drawLine(QPointF(15.5, 8.5), QPointF(8.5, 15.5));
}

void drawRefresh(QPainter& p)
{
    const QColor blue(0x1f, 0x5f, 0xb4);
    p.setPen(QPen(blue, 2.8, Qt::SolidLine, Qt::FlatCap));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(4.5, 4.5, 15, 15), 100 * 16, 290 * 16);
    QPainterPath head;   // arrow head at the arc's open end, pointing along it
    head.moveTo(13.5, 1.0);
    head.lineTo(13.5, 10.0);
    head.lineTo(8.5, 5.5);
    head.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(blue);
    p.drawPath(head);
}

void drawHome(QPainter& p)
{
    p.setPen(QPen(QColor(0x5a, 0x3a, 0x1a), 1.2));
    p.setBrush(QColor(0xf2, 0xe6, 0xc8));
    p.drawRect(QRectF(5.5, 11, 13, 10));
    QPolygonF roof;
    roof << QPointF(2, 12.5) << QPointF(12, 3) << QPointF(22, 12.5);
    p.setBrush(QColor(0xc0, 0x39, 0x2b));
    p.drawPolygon(roof);
    p.setBrush(QColor(0x7a, 0x4a, 0x20));
    p.drawRect(QRectF(10, 15, 4, 6));
}

void drawSearch(QPainter& p)
{
    p.setPen(QPen(QColor(0x44, 0x44, 0x44), 3.2, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(14.5, 14.5), QPointF(21, 21));
    p.setPen(QPen(QColor(0x33, 0x33, 0x33), 1.8));
    p.setBrush(QColor(0xcf, 0xe8, 0xfa));
    p.drawEllipse(QRectF(3, 3, 13, 13));
}

} // namespace

QPixmap drawBrowserPicture(int index, int size)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 24.0, size / 24.0);
    switch (index) {
    case 1: drawArrow(p, true); break;
    case 2: drawArrow(p, false); break;
    case 3: drawStop(p); break;
    case 4: drawRefresh(p); break;
    case 5: drawHome(p); break;
    case 6: drawSearch(p); break;
    default: break;
    }
    return pixmap;
}

ImageList browserToolbarPictures()
{
    static const char* const themeNames[] = {"go-previous", "go-next",  "process-stop",
                                             "view-refresh", "go-home", "edit-find"};
    ImageList imlIcons;
    for (int index = 1; index <= 6; ++index) {
        QIcon drawn;
        for (int size : {16, 24, 32, 48})
            drawn.addPixmap(drawBrowserPicture(index, size));
        imlIcons.add(QIcon::fromTheme(QString::fromLatin1(themeNames[index - 1]), drawn));
    }
    return imlIcons;
}

} // namespace zorvane
