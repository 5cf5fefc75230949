#pragma once
// Putting a finished file in place: written to a temporary file beside the
// target, flushed to disk, then renamed over it (or, for a new file, renamed
// to a name that must still be free), so that a reader never sees half a
// file, the file never has two names, and a failure leaves nothing behind.
// A symbolic link at the name stays: the file it leads to is replaced.
//
// The temporary file (".NAME.XXXXXX" beside the target) is locked while it
// exists; one left by a writer that was killed is no longer locked, and the
// next writer of the same name removes it.

#include "records/os/FileSystem.h"

#include <cstdint>
#include <string>
#include <vector>

namespace zorvane::jet {

// Through `sys`. Throws Error naming `path`; with `replace` off an existing
// file is refused, also when it appears while the bytes are being written.
void writeFileAtomically(os::FileSystem& sys, const std::string& path, const std::vector<std::uint8_t>& bytes,
                         bool replace);

// The file `path` leads to: its symbolic links followed (also to a target
// that does not exist yet). Throws Error when the links go round.
std::string linkTarget(os::FileSystem& sys, const std::string& path);

} // namespace zorvane::jet
