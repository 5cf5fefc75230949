#pragma once
#include <QIcon>
#include <QList>

namespace zorvane {

// An image list: pictures numbered from 1, as the toolbar refers to them.
class ImageList {
public:
    void add(const QIcon& picture) { m_pictures.append(picture); }
    int count() const { return int(m_pictures.size()); }
    // The picture at `index` (1 to count()); a null icon outside that range.
    QIcon picture(int index) const
    {
        return index >= 1 && index <= count() ? m_pictures.at(index - 1) : QIcon();
    }

private:
    QList<QIcon> m_pictures;
};

// The six toolbar pictures in toolbar order: Back, Forward, Stop, Refresh, Home,
// Search. Each is the desktop's icon theme picture where the theme has one,
// otherwise our own drawing.
ImageList browserToolbarPictures();

// Our own drawing of picture `index` (1 to 6) at `size` pixels square.
QPixmap drawBrowserPicture(int index, int size);

} // namespace zorvane
