#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// The most a fleet file may hold: a million vessels take about 100 MB of CSV.
inline constexpr std::size_t kMaxFleetFileBytes = std::size_t{256} << 20;

// Reads a fleet file whole. Only a regular file of at most kMaxFleetFileBytes is read,
// so a FIFO, a device or a folder never holds or floods the run. False with `error`
// naming the file.
bool ReadFleetFile(const std::string& path, std::string& text, std::string& error);

// One field of a CSV record and the line it starts on.
struct CsvField {
    std::string text;
    std::size_t line = 0;
};

// Reads RFC 4180 text one record at a time: quoted fields with commas, doubled quotes
// and line breaks; CRLF or LF.
class CsvRecordReader {
public:
    explicit CsvRecordReader(std::string_view text) : m_text(text) {}

    // The next record, into `record` (whose strings are reused); false at the end, or on
    // a quote that never closes or text after a closing quote (then BadLine() says where).
    bool Next(std::vector<CsvField>& record);
    std::size_t BadLine() const { return m_badLine; }

private:
    bool ReadQuoted(std::string& into);

    std::string_view m_text;
    std::size_t m_pos = 0;
    std::size_t m_line = 1;
    std::size_t m_badLine = 0;
};
