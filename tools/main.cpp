// zorvane-db: the command-line companion over the same engine as the program.
#include "tools/Commands.h"

int main(int argc, char** argv) { return zorvane::tools::run(argc, argv); }
