#pragma once
// Putting a finished file in place: written to a temporary file beside the
// target, flushed to disk, then renamed over it, so that a reader never sees
// half a file and a failure leaves nothing behind.

#include "records/os/FileSystem.h"

#include <cstdint>
#include <string>
#include <vector>

namespace zorvane::jet {

// Through `sys`. Throws Error naming `path`; with `replace` off an existing
// file is refused, also when it appears while the bytes are being written.
void writeFileAtomically(os::FileSystem& sys, const std::string& path, const std::vector<std::uint8_t>& bytes,
                         bool replace);

} // namespace zorvane::jet
