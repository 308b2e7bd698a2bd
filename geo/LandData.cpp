#include "geo/LandData.h"

#include <cmath>
#include <cstring>
#include <stdexcept>

extern "C" const std::uint8_t kvl_land_blob_begin[];
extern "C" const std::uint8_t kvl_land_blob_end[];

namespace geo {

namespace {

constexpr char kMagic[] = "KVLGSHG1";
constexpr std::size_t kMagicLength = 8;
constexpr std::size_t kHeaderLength = 4 + 6 * 4;
constexpr int kDatasetCount = 2;
constexpr std::uint8_t kMaxLevel = 4;
constexpr std::uint8_t kIsletFlag = 0x80;  // in a piece's level byte

std::uint32_t ReadU32(std::span<const std::uint8_t> data, std::size_t at)
{
    if (at + 4 > data.size()) throw std::runtime_error("land data: truncated");
    return static_cast<std::uint32_t>(data[at]) | static_cast<std::uint32_t>(data[at + 1]) << 8 |
           static_cast<std::uint32_t>(data[at + 2]) << 16 | static_cast<std::uint32_t>(data[at + 3]) << 24;
}

class Reader {
public:
    explicit Reader(std::span<const std::uint8_t> data) : m_data(data) {}
    std::uint8_t Byte()
    {
        if (m_at >= m_data.size()) throw std::runtime_error("land data: truncated bin");
        return m_data[m_at++];
    }
    std::uint32_t Varint()
    {
        std::uint32_t value = 0;
        for (int shift = 0; shift < 35; shift += 7) {
            const std::uint8_t b = Byte();
            value |= static_cast<std::uint32_t>(b & 0x7F) << shift;
            if ((b & 0x80) == 0) return value;
        }
        throw std::runtime_error("land data: bad number");
    }
    std::int32_t ZigZag()
    {
        const std::uint32_t v = Varint();
        return static_cast<std::int32_t>(v >> 1) ^ -static_cast<std::int32_t>(v & 1);
    }

private:
    std::span<const std::uint8_t> m_data;
    std::size_t m_at = 0;
};

double Wrap(double lon)
{
    return lon >= 180.0 ? lon - 360.0 : lon;
}

} // namespace

ShoreDataset::ShoreDataset(std::span<const std::uint8_t> data, std::size_t& used)
{
    if (data.size() < kHeaderLength) throw std::runtime_error("land data: truncated header");
    m_binDegrees = data[1];
    m_steps = static_cast<int>(ReadU32(data, 4));
    m_columns = static_cast<int>(ReadU32(data, 8));
    m_rows = static_cast<int>(ReadU32(data, 12));
    m_pointCount = ReadU32(data, 20);
    const std::size_t payloadBytes = ReadU32(data, 24);
    if (m_binDegrees == 0 || m_columns * m_binDegrees != 360 || m_rows * m_binDegrees != 180 || m_steps <= 0)
        throw std::runtime_error("land data: bad grid");
    const std::size_t bins = static_cast<std::size_t>(m_columns) * static_cast<std::size_t>(m_rows);
    used = kHeaderLength + bins + 4 * bins + payloadBytes;
    if (used > data.size()) throw std::runtime_error("land data: truncated dataset");
    m_levels = data.subspan(kHeaderLength, bins);
    m_offsets = data.subspan(kHeaderLength + bins, 4 * bins);
    m_payload = data.subspan(kHeaderLength + 5 * bins, payloadBytes);
    for (std::uint8_t level : m_levels)
        if (level > kMaxLevel) throw std::runtime_error("land data: bad level");
    m_decoded = std::make_unique<std::once_flag[]>(bins);
    m_bins.resize(bins);
}

const ShoreBin& ShoreDataset::Bin(int column, int row) const
{
    const std::size_t index = static_cast<std::size_t>(row) * static_cast<std::size_t>(m_columns) +
                              static_cast<std::size_t>(column);
    std::call_once(m_decoded[index], [this, index] { Decode(index); });
    return m_bins[index];
}

void ShoreDataset::Decode(std::size_t index) const
{
    ShoreBin& bin = m_bins[index];
    bin.referenceLevel = m_levels[index];
    const std::size_t offset = ReadU32(m_offsets, 4 * index);
    if (offset > m_payload.size()) throw std::runtime_error("land data: bad bin offset");
    Reader in(m_payload.subspan(offset));
    const std::uint32_t pieces = in.Varint();
    for (std::uint32_t p = 0; p < pieces; ++p) {
        ShorePiece piece;
        const std::uint8_t level = in.Byte();
        piece.level = static_cast<std::uint8_t>(level & ~kIsletFlag);
        piece.islet = (level & kIsletFlag) != 0;
        piece.count = in.Varint();
        piece.first = static_cast<std::uint32_t>(bin.points.size());
        if (piece.level == 0 || piece.level > kMaxLevel || piece.count < 2 || piece.count > m_pointCount ||
            (piece.islet && piece.level % 2 == 0))
            throw std::runtime_error("land data: bad piece");
        StepPoint point{static_cast<std::int32_t>(in.Varint()), static_cast<std::int32_t>(in.Varint())};
        bin.points.push_back(point);
        for (std::uint32_t i = 1; i < piece.count; ++i) {
            point.x += in.ZigZag();
            point.y += in.ZigZag();
            bin.points.push_back(point);
        }
        bin.pieces.push_back(piece);
    }
}

LatLon ShoreDataset::ToLatLon(int column, int row, StepPoint p) const
{
    const double scale = static_cast<double>(m_binDegrees) / m_steps;
    return {row * m_binDegrees - 90.0 + p.y * scale, Wrap(column * m_binDegrees - 180.0 + p.x * scale)};
}

LandData::LandData(std::span<const std::uint8_t> file)
{
    if (file.size() < kMagicLength + 4 || std::memcmp(file.data(), kMagic, kMagicLength) != 0)
        throw std::runtime_error("land data: not a KVL land data file");
    if (ReadU32(file, kMagicLength) != kDatasetCount) throw std::runtime_error("land data: unexpected datasets");
    std::size_t at = kMagicLength + 4;
    std::size_t used = 0;
    m_high = std::make_unique<ShoreDataset>(file.subspan(at), used);
    at += used;
    m_low = std::make_unique<ShoreDataset>(file.subspan(at), used);
}

const LandData& LandData::Builtin()
{
    static const LandData data(std::span<const std::uint8_t>(
        kvl_land_blob_begin, static_cast<std::size_t>(kvl_land_blob_end - kvl_land_blob_begin)));
    return data;
}

void ForEachShoreline(const LandData& data, Detail detail, const GeoBox& box,
                      const std::function<void(int level, std::span<const LatLon> points)>& visit)
{
    const ShoreDataset& set = data.Dataset(detail);
    const int size = set.BinDegrees();
    const double east = box.east < box.west ? box.east + 360.0 : box.east;
    const int firstRow = std::max(0, static_cast<int>(std::floor((box.south + 90.0) / size)));
    const int lastRow = std::min(set.Rows() - 1, static_cast<int>(std::floor((box.north + 90.0) / size)));
    const int firstColumn = static_cast<int>(std::floor((box.west + 180.0) / size));
    const int lastColumn = std::min(firstColumn + set.Columns() - 1, static_cast<int>(std::floor((east + 180.0) / size)));
    std::vector<LatLon> points;
    for (int row = firstRow; row <= lastRow; ++row) {
        for (int c = firstColumn; c <= lastColumn; ++c) {
            const int column = ((c % set.Columns()) + set.Columns()) % set.Columns();
            const ShoreBin& bin = set.Bin(column, row);
            for (const ShorePiece& piece : bin.pieces) {
                points.clear();
                for (std::uint32_t i = 0; i < piece.count; ++i)
                    points.push_back(set.ToLatLon(column, row, bin.points[piece.first + i]));
                visit(piece.level, points);
            }
        }
    }
}

} // namespace geo
