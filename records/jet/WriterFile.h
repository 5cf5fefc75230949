#pragma once
// Putting a finished file in place: written to a temporary file beside the
// target, flushed to disk, then renamed over it, so that a reader never sees
// half a file and a failure leaves nothing behind.

#include <cstdint>
#include <string>
#include <vector>

namespace zorvane::jet {

// Throws Error naming `path`; with `replace` off an existing file is refused,
// also when it appears while the bytes are being written.
void writeFileAtomically(const std::string& path, const std::vector<std::uint8_t>& bytes,
                         bool replace);

} // namespace zorvane::jet
