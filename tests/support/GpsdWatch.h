#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace testsupport {

// Connects to a gpsd's client port (retrying while it starts), asks for JSON reports and
// collects its AIS objects, one line each, until `enough` says so or the time is up.
std::vector<std::string> WatchGpsdAis(std::uint16_t port, const std::function<bool(const std::vector<std::string>&)>& enough,
                                      std::chrono::seconds limit);

} // namespace testsupport
