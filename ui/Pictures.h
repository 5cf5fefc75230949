#pragma once
#include <QIcon>
#include <QImage>
#include <QList>
#include <QPixmap>
#include <QRgb>

namespace zorvane {

// The program's own pictures, drawn as vector resources and rendered here.
struct Pictures {
    // The network adapter card on its green ground, 99 x 62 pixels, 24-bit colour.
    static QPixmap adapterCard();
    // The program icon, 32 x 32 pixels in the 16 standard colours (plus transparency).
    static QImage programIconImage();
    static QIcon programIcon();
    // The listing browser's icon: a page of the listing and a globe.
    static QIcon listingIcon();
    // The Addresses window's icon: a page of text and a magnifying glass over its addresses.
    static QIcon addressesIcon();

    static constexpr int CardWidth = 99;
    static constexpr int CardHeight = 62;
    static constexpr int IconSize = 32;
    // The 16 colours the icon is made of.
    static QList<QRgb> iconPalette();
};

} // namespace zorvane
