// VFormat with any format text, any buffer size and any argument values,
// against a model written from the formatter's rules: the output must be
// the model's text cut at size - 1 characters, terminated, and its length
// the result; nothing may be written outside the buffer.
//
// Input: buffer size, sixteen numbers, four texts, then the format text.
#include <stdarg.h>
#include <stdlib.h>
#include <string.h>

#include <string>

#include "base/format.h"
#include "fuzz_support.h"

namespace {

using varnix::fuzz::CInput;

const int KArgumentSlots = 16;

struct TArguments {
  uint32_t numbers[KArgumentSlots];
  std::string texts[4];
  bool isText[KArgumentSlots];
  int used = 0;
};

std::string Digits(uint32_t value, uint32_t base) {
  std::string digits;
  do {
    uint32_t d = value % base;
    digits.insert(digits.begin(), static_cast<char>(d <= 9 ? '0' + d : 'A' + d - 10));
    value /= base;
  } while (value != 0);
  return digits;
}

void Padded(std::string& out, const std::string& digits, int width, char pad) {
  for (int i = width - static_cast<int>(digits.size()); i > 0; --i) out += pad;
  out += digits;
}

// The whole output, uncut; false when the format takes more arguments than
// there are slots.
bool Model(const std::string& format, TArguments& args, std::string& out) {
  size_t i = 0, n = format.size();
  while (i < n) {
    char c = format[i++];
    if (c != '%') {
      out += c;
      continue;
    }
    int width = 0;
    char pad = ' ';
    bool plus = false, widthAllowed = true;
    while (i < n) {
      c = format[i++];
      if (c == '+') {
        plus = true;
      } else if (c == 'h' || c == 'l') {
      } else if (c == '0' && widthAllowed) {
        if (i >= n) break;
        char w = format[i++];
        width = (w >= '0' && w <= '9') ? w - '0' : 0;
        pad = '0';
        widthAllowed = false;
      } else if (c >= '1' && c <= '9' && widthAllowed) {
        width = c - '0';
        if (i < n && format[i] >= '0' && format[i] <= '9') width = width * 10 + (format[i++] - '0');
        widthAllowed = false;
      } else if (c == '%') {
        out += '%';
        break;
      } else if (c == 'c' || c == 's' || c == 'd' || c == 'x' || c == 'X' || c == 'u') {
        if (args.used == KArgumentSlots) return false;
        int slot = args.used++;
        uint32_t value = args.numbers[slot];
        args.isText[slot] = c == 's';
        if (c == 'c') {
          out += static_cast<char>(value);
        } else if (c == 's') {
          out += args.texts[slot % 4];
        } else if (c == 'u') {
          Padded(out, Digits(value, 10), width, pad);
        } else {
          int32_t number = static_cast<int32_t>(value);
          if (number < 0)
            out += '-';
          else if (plus)
            out += '+';
          uint32_t magnitude = number < 0 ? 0u - value : value;
          Padded(out, Digits(magnitude, c == 'd' ? 10 : 16), width, pad);
        }
        break;
      } else {
        out += c;
        break;
      }
    }
  }
  return true;
}

int Call(char* buffer, int size, const char* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  int n = varnix::VFormat(buffer, size, format, arguments);
  va_end(arguments);
  return n;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  CInput input(data, size);
  int bufferSize = 1 + (input.Byte() << 8 | input.Byte()) % 600;
  TArguments args;
  for (uint32_t& number : args.numbers) number = input.Word();
  for (std::string& text : args.texts) {
    text = input.Run(80);
    text = text.substr(0, strlen(text.c_str()));  // a text ends at its zero byte
  }
  std::string format = input.Rest();
  format = format.substr(0, strlen(format.c_str()));

  std::string expected;
  for (bool& t : args.isText) t = false;
  if (!Model(format, args, expected)) return 0;
  if (expected.size() > static_cast<size_t>(bufferSize - 1)) expected.resize(bufferSize - 1);

  // Every slot is passed as a full machine word: a text's address, or the
  // number; a conversion of an integer reads the word's low 32 bits, as
  // the calling convention of the fuzzing host passes them.
  uintptr_t slot[KArgumentSlots];
  for (int i = 0; i < KArgumentSlots; ++i)
    slot[i] = args.isText[i] ? reinterpret_cast<uintptr_t>(args.texts[i % 4].c_str()) : args.numbers[i];

  // Exactly bufferSize bytes, so that a write beyond them is caught.
  char* buffer = static_cast<char*>(malloc(bufferSize));
  memset(buffer, 0x5A, bufferSize);
  int n = Call(buffer, bufferSize, format.c_str(), slot[0], slot[1], slot[2], slot[3], slot[4], slot[5], slot[6],
               slot[7], slot[8], slot[9], slot[10], slot[11], slot[12], slot[13], slot[14], slot[15]);
  FUZZ_CHECK(n >= 0 && n <= bufferSize - 1);
  FUZZ_CHECK(buffer[n] == 0);
  FUZZ_CHECK(static_cast<size_t>(n) == expected.size());
  FUZZ_CHECK(memcmp(buffer, expected.data(), expected.size()) == 0);
  free(buffer);
  return 0;
}
