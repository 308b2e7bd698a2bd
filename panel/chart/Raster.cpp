#include "panel/chart/Raster.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace chart {

namespace {

// All four 8-bit channels of `pixel` times `factor` / 255, two channels per multiplication.
inline QRgb ScaleChannels(QRgb pixel, uint factor)
{
    uint redBlue = (pixel & 0xff00ff) * factor;
    redBlue = ((redBlue + ((redBlue >> 8) & 0xff00ff) + 0x800080) >> 8) & 0xff00ff;
    uint alphaGreen = ((pixel >> 8) & 0xff00ff) * factor;
    alphaGreen = (alphaGreen + ((alphaGreen >> 8) & 0xff00ff) + 0x800080) & 0xff00ff00;
    return alphaGreen | redBlue;
}

} // namespace

RasterTarget::RasterTarget(QImage& image)
    : m_bits(image.bits()), m_stride(image.bytesPerLine()), m_width(image.width()), m_height(image.height())
{
}

void RasterTarget::FillSquare(int x, int y, int sizePx, QRgb colour)
{
    const int x0 = std::max(x - sizePx / 2, 0);
    const int y0 = std::max(y - sizePx / 2, 0);
    const int x1 = std::min(x - sizePx / 2 + sizePx, m_width);
    const int y1 = std::min(y - sizePx / 2 + sizePx, m_height);
    for (int row = y0; row < y1; ++row) {
        auto* line = reinterpret_cast<QRgb*>(m_bits + static_cast<qsizetype>(row) * m_stride);
        std::fill(line + x0, line + std::max(x0, x1), colour);
    }
}

void RasterTarget::Blend(const QImage& sprite, int x, int y)
{
    const int col0 = std::max(0, -x);
    const int row0 = std::max(0, -y);
    const int col1 = std::min(sprite.width(), m_width - x);
    const int row1 = std::min(sprite.height(), m_height - y);
    for (int row = row0; row < row1; ++row) {
        const auto* src = reinterpret_cast<const QRgb*>(sprite.constScanLine(row));
        auto* dst = reinterpret_cast<QRgb*>(m_bits + static_cast<qsizetype>(y + row) * m_stride) + x;
        for (int col = col0; col < col1; ++col) {
            const QRgb s = src[col];
            const uint alpha = qAlpha(s);
            if (alpha == 0) continue;
            if (alpha == 255) {
                dst[col] = s;
                continue;
            }
            // Source over destination, both premultiplied.
            dst[col] = s + ScaleChannels(dst[col], 255 - alpha);
        }
    }
}

void RasterTarget::Line(int x0, int y0, int x1, int y1, QRgb colour, bool dashed)
{
    // Cut to the image (Liang-Barsky) first: a long vector at high zoom may reach far outside.
    double t0 = 0.0;
    double t1 = 1.0;
    const double dxTotal = x1 - x0;
    const double dyTotal = y1 - y0;
    const double edges[4][2] = {{-dxTotal, x0 + 1.0},
                                {dxTotal, m_width - x0 + 0.0},
                                {-dyTotal, y0 + 1.0},
                                {dyTotal, m_height - y0 + 0.0}};
    for (const auto& [p, q] : edges) {
        if (p == 0) {
            if (q < 0) return;
            continue;
        }
        const double t = q / p;
        if (p < 0) t0 = std::max(t0, t);
        else t1 = std::min(t1, t);
        if (t0 > t1) return;
    }
    const int ax = static_cast<int>(std::lround(x0 + t0 * dxTotal));
    const int ay = static_cast<int>(std::lround(y0 + t0 * dyTotal));
    const int bx = static_cast<int>(std::lround(x0 + t1 * dxTotal));
    const int by = static_cast<int>(std::lround(y0 + t1 * dyTotal));

    constexpr int kDashPx = 4;
    const int dx = std::abs(bx - ax);
    const int dy = -std::abs(by - ay);
    const int stepX = ax < bx ? 1 : -1;
    const int stepY = ay < by ? 1 : -1;
    int error = dx + dy;
    for (int x = ax, y = ay, n = 0;; ++n) {
        if (!dashed || (n / kDashPx) % 2 == 0) Put(x, y, colour);
        if (x == bx && y == by) break;
        const int twice = 2 * error;
        if (twice >= dy) {
            error += dy;
            x += stepX;
        }
        if (twice <= dx) {
            error += dx;
            y += stepY;
        }
    }
}

} // namespace chart
