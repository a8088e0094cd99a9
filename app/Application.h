#pragma once

// The program's start-up and end: binds the CD library before any window exists, runs the
// main window and unbinds in reverse order. Returns the process exit code.
int SonvaleMain(int argc, char** argv);
