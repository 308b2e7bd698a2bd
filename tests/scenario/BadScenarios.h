#pragma once

// Scenario files that must be refused, each with the path and reason the reader gives,
// and whether the schema alone refuses it too (the rest need the reader's arithmetic:
// encounters that cannot be built, MMSIs, times, files).

#include <string>
#include <vector>

struct BadScenario {
    std::string name;
    std::string json;
    std::string error;    // what follows "bad.json: "
    bool schemaRefuses;
};

std::vector<BadScenario> BadScenarios();
