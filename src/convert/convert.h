// fontgraft-convert: makes from a TrueType or OpenType font the BDF font and
// the code map that fontgraft installs, one glyph per character code, each
// placed so that the install loses no pixel.
#ifndef FONTGRAFT_CONVERT_CONVERT_H
#define FONTGRAFT_CONVERT_CONVERT_H

// Runs fontgraft-convert with its command line; returns the exit status.
int runConvert(int argc, const char* const* argv);

#endif
