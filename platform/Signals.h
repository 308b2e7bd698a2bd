#pragma once

namespace platform {

// Makes a write to a pipe whose reader has gone fail with an error instead of ending
// the process. A handler the program installed itself is left in place.
void IgnoreBrokenPipeSignal();

} // namespace platform
