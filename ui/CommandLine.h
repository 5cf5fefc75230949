#pragma once
// --help and --version for the window programs, answered before any window
// system is needed.
#include "ui/AppInfo.h"

#include <cstdio>
#include <cstring>

namespace zorvane {

// When the arguments hold --help (-h) or --version, prints the usage (then
// the lines of these two options) or "PROGRAM VERSION" on stdout and returns
// the exit status (1 when it could not be written); otherwise -1. `usage`
// ends with a line end.
inline int answerHelpOrVersion(int argc, char** argv, const char* program, const char* usage)
{
    for (int i = 1; i < argc; ++i) {
        const bool help = !std::strcmp(argv[i], "--help") || !std::strcmp(argv[i], "-h");
        if (!help && std::strcmp(argv[i], "--version"))
            continue;
        if (help)
            std::printf("%s  -h, --help     this text\n  --version      the version\n", usage);
        else
            std::printf("%s %d.%d.%d\n", program, AppInfo::Major, AppInfo::Minor, AppInfo::Revision);
        if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
            std::fprintf(stderr, "%s: the output could not be written.\n", program);
            return 1;
        }
        return 0;
    }
    return -1;
}

} // namespace zorvane
