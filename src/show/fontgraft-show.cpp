#include "show/show.h"

int main(int argc, char** argv) {
  return runShow(argc, argv);
}
