// CDynString against a reference model: a byte array as large as the
// capacity, and a length. The input is a capacity and a sequence of
// operations with their operands; after every operation the string's length
// and its whole buffer must equal the model's, and every result (views,
// copies, searches, comparisons, numbers) the model's result. The string is
// a heap string of exactly its capacity, so a write beyond it is caught.
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <string>

#include "base/dyn_string.h"
#include "base/format.h"
#include "fuzz_support.h"

namespace {

using varnix::CDynString;
using varnix::fuzz::CInput;

struct TModel {
  std::string buffer;  // capacity bytes
  int length = 0;
  int capacity = 0;

  std::string Held() const { return buffer.substr(0, length); }
  void Put(const std::string& text) {  // AppendChars
    int n = std::min<int>(static_cast<int>(text.size()), capacity - length);
    if (n <= 0) return;
    buffer.replace(length, n, text.substr(0, n));
    length += n;
  }
  void PutChar(char ch) {
    if (length < capacity) buffer[length++] = ch;
  }
  void PutNumber(uint32_t value, int base) {
    uint32_t b = static_cast<uint32_t>(base) & 0xFFu;
    if (b < 2 || b > 36) return;
    std::string digits;
    do {
      uint32_t d = value % b;
      digits.insert(digits.begin(), static_cast<char>(d <= 9 ? '0' + d : 'a' + d - 10));
      value /= b;
    } while (value != 0);
    for (char c : digits) PutChar(c);
  }
  void PutInt(int32_t value) {
    uint32_t magnitude = static_cast<uint32_t>(value);
    if (value < 0) {
      PutChar('-');
      magnitude = 0u - magnitude;
    }
    PutNumber(magnitude, 10);
  }
  void Erase(int pos, int n) {
    n = std::min(n, length - pos);
    if (n <= 0) return;
    std::string tail = buffer.substr(pos + n, length - pos - n);
    buffer.replace(pos, tail.size(), tail);
    length -= n;
  }
};

bool IsBlank(unsigned char c) { return c == ' ' || c == '\t'; }

int32_t ModelToInt(const std::string& s) {
  size_t i = 0;
  while (i < s.size() && IsBlank(s[i])) ++i;
  bool negative = false;
  if (i < s.size() && (s[i] == '-' || s[i] == '+')) negative = s[i++] == '-';
  uint32_t value = 0;
  for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i) value = value * 10u + static_cast<uint32_t>(s[i] - '0');
  return static_cast<int32_t>(negative ? 0u - value : value);
}

int ModelCompare(const std::string& a, const std::string& b, const unsigned char* table) {
  size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    unsigned ca = static_cast<unsigned char>(a[i]), cb = static_cast<unsigned char>(b[i]);
    if (table != nullptr) {
      ca = table[ca];
      cb = table[cb];
    }
    if (ca != cb) return static_cast<int>(ca) - static_cast<int>(cb);
  }
  return a.size() > b.size() ? 1 : a.size() < b.size() ? -1 : 0;
}

std::string ViewText(const CDynString& view) { return std::string(view.Data(), view.Length()); }

// The text of a view made by MidView and friends, from the model.
std::string ModelMid(const std::string& s, int pos, int n) {
  int len = static_cast<int>(s.size());
  if (pos <= 0) pos = 0;
  pos = std::min(pos, len);
  n = std::min(n, len - pos);
  if (n < 0) n = 0;
  return s.substr(pos, n);
}

// A small signed operand around the interesting range of the capacity.
int Operand(CInput& in, int capacity) { return static_cast<int>(in.Byte() % (capacity + 7)) - 3; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  CInput in(data, size);
  int capacity = 1 + in.Byte() % 40;
  CDynString* s = CDynString::Allocate(capacity);
  FUZZ_CHECK(s != nullptr);
  memset(s->Data(), 0, capacity);
  TModel m;
  m.capacity = capacity;
  m.buffer.assign(capacity, '\0');

  for (int step = 0; step < 64 && in.Left() > 0; ++step) {
    int op = in.Byte() % 30;
    std::string text = in.Run(capacity + 4);
    text = text.substr(0, strlen(text.c_str()));
    CDynString textView = CDynString::WrapChars(text.data(), static_cast<int>(text.size()));
    int a = Operand(in, capacity);
    int b = Operand(in, capacity);
    int pos = m.length > 0 ? static_cast<int>(in.Byte() % (m.length + 1)) : 0;
    uint32_t word = in.Word();
    std::string held = m.Held();

    switch (op) {
      case 0:
        s->AssignText(text.c_str());
        m.length = 0;
        m.Put(text);
        break;
      case 1: {  // from its own characters, which may overlap
        int n = std::max(0, std::min(a, m.length - pos));
        s->Assign(s->Data() + pos, n);
        std::string part = m.buffer.substr(pos, n);
        m.length = 0;
        m.Put(part);
        break;
      }
      case 2:
        s->AppendChars(text.data(), static_cast<int>(text.size()));
        m.Put(text);
        break;
      case 3:
        s->AppendChar(static_cast<int>(word & 0xFF));
        m.PutChar(static_cast<char>(word & 0xFF));
        break;
      case 4:
        s->AppendRepeated('r', a);
        for (int i = 0; i < a; ++i) m.PutChar('r');
        break;
      case 5:
        s->AppendInt(static_cast<int32_t>(word));
        m.PutInt(static_cast<int32_t>(word));
        break;
      case 6:
        s->AppendNumber(word, b + 3);
        m.PutNumber(word, b + 3);
        break;
      case 7:
        s->SetInt(static_cast<int32_t>(word));
        m.length = 0;
        m.PutInt(static_cast<int32_t>(word));
        break;
      case 8:
        s->SetNumber(word, 16);
        m.length = 0;
        m.PutNumber(word, 16);
        break;
      case 9: {
        s->Insert(pos, textView);
        int n = std::min<int>(static_cast<int>(text.size()), capacity - m.length);
        if (n > 0) {
          std::string tail = m.buffer.substr(pos, m.length - pos);
          m.buffer.replace(pos, n, text.substr(0, n));
          m.buffer.replace(pos + n, tail.size(), tail);
          m.length += n;
        }
        break;
      }
      case 10:
        s->InsertChar(pos, 'i');
        if (m.length + 1 <= capacity) {
          std::string tail = m.buffer.substr(pos, m.length - pos);
          m.buffer[pos] = 'i';
          m.buffer.replace(pos + 1, tail.size(), tail);
          ++m.length;
        }
        break;
      case 11:
        s->Erase(pos, a);
        m.Erase(pos, a);
        break;
      case 12:
      case 13:
      case 14: {
        if (op == 12) s->TrimLeft();
        if (op == 13) s->TrimRight();
        if (op == 14) s->Trim();
        if (op != 13) {
          int n = 0;
          while (n < m.length && IsBlank(m.buffer[n])) ++n;
          m.Erase(0, n);
        }
        if (op != 12)
          while (m.length > 0 && IsBlank(m.buffer[m.length - 1])) --m.length;
        break;
      }
      case 15:
        s->ZeroFill();
        for (int i = 0; i < m.length; ++i) m.buffer[i] = 0;
        break;
      case 16:
        s->SetLength(a);
        m.length = a <= 0 ? 0 : std::min(a, capacity);
        break;
      case 17: {
        char* t = s->Terminate();
        if (m.length >= capacity) m.length = capacity - 1;
        m.buffer[m.length] = 0;
        FUZZ_CHECK(t == s->Data());
        break;
      }
      case 18: {
        char* t = s->Text();
        if (m.length > 0) {
          if (m.length == capacity) --m.length;
          m.buffer[m.length] = 0;
          FUZZ_CHECK(t == s->Data());
        }
        FUZZ_CHECK(strlen(t) <= static_cast<size_t>(m.length));
        FUZZ_CHECK(t[m.length] == 0);
        break;
      }
      case 19: {
        char* t = s->CStr();
        if (m.length < capacity)
          m.buffer[m.length] = 0;
        else
          m.buffer[m.length - 1] = 0;
        FUZZ_CHECK(t == s->Data());
        break;
      }
      case 20:
        FUZZ_CHECK(ViewText(CDynString::MidView(*s, a, b)) == ModelMid(held, a, b));
        FUZZ_CHECK(ViewText(CDynString::LeftView(*s, a)) == ModelMid(held, 0, a));
        FUZZ_CHECK(ViewText(CDynString::RightView(*s, a)) ==
                   (a <= 0 ? std::string() : held.substr(held.size() - std::min<size_t>(a, held.size()))));
        FUZZ_CHECK(ViewText(CDynString::TailView(*s, a)) == ModelMid(held, a, m.length));
        break;
      case 21: {
        varnix::CInlineString<16> dst;
        s->CopyMid(dst, a, b);
        FUZZ_CHECK(ViewText(dst) == ModelMid(held, a, b).substr(0, 16));
        s->CopyTail(dst, a);
        FUZZ_CHECK(ViewText(dst) == ModelMid(held, a, m.length).substr(0, 16));
        s->CopyLast(dst, a);
        std::string last = a <= 0 ? std::string() : held.substr(held.size() - std::min<size_t>(a, held.size()));
        FUZZ_CHECK(ViewText(dst) == last.substr(0, 16));
        break;
      }
      case 22: {
        int bufferSize = 1 + (a < 0 ? 0 : a);
        char* buffer = static_cast<char*>(malloc(bufferSize));
        s->CopyTo(buffer, bufferSize);
        int n = std::min(m.length, bufferSize - 1);
        FUZZ_CHECK(memcmp(buffer, held.data(), n) == 0 && buffer[n] == 0);
        free(buffer);
        break;
      }
      case 23: {
        int ch = static_cast<int>(word & 0xFF);
        size_t first = held.find(static_cast<char>(ch));
        size_t last = held.rfind(static_cast<char>(ch));
        FUZZ_CHECK(s->IndexOfChar(ch) == (first == std::string::npos ? -1 : static_cast<int>(first)));
        FUZZ_CHECK(s->LastIndexOfChar(ch) == (last == std::string::npos ? -1 : static_cast<int>(last)));
        break;
      }
      case 24: {
        size_t at = text.empty() ? std::string::npos : held.find(text);
        FUZZ_CHECK(s->Find(textView) == (at == std::string::npos ? -1 : static_cast<int>(at)));
        break;
      }
      case 25: {
        int expected = ModelCompare(held, text, nullptr);
        FUZZ_CHECK(s->Compare(textView) == expected);
        break;
      }
      case 26:
        FUZZ_CHECK(s->ToInt() == ModelToInt(held));
        break;
      case 27: {
        const unsigned char* table = (word & 3) == 0   ? varnix::UpperCaseTable
                                     : (word & 3) == 1 ? varnix::LowerCaseTable
                                                       : varnix::FoldingTable;
        if ((word & 3) == 0) s->ToUpper();
        if ((word & 3) == 1) s->ToLower();
        if ((word & 3) >= 2) s->Fold();
        for (int i = 0; i < m.length; ++i) m.buffer[i] = static_cast<char>(table[static_cast<unsigned char>(m.buffer[i])]);
        break;
      }
      case 28:
        FUZZ_CHECK(s->CompareNoCase(textView) == ModelCompare(held, text, varnix::UpperCaseTable));
        FUZZ_CHECK(s->CompareFolded(textView) == ModelCompare(held, text, varnix::FoldingTable));
        break;
      case 29: {
        CDynString* copy = s->Clone();
        FUZZ_CHECK(copy != nullptr);
        FUZZ_CHECK(ViewText(*copy) == held && copy->Data()[copy->Length()] == 0);
        free(copy);
        break;
      }
    }
    FUZZ_CHECK(s->Length() == m.length);
    FUZZ_CHECK(s->Length() >= 0 && s->Length() <= s->Capacity());
    FUZZ_CHECK(memcmp(s->Data(), m.buffer.data(), capacity) == 0);
  }
  free(s);
  return 0;
}
