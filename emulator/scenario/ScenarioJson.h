#pragma once

// Reading a JSON document with every fault naming where it is, in the form
// `targets[3].route.waypoints[2].lat`.

#include <nlohmann/json.hpp>

#include <initializer_list>
#include <stdexcept>
#include <string>

// Where a value is in the document.
class JsonPath {
public:
    JsonPath() = default;
    JsonPath Key(const std::string& key) const { return JsonPath(m_text.empty() ? key : m_text + "." + key); }
    JsonPath Index(std::size_t index) const { return JsonPath(m_text + "[" + std::to_string(index) + "]"); }
    const std::string& Text() const { return m_text; }

private:
    explicit JsonPath(std::string text) : m_text(std::move(text)) {}
    std::string m_text;
};

// A fault in the document, as "<path>: <reason>".
class JsonFault : public std::runtime_error {
public:
    JsonFault(const JsonPath& path, const std::string& reason) : std::runtime_error(path.Text() + ": " + reason) {}
    // A message that already says where (a GPX file's line, a waypoint's path).
    explicit JsonFault(const std::string& message) : std::runtime_error(message) {}
};

// Parses JSON text; a syntax fault or a key given twice in one object throws a JsonFault
// whose path names the line and column, or the key.
nlohmann::json ParseJsonText(const std::string& text);

// Names starting with '$' ($schema, $comment) are notes for people and tools, and
// pass everywhere.
bool IsNote(const std::string& key);

const nlohmann::json& RequireObject(const nlohmann::json& value, const JsonPath& path);
const nlohmann::json& RequireArray(const nlohmann::json& value, const JsonPath& path);
const nlohmann::json& RequireMember(const nlohmann::json& object, const JsonPath& path, const char* key);
std::string RequireText(const nlohmann::json& value, const JsonPath& path);
bool RequireSwitch(const nlohmann::json& value, const JsonPath& path);

// A finite number in [min, max]; `aboveMin` makes the lower bound exclusive.
double RequireNumber(const nlohmann::json& value, const JsonPath& path, double min, double max, bool aboveMin = false);

// Every member of `object` must be one of `allowed` (or a note).
void RejectUnknown(const nlohmann::json& object, const JsonPath& path, std::initializer_list<const char*> allowed);
