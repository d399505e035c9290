#include "base/dyn_string.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>

#include "base/os.h"
#include "support/os_fault.h"

namespace varnix {
namespace {

std::string Held(const CDynString& s) { return std::string(s.Data(), s.Length()); }

CDynString View(const char* text) { return CDynString::WrapText(text); }

TEST(DynString, InlineStringStartsEmptyWithItsCapacity) {
  CInlineString<16> s;
  EXPECT_EQ(s.Length(), 0);
  EXPECT_EQ(s.Capacity(), 16);
  EXPECT_EQ(s.Data()[0], 0);
  EXPECT_EQ(reinterpret_cast<char*>(&s) + 8, s.Data()) << "inline characters start at the data field";
}

TEST(DynString, AssignCutsAtTheCapacity) {
  std::string long_text(300, 'x');
  CPathString path;
  path.AssignText(long_text.c_str());
  EXPECT_EQ(path.Length(), 256);
  char* text = path.AssignTerminated(View(long_text.c_str()));
  EXPECT_EQ(path.Length(), 255);
  EXPECT_EQ(std::strlen(text), 255u);
}

TEST(DynString, AppendKeepsWhatFits) {
  CInlineString<8> s;
  s.AssignText("abcde");
  s.AppendChars("123456", 6);
  EXPECT_EQ(Held(s), "abcde123");
  s.AppendChar('z');
  EXPECT_EQ(Held(s), "abcde123") << "AppendChar on a full string changes nothing";
  s.SetLength(2);
  s.AppendRepeated('-', 3);
  EXPECT_EQ(Held(s), "ab---");
  s.AppendRepeated('-', -4);
  EXPECT_EQ(Held(s), "ab---");
}

TEST(DynString, TextOfEmptyStringIsSharedAndWritesNothing) {
  CInlineString<8> s;
  s.AssignText("old");
  s.SetLength(0);
  char* text = s.Text();
  EXPECT_STREQ(text, "");
  EXPECT_NE(text, s.Data());
  EXPECT_EQ(std::string(s.Data(), 3), "old") << "the buffer keeps its old characters";
  CInlineString<4> other;
  EXPECT_EQ(other.Text(), text) << "one shared empty text";
}

TEST(DynString, TerminatedFormsOnAFullString) {
  CInlineString<4> s;
  s.AssignText("abcd");
  EXPECT_STREQ(s.CStr(), "abc");
  EXPECT_EQ(s.Length(), 4) << "CStr never changes the length";

  s.AssignText("abcd");
  EXPECT_STREQ(s.Terminate(), "abc");
  EXPECT_EQ(s.Length(), 3);

  s.AssignText("abcd");
  EXPECT_STREQ(s.Text(), "abc");
  EXPECT_EQ(s.Length(), 3);

  s.AssignText("ab");
  EXPECT_STREQ(s.Text(), "ab");
  EXPECT_EQ(s.Length(), 2);
}

TEST(DynString, ViewsOfReadOnlyLiteralsAreNeverWritten) {
  // A literal in read-only memory: any write through the view would fault.
  static const char* const literal = "read-only text";
  CDynString view = CDynString::WrapText(literal);
  EXPECT_EQ(view.Length(), 14);
  EXPECT_EQ(view.Capacity(), 15);
  EXPECT_EQ(view.Text(), literal);
  EXPECT_EQ(view.CStr(), literal);
  EXPECT_EQ(view.Length(), 14);
}

TEST(DynString, NumbersAppendAsSpecified) {
  struct Case {
    const char* name;
    void (*apply)(CDynString&);
    const char* expected;
  } cases[] = {
      {"negative", [](CDynString& s) { s.AppendInt(-42); }, "-42"},
      {"most negative", [](CDynString& s) { s.AppendInt(INT32_MIN); }, "-2147483648"},
      {"most positive", [](CDynString& s) { s.AppendInt(INT32_MAX); }, "2147483647"},
      {"hex lower case", [](CDynString& s) { s.AppendNumber(255, 16); }, "ff"},
      {"zero", [](CDynString& s) { s.AppendNumber(0, 10); }, "0"},
      {"binary", [](CDynString& s) { s.AppendNumber(5, 2); }, "101"},
      {"base 36", [](CDynString& s) { s.AppendNumber(35, 36); }, "z"},
      {"largest unsigned", [](CDynString& s) { s.AppendNumber(UINT32_MAX, 10); }, "4294967295"},
      {"largest unsigned base 2", [](CDynString& s) { s.AppendNumber(UINT32_MAX, 2); },
       "11111111111111111111111111111111"},
      {"base from low 8 bits", [](CDynString& s) { s.AppendNumber(255, 256 + 16); }, "ff"},
      {"base 0 gives no digits", [](CDynString& s) { s.AppendNumber(7, 0); }, ""},
      {"base 1 gives no digits", [](CDynString& s) { s.AppendNumber(7, 1); }, ""},
      {"base 37 gives no digits", [](CDynString& s) { s.AppendNumber(7, 37); }, ""},
      {"SetInt replaces", [](CDynString& s) { s.SetInt(17); }, "17"},
      {"SetNumber replaces", [](CDynString& s) { s.SetNumber(10, 16); }, "a"},
      {"SetNumber with bad base empties", [](CDynString& s) { s.SetNumber(10, 1); }, ""},
  };
  for (const Case& c : cases) {
    CInlineString<40> s;
    if (std::strncmp(c.name, "Set", 3) == 0) s.AssignText("old");
    c.apply(s);
    EXPECT_EQ(Held(s), c.expected) << c.name;
  }
}

TEST(DynString, DigitsThatDoNotFitAreDroppedFromTheEnd) {
  CInlineString<3> s;
  s.AppendNumber(123456, 10);
  EXPECT_EQ(Held(s), "123");
}

TEST(DynString, ToIntParsesLikeTheDevice) {
  struct Case {
    const char* text;
    int32_t expected;
  } cases[] = {
      {" \t-17xyz", -17}, {"+8", 8}, {"-", 0}, {"abc", 0}, {"- 5", 0}, {"", 0},
      {"   ", 0}, {"2147483647", INT32_MAX}, {"-2147483648", INT32_MIN},
      {"2147483648", INT32_MIN}, {"4294967297", 1}, {"12 34", 12}, {"007", 7},
  };
  for (const Case& c : cases) EXPECT_EQ(View(c.text).ToInt(), c.expected) << '"' << c.text << '"';
}

TEST(DynString, ToIntReadsOnlyTheHeldCharacters) {
  const char digits[] = {'1', '2', '3', '4'};
  EXPECT_EQ(CDynString::WrapChars(digits, 2).ToInt(), 12);
}

TEST(DynString, CompareGivesByteDifferences) {
  struct Case {
    const char* a;
    const char* b;
    int expected;
  } cases[] = {
      {"abc", "abd", 'c' - 'd'}, {"abc", "ab", 1}, {"ab", "abc", -1}, {"b", "a", 1},
      {"abc", "abc", 0}, {"a", "z", 'a' - 'z'}, {"", "", 0}, {"\xff", "\x01", 0xfe},
  };
  for (const Case& c : cases) EXPECT_EQ(View(c.a).Compare(View(c.b)), c.expected) << c.a << " vs " << c.b;
}

TEST(DynString, FindAndIndexOf) {
  CDynString s = View("abcabc");
  EXPECT_EQ(s.Find(View("")), -1);
  EXPECT_EQ(s.FindChars("abcabcd", 7), -1);
  EXPECT_EQ(s.Find(View("bc")), 1);
  EXPECT_EQ(s.Find(View("cabc")), 2) << "a match at the very end";
  EXPECT_EQ(s.Find(View("abcabc")), 0);
  EXPECT_EQ(s.FindChars("x", 1), -1);
  EXPECT_EQ(s.IndexOfChar('c'), 2);
  EXPECT_EQ(s.LastIndexOfChar('c'), 5);
  EXPECT_EQ(s.IndexOfChar('q'), -1);
  EXPECT_EQ(s.LastIndexOfChar('q'), -1);
  EXPECT_EQ(View("\xe9").IndexOfChar(0xe9), 0) << "characters are unsigned";
}

TEST(DynString, TrimmingBlanksAndTabs) {
  CInlineString<16> s;
  s.AssignText("  ");
  s.TrimLeft();
  EXPECT_EQ(s.Length(), 0);
  s.AssignText("\t a b \t");
  s.Trim();
  EXPECT_EQ(Held(s), "a b");
  s.AssignText("x \t ");
  s.TrimLeft();
  EXPECT_EQ(Held(s), "x \t ");
  s.TrimRight();
  EXPECT_EQ(Held(s), "x");
}

TEST(DynString, EraseInsertPrepend) {
  CInlineString<8> s;
  s.AssignText("abcdef");
  s.Erase(2, 100);
  EXPECT_EQ(Held(s), "ab");
  s.Erase(1, 0);
  EXPECT_EQ(Held(s), "ab");

  s.AssignText("abcdef");
  s.Insert(0, View("xyz"));
  EXPECT_EQ(Held(s), "xyabcdef") << "only the inserted text is cut";
  s.Insert(3, View("q"));
  EXPECT_EQ(Held(s), "xyabcdef") << "a full string takes nothing";

  s.AssignText("ace");
  s.InsertChar(1, 'b');
  s.InsertChar(3, 'd');
  s.InsertChar(5, 'f');
  EXPECT_EQ(Held(s), "abcdef");
  s.Prepend(View("12"));
  EXPECT_EQ(Held(s), "12abcdef");
  s.InsertChar(0, '0');
  EXPECT_EQ(Held(s), "12abcdef");
}

TEST(DynString, InsertOfItsOwnCharacters) {
  CInlineString<12> s;
  s.AssignText("abc");
  s.Insert(1, CDynString::LeftView(s, 2));
  // The view's source moves while it is read; the string's own characters
  // are never lost.
  EXPECT_EQ(Held(s), "aabbc");
}

TEST(DynString, ViewsAndCopies) {
  CDynString src = View("abcdef");
  EXPECT_EQ(Held(CDynString::MidView(src, -3, 2)), "ab");
  EXPECT_EQ(Held(CDynString::MidView(src, 2, 100)), "cdef");
  EXPECT_EQ(Held(CDynString::MidView(src, 100, 2)), "");
  EXPECT_EQ(Held(CDynString::LeftView(src, 10)), "abcdef");
  EXPECT_EQ(Held(CDynString::RightView(src, 2)), "ef");
  EXPECT_EQ(Held(CDynString::TailView(src, 4)), "ef");
  EXPECT_EQ(CDynString::RightView(src, 2).Capacity(), 2);

  CDynString abc = View("abc");
  CInlineString<8> dst;
  abc.CopyLast(dst, 10);
  EXPECT_EQ(Held(dst), "abc");
  abc.CopyLast(dst, 2);
  EXPECT_EQ(Held(dst), "bc");
  abc.CopyTail(dst, 5);
  EXPECT_EQ(Held(dst), "");
  abc.CopyTail(dst, 1);
  EXPECT_EQ(Held(dst), "bc");
  abc.CopyMid(dst, 1, 1);
  EXPECT_EQ(Held(dst), "b");

  char buffer[4] = {'#', '#', '#', '#'};
  abc.CopyTo(buffer, 1);
  EXPECT_EQ(buffer[0], 0);
  EXPECT_EQ(buffer[1], '#');
  src.CopyTo(buffer, 4);
  EXPECT_STREQ(buffer, "abc");
}

TEST(DynString, SetLengthClampsAndZeroFill) {
  CInlineString<4> s;
  s.SetLength(10);
  EXPECT_EQ(s.Length(), 4);
  s.SetLength(-1);
  EXPECT_EQ(s.Length(), 0);
  s.AssignText("ab");
  s.ZeroFill();
  EXPECT_EQ(s.Length(), 2);
  EXPECT_EQ(s.CharAt(0), 0);
  EXPECT_EQ(s.CharAt(1), 0);
  s.SetCharAt(1, 0xe9);
  EXPECT_EQ(s.CharAt(1), 0xe9);
}

TEST(DynString, InlineStringMovesByteForByte) {
  CPathString a;
  a.AssignText("/mnt/sdcard/maps/");
  unsigned char raw[sizeof(CPathString)];
  std::memcpy(raw, static_cast<void*>(&a), sizeof a);
  std::memset(static_cast<void*>(&a), 0x5a, sizeof a);
  CPathString b;
  std::memcpy(static_cast<void*>(&b), raw, sizeof b);
  EXPECT_STREQ(b.Text(), "/mnt/sdcard/maps/");
}

TEST(DynString, HeapStrings) {
  CDynString* heap = CDynString::Allocate(5);
  ASSERT_NE(heap, nullptr);
  EXPECT_EQ(heap->Capacity(), 5);
  EXPECT_EQ(heap->Data(), reinterpret_cast<char*>(heap) + sizeof(CDynString));
  heap->AssignText("abcdefg");
  EXPECT_EQ(Held(*heap), "abcde");
  CDynString* clone = heap->Clone();
  ASSERT_NE(clone, nullptr);
  EXPECT_EQ(clone->Capacity(), 6);
  EXPECT_STREQ(clone->Data(), "abcde");
  free(clone);
  free(heap);
}

TEST(DynString, AllocateReportsExhaustedMemory) {
  test::OsFaultGuard guard;
  test::FailCall("Malloc", 1, ENOMEM);
  EXPECT_EQ(CDynString::Allocate(10), nullptr);
  CDynString text = View("abc");
  test::FailCall("Malloc", 1, ENOMEM);
  EXPECT_EQ(text.Clone(), nullptr);
}

TEST(DynString, ReservedBitIsMaskedAndClearedByAssign) {
  CInlineString<8> s;
  // Set bit 30 the way a damaged copy would carry it, then read the capacity.
  uint32_t word;
  std::memcpy(&word, reinterpret_cast<char*>(&s) + 4, 4);
  word |= CDynString::KReservedFlag;
  std::memcpy(reinterpret_cast<char*>(&s) + 4, &word, 4);
  EXPECT_EQ(s.Capacity(), 8);
  s.AssignText("x");
  std::memcpy(&word, reinterpret_cast<char*>(&s) + 4, 4);
  EXPECT_EQ(word & CDynString::KReservedFlag, 0u);
}

}  // namespace
}  // namespace varnix
