// fontgraft-show: draws the glyphs a firmware image's font table holds.
#include "common/platform.h"
#include "show/show.h"

int main(int argc, char** argv) {
  prepareProcess();
  return runShow(argc, argv);
}
