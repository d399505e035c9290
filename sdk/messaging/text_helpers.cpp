#include "messaging/text_helpers.h"

#include <string.h>

#include "base/os.h"

namespace varnix {

// The C library's strlen reads a word or a vector at a time; Append asks
// for the length of the whole message text once per field.
int32_t TextLength(const char* text) { return static_cast<int32_t>(strlen(text)); }

char* TextCopy(char* destination, const char* text) {
  char* out = destination;
  while ((*out++ = *text++) != 0) {
  }
  return destination;
}

char* TextAppend(char* destination, const char* text) {
  char* end = destination + TextLength(destination);
  TextCopy(end, text);
  return end;
}

int32_t TextCompare(const char* a, const char* b) {
  const unsigned char* x = reinterpret_cast<const unsigned char*>(a);
  const unsigned char* y = reinterpret_cast<const unsigned char*>(b);
  while (*x != 0 && *x == *y) {
    ++x;
    ++y;
  }
  return static_cast<int32_t>(*x) - static_cast<int32_t>(*y);
}

int TextEndsWith(const char* text, const char* suffix) {
  int32_t textLength = TextLength(text);
  int32_t suffixLength = TextLength(suffix);
  if (suffixLength > textLength) return 0;
  return TextCompare(text + textLength - suffixLength, suffix) == 0 ? 1 : 0;
}

char* TextCopyBounded(char* destination, const char* text, int32_t n) {
  int32_t i = 0;
  while (i < n) {
    char ch = text[i];
    destination[i++] = ch;
    if (ch == 0) break;
  }
  destination[i] = 0;
  return destination;
}

char* TextDuplicate(const char* text) {
  char* copy = static_cast<char*>(os::Malloc(static_cast<size_t>(TextLength(text)) + 1));
  return copy == nullptr ? nullptr : TextCopy(copy, text);
}

void* AllocZeroed(size_t size) {
  unsigned char* block = static_cast<unsigned char*>(os::Malloc(size));
  if (block != nullptr)
    for (size_t i = 0; i < size; ++i) block[i] = 0;
  return block;
}

void SleepMicroseconds(uint32_t count) { os::Usleep(count); }

}  // namespace varnix
