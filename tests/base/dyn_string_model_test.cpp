// Long random sequences of string operations on small capacities, each step
// checked against a plain model: a byte array, a length and a capacity. This
// is where off-by-one cuts show.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>

#include "base/dyn_string.h"

namespace varnix {
namespace {

struct Model {
  unsigned char bytes[64];
  int length = 0;
  int capacity = 0;

  void Assign(const std::string& text) {
    length = std::min<int>(static_cast<int>(text.size()), capacity);
    std::memcpy(bytes, text.data(), length);
  }
  void Append(const std::string& text) {
    int n = std::min<int>(static_cast<int>(text.size()), capacity - length);
    if (n <= 0) return;
    std::memcpy(bytes + length, text.data(), n);
    length += n;
  }
  void Insert(int pos, const std::string& text) {
    int n = std::min<int>(static_cast<int>(text.size()), capacity - length);
    if (n <= 0) return;
    std::memmove(bytes + pos + n, bytes + pos, length - pos);
    std::memcpy(bytes + pos, text.data(), n);
    length += n;
  }
  void Erase(int pos, int n) {
    n = std::min(n, length - pos);
    if (n <= 0) return;
    std::memmove(bytes + pos, bytes + pos + n, length - pos - n);
    length -= n;
  }
  std::string Held() const { return std::string(reinterpret_cast<const char*>(bytes), length); }
};

std::string RandomText(std::mt19937& rng, int max) {
  std::uniform_int_distribution<int> size(0, max);
  std::uniform_int_distribution<int> ch(0, 6);
  std::string text(size(rng), ' ');
  for (char& c : text) c = " \tabc-9"[ch(rng)];
  return text;
}

// Runs one sequence on a string of the given capacity.
void RunSequence(CDynString& s, int capacity, std::mt19937& rng) {
  Model m;
  m.capacity = capacity;
  // The model starts from the string's own buffer, so that bytes behind the
  // length, which SetLength brings back into view, agree too.
  std::memcpy(m.bytes, s.Data(), capacity);
  m.length = s.Length();
  for (int step = 0; step < 400; ++step) {
    std::uniform_int_distribution<int> op(0, 11);
    int which = op(rng);
    std::string text = RandomText(rng, capacity + 3);
    std::uniform_int_distribution<int> pos_of(0, m.length);
    int pos = pos_of(rng);
    std::uniform_int_distribution<int> count_of(-2, capacity + 2);
    int count = count_of(rng);
    std::string what;
    switch (which) {
      case 0:
        s.AssignText(text.c_str());
        m.Assign(text);
        what = "AssignText";
        break;
      case 1:
        s.AppendChars(text.data(), static_cast<int>(text.size()));
        m.Append(text);
        what = "AppendChars";
        break;
      case 2:
        s.AppendChar('Q');
        m.Append("Q");
        what = "AppendChar";
        break;
      case 3:
        s.Insert(pos, CDynString::WrapText(text.c_str()));
        m.Insert(pos, text);
        what = "Insert";
        break;
      case 4:
        s.InsertChar(pos, 'I');
        if (m.length + 1 <= m.capacity) m.Insert(pos, "I");
        what = "InsertChar";
        break;
      case 5:
        s.Erase(pos, count);
        m.Erase(pos, count);
        what = "Erase";
        break;
      case 6: {
        s.TrimLeft();
        int n = 0;
        while (n < m.length && (m.bytes[n] == ' ' || m.bytes[n] == '\t')) ++n;
        m.Erase(0, n);
        s.TrimRight();
        while (m.length > 0 && (m.bytes[m.length - 1] == ' ' || m.bytes[m.length - 1] == '\t')) --m.length;
        what = "Trim";
        break;
      }
      case 7: {
        char* t = s.Text();
        if (m.length > 0) {
          if (m.length == m.capacity) --m.length;
          m.bytes[m.length] = 0;
        }
        ASSERT_EQ(t[m.length], 0) << "Text terminates at the length";
        if (m.length > 0) {
          ASSERT_EQ(t, s.Data());
        }
        what = "Text";
        break;
      }
      case 8: {
        char* t = s.CStr();
        if (m.length < m.capacity)
          m.bytes[m.length] = 0;
        else if (m.length > 0)
          m.bytes[m.length - 1] = 0;
        ASSERT_EQ(t, s.Data());
        ASSERT_EQ(t[m.length < m.capacity ? m.length : m.length - 1], 0) << "CStr";
        what = "CStr";
        break;
      }
      case 9:
        s.SetLength(count);
        m.length = count <= 0 ? 0 : std::min(count, m.capacity);
        what = "SetLength";
        break;
      case 10: {
        s.AppendInt(count * 1000 - 7);
        m.Append(std::to_string(count * 1000 - 7));
        what = "AppendInt";
        break;
      }
      case 11: {
        CInlineString<64> other;
        other.AssignText(text.c_str());
        int expected = m.Held().compare(0, std::string::npos, text) == 0 ? 0 : 1;
        int got = s.Compare(other);
        ASSERT_EQ(got == 0, expected == 0) << "Compare";
        what = "Compare";
        break;
      }
    }
    ASSERT_EQ(s.Length(), m.length) << "after " << what << " at step " << step;
    // The model writes the same terminators as Text and CStr, so the whole
    // held text must agree byte for byte.
    ASSERT_EQ(std::string(s.Data(), s.Length()), m.Held()) << "after " << what << " at step " << step;
    ASSERT_LE(s.Length(), s.Capacity());
  }
}

TEST(DynStringModel, RandomSequencesAgreeWithTheModel) {
  std::mt19937 rng(20261211);
  for (int round = 0; round < 60; ++round) {
    CInlineString<1> c1;
    RunSequence(c1, 1, rng);
    CInlineString<2> c2;
    RunSequence(c2, 2, rng);
    CInlineString<7> c7;
    RunSequence(c7, 7, rng);
    CInlineString<8> c8;
    RunSequence(c8, 8, rng);
    CInlineString<9> c9;
    RunSequence(c9, 9, rng);
    CInlineString<16> c16;
    RunSequence(c16, 16, rng);
    if (HasFatalFailure()) return;
  }
}

TEST(DynStringModel, HeapStringsFollowTheSameRules) {
  std::mt19937 rng(7);
  for (int capacity : {1, 3, 13}) {
    CDynString* heap = CDynString::Allocate(capacity);
    ASSERT_NE(heap, nullptr);
    RunSequence(*heap, capacity, rng);
    free(heap);
  }
}

}  // namespace
}  // namespace varnix
