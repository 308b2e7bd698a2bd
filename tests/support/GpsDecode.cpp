#include "tests/support/GpsDecode.h"

#include "tests/support/Subprocess.h"

#include <regex>
#include <sstream>
#include <unistd.h>

namespace testsupport {
namespace {

std::string Unescape(const std::string& text)  // JSON string escapes that gpsdecode writes
{
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 1 < text.size()) ++i;
        out += text[i];
    }
    return out;
}

} // namespace

bool GpsDecodeAvailable()
{
    for (const char* dir : {"/usr/bin/", "/usr/local/bin/", "/bin/"})
        if (access((std::string(dir) + "gpsdecode").c_str(), X_OK) == 0) return true;
    return false;
}

std::vector<AisRecord> GpsDecode(const std::string& sentences, const std::vector<std::string>& options)
{
    std::vector<std::string> argv = {"gpsdecode", "-u"};
    argv.insert(argv.end(), options.begin(), options.end());
    const ProcessResult r = RunProcess(argv, sentences);
    std::vector<AisRecord> records;
    // gpsdecode prints flat objects: "key":number, "key":true/false or "key":"text".
    static const std::regex field(R"re("([A-Za-z0-9_]+)":("((?:[^"\\]|\\.)*)"|[^,}]*))re");
    std::istringstream lines(r.out);
    std::string line;
    while (std::getline(lines, line)) {
        if (line.empty() || line[0] != '{') continue;
        AisRecord rec;
        for (std::sregex_iterator it(line.begin(), line.end(), field), end; it != end; ++it)
            rec[(*it)[1]] = (*it)[3].matched ? Unescape((*it)[3].str()) : (*it)[2].str();
        records.push_back(std::move(rec));
    }
    return records;
}

MessageCounts GpsDecodeCounts(const std::string& sentences)
{
    const ProcessResult r = RunProcess({"gpsdecode", "-u"}, sentences, std::chrono::seconds(120));
    MessageCounts counts;
    const auto numberAfter = [](const std::string& line, const char* key) -> std::string {
        const std::size_t at = line.find(key);
        if (at == std::string::npos) return {};
        const std::size_t start = at + std::char_traits<char>::length(key);
        return line.substr(start, line.find_first_not_of("0123456789", start) - start);
    };
    std::size_t start = 0;
    for (std::size_t end; (end = r.out.find('\n', start)) != std::string::npos; start = end + 1) {
        const std::string line = r.out.substr(start, end - start);
        const std::string type = numberAfter(line, "\"type\":");
        const std::string mmsi = numberAfter(line, "\"mmsi\":");
        if (!type.empty() && !mmsi.empty()) ++counts[mmsi][std::stoi(type)];
    }
    return counts;
}

} // namespace testsupport
