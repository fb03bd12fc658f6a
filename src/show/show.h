// fontgraft-show: draws the glyphs that a firmware image's font table holds,
// as text or as a PNG contact sheet. It reads the image and changes nothing.
#ifndef FONTGRAFT_SHOW_SHOW_H
#define FONTGRAFT_SHOW_SHOW_H

// Runs fontgraft-show with its command line; returns the exit status.
int runShow(int argc, const char* const* argv);

#endif
