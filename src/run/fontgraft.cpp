// fontgraft: installs a BDF font into the font table of a firmware image.
#include "run/run.h"

int main(int argc, char** argv) {
  return runFontgraft(argc, argv);
}
