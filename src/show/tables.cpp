#include "show/tables.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include "common/platform.h"
#include "common/textfile.h"
#include "firmware/record.h"
#include "firmware/table.h"
#include "readers/bdf.h"
#include "readers/cmap.h"
#include "run/install.h"

namespace {

std::string reason(const char* path, int error) {
  return fileErrorText(path, error);
}

bool readImage(const Input& input, Table* table, int count, std::string* error) {
  errno = 0;
  std::FILE* image = std::fopen(input.image, "rb");
  table->present =
      image != nullptr
          ? readKuvraFont(image, static_cast<std::uint16_t>(table->first), count,
                          reinterpret_cast<std::uint8_t(*)[kRecordSize]>(table->bytes.data()))
          : -1;
  const int readError = errno;
  if (image != nullptr) {
    std::fclose(image);
  }
  if (table->present < 0) {
    *error = "cannot read firmware file " + std::string(input.image) + ": " +
             reason(input.image, readError);
    return false;
  }
  return true;
}

// The readers of a preview, too large for the stack.
struct Preview {
  CmapReader map;
  FontReader font;
  int cell[kCellSize];
  int fontBox[4];
};

bool readMap(const Input& input, Preview* preview, std::string* error) {
  errno = 0;
  std::FILE* file = openInput(input.map, "rb");
  const bool read = file != nullptr && readCodeMap(&preview->map, file, nullptr);
  const int readError = errno;
  if (file != nullptr) {
    std::fclose(file);
  }
  if (!read) {
    *error =
        "cannot read the code map " + std::string(input.map) + ": " + reason(input.map, readError);
  }
  return read;
}

// Installs the font into the table as fontgraft would into a blank image:
// each glyph packed at its code's slot, a later one over an earlier.
bool installFont(const Input& input, Table* table, int count, std::string* error) {
  auto preview = std::make_unique<Preview>();
  if (!readMap(input, preview.get(), error)) {
    return false;
  }
  errno = 0;
  std::FILE* file = openInput(input.font, "rb");
  if (file == nullptr) {
    *error = "cannot read the font " + std::string(input.font) + ": " + reason(input.font, errno);
    return false;
  }
  FontReader& font = preview->font;
  startFontReader(&font, file, preview->cell, preview->fontBox, nullptr);
  std::uint16_t rows[kCellSize];
  while (readGlyph(&font) != kEndOfFont) {
    const int code = installedCode(font, preview->map);
    std::uint8_t* slot = code != 0 ? table->slot(code) : nullptr;
    if (slot != nullptr) {
      for (int r = 0; r < kCellSize; ++r) {
        rows[r] = static_cast<std::uint16_t>(preview->cell[r]);
      }
      packRecord(rows, slot);
    }
  }
  const bool whole = !font.source.failed;
  std::fclose(file);
  if (!whole) {
    *error = "cannot read the font " + std::string(input.font) + ": input/output error";
  }
  table->present = count;  // a blank image holds every slot
  return whole;
}

}  // namespace

bool loadTable(const Input& input, int first, int count, Table* table, std::string* error) {
  table->first = first;
  table->present = 0;
  table->bytes.assign(static_cast<std::size_t>(count) * kRecordSize, 0);
  return input.image != nullptr ? readImage(input, table, count, error)
                                : installFont(input, table, count, error);
}
