#include "base/format.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "base/dyn_string.h"

namespace varnix {
namespace {

// Formats into a buffer with guard bytes on both sides, checks that nothing
// was written outside [0, size) and that the result is terminated where the
// returned count says.
template <typename... Args>
std::string Formatted(int size, const char* format, Args... args) {
  const int guard = 16;
  std::string storage(size + 2 * guard, '\xAA');
  char* buffer = &storage[guard];
  int n = FormatBuffer(buffer, size, format, args...);
  for (int i = 0; i < guard; ++i) {
    EXPECT_EQ(storage[i], '\xAA') << "wrote before the buffer";
    EXPECT_EQ(storage[guard + size + i], '\xAA') << "wrote past the buffer";
  }
  EXPECT_GE(n, 0);
  EXPECT_LT(n, size);
  EXPECT_EQ(buffer[n], 0) << "terminated at the count";
  return std::string(buffer, n);
}

TEST(Format, DeviceExamples) {
  EXPECT_EQ(Formatted(1, "abc"), "");
  EXPECT_EQ(Formatted(100, "%s.%s.%u.%u.message", "client", "VarnixNavigationServer", 1234u, 5u),
            "client.VarnixNavigationServer.1234.5.message");
  EXPECT_EQ(Formatted(100, "data%02d.chk", 5), "data05.chk");
  EXPECT_EQ(Formatted(100, "data%02d.chk", 123), "data123.chk");
  EXPECT_EQ(Formatted(100, "%x", 255), "FF");
  EXPECT_EQ(Formatted(100, "%X", -255), "-FF");
  EXPECT_EQ(Formatted(100, "%x %d", 255, 10), "FF 10");
  EXPECT_EQ(Formatted(100, "%u", -1), "4294967295");
  EXPECT_EQ(Formatted(100, "%d", INT_MIN), "-2147483648");
  EXPECT_EQ(Formatted(100, "%5d", 42), "   42");
  EXPECT_EQ(Formatted(100, "%12d", 7), std::string(11, ' ') + "7");
  EXPECT_EQ(Formatted(100, "%123d", 7), "3d") << "width 12 read, '3' ends the conversion, no argument taken";
  EXPECT_EQ(Formatted(100, "%0dq", 7), "q") << "the zero flag consumes the d as its width";
  EXPECT_EQ(Formatted(100, "%0dX", 255), "FF") << "...and X after it is the conversion";
  EXPECT_EQ(Formatted(100, "%0d%d", 7), "%d") << "...and the next character is the conversion";
  EXPECT_EQ(Formatted(100, "%-5d"), "-5d");
  EXPECT_EQ(Formatted(100, "%f"), "f");
  EXPECT_EQ(Formatted(100, "%%"), "%");
  EXPECT_EQ(Formatted(100, "%ld %hd %lhd", 1, 2, 3), "1 2 3");
  EXPECT_EQ(Formatted(100, "%c", 0x141), "A");
  EXPECT_EQ(Formatted(100, "%5d", -42), "-   42");
  EXPECT_EQ(Formatted(100, "%05d", -42), "-00042");
  EXPECT_EQ(Formatted(100, "%+d", 7), "+7");
  EXPECT_EQ(Formatted(100, "%+u", 7u), "7");
  EXPECT_EQ(Formatted(100, "%+5s", "ab"), "ab") << "width, pad and plus are ignored for texts";
  EXPECT_EQ(Formatted(100, "%5%"), "%");
}

TEST(Format, OutputIsCutAtTheLimit) {
  std::string long_text(300, 'q');
  EXPECT_EQ(Formatted(10, "%s", long_text.c_str()), std::string(9, 'q'));
  EXPECT_EQ(Formatted(4, "ab%d", 12345), "ab1");
  EXPECT_EQ(Formatted(4, "%05d", 7), "000");
  EXPECT_EQ(Formatted(3, "%d", -12345), "-1");
  EXPECT_EQ(Formatted(2, "%d", -1), "-");
  EXPECT_EQ(Formatted(5, "%%%%%%%%%%"), "%%%%");
}

TEST(Format, UnfinishedConversionStopsAtTheEndOfTheFormat) {
  // Each format ends inside a conversion; nothing past its terminator may be
  // read, so each is copied into a block of exactly its own size.
  for (const char* format : {"%", "ab%", "%+", "%l", "%0", "%5", "%12", "%+0"}) {
    std::string exact(format);
    char* heap = static_cast<char*>(malloc(exact.size() + 1));
    std::memcpy(heap, exact.c_str(), exact.size() + 1);
    char out[32];
    int n = FormatBuffer(out, sizeof out, heap, 1, 2, 3);
    free(heap);
    EXPECT_EQ(std::string(out, n), exact.substr(0, exact.find('%'))) << format;
  }
}

TEST(Format, NullTextIsWrittenAsNothing) {
  EXPECT_EQ(Formatted(20, "[%s]", static_cast<const char*>(nullptr)), "[]");
}

TEST(Format, AgreesWithSnprintfOnTheCommonSubset) {
  // Random formats from the subset where both formatters agree: a sign is
  // counted in the width by snprintf and not by the runtime, so widths go
  // with non-negative values and no '+' flag.
  std::mt19937 rng(42);
  const char* texts[] = {"", "a", "navigation", "0123456789abcdef"};
  for (int round = 0; round < 20000; ++round) {
    char conv = "sduc%"[rng() % 5];
    std::string conversion_text = "%";
    bool has_width = false;
    if (conv == 'd' || conv == 'u') {
      switch (rng() % 4) {
        case 0:
          conversion_text += "0" + std::to_string(1 + rng() % 9);
          has_width = true;
          break;
        case 1:
          conversion_text += std::to_string(1 + rng() % 99);
          has_width = true;
          break;
        case 2:
          if (conv == 'd') conversion_text += "+";
          break;
        default:
          break;
      }
      if (rng() % 3 == 0) conversion_text += "l";
    }
    conversion_text += conv;
    std::string format = "<" + conversion_text + ">" + (rng() % 2 ? "tail" : "");
    int size = 1 + static_cast<int>(rng() % 127);
    char ours[128];
    char theirs[128];
    int32_t value = static_cast<int32_t>(rng());
    if (has_width && value < 0) value = -(value / 2);
    const char* text = texts[rng() % 4];
    int ch = 'A' + static_cast<int>(rng() % 26);
    switch (conv) {
      case 's':
        FormatBuffer(ours, size, format.c_str(), text);
        snprintf(theirs, size, format.c_str(), text);
        break;
      case 'd':
        if (conversion_text.find('l') != std::string::npos) {
          FormatBuffer(ours, size, format.c_str(), static_cast<long>(value));
          snprintf(theirs, size, format.c_str(), static_cast<long>(value));
        } else {
          FormatBuffer(ours, size, format.c_str(), value);
          snprintf(theirs, size, format.c_str(), value);
        }
        break;
      case 'u':
        if (conversion_text.find('l') != std::string::npos) {
          FormatBuffer(ours, size, format.c_str(), static_cast<unsigned long>(static_cast<uint32_t>(value)));
          snprintf(theirs, size, format.c_str(), static_cast<unsigned long>(static_cast<uint32_t>(value)));
        } else {
          FormatBuffer(ours, size, format.c_str(), static_cast<uint32_t>(value));
          snprintf(theirs, size, format.c_str(), static_cast<uint32_t>(value));
        }
        break;
      case 'c':
        FormatBuffer(ours, size, format.c_str(), ch);
        snprintf(theirs, size, format.c_str(), ch);
        break;
      default:
        FormatBuffer(ours, size, format.c_str());
        snprintf(theirs, size, format.c_str());
        break;
    }
    ASSERT_STREQ(ours, theirs) << "format " << format << " size " << size;
  }
}

TEST(Format, WhereTheRuntimeDiffersFromSnprintf) {
  struct Case {
    const char* format;
    int value;
    const char* ours;
  } cases[] = {
      {"%x", 0xabc, "ABC"},       // hexadecimal is upper case
      {"%x", -1, "-1"},           // a sign and the magnitude, never two's complement
      {"%05d", -42, "-00042"},    // sign before the padding, not counted in the width
      {"%-5d", 3, "-5d"},         // no left alignment: written as text
      {"%0d", 3, ""},             // the zero flag consumes the 'd'
      {"%.2d", 3, ".2d"},         // no precision
      {"%*d", 3, "*d"},           // no star width
  };
  for (const Case& c : cases) {
    char ours[64];
    char theirs[64];
    FormatBuffer(ours, sizeof ours, c.format, c.value);
    snprintf(theirs, sizeof theirs, c.format, c.value, c.value);
    EXPECT_STREQ(ours, c.ours) << c.format;
    EXPECT_STRNE(ours, theirs) << c.format;
  }
}

TEST(Format, DynStringFormatTerminatesWithinItsCapacity) {
  CInlineString<8> s;
  EXPECT_EQ(s.Format("data%02d.chk", 5), 7);
  EXPECT_STREQ(s.Data(), "data05.");
  EXPECT_EQ(s.Length(), 7);
  CShortString name;
  name.Format("data%d.chk", 12);
  EXPECT_STREQ(name.Text(), "data12.chk");
}

TEST(NumberText, IntToTextAndBack) {
  char out[40];
  EXPECT_STREQ(IntToText(255, out, 16), "FF");
  EXPECT_STREQ(IntToText(0, out, 10), "0");
  EXPECT_STREQ(IntToText(-42, out, 10), "-42");
  EXPECT_STREQ(IntToText(INT_MIN, out, 10), "-2147483648");
  EXPECT_STREQ(IntToText(INT_MIN, out, 2), "-10000000000000000000000000000000");
  EXPECT_STREQ(IntToText(35, out, 36), "Z");
  EXPECT_STREQ(UnsignedToText(0, out, 10), "0");
  EXPECT_STREQ(UnsignedToText(UINT32_MAX, out, 10), "4294967295");
  EXPECT_STREQ(UnsignedToText(UINT32_MAX, out, 16), "FFFFFFFF");
  for (int base : {-1, 0, 1, 37, 1000}) {
    std::strcpy(out, "old");
    EXPECT_STREQ(IntToText(5, out, base), "") << base;
    std::strcpy(out, "old");
    EXPECT_STREQ(UnsignedToText(5, out, base), "") << base;
  }
  EXPECT_EQ(TextToInt("  42abc"), 42);
  EXPECT_EQ(TextToInt("x"), 0);
  EXPECT_EQ(TextToInt("\t-7"), -7);
}

TEST(NumberText, IntToTextMatchesSnprintf) {
  std::mt19937 rng(3);
  for (int i = 0; i < 20000; ++i) {
    int32_t v = static_cast<int32_t>(rng());
    char ours[16];
    char theirs[16];
    snprintf(theirs, sizeof theirs, "%d", v);
    ASSERT_STREQ(IntToText(v, ours, 10), theirs);
    ASSERT_EQ(TextToInt(ours), v);
  }
}

// Decimal digits are made two at a time: every count of digits, odd and
// even, and the values around each change of length, in every decimal form.
TEST(NumberText, DecimalDigitsAtEveryLength) {
  std::vector<uint32_t> values = {0u, UINT32_MAX, 2147483647u, 2147483648u};
  for (uint64_t power = 1; power <= 1000000000u; power *= 10) {
    for (uint64_t v : {power - 1, power, power + 1, 2 * power - 1, 5 * power + 3})
      values.push_back(static_cast<uint32_t>(v));
  }
  for (uint32_t v : values) {
    char theirs[32];
    char ours[40];
    snprintf(theirs, sizeof theirs, "%u", v);
    EXPECT_STREQ(UnsignedToText(v, ours, 10), theirs) << v;
    EXPECT_EQ(Formatted(40, "%u", v), theirs);
    int32_t s = static_cast<int32_t>(v);
    snprintf(theirs, sizeof theirs, "%d", s);
    EXPECT_STREQ(IntToText(s, ours, 10), theirs) << s;
    EXPECT_EQ(Formatted(40, "%d", s), theirs);
    // The runtime writes a negative %X as a sign and a magnitude.
    snprintf(theirs, sizeof theirs, "%09u|%X", v, v & 0x7FFFFFFFu);
    EXPECT_EQ(Formatted(40, "%09u|%X", v, v & 0x7FFFFFFFu), theirs) << v;
  }
}

TEST(CharacterTables, SelectedEntries) {
  struct Case {
    unsigned ch, upper, lower, folded;
  } cases[] = {
      {'a', 'A', 'a', 'A'}, {'Z', 'Z', 'z', 'Z'}, {'-', '-', '-', ' '}, {0xBE, 0xBD, 0xBE, 'L'},
      {0xBD, 0xBD, 0xBE, 'L'}, {0xE9, 0xC9, 0xE9, 'E'}, {0xC9, 0xC9, 0xE9, 'E'}, {0xF7, 0xD7, 0xF7, 0xF7},
      {0xD7, 0xD7, 0xF7, 0xD7}, {0xFF, 0xFF, 0xFF, 'Y'}, {0xDF, 0xDF, 0xDF, 'S'}, {0xDE, 0xDE, 0xFE, 0xDE},
      {0xFE, 0xDE, 0xFE, 0xDE}, {0xF0, 0xD0, 0xF0, 0xD0}, {0xD0, 0xD0, 0xF0, 0xD0}, {0x82, 0x82, 0x82, ','},
      {0x8A, 0x8A, 0x8A, 'S'}, {0x9A, 0x9A, 0x9A, 'S'}, {0x9C, 0x9C, 0x9C, 0x8C}, {0x9F, 0x9F, 0x9F, 'Y'},
      {0xC7, 0xC7, 0xE7, 'C'}, {0xF1, 0xD1, 0xF1, 'N'}, {0xD8, 0xD8, 0xF8, 'O'}, {0xFC, 0xDC, 0xFC, 'U'},
      {0x00, 0x00, 0x00, 0x00}, {'5', '5', '5', '5'},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(UpperChar(c.ch), c.upper) << std::hex << c.ch;
    EXPECT_EQ(LowerChar(c.ch), c.lower) << std::hex << c.ch;
    EXPECT_EQ(FoldChar(c.ch), c.folded) << std::hex << c.ch;
  }
  EXPECT_EQ(UpperChar(300), 300u);
  EXPECT_EQ(FoldTable(), FoldingTable);
}

TEST(CharacterTables, CaseTablesAreInversesOnLetters) {
  for (unsigned c = 0; c < 256; ++c) {
    if (UpperCaseTable[c] != c) {
      EXPECT_EQ(LowerCaseTable[UpperCaseTable[c]], c) << c;
    }
    EXPECT_EQ(IsLetter(c), (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'));
    EXPECT_EQ(IsDigit(c), c >= '0' && c <= '9');
    EXPECT_EQ(IsUpper(c) + IsLower(c), IsLetter(c));
  }
}

TEST(CharacterTables, StringOperations) {
  CInlineString<16> s;
  s.AssignText("hELLO");
  s.Capitalize();
  EXPECT_STREQ(s.Text(), "Hello");
  s.ToUpper();
  EXPECT_STREQ(s.Text(), "HELLO");
  s.ToLower();
  EXPECT_STREQ(s.Text(), "hello");
  EXPECT_EQ(s.UpperCharAt(0), 'H');
  EXPECT_EQ(s.LowerCharAt(0), 'h');
  s.AssignText("caf\xe9-bar");
  s.Fold();
  EXPECT_STREQ(s.Text(), "CAFE BAR");
  CInlineString<4> empty;
  empty.Capitalize();
  EXPECT_EQ(empty.Length(), 0);

  EXPECT_EQ(CDynString::WrapText("abc").CompareNoCase(CDynString::WrapText("ABD")), 'C' - 'D');
  EXPECT_EQ(CDynString::WrapText("abc").CompareNoCase(CDynString::WrapText("ABC")), 0);
  EXPECT_EQ(CDynString::WrapText("abcd").CompareNoCase(CDynString::WrapText("ABC")), 1);
  EXPECT_EQ(CDynString::WrapText("\xc9te-a").CompareFolded(CDynString::WrapText("ETE A")), 0);
  EXPECT_EQ(CDynString::WrapText("a").CompareFolded(CDynString::WrapText("ab")), -1);
}

TEST(CharacterTables, FindFolded) {
  EXPECT_EQ(FindFolded("cafe", 4, "\xc9", 1), 3);
  EXPECT_EQ(FindFolded("cafe", 4, "", 0), 0);
  EXPECT_EQ(FindFolded("caf", 3, "cafe", 4), -1);
  EXPECT_EQ(FindFolded("Saint-\xc9tienne", 14, "saint etienne", 13), 0);
  EXPECT_EQ(FindFolded("abcabd", 6, "ABD", 3), 3);
  EXPECT_EQ(FindFolded("abc", 3, "x", 1), -1);
}

TEST(TextOperations, ThroughTheCLibrary) {
  char text[] = "a1-b2 c";
  EXPECT_STREQ(UpperText(text), "A1-B2 C");
  DotNonAlnum(text);
  EXPECT_STREQ(text, "A1.B2.C");
  EXPECT_EQ(CompareNoCaseN("abc\0x", "ABC\0y", 5), 'X' - 'Y') << "does not stop at a terminator";
  EXPECT_EQ(CompareNoCaseN("abcx", "ABCy", 3), 0);

  char dst[6];
  std::memset(dst, '#', sizeof dst);
  SafeCopy(dst, "ab", 6);
  EXPECT_EQ(std::string(dst, 6), std::string("ab\0\0\0\0", 6)) << "zero-filled";
  SafeCopy(dst, "abcdefgh", 6);
  EXPECT_STREQ(dst, "abcde");
  dst[0] = '#';
  SafeCopy(dst, "xyz", 0);
  EXPECT_EQ(dst[0], '#');
}

}  // namespace
}  // namespace varnix
