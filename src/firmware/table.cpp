#include "firmware/table.h"

#include <cstring>

#include "common/state.h"

namespace {

constexpr int kWordBits = 64;
std::uint8_t staged[kSlots][kRecordSize];
std::uint64_t stagedBits[kSlots / kWordBits];

bool isStaged(int slot) {
  return ((stagedBits[slot / kWordBits] >> (slot % kWordBits)) & 1u) != 0;
}

// Writes slots [first, end) into the image, which are all staged.
bool writeRun(std::FILE* image, int first, int end) {
  const long offset = static_cast<long>(kTableStart) + static_cast<long>(first) * kRecordSize;
  if (std::fseek(image, offset, SEEK_SET) != 0) {
    std::puts("firmware file seek failed.");
    return false;
  }
  const auto count = static_cast<std::size_t>(end - first);
  if (std::fwrite(staged[first], kRecordSize, count, image) != count) {
    std::puts("firmware file write failed.");
    return false;
  }
  return true;
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
  const auto slot = static_cast<int>((address - kTableStart) / kRecordSize);
  std::memcpy(staged[slot], fntbuf, kRecordSize);
  stagedBits[slot / kWordBits] |= std::uint64_t{1} << (slot % kWordBits);
}

bool flushKuvraFont(std::FILE* image) {
  bool ok = true;
  for (int slot = 0; ok && slot < kSlots;) {
    if (stagedBits[slot / kWordBits] == 0) {
      slot = (slot / kWordBits + 1) * kWordBits;  // nothing staged in the rest of this word
      continue;
    }
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
  std::memset(stagedBits, 0, sizeof stagedBits);
  return ok;
}
