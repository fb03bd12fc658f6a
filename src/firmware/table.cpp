#include "firmware/table.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "common/platform.h"
#include "common/state.h"

namespace {

// The staged font table: each record at its slot, as in the image, and a bit
// per slot that says which slots are staged. Runs of adjacent staged slots go
// into the image each in one write, straight from here.
//
// The table is 2 MiB, taken from the middle of twice that in static storage
// so that it can start on a 2 MiB boundary, where the system may back it with
// one huge page instead of 512 small ones (whose first touches cost more than
// the copies into them).
constexpr std::size_t kTableBytes = std::size_t{kCodes} * kRecordSize;
alignas(64) std::uint8_t storage[2 * kTableBytes];
std::uint8_t (*table)[kRecordSize];
std::uint64_t staged[kCodes / 64];
bool anyStaged;

// The slots come in the code map's order, which may be none, so a store to
// one misses the cache. Each record is held back a few glyphs while its slot
// is fetched, and stored when it leaves the ring, in the order the records
// came: a later record for the same slot still wins.
constexpr int kHeld = 8;
struct Held {
  std::uint32_t slot;
  std::uint8_t record[kRecordSize];
};
Held held[kHeld];
int heldCount;  // records in the ring
int heldNext;   // where the next record goes; the oldest when the ring is full

void store(const Held& record) {
  std::memcpy(table[record.slot], record.record, kRecordSize);
  staged[record.slot / 64] |= std::uint64_t{1} << (record.slot % 64);
}

// Stores every held record, oldest first.
void storeHeld() {
  for (int k = 0; k < heldCount; ++k) {
    store(held[(heldNext - heldCount + k + kHeld) % kHeld]);
  }
  heldCount = 0;
}

void startTable() {
  if (table == nullptr) {
    const auto at = reinterpret_cast<std::uintptr_t>(storage);
    const std::uintptr_t aligned = (at + kTableBytes - 1) / kTableBytes * kTableBytes;
    table = reinterpret_cast<std::uint8_t(*)[kRecordSize]>(storage + (aligned - at));
    adviseHugePages(table, kTableBytes);
  }
  anyStaged = true;
}

// First slot at or after `slot` whose staged bit is `bit`; kCodes when none.
int nextWithBit(int slot, bool bit) {
  while (slot < kCodes) {
    std::uint64_t word = staged[slot / 64];
    word = (bit ? word : ~word) >> (slot % 64);
    if (word != 0) {
      return slot + __builtin_ctzll(word);
    }
    slot = (slot / 64 + 1) * 64;
  }
  return kCodes;
}

// Writes slots [first, end) into the image, which are all staged.
bool writeRun(std::FILE* image, int first, int end) {
  const long offset = static_cast<long>(kTableStart) + static_cast<long>(first) * kRecordSize;
  if (std::fseek(image, offset, SEEK_SET) != 0) {
    std::puts("firmware file seek failed.");
    return false;
  }
  const auto count = static_cast<std::size_t>(end - first);
  if (std::fwrite(table[first], kRecordSize, count, image) != count) {
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
  if (!anyStaged) {
    startTable();
  }
  const auto slot = (address - kTableStart) / kRecordSize;
  __builtin_prefetch(table[slot], 1);
  Held& next = held[heldNext];
  if (heldCount == kHeld) {
    store(next);  // the oldest leaves the ring
  } else {
    ++heldCount;
  }
  next.slot = slot;
  std::memcpy(next.record, fntbuf, kRecordSize);
  heldNext = (heldNext + 1) % kHeld;
}

bool flushKuvraFont(std::FILE* image) {
  bool ok = true;
  if (anyStaged) {
    storeHeld();
    for (int slot = nextWithBit(0, true); ok && slot < kCodes;) {
      const int end = nextWithBit(slot, false);
      ok = writeRun(image, slot, end);
      slot = nextWithBit(end, true);
    }
  }
  if (ok && std::fflush(image) != 0) {
    std::puts("firmware file write failed.");
    ok = false;
  }
  discardKuvraFont();
  return ok;
}

void discardKuvraFont() {
  std::memset(staged, 0, sizeof staged);
  heldCount = 0;
  anyStaged = false;
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
