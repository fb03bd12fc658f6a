// Where the install puts a glyph, for the tools that read a font as the
// utility does (the checker, the viewer's preview).
#ifndef FONTGRAFT_RUN_INSTALL_H
#define FONTGRAFT_RUN_INSTALL_H

#include <cstdint>

#include "readers/bdf.h"
#include "readers/cmap.h"

// The code whose slot the glyph just read goes to: the code the map gives
// its ID, or 0 (no slot) for a glyph without an ID or one the map gives none.
inline std::uint16_t installedCode(const FontReader& font, const CmapReader& map) {
  return font.hasGlyphId ? codeOf(map, font.glyphId) : 0;
}

#endif
