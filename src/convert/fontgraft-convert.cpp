// fontgraft-convert: from a TrueType or OpenType font to fontgraft's inputs.
#include "common/platform.h"
#include "convert/convert.h"

int main(int argc, char** argv) {
  prepareProcess();
  return runConvert(argc, argv);
}
