// The heap of a command that builds a whole vendor database in memory.
#include "tools/Commands.h"

#include <cstdint>
#include <cstdlib>
#include <malloc.h>
#include <sys/mman.h>
#include <unistd.h>

namespace zorvane::tools {

// An import or refresh holds the listing, the rows and the new file's pages at
// once, some hundred megabytes touched for the first time. Where each first
// touch of a 4 KiB page is costly (virtual machines), letting the kernel back
// the heap with 2 MiB pages halves the whole command. The heap is grown once,
// far enough for such a command, kept (not trimmed), and marked; large blocks
// come from it too rather than from mappings of their own. Only a hint: where
// the kernel gives no huge pages, nothing changes but the settings.
void preferHugePagesForTheHeap() {
    constexpr std::size_t Huge = std::size_t(2) << 20;
    constexpr std::size_t Reserve = std::size_t(512) << 20;
    if (!mallopt(M_TOP_PAD, static_cast<int>(Reserve)) ||
        !mallopt(M_TRIM_THRESHOLD, static_cast<int>(2 * Reserve)) ||
        !mallopt(M_MMAP_THRESHOLD, 32 << 20))
        return;
    void* first = std::malloc(Huge);  // grows the heap by the reserve
    if (!first)
        return;
    const auto begin = (reinterpret_cast<std::uintptr_t>(first) + Huge - 1) & ~(Huge - 1);
    const auto end = reinterpret_cast<std::uintptr_t>(::sbrk(0)) & ~(Huge - 1);
    if (end > begin)
        ::madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
    std::free(first);
}

} // namespace zorvane::tools
