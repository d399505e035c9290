#include "messaging/arguments.h"

#include "base/os.h"
#include "messaging/text_helpers.h"

namespace varnix {
namespace {

// The smallest capacity, from start upwards in steps of KGrowStep, that
// holds needed plus a zero byte.
int64_t GrownCapacity(int64_t start, int64_t needed) {
  int64_t capacity = start;
  while (needed >= capacity) capacity += CCsvArguments::KGrowStep;
  return capacity;
}

}  // namespace

void* CSdkBase::operator new(size_t size) noexcept { return AllocZeroed(size); }
void CSdkBase::operator delete(void* block) noexcept { os::Free(block); }

CCsvArguments::CCsvArguments(char separatorByte)
    : heapText(nullptr),
      heapCapacity(0),
      heapFields(nullptr),
      heapFieldsSize(0),
      fieldCount(0),
      separator(separatorByte) {
  inlineText[0] = 0;
}

CCsvArguments::~CCsvArguments() { Reset(); }

void CCsvArguments::Reset() {
  os::Free(heapText);
  os::Free(heapFields);
  heapText = nullptr;
  heapFields = nullptr;
  inlineText[0] = 0;
  fieldCount = 0;
  heapCapacity = 0;
  heapFieldsSize = 0;
}

char* CCsvArguments::Buffer() { return heapText != nullptr ? heapText : inlineText; }

// A text that needs a larger buffer than can be obtained is not appended:
// the list stays exactly as it was and the caller gets -1.
int32_t CCsvArguments::Append(const char* text) {
  int64_t textLength = TextLength(text);
  int64_t bufferLength = TextLength(Buffer());
  int64_t needed = textLength + bufferLength + 1;

  if (heapText == nullptr && needed >= KInlineTextSize) {
    int64_t capacity = GrownCapacity(KFirstHeapSize, needed);
    if (capacity > INT32_MAX) return -1;
    char* block = static_cast<char*>(os::Malloc(static_cast<size_t>(capacity)));
    if (block == nullptr) return -1;
    TextCopy(block, inlineText);
    heapText = block;
    heapCapacity = static_cast<int32_t>(capacity);
    fieldCount = 0;  // fields of an earlier Split pointed into the old buffer
  } else if (heapText != nullptr && needed >= heapCapacity) {
    int64_t capacity = GrownCapacity(heapCapacity, needed);
    if (capacity > INT32_MAX) return -1;
    char* block = static_cast<char*>(os::Realloc(heapText, static_cast<size_t>(capacity)));
    if (block == nullptr) return -1;
    heapText = block;
    heapCapacity = static_cast<int32_t>(capacity);
    fieldCount = 0;
  }

  char* end = Buffer() + bufferLength;
  TextCopy(end, text);
  end[textLength] = separator;
  end[textLength + 1] = 0;
  return static_cast<int32_t>(bufferLength + textLength);
}

// When a table for many fields cannot be obtained the text is left uncut and
// the list has no fields, as for a malformed message.
void CCsvArguments::Split() {
  os::Free(heapFields);
  heapFields = nullptr;
  heapFieldsSize = 0;
  fieldCount = 0;

  char* text = Buffer();
  if (text[0] == 0) return;

  int32_t separators = 0;
  for (const char* p = text; *p != 0; ++p)
    if (*p == separator) ++separators;

  int32_t pieces = separators + 1;
  char** table = inlineFields;
  if (pieces > KInlineFieldSlots - 1) {
    size_t bytes = sizeof(char*) * static_cast<size_t>(pieces);
    table = static_cast<char**>(os::Malloc(bytes));
    if (table == nullptr) return;
    heapFields = table;
    heapFieldsSize = static_cast<int32_t>(bytes);
  }

  int32_t count = 0;
  table[count++] = text;
  for (char* p = text; *p != 0; ++p) {
    if (*p != separator) continue;
    *p = 0;
    table[count++] = p + 1;
  }
  fieldCount = count - 1;
}

int32_t CCsvArguments::Count() const { return fieldCount; }

char* CCsvArguments::At(int32_t index) const {
  if (index < 0 || index >= fieldCount) return nullptr;
  return heapFields != nullptr ? heapFields[index] : inlineFields[index];
}

int CCsvArguments::Reserve(int32_t size) {
  Reset();
  if (size < 1) return 0;
  char* block = static_cast<char*>(os::Malloc(static_cast<size_t>(size)));
  if (block == nullptr) return 0;
  block[0] = 0;
  heapText = block;
  heapCapacity = size;
  return 1;
}

}  // namespace varnix
