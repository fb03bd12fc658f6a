// fontgraft-check: reads a font and a code map as fontgraft does, writes
// nothing, and says what an install would do: what it writes, which codes stay
// blank and why, and which glyphs lose pixels.
#ifndef FONTGRAFT_CHECK_CHECK_H
#define FONTGRAFT_CHECK_CHECK_H

// Runs fontgraft-check with its command line; returns the exit status: 0 when
// every code of the code map would get its glyph whole, 1 on a usage or file
// error, 2 when something would be lost or left blank or nothing written.
int runCheck(int argc, const char* const* argv);

#endif
