// What the viewer draws from: the records of a range of codes, read from a
// firmware image, or those that installing a font and its code map into a
// blank image would put there.
#ifndef FONTGRAFT_SHOW_TABLES_H
#define FONTGRAFT_SHOW_TABLES_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "common/state.h"

// A firmware image, or a font and its code map to install into a blank one.
struct Input {
  const char* image = nullptr;
  const char* font = nullptr;
  const char* map = nullptr;
  std::size_t place = 0;  // where the command line gives it, for drawing inputs in that order
  const char* name() const { return image != nullptr ? image : font; }
};

// The records of the codes first .. first + count - 1, of which the first
// `present` are in the image (the others lie past its end).
struct Table {
  int first = 0;
  int present = 0;
  std::vector<std::uint8_t> bytes;  // kRecordSize a code
  const std::uint8_t* record(int code) const {
    return &bytes.at(static_cast<std::size_t>(code - first) * kRecordSize);
  }
  // The record of `code` to write, or none where the table does not hold it.
  std::uint8_t* slot(int code) {
    const long index = static_cast<long>(code) - first;
    if (index < 0 || index >= static_cast<long>(bytes.size() / kRecordSize)) {
      return nullptr;
    }
    return &bytes.at(static_cast<std::size_t>(index) * kRecordSize);
  }
};

// Fills `table` with the codes first .. first + count - 1 of `input`. False
// with a one-line reason in `error`.
bool loadTable(const Input& input, int first, int count, Table* table, std::string* error);

#endif
