#include "base/dyn_string.h"

#include <stddef.h>
#include <string.h>

#include "base/os.h"

namespace varnix {
namespace {

const char KEmptyText[1] = {0};

inline int Min(int a, int b) { return a < b ? a : b; }
inline bool IsBlankOrTab(int ch) { return ch == ' ' || ch == '\t'; }

}  // namespace

// ---- Set-up and storage ------------------------------------------------

void CDynString::InitInline(int n) {
  length = 0;
  capacity = static_cast<uint32_t>(n) & KCapacityMask;
  if (n > 0) InlineChars()[0] = 0;
}

CDynString CDynString::View(const char* chars, int n, int viewCapacity) {
  CDynString view;
  view.length = n;
  view.capacity = (static_cast<uint32_t>(viewCapacity) & KCapacityMask) | KExternalFlag;
  view.data.pointer = const_cast<char*>(chars);
  return view;
}

CDynString CDynString::WrapText(const char* text) {
  int n = static_cast<int>(strlen(text));
  return View(text, n, n + 1);
}

CDynString CDynString::WrapChars(const char* chars, int n) { return View(chars, n, n); }

CDynString* CDynString::Allocate(int n) {
  if (n < 0 || static_cast<uint32_t>(n) > KCapacityMask) return nullptr;
  void* block = os::Malloc(sizeof(CDynString) + static_cast<size_t>(n));
  if (block == nullptr) return nullptr;
  CDynString* string = static_cast<CDynString*>(block);
  string->length = 0;
  string->capacity = static_cast<uint32_t>(n) | KExternalFlag;
  string->data.pointer = static_cast<char*>(block) + sizeof(CDynString);
  // Zeros, so that the terminators that Text and CStr look for are never
  // read from memory that was not written.
  if (n > 0) memset(string->data.pointer, 0, static_cast<size_t>(n));
  return string;
}

CDynString* CDynString::Clone() const {
  CDynString* copy = Allocate(length + 1);
  if (copy == nullptr) return nullptr;
  copy->Assign(*this);
  copy->Terminate();
  return copy;
}

void CDynString::SetLength(int n) {
  if (n <= 0) {
    length = 0;
    capacity &= ~KReservedFlag;
    return;
  }
  length = Min(n, Capacity());
}

// ---- Terminated text -----------------------------------------------------

char* CDynString::Terminate() {
  if (length >= Capacity()) length = Capacity() - 1;
  Data()[length] = 0;
  return Data();
}

char* CDynString::Text() {
  if (length == 0) return const_cast<char*>(KEmptyText);
  char* chars = Data();
  if (length == Capacity()) {
    length = Capacity() - 1;
    chars[length] = 0;
  } else if (!IsExternal() || chars[length] != 0) {
    chars[length] = 0;
  }
  return chars;
}

char* CDynString::CStr() {
  char* chars = Data();
  if (length < Capacity()) {
    if (!IsExternal() || chars[length] != 0) chars[length] = 0;
  } else if (length > 0) {
    chars[length - 1] = 0;
  }
  return chars;
}

// ---- Assigning and appending ---------------------------------------------

void CDynString::Assign(const char* chars, int n) {
  n = Min(n, Capacity());
  if (n < 0) n = 0;
  if (n > 0) memmove(Data(), chars, static_cast<size_t>(n));
  length = n;
  capacity &= ~KReservedFlag;
}

void CDynString::AssignText(const char* text) { Assign(text, static_cast<int>(strlen(text))); }

char* CDynString::AssignTerminated(const CDynString& other) {
  Assign(other);
  return Text();
}

void CDynString::AppendChars(const char* chars, int n) {
  n = Min(n, Capacity() - length);
  if (n <= 0) return;
  memcpy(Data() + length, chars, static_cast<size_t>(n));
  length += n;
}

char* CDynString::AppendTerminated(const CDynString& other) {
  AppendString(other);
  return Text();
}

void CDynString::AppendChar(int ch) {
  if (length >= Capacity()) return;
  Data()[length++] = static_cast<char>(ch);
}

void CDynString::AppendRepeated(int ch, int n) {
  for (int i = 0; i < n; ++i) AppendChar(ch);
}

void CDynString::AppendInt(int32_t value) {
  uint32_t magnitude = static_cast<uint32_t>(value);
  if (value < 0) {
    AppendChar('-');
    magnitude = 0u - magnitude;
  }
  AppendNumber(magnitude, 10);
}

void CDynString::AppendNumber(uint32_t value, int base) {
  uint32_t b = static_cast<uint32_t>(base) & 0xFFu;
  // A base outside 2..36 has no digits: 0 would divide by zero, 1 would
  // never end.
  if (b < 2 || b > 36) return;
  uint32_t p = 1;
  while (value / b >= p) p *= b;
  do {
    uint32_t d = value / p;
    AppendChar(d <= 9 ? static_cast<int>('0' + d) : static_cast<int>('a' + d - 10));
    value %= p;
    p /= b;
  } while (p != 0);
}

void CDynString::SetInt(int32_t value) {
  length = 0;
  AppendInt(value);
}

void CDynString::SetNumber(uint32_t value, int base) {
  length = 0;
  AppendNumber(value, base);
}

// ---- Inserting and removing ------------------------------------------------

void CDynString::Insert(int pos, const CDynString& other) {
  int n = Min(other.length, Capacity() - length);
  if (n <= 0) return;
  char* chars = Data();
  memmove(chars + pos + n, chars + pos, static_cast<size_t>(length - pos));
  memmove(chars + pos, other.Data(), static_cast<size_t>(n));
  length += n;
}

void CDynString::InsertChar(int pos, int ch) {
  if (length + 1 > Capacity()) return;
  char* chars = Data();
  memmove(chars + pos + 1, chars + pos, static_cast<size_t>(length - pos));
  chars[pos] = static_cast<char>(ch);
  ++length;
}

void CDynString::Erase(int pos, int n) {
  n = Min(n, length - pos);
  if (n <= 0) return;
  char* chars = Data();
  memmove(chars + pos, chars + pos + n, static_cast<size_t>(length - pos - n));
  length -= n;
}

void CDynString::TrimLeft() {
  int count = 0;
  while (count < length && IsBlankOrTab(CharAt(count))) ++count;
  Erase(0, count);
}

void CDynString::TrimRight() {
  while (length > 0 && IsBlankOrTab(CharAt(length - 1))) --length;
}

void CDynString::Trim() {
  TrimLeft();
  TrimRight();
}

void CDynString::ZeroFill() {
  if (length > 0) memset(Data(), 0, static_cast<size_t>(length));
}

// ---- Views and copies ------------------------------------------------------

CDynString CDynString::LeftView(const CDynString& src, int n) {
  n = Min(n, src.length);
  if (n < 0) n = 0;
  return WrapChars(src.Data(), n);
}

CDynString CDynString::RightView(const CDynString& src, int n) {
  n = Min(n, src.length);
  if (n < 0) n = 0;
  return WrapChars(src.Data() + src.length - n, n);
}

CDynString CDynString::TailView(const CDynString& src, int pos) {
  pos = Min(pos, src.length);
  if (pos < 0) pos = 0;
  return WrapChars(src.Data() + pos, src.length - pos);
}

CDynString CDynString::MidView(const CDynString& src, int pos, int n) {
  if (pos <= 0) return LeftView(src, n);
  pos = Min(pos, src.length);
  n = Min(n, src.length - pos);
  if (n < 0) n = 0;
  return WrapChars(src.Data() + pos, n);
}

void CDynString::CopyMid(CDynString& dst, int pos, int n) const { dst.Assign(MidView(*this, pos, n)); }

void CDynString::CopyTail(CDynString& dst, int pos) const {
  pos = Min(pos, length);
  CopyMid(dst, pos, length - pos);
}

void CDynString::CopyLast(CDynString& dst, int n) const {
  int pos = length - n;
  CopyMid(dst, pos > 0 ? pos : 0, n);
}

char* CDynString::CopyTo(char* buffer, int size) const {
  int n = Min(length, size - 1);
  if (n > 0) memcpy(buffer, Data(), static_cast<size_t>(n));
  buffer[n > 0 ? n : 0] = 0;
  return buffer;
}

// ---- Searching and comparing -------------------------------------------

int CDynString::IndexOfChar(int ch) const {
  const char* chars = Data();
  for (int i = 0; i < length; ++i)
    if (static_cast<unsigned char>(chars[i]) == static_cast<unsigned char>(ch)) return i;
  return -1;
}

int CDynString::LastIndexOfChar(int ch) const {
  const char* chars = Data();
  for (int i = length - 1; i >= 0; --i)
    if (static_cast<unsigned char>(chars[i]) == static_cast<unsigned char>(ch)) return i;
  return -1;
}

int CDynString::FindChars(const char* chars, int n) const {
  if (n <= 0 || n > length) return -1;
  const char* own = Data();
  for (int p = 0; p <= length - n; ++p)
    if (memcmp(own + p, chars, static_cast<size_t>(n)) == 0) return p;
  return -1;
}

int CDynString::Compare(const CDynString& other) const {
  const unsigned char* a = reinterpret_cast<const unsigned char*>(Data());
  const unsigned char* b = reinterpret_cast<const unsigned char*>(other.Data());
  int n = Min(length, other.length);
  for (int i = 0; i < n; ++i)
    if (a[i] != b[i]) return a[i] - b[i];
  if (length > other.length) return 1;
  if (length < other.length) return -1;
  return 0;
}

int32_t CDynString::ToInt() const {
  const char* chars = Data();
  int i = 0;
  while (i < length && IsBlankOrTab(static_cast<unsigned char>(chars[i]))) ++i;
  if (i == length) return 0;
  bool negative = false;
  if (chars[i] == '-') {
    negative = true;
    ++i;
  } else if (chars[i] == '+') {
    ++i;
  }
  uint32_t value = 0;  // unsigned, so that wrapping is defined
  while (i < length && chars[i] >= '0' && chars[i] <= '9') {
    value = value * 10u + static_cast<uint32_t>(chars[i] - '0');
    ++i;
  }
  if (negative) value = 0u - value;
  return static_cast<int32_t>(value);
}


}  // namespace varnix
