// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QImage>
#include <QRect>

// A bitmap drawn transparently, as resource bitmaps are: every pixel in the
// colour of the bitmap's bottom-left pixel (compared without alpha) becomes
// see-through. `part` cuts one image out of a strip of images; the colour is
// the whole strip's. A null bitmap gives a null image.
QImage transparentBitmap(const QImage& bitmap, const QRect& part);

// A bitmap for a device of `ratio` device pixels to a pixel (a high-DPI
// screen, QT_SCALE_FACTOR): at 1 or less the bitmap itself, pixel for pixel;
// above, a picture of the same size in pixels that is sharp at the device's
// resolution. The pixels are enlarged by an integral factor with a pixel-art
// scaler that keeps edges hard and follows diagonals (Scale2x, Scale3x; 4, 6,
// 8, 9 ... by applying them in turn); a ratio that is not whole (1.5) is
// reached from twice it (3) by smooth reduction, so that each device pixel is
// the mean of whole enlarged pixels. The result carries `ratio` as its device
// pixel ratio.
QImage bitmapForDevice(const QImage& bitmap, qreal ratio);
