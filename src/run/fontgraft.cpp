// fontgraft: installs a BDF font into the font table of a firmware image.
#include "common/platform.h"
#include "run/run.h"

int main(int argc, char** argv) {
  prepareProcess();
  return runFontgraft(argc, argv);
}
