#include "emulator/fleet/CsvText.h"

#include "emulator/encoding/PrintableText.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <system_error>

namespace {

// What a path is, as far as reading it as a fleet goes; empty when it may be read.
std::string Refusal(const std::filesystem::path& path)
{
    std::error_code error;
    const std::filesystem::file_status status = std::filesystem::status(path, error);
    if (error || !std::filesystem::exists(status)) return "cannot be opened";
    if (std::filesystem::is_directory(status)) return "is a folder, not a fleet file";
    if (!std::filesystem::is_regular_file(status)) return "is not a regular file; a fleet is read from a file";
    const std::uintmax_t size = std::filesystem::file_size(path, error);
    if (!error && size > kMaxFleetFileBytes) return "is larger than 256 MiB, the most a fleet file may hold";
    return {};
}

} // namespace

bool ReadFleetFile(const std::string& path, std::string& text, std::string& error)
{
    const std::string shown = PrintableText(path);
    if (const std::string refusal = Refusal(path); !refusal.empty()) {
        error = shown + ": " + refusal;
        return false;
    }
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        error = shown + ": cannot be opened";
        return false;
    }
    // The size may have changed since it was looked at: the bound holds while reading.
    text.clear();
    char buffer[1 << 16];
    while (file.read(buffer, sizeof buffer) || file.gcount() > 0) {
        text.append(buffer, static_cast<std::size_t>(file.gcount()));
        if (text.size() > kMaxFleetFileBytes) {
            error = shown + ": is larger than 256 MiB, the most a fleet file may hold";
            return false;
        }
    }
    if (file.bad()) {
        error = shown + ": read error";
        return false;
    }
    return true;
}

bool CsvRecordReader::ReadQuoted(std::string& into)
{
    const std::size_t opened = m_line;
    ++m_pos;
    for (;;) {
        const std::size_t quote = m_text.find('"', m_pos);
        if (quote == std::string_view::npos) {
            m_badLine = opened;
            return false;
        }
        const std::string_view piece = m_text.substr(m_pos, quote - m_pos);
        m_line += static_cast<std::size_t>(std::count(piece.begin(), piece.end(), '\n'));
        into.append(piece);
        m_pos = quote + 1;
        if (m_pos < m_text.size() && m_text[m_pos] == '"') {
            into += '"';
            ++m_pos;
            continue;
        }
        break;
    }
    if (m_pos < m_text.size() && m_text[m_pos] != ',' && m_text[m_pos] != '\r' && m_text[m_pos] != '\n') {
        m_badLine = m_line;
        return false;
    }
    return true;
}

bool CsvRecordReader::Next(std::vector<CsvField>& record)
{
    if (m_pos >= m_text.size() || m_badLine != 0) return false;
    std::size_t count = 0;
    const auto nextField = [&]() -> CsvField& {
        if (count == record.size()) record.emplace_back();
        CsvField& field = record[count++];
        field.text.clear();
        field.line = m_line;
        return field;
    };
    for (;;) {
        CsvField& field = nextField();
        if (m_pos < m_text.size() && m_text[m_pos] == '"') {
            if (!ReadQuoted(field.text)) return false;
        } else {
            const std::size_t end = std::min(m_text.find_first_of(",\r\n", m_pos), m_text.size());
            field.text.append(m_text.substr(m_pos, end - m_pos));
            m_pos = end;
        }
        if (m_pos < m_text.size() && m_text[m_pos] == ',') {
            ++m_pos;
            if (m_pos == m_text.size()) {
                nextField();
                break;
            }
            continue;
        }
        if (m_pos < m_text.size() && m_text[m_pos] == '\r') ++m_pos;
        if (m_pos < m_text.size() && m_text[m_pos] == '\n') ++m_pos;
        ++m_line;
        break;
    }
    record.resize(count);
    return true;
}
