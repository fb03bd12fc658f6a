// fontgraft-check: what installing a font would do, before it is done.
#include "check/check.h"
#include "common/platform.h"

int main(int argc, char** argv) {
  prepareProcess();
  return runCheck(argc, argv);
}
