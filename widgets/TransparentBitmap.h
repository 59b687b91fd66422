// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QImage>
#include <QRect>

// A bitmap drawn transparently, as resource bitmaps are: every pixel in the
// colour of the bitmap's bottom-left pixel (compared without alpha) becomes
// see-through. `part` cuts one image out of a strip of images; the colour is
// the whole strip's. A null bitmap gives a null image.
QImage transparentBitmap(const QImage& bitmap, const QRect& part);
