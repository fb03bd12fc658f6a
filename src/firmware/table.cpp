#include "firmware/table.h"

#include <bitset>
#include <cstddef>
#include <cstring>

#include "common/state.h"

namespace {

// Staged records in the order their slots were first staged, so that staging
// writes memory in sequence; `recordOfSlot` holds the record's index for each
// slot in `staged`.
std::uint8_t records[kSlots][kRecordSize];
std::uint16_t recordOfSlot[kSlots];
std::bitset<kSlots> staged;
std::uint32_t recordCount;

// Records go out through this buffer, in slot order.
constexpr int kOutRecords = 2048;
std::uint8_t out[kOutRecords][kRecordSize];

bool isStaged(int slot) {
  return staged.test(static_cast<std::size_t>(slot));
}

bool writeOut(std::FILE* image, int count) {
  const auto n = static_cast<std::size_t>(count);
  if (std::fwrite(out, kRecordSize, n, image) != n) {
    std::puts("firmware file write failed.");
    return false;
  }
  return true;
}

// Writes slots [first, end) into the image, which are all staged.
bool writeRun(std::FILE* image, int first, int end) {
  const long offset = static_cast<long>(kTableStart) + static_cast<long>(first) * kRecordSize;
  if (std::fseek(image, offset, SEEK_SET) != 0) {
    std::puts("firmware file seek failed.");
    return false;
  }
  int held = 0;
  for (int slot = first; slot < end; ++slot) {
    if (held == kOutRecords) {
      if (!writeOut(image, held)) {
        return false;
      }
      held = 0;
    }
    std::memcpy(out[held], records[recordOfSlot[slot]], kRecordSize);
    ++held;
  }
  return writeOut(image, held);
}

}  // namespace

int isValidAddress(std::uint32_t address) {
  return address >= kTableStart && address <= kLastSlot ? 1 : 0;
}

std::FILE* openImage(const char* path) {
  std::FILE* image = std::fopen(path, "rb+");
  if (image != nullptr) {
    // Records go out in whole runs; without a stream buffer every failure
    // shows at the write that caused it, not at a later seek.
    std::setvbuf(image, nullptr, _IONBF, 0);
  }
  return image;
}

void writeKuvraFont(std::uint32_t address) {
  if (isValidAddress(address) == 0 || (address - kTableStart) % kRecordSize != 0) {
    return;  // not a slot: nothing of the image may change
  }
  const auto slot = (address - kTableStart) / kRecordSize;
  if (!staged.test(slot)) {
    staged.set(slot);
    recordOfSlot[slot] = static_cast<std::uint16_t>(recordCount++);
  }
  std::memcpy(records[recordOfSlot[slot]], fntbuf, kRecordSize);
}

bool flushKuvraFont(std::FILE* image) {
  bool ok = true;
  for (int slot = 0; ok && recordCount != 0 && slot < kSlots;) {
    if (!isStaged(slot)) {
      ++slot;
      continue;
    }
    int end = slot + 1;
    while (end < kSlots && isStaged(end)) {
      ++end;
    }
    ok = writeRun(image, slot, end);
    slot = end;
  }
  if (ok && std::fflush(image) != 0) {
    std::puts("firmware file write failed.");
    ok = false;
  }
  discardKuvraFont();
  return ok;
}

void discardKuvraFont() {
  staged.reset();
  recordCount = 0;
}

int readKuvraFont(std::FILE* image, std::uint16_t first, int count,
                  std::uint8_t (*into)[kRecordSize]) {
  if (std::fseek(image, static_cast<long>(slotAddress(first)), SEEK_SET) != 0) {
    return -1;
  }
  const std::size_t got = std::fread(into, 1, static_cast<std::size_t>(count) * kRecordSize, image);
  if (std::ferror(image) != 0) {
    return -1;
  }
  return static_cast<int>(got / kRecordSize);
}
