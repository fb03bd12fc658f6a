#include "common/state.h"

int bmpbuf[kCellSize];
std::uint8_t fntbuf[kRecordSize];
int glyphid;
bool hasglyphid;
int fbbx[4];
std::uint16_t uccode;
std::uint32_t address;
std::FILE* fp;
