// zorvane-db-full: zorvane-db with every command in one process, Qt linked.
// zorvane-db itself runs the record commands without Qt and becomes this
// program (same arguments) for import and refresh.
#include "tools/Commands.h"

int main(int argc, char** argv) { return zorvane::tools::run(argc, argv); }
