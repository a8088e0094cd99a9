#pragma once

#include <cstdio>

// Answers --help and --version and refuses options neither the program nor Qt knows, all
// before any QApplication exists: Qt aborts without a display, and these answers need
// none. Returns the process exit code when the program should end there, or -1 to go on
// with the window (Qt's own options left in argv for QApplication to take).
int AnswerCommandLine(int argc, char** argv, std::FILE* out, std::FILE* err);
