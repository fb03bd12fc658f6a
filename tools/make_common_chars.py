#!/usr/bin/env python3
"""Writes src/convert/common_chars.inc: the samples of common characters by
which the converter sizes a font, one per main script.

Ideographs: the 3,755 hanzi of GB 2312 level 1 (the most used ones), Hangul:
the 2,350 syllables of KS X 1001, each thinned evenly to SAMPLE characters;
kana: every hiragana and katakana letter; Latin: the letters and digits of
ASCII and the letters of Latin-1, accented capitals and all.
The sample is fixed, so a font's size never depends on which of its codes are
converted."""
import pathlib

SAMPLE = 1000


def decoded(codec, first_lead, last_lead):
    chars = []
    for lead in range(first_lead, last_lead + 1):
        for trail in range(0xA1, 0xFF):
            try:
                chars.append(ord(bytes([lead, trail]).decode(codec)))
            except UnicodeDecodeError:
                pass
    return chars


def thinned(chars, count):
    return [chars[i * len(chars) // count] for i in range(count)]


def table(name, chars):
    lines = [f"constexpr std::uint16_t {name}[] = {{"]
    for i in range(0, len(chars), 12):
        lines.append("    " + ", ".join(f"0x{c:04X}" for c in chars[i:i + 12]) + ",")
    lines.append("};")
    return "\n".join(lines)


def main():
    hanzi = decoded("gb2312", 0xB0, 0xD7)
    hangul = decoded("euc_kr", 0xB0, 0xC8)
    assert len(hanzi) == 3755 and len(hangul) == 2350, (len(hanzi), len(hangul))
    kana = [c for c in range(0x3041, 0x3097)] + [c for c in range(0x30A1, 0x30FB)]
    latin = [c for c in range(0x30, 0x3A)] + [c for c in range(0x41, 0x5B)] + \
        [c for c in range(0x61, 0x7B)] + [c for c in range(0xC0, 0x100) if c not in (0xD7, 0xF7)]
    out = ["// Made by tools/make_common_chars.py; do not edit.", ""]
    out.append(table("kCommonIdeographs", thinned(sorted(hanzi), SAMPLE)))
    out.append(table("kCommonHangul", thinned(sorted(hangul), SAMPLE)))
    out.append(table("kCommonKana", kana))
    out.append(table("kCommonLatin", latin))
    path = pathlib.Path(__file__).resolve().parent.parent / "src/convert/common_chars.inc"
    path.write_text("\n".join(out) + "\n")


if __name__ == "__main__":
    main()
