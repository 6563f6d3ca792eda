// Reading rendered widgets back: where the dark pixels are.
#pragma once

#include <QImage>
#include <QRect>

namespace tolmar::test {

inline bool inked(QRgb pixel)
{
    return qGray(pixel) < 128;
}

// The box around the dark pixels inside `area`; empty when there are none.
inline QRect inkBox(const QImage &image, const QRect &area)
{
    QRect box;
    const QRect inside = area & image.rect();
    for (int y = inside.top(); y <= inside.bottom(); ++y)
        for (int x = inside.left(); x <= inside.right(); ++x)
            if (inked(image.pixel(x, y)))
                box |= QRect(x, y, 1, 1);
    return box;
}

// The pixels of `area`, for comparing two renderings.
inline QImage pixelsOf(const QImage &image, const QRect &area)
{
    return image.copy(area).convertToFormat(QImage::Format_RGB32);
}

} // namespace tolmar::test
