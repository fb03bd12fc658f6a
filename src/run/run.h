// The run: command line, code map, image and font, and the glyph loop.
#ifndef FONTGRAFT_RUN_RUN_H
#define FONTGRAFT_RUN_RUN_H

// Prints the usage text.
void printUsage();

// Carries out one whole run for the arguments `argv[0 .. argc-1]` (argv[0] is
// the program name) and returns the exit status. Every message goes to
// standard output.
int runFontgraft(int argc, const char* const* argv);

#endif
