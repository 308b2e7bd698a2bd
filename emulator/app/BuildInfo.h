#pragma once

#include <optional>
#include <string>

// Values fixed when vesgen is built: the deployment's host names and update identifier,
// and the product version.
std::string UpdateHost();
std::string UpdateIdentifier();  // 8 lower-case hexadecimal digits
std::string SiteHost();

struct ProgramVersion {
    unsigned major = 0;
    unsigned minor = 0;
    unsigned build = 0;
};

// The version compiled into the program; empty when the build gave none.
std::optional<ProgramVersion> CompiledVersion();
