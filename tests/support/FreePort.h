#pragma once

#include <cstdint>

namespace testsupport {

// A loopback port the kernel considers free right now, for a socket of `type`
// (SOCK_STREAM or SOCK_DGRAM).
std::uint16_t FreeLoopbackPort(int type);

} // namespace testsupport
