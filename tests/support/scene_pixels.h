#pragma once

#include <QImage>

#include <cstdlib>
#include <functional>

namespace velmora {

// The colours lighting makes of the scene's materials, as a view's frame holds them: red rings, grey
// spheres, yellow rays, magenta links of a group whose root is craft 1 or 5.
inline bool isRed(QRgb c) { return qRed(c) > 60 && qGreen(c) < 16 && qBlue(c) < 16; }
inline bool isGrey(QRgb c)
{
    return qRed(c) > 40 && std::abs(qRed(c) - qGreen(c)) < 8 && std::abs(qRed(c) - qBlue(c)) < 8;
}
inline bool isYellow(QRgb c) { return qRed(c) > 40 && std::abs(qRed(c) - qGreen(c)) < 8 && qBlue(c) < 16; }
inline bool isMagenta(QRgb c) { return qRed(c) > 40 && qGreen(c) < 16 && std::abs(qRed(c) - qBlue(c)) < 8; }

// How many pixels of area (the whole image if null; clipped to the image) are of a kind.
inline int countPixels(const QImage& image, const std::function<bool(QRgb)>& is, QRect area = {})
{
    area = area.isNull() ? image.rect() : area.intersected(image.rect());
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            n += is(image.pixel(x, y)) ? 1 : 0;
    return n;
}

inline QRect around(QPoint p, int half) { return {p.x() - half, p.y() - half, 2 * half + 1, 2 * half + 1}; }

}  // namespace velmora
