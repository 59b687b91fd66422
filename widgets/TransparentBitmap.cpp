// SPDX-License-Identifier: GPL-3.0-or-later

#include "TransparentBitmap.h"

QImage transparentBitmap(const QImage& bitmap, const QRect& part)
{
    if (bitmap.isNull())
        return {};
    const QRgb transparent = bitmap.pixel(0, bitmap.height() - 1) & RGB_MASK;
    QImage image = bitmap.copy(part).convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if ((image.pixel(x, y) & RGB_MASK) == transparent)
                image.setPixel(x, y, qRgba(0, 0, 0, 0));
        }
    }
    return image;
}
