// The console writer's UTF-8 decoding, Windows' device names, the split of
// a path into its folder and name and, on Windows, the text of a file held
// open by another program.
#include "common/platform.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#if defined(_WIN32)
#include <windows.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#endif

namespace {

struct Decoding {
  const char* name;
  std::string bytes;
  std::u16string text;
};

// The expectations are the Unicode standard's own examples of U+FFFD for
// ill-formed UTF-8 (its chapter 3.9, "U+FFFD Substitution of Maximal
// Subparts"), and characters written out by hand.
const std::vector<Decoding> kDecodings = {
    {"ASCII", "A\n", u"A\n"},
    {"two bytes", "caf\xC3\xA9", u"caf\u00E9"},
    {"three bytes", "\xE4\xB8\xAD\xEF\xBF\xBF", u"\u4E2D\uFFFF"},
    {"four bytes, a surrogate pair", "\xF0\x9F\x98\x80\xF4\x8F\xBF\xBF", u"\U0001F600\U0010FFFF"},
    {"the standard's mixed example", "\x61\xF1\x80\x80\xE1\x80\xC2\x62\x80\x63\x80\xBF\x64",
     u"a\uFFFD\uFFFD\uFFFDb\uFFFDc\uFFFD\uFFFDd"},
    {"overlong forms", "\xC0\xAF\xE0\x80\xBF\xF0\x81\x82\x41",
     u"\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD\uFFFDA"},
    {"surrogates", "\xED\xA0\x80\xED\xBF\xBF\xED\xAF\x41",
     u"\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD\uFFFDA"},
    {"past U+10FFFF and stray bytes", "\xF4\x91\x92\x93\xFF\x41\x80\xBF\x42",
     u"\uFFFD\uFFFD\uFFFD\uFFFD\uFFFDA\uFFFD\uFFFDB"},
    {"truncated sequences", "\xE1\x80\xE2\xF0\x91\x92\xF1\xBF\x41", u"\uFFFD\uFFFD\uFFFD\uFFFDA"},
    {"cut short by the end", "a\xE4\xB8", u"a\uFFFD"},
    {"C0 never continues", "\xE4\xC0\x80\xC3\xC0", u"\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD"},
};

// Decodes `bytes` in pieces of the sizes given (the rest in one), checking
// that no piece writes past its room.
std::u16string decodeInPieces(const std::string& bytes, const std::vector<std::size_t>& sizes) {
  Utf8Decoder decoder;
  std::u16string text;
  std::size_t at = 0;
  for (std::size_t i = 0; at < bytes.size(); ++i) {
    const std::size_t size = i < sizes.size() ? sizes[i] : bytes.size() - at;
    const std::size_t room = size + Utf8Decoder::kExtraUnits;
    std::u16string out(room + 1, u'#');
    const std::size_t units = decoder.decode(bytes.data() + at, size, &out[0]);
    EXPECT_LE(units, room);
    EXPECT_EQ(out[room], u'#') << "written past the room of a piece of " << size;
    text += out.substr(0, units);
    at += size;
  }
  char16_t last[2] = {u'#', u'#'};
  text.append(last, decoder.finish(last));
  return text;
}

TEST(Utf8Decoder, DecodesWholeText) {
  for (const Decoding& d : kDecodings) {
    EXPECT_EQ(decodeInPieces(d.bytes, {}), d.text) << d.name;
  }
}

TEST(Utf8Decoder, DecodesTextCutAnywhere) {
  for (const Decoding& d : kDecodings) {
    for (std::size_t cut = 0; cut <= d.bytes.size(); ++cut) {
      EXPECT_EQ(decodeInPieces(d.bytes, {cut}), d.text) << d.name << ", cut after " << cut;
    }
    const std::vector<std::size_t> bytewise(d.bytes.size(), 1);
    EXPECT_EQ(decodeInPieces(d.bytes, bytewise), d.text) << d.name << ", a byte at a time";
  }
}

TEST(WindowsDeviceName, ReservedNamesAnywhere) {
  for (const char* path : {"NUL", "nul", "CON", "con.txt", "C:\\out\\NUL.bdf", "dir/aux", "COM1",
                           "lpt9.txt", "Com1 .bin", "NUL:", "C:nul", "prn.tar.gz", "CONOUT$",
                           "conin$", "\\\\.\\COM3", "//./pipe/x"}) {
    EXPECT_TRUE(isWindowsDeviceName(path)) << path;
  }
  for (const char* path :
       {"", "null", "nul1", "COM10", "COM", "LPTX", "console.txt", "font.bdf", "C:\\con\\font.bdf",
        "con/font.bdf", "\\\\?\\C:\\out\\NUL", "a nul.txt", "\\\\.server\\share\\f.bdf"}) {
    EXPECT_FALSE(isWindowsDeviceName(path)) << path;
  }
}

// A path's folder and name, as outputs are written beside their targets.
TEST(SplitName, FolderAndName) {
  struct Case {
    const char *path, *folder, *name;
  };
  const Case cases[] = {
    {"font.bdf", ".", "font.bdf"},
    {"out/font.bdf", "out", "font.bdf"},
    {"/font.bdf", "/", "font.bdf"},
    {"a/b/", "a/b", ""},
#if defined(_WIN32)
    {"C:\\font.bdf", "C:\\", "font.bdf"},
    {"C:font.bdf", "C:", "font.bdf"},
    {"out\\sub/font.bdf", "out\\sub", "font.bdf"},
    {"\\\\?\\C:\\out\\a/b.bdf", "\\\\?\\C:\\out", "a/b.bdf"},
#else
    {"out\\font.bdf", ".", "out\\font.bdf"},
#endif
  };
  for (const Case& c : cases) {
    std::string folder, name;
    splitName(c.path, &folder, &name);
    EXPECT_EQ(folder, c.folder) << c.path;
    EXPECT_EQ(name, c.name) << c.path;
  }
}

#if defined(_WIN32)

// A file another program holds open without sharing it: the C library says
// "Permission denied"; the message says what the user must do.
TEST(SystemErrorText, FileHeldOpenByAnotherProgram) {
  const std::filesystem::path path = std::filesystem::temp_directory_path() / "fontgraft-held.txt";
  const HANDLE held = CreateFileW(path.wstring().c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                  CREATE_ALWAYS, FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  errno = 0;
  std::FILE* file = std::fopen(path.string().c_str(), "rb");
  const int error = errno;
  EXPECT_EQ(file, nullptr);
  EXPECT_EQ(systemErrorText(error), "it is open in another program");
  EXPECT_EQ(systemErrorText(std::error_code(ERROR_SHARING_VIOLATION, std::system_category())),
            "it is open in another program");
  CloseHandle(held);
  // A permission the user lacks stays that.
  errno = 0;
  EXPECT_EQ(std::fopen(std::filesystem::temp_directory_path().string().c_str(), "wb"), nullptr);
  EXPECT_NE(systemErrorText(errno), "it is open in another program");
}

TEST(DeviceName, WindowsNamesAreDevices) {
  EXPECT_TRUE(isDeviceName("NUL"));
  EXPECT_EQ(fileErrorText("out\\con.png", EIO), "it is a device, not a file");
}

#endif

}  // namespace
