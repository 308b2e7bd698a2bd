#include "emulator/scenario/ScenarioJson.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <set>
#include <vector>

namespace {

using Event = nlohmann::json::parse_event_t;

// Follows the parser through the document so that a repeated key can be named by its
// path: nlohmann keeps the last of two equal keys without a word.
class KeyTracker {
public:
    bool OnEvent(Event event, const nlohmann::json& parsed)
    {
        switch (event) {
        case Event::object_start: m_frames.push_back({false, {}, 0, {}}); break;
        case Event::array_start: m_frames.push_back({true, {}, 0, {}}); break;
        case Event::key: {
            Frame& frame = m_frames.back();
            frame.key = parsed.get<std::string>();
            if (!frame.keys.insert(frame.key).second && !m_repeated) m_repeated = Where().Key(frame.key);
            break;
        }
        case Event::value: Step(); break;
        case Event::object_end:
        case Event::array_end:
            m_frames.pop_back();
            Step();
            break;
        }
        return true;
    }
    const std::optional<JsonPath>& Repeated() const { return m_repeated; }

private:
    struct Frame {
        bool array;
        std::string key;
        std::size_t index;
        std::set<std::string> keys;
    };
    void Step()
    {
        if (!m_frames.empty() && m_frames.back().array) ++m_frames.back().index;
    }
    // The path of the innermost open object or array.
    JsonPath Where() const
    {
        JsonPath path;
        for (std::size_t i = 0; i + 1 < m_frames.size(); ++i)
            path = m_frames[i].array ? path.Index(m_frames[i].index) : path.Key(m_frames[i].key);
        return path;
    }

    std::vector<Frame> m_frames;
    std::optional<JsonPath> m_repeated;
};

std::string Figure(double value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.10g", value);
    return text;
}

std::string TypeName(const nlohmann::json& value)
{
    if (value.is_number()) return "a number";
    if (value.is_string()) return "a text";
    if (value.is_boolean()) return "true/false";
    if (value.is_null()) return "null";
    if (value.is_array()) return "a list";
    return "an object";
}

// "[json.exception.parse_error.101] parse error at line 2, column 5: syntax error ..."
// becomes "line 2, column 5" and the rest.
JsonFault SyntaxFault(const nlohmann::json::parse_error& e)
{
    std::string what = e.what();
    const std::size_t at = what.find(" at line ");
    std::string where = "line 1";
    if (at != std::string::npos) {
        const std::size_t colon = what.find(": ", at);
        where = what.substr(at + 4, colon - at - 4);
        what = what.substr(colon + 2);
    }
    // The parser quotes what it read, which may be any byte: keep messages printable.
    for (char& c : what)
        if (c < ' ' || c > '~') c = '?';
    return JsonFault(JsonPath().Key(where), "not valid JSON (" + what + ")");
}

} // namespace

nlohmann::json ParseJsonText(const std::string& text)
{
    KeyTracker tracker;
    nlohmann::json document;
    try {
        document = nlohmann::json::parse(
            text, [&tracker](int, Event event, nlohmann::json& parsed) { return tracker.OnEvent(event, parsed); });
    } catch (const nlohmann::json::parse_error& e) {
        throw SyntaxFault(e);
    } catch (const nlohmann::json::exception& e) {
        // A number beyond a double ("1e400") is refused without a position; find it.
        std::string what = e.what();
        what = what.substr(what.find(']') + 2);
        const std::size_t quote = what.find('\'');
        const std::size_t at = quote == std::string::npos ? std::string::npos
                                                          : text.find(what.substr(quote + 1, what.size() - quote - 2));
        std::size_t line = 1, column = 1;
        for (std::size_t i = 0; at != std::string::npos && i < at; ++i, ++column)
            if (text[i] == '\n') {
                ++line;
                column = 0;
            }
        throw JsonFault(JsonPath().Key("line " + std::to_string(line) + ", column " + std::to_string(column)),
                        "not valid JSON (" + what + ")");
    }
    if (tracker.Repeated()) throw JsonFault(*tracker.Repeated(), "given twice");
    return document;
}

bool IsNote(const std::string& key)
{
    return !key.empty() && key.front() == '$';
}

const nlohmann::json& RequireObject(const nlohmann::json& value, const JsonPath& path)
{
    if (!value.is_object()) throw JsonFault(path, "must be an object {...}, not " + TypeName(value));
    return value;
}

const nlohmann::json& RequireArray(const nlohmann::json& value, const JsonPath& path)
{
    if (!value.is_array()) throw JsonFault(path, "must be a list [...], not " + TypeName(value));
    return value;
}

const nlohmann::json& RequireMember(const nlohmann::json& object, const JsonPath& path, const char* key)
{
    const auto member = object.find(key);
    if (member == object.end()) throw JsonFault(path.Key(key), "is missing");
    return *member;
}

std::string RequireText(const nlohmann::json& value, const JsonPath& path)
{
    if (!value.is_string()) throw JsonFault(path, "must be a text, not " + TypeName(value));
    return value.get<std::string>();
}

bool RequireSwitch(const nlohmann::json& value, const JsonPath& path)
{
    if (!value.is_boolean()) throw JsonFault(path, "must be true or false, not " + TypeName(value));
    return value.get<bool>();
}

double RequireNumber(const nlohmann::json& value, const JsonPath& path, double min, double max, bool aboveMin)
{
    if (!value.is_number()) throw JsonFault(path, "must be a number, not " + TypeName(value));
    const double number = value.get<double>();
    const bool low = aboveMin ? !(number > min) : !(number >= min);
    if (!std::isfinite(number) || low || number > max)
        throw JsonFault(path, value.dump() + " is out of range (" + (aboveMin ? "above " : "") + Figure(min) + " to " +
                                  Figure(max) + ")");
    return number;
}

void RejectUnknown(const nlohmann::json& object, const JsonPath& path, std::initializer_list<const char*> allowed)
{
    for (const auto& member : object.items()) {
        const std::string& key = member.key();
        if (IsNote(key)) continue;
        if (std::none_of(allowed.begin(), allowed.end(), [&key](const char* name) { return key == name; }))
            throw JsonFault(path.Key(key), "unknown field");
    }
}
