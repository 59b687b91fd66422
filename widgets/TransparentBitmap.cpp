// SPDX-License-Identifier: GPL-3.0-or-later

#include "TransparentBitmap.h"

#include <algorithm>
#include <cmath>

namespace {

// The pixel at (x, y), or the nearest one at the image's edge.
QRgb at(const QImage& image, int x, int y)
{
    return image.pixel(std::clamp(x, 0, image.width() - 1), std::clamp(y, 0, image.height() - 1));
}

// The neighbourhood of a pixel E, as the scalers name it:
//   A B C
//   D E F
//   G H I
// and for each corner of E whether it is cut: the two neighbours at that
// corner agree, the other two do not, and the edge runs on diagonally (E's
// colour goes on beyond the corner, at G or C for the upper left corner). A
// diagonal edge then stays one step wide instead of becoming a staircase of
// blocks, and the corners of a rectangle stay square.
struct Neighbourhood
{
    QRgb a, b, c, d, e, f, g, h, i;
    bool cutUpperLeft, cutUpperRight, cutLowerLeft, cutLowerRight;

    Neighbourhood(const QImage& image, int x, int y)
        : a(at(image, x - 1, y - 1)), b(at(image, x, y - 1)), c(at(image, x + 1, y - 1)),
          d(at(image, x - 1, y)), e(image.pixel(x, y)), f(at(image, x + 1, y)),
          g(at(image, x - 1, y + 1)), h(at(image, x, y + 1)), i(at(image, x + 1, y + 1))
    {
        const bool apart = b != h && d != f;
        cutUpperLeft = apart && d == b && (g == e || c == e);
        cutUpperRight = apart && b == f && (a == e || i == e);
        cutLowerLeft = apart && d == h && (a == e || i == e);
        cutLowerRight = apart && h == f && (g == e || c == e);
    }
};

// Scale2x: each pixel becomes four, a cut corner's quarter in the colour
// beyond the corner.
QImage scale2x(const QImage& image)
{
    QImage result(image.size() * 2, QImage::Format_ARGB32);
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const Neighbourhood n(image, x, y);
            result.setPixel(2 * x, 2 * y, n.cutUpperLeft ? n.d : n.e);
            result.setPixel(2 * x + 1, 2 * y, n.cutUpperRight ? n.f : n.e);
            result.setPixel(2 * x, 2 * y + 1, n.cutLowerLeft ? n.d : n.e);
            result.setPixel(2 * x + 1, 2 * y + 1, n.cutLowerRight ? n.f : n.e);
        }
    }
    return result;
}

// Scale3x: each pixel becomes nine; the middle of an edge takes the colour
// beyond it only where a cut corner beside it meets a corner neighbour of
// another colour, so that a straight edge stays straight.
QImage scale3x(const QImage& image)
{
    QImage result(image.size() * 3, QImage::Format_ARGB32);
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const Neighbourhood n(image, x, y);
            const QRgb e = n.e;
            const QRgb parts[9] = {
                n.cutUpperLeft ? n.d : e,
                (n.cutUpperLeft && e != n.c) || (n.cutUpperRight && e != n.a) ? n.b : e,
                n.cutUpperRight ? n.f : e,
                (n.cutUpperLeft && e != n.g) || (n.cutLowerLeft && e != n.a) ? n.d : e,
                e,
                (n.cutUpperRight && e != n.i) || (n.cutLowerRight && e != n.c) ? n.f : e,
                n.cutLowerLeft ? n.d : e,
                (n.cutLowerLeft && e != n.i) || (n.cutLowerRight && e != n.g) ? n.h : e,
                n.cutLowerRight ? n.f : e};
            for (int part = 0; part < 9; ++part)
                result.setPixel(3 * x + part % 3, 3 * y + part / 3, parts[part]);
        }
    }
    return result;
}

// The least factor of the form 2^a 3^b that is at least `wanted`.
int scalerFactor(int wanted)
{
    int best = 1;
    while (best < wanted)
        best *= 2;
    for (int threes = 3; threes <= best; threes *= 3)
        for (int factor = threes; factor <= best; factor *= 2)
            if (factor >= wanted)
                best = std::min(best, factor);
    return best;
}

QImage enlarge(QImage image, int factor)
{
    for (; factor % 3 == 0; factor /= 3)
        image = scale3x(image);
    for (; factor % 2 == 0; factor /= 2)
        image = scale2x(image);
    return image;
}

} // namespace

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

QImage bitmapForDevice(const QImage& bitmap, qreal ratio)
{
    if (ratio <= 1 || bitmap.isNull())
        return bitmap;
    const bool whole = ratio == std::floor(ratio);
    QImage image = enlarge(bitmap.convertToFormat(QImage::Format_ARGB32),
                           scalerFactor(int(std::ceil(whole ? ratio : 2 * ratio))));
    const QSize size(int(std::lround(bitmap.width() * ratio)),
                     int(std::lround(bitmap.height() * ratio)));
    if (image.size() != size)
        image = image.convertToFormat(QImage::Format_ARGB32_Premultiplied)
                    .scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    image.setDevicePixelRatio(ratio);
    return image;
}
