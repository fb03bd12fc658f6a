// What the characters of the table are to a reader of the tools' reports:
// which of them are meant to be drawn blank, and how one is named.
#ifndef FONTGRAFT_COMMON_CODES_H
#define FONTGRAFT_COMMON_CODES_H

#include <cstddef>
#include <cstdint>
#include <string>

// True for a character whose glyph is meant to have no ink: the spaces and
// the invisible format characters (joiners, marks of direction, variation
// selectors, the byte order mark, Hangul fillers). A blank cell written for
// any other character hides the device's own glyph for nothing.
bool isMeantBlank(std::uint32_t code);

// The UTF-8 bytes of `code` (U+FFFD for a surrogate or a code past U+10FFFF).
std::string utf8Of(std::uint32_t code);

// The character whose UTF-8 bytes start `text`, of which `available` are
// there: the number of bytes it takes (1 to 4), with the character in `code`;
// 0 when the bytes are not a well-formed UTF-8 character (an overlong form, a
// surrogate, a code past U+10FFFF, a sequence cut short).
int decodeUtf8(const char* text, std::size_t available, std::uint32_t* code);

// A name a file gives itself (a font's family or style), fit for one line of
// a report or of a text file: each control character becomes '?'.
std::string oneLineName(const std::string& name);

// "U+4E00": the code alone.
std::string codeNumber(std::uint32_t code);

// "U+4E00 一": the code and, for a character that prints, the character.
std::string codeName(std::uint32_t code);

#endif
