#pragma once

#include <QImage>
#include <QRgb>

namespace chart {

// Pixel writes straight into a 32-bit premultiplied image, for the layer with up to a hundred
// thousand marks: the painter's per-call cost (about a microsecond here) would alone use up a
// frame's budget. Everything is clipped to the image.
class RasterTarget {
public:
    // `image` must be Format_ARGB32_Premultiplied and outlive this object.
    explicit RasterTarget(QImage& image);

    // An opaque square of `sizePx` pixels centred on (x, y).
    void FillSquare(int x, int y, int sizePx, QRgb colour);
    // `sprite` (premultiplied) drawn over the image with its top-left corner at (x, y).
    void Blend(const QImage& sprite, int x, int y);
    // A one-pixel line; with `dashed`, alternately 4 pixels drawn and 4 left out.
    void Line(int x0, int y0, int x1, int y1, QRgb colour, bool dashed);

private:
    void Put(int x, int y, QRgb colour)
    {
        if (static_cast<unsigned>(x) < static_cast<unsigned>(m_width) &&
            static_cast<unsigned>(y) < static_cast<unsigned>(m_height))
            reinterpret_cast<QRgb*>(m_bits + static_cast<qsizetype>(y) * m_stride)[x] = colour;
    }

    uchar* m_bits;
    qsizetype m_stride;
    int m_width;
    int m_height;
};

} // namespace chart
