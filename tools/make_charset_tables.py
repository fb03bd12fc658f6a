#!/usr/bin/python3
"""Compiles X.Org's encoding files into the converter's charset tables.

  make_charset_tables.py OUT.inc FILE.enc.gz...

Each file (Debian: xfonts-encodings, /usr/share/fonts/X11/encodings) names a
charset (STARTENCODING, ALIAS), the codes it has (SIZE, FIRSTINDEX) and,
between STARTMAPPING unicode and ENDMAPPING, the Unicode code of its codes:
`CODE UNICODE`, `FIRST LAST UNICODE` (a run) and `UNDEFINE FIRST [LAST]`, in
order, later lines winning. A code inside the charset that the mapping
neither names nor undefines is its own Unicode code. The other mappings
(cmap ...) are for TrueType fonts and are not read.

The table written holds, for each charset, its defined codes in order as
runs of consecutive codes with consecutive Unicode codes. Run at build time;
nothing it reads is kept in the repository.
"""
import gzip
import os
import sys


class EncodingError(Exception):
    pass


def number(text):
    """A number as the files write them: 0x hex, 0 octal, else decimal."""
    try:
        if text.lower().startswith("0x"):
            return int(text[2:], 16)
        if len(text) > 1 and text.startswith("0"):
            return int(text[1:], 8)
        return int(text, 10)
    except ValueError:
        raise EncodingError("not a number: " + text)


class Encoding:
    def __init__(self):
        self.name = None
        self.aliases = []
        self.size = None  # (rows, columns), columns 0 for a one-byte charset
        self.first = (0, 0)
        self.mapping = {}  # code: Unicode code, 0 where undefined

    def codes(self):
        """Every code inside the charset, in order."""
        rows, columns = self.size
        if columns == 0:
            return range(self.first[0], rows)
        return (row << 8 | column
                for row in range(self.first[0], rows)
                for column in range(self.first[1], columns))

    def unicode(self, code):
        return self.mapping.get(code, code)


def header_line(encoding, words):
    keyword = words[0].upper()
    values = [number(word) for word in words[1:]] if keyword in ("SIZE", "FIRSTINDEX") else []
    if keyword == "STARTENCODING":
        encoding.name = words[1].lower()
    elif keyword == "ALIAS":
        encoding.aliases.append(words[1].lower())
    elif keyword == "SIZE":
        encoding.size = (values[0], values[1] if len(values) > 1 else 0)
    elif keyword == "FIRSTINDEX":
        encoding.first = (values[0], values[1] if len(values) > 1 else 0)
    elif keyword != "ENDENCODING":
        raise EncodingError("unknown line: " + " ".join(words))


def mapping_line(encoding, words):
    if words[0].upper() == "UNDEFINE":
        first = number(words[1])
        last = number(words[2]) if len(words) > 2 else first
        for code in range(first, last + 1):
            encoding.mapping[code] = 0
        return
    values = [number(word) for word in words]
    if len(values) == 2:
        encoding.mapping[values[0]] = values[1]
    elif len(values) == 3:
        for offset in range(values[1] - values[0] + 1):
            encoding.mapping[values[0] + offset] = values[2] + offset
    else:
        raise EncodingError("bad mapping line: " + " ".join(words))


def read_encoding(path):
    encoding = Encoding()
    section = None  # None: the header; "unicode": the Unicode mapping; else skipped
    with gzip.open(path, "rt", encoding="ascii") as lines:
        for line in lines:
            words = line.split("#", 1)[0].split()
            if not words:
                continue
            keyword = words[0].upper()
            if keyword == "STARTMAPPING":
                section = words[1].lower() if len(words) > 1 else ""
            elif keyword == "ENDMAPPING":
                section = None
            elif section is None:
                header_line(encoding, words)
            elif section == "unicode":
                mapping_line(encoding, words)
    if encoding.name is None or encoding.size is None:
        raise EncodingError("no STARTENCODING or no SIZE")
    return encoding


def runs_of(encoding):
    """[(first code, count, first Unicode code)], the undefined codes left out."""
    runs = []
    for code in encoding.codes():
        unicode = encoding.unicode(code)
        if unicode == 0:
            continue
        if runs:
            first, count, start = runs[-1]
            if first + count == code and start + count == unicode:
                runs[-1] = (first, count + 1, start)
                continue
        runs.append((code, 1, unicode))
    return runs


def identifier(name):
    return "".join(c if c.isalnum() else "_" for c in name)


def write_table(out, encoding, path):
    runs = runs_of(encoding)
    name = identifier(encoding.name)
    out.write("// %s, from %s: %d codes\n" % (encoding.name, os.path.basename(path),
                                             sum(count for _, count, _ in runs)))
    out.write("constexpr CharsetRun kRuns_%s[] = {\n" % name)
    for first, count, unicode in runs:
        out.write("    {0x%04X, %d, 0x%04X},\n" % (first, count, unicode))
    out.write("};\n")
    out.write("constexpr const char* kAliases_%s[] = {%s};\n\n"
              % (name, ", ".join(['"%s"' % alias for alias in encoding.aliases] + ["nullptr"])))


def main(argv):
    if len(argv) < 3:
        sys.exit(__doc__)
    encodings = []
    for path in argv[2:]:
        try:
            encodings.append((read_encoding(path), path))
        except (OSError, EncodingError, UnicodeDecodeError) as error:
            sys.exit("make_charset_tables.py: %s: %s" % (path, error))
    with open(argv[1] + ".new", "w", encoding="ascii") as out:
        out.write("// Made at build time by tools/make_charset_tables.py from X.Org's encoding\n"
                  "// files. Do not edit.\n\n")
        for encoding, path in encodings:
            write_table(out, encoding, path)
        out.write("constexpr CharsetTable kCharsetTableList[] = {\n")
        for encoding, _ in encodings:
            name = identifier(encoding.name)
            out.write('    {"%s", kAliases_%s, kRuns_%s, sizeof kRuns_%s / sizeof kRuns_%s[0]},\n'
                      % (encoding.name, name, name, name, name))
        out.write("};\n")
    os.replace(argv[1] + ".new", argv[1])


if __name__ == "__main__":
    main(sys.argv)
