// Writes the largest input into a folder: worst.bdf, worst-cmap.txt and a
// blank firmware.bin.
//
//   make_worst_case <folder>
#include <cstdio>

#include "worst_case.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fputs("Syntax: make_worst_case <folder>\n", stderr);
    return 2;
  }
  if (!worst_case::write(argv[1])) {
    std::fprintf(stderr, "make_worst_case: cannot write into %s\n", argv[1]);
    return 1;
  }
  return 0;
}
