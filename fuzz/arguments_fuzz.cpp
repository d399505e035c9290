// The argument list (Append, Reset, Reserve, text read into Buffer, Split,
// Count, At) against a model of its text. Split must give exactly the
// pieces before each separator; nothing may be written beyond the buffer in
// use, whatever is appended or read into it.
#include <string.h>

#include <string>
#include <vector>

#include "fuzz_support.h"
#include "messaging/arguments.h"

namespace {

using varnix::CCsvArguments;
using varnix::fuzz::CInput;

const char KSeparator = '|';

std::vector<std::string> ModelSplit(const std::string& text) {
  std::vector<std::string> fields;
  size_t start = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != KSeparator) continue;
    fields.push_back(text.substr(start, i - start));
    start = i + 1;
  }
  return fields;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  CInput in(data, size);
  CCsvArguments* list = new CCsvArguments(KSeparator);
  FUZZ_CHECK(list != nullptr);
  std::string model;  // the buffer's text up to its first zero byte

  for (int step = 0; step < 48 && in.Left() > 0; ++step) {
    switch (in.Byte() % 6) {
      case 0:
      case 1: {  // Append; now and then a long text, to move to and grow the heap buffer
        std::string text = in.Run(255);
        text = text.substr(0, strlen(text.c_str()));
        int repeat = 1 + in.Byte() % 8;
        std::string whole;
        for (int i = 0; i < repeat; ++i) whole += text;
        int32_t result = list->Append(whole.c_str());
        FUZZ_CHECK(result == static_cast<int32_t>(model.size() + whole.size()));
        model += whole;
        model += KSeparator;
        FUZZ_CHECK(strcmp(list->Buffer(), model.c_str()) == 0);
        int32_t capacity = list->HeapCapacity() != 0 ? list->HeapCapacity() : CCsvArguments::KInlineTextSize;
        FUZZ_CHECK(model.size() < static_cast<size_t>(capacity));
        break;
      }
      case 2:
        list->Reset();
        model.clear();
        FUZZ_CHECK(list->Count() == 0 && list->HeapCapacity() == 0 && list->Buffer()[0] == 0);
        break;
      case 3: {
        int32_t reserve = static_cast<int32_t>(in.Byte() << 4) - 16;
        int obtained = list->Reserve(reserve);
        FUZZ_CHECK(obtained == (reserve >= 1 ? 1 : 0));
        FUZZ_CHECK(list->Count() == 0);
        if (obtained) FUZZ_CHECK(list->HeapCapacity() == reserve);
        model.clear();
        list->Buffer()[0] = 0;
        break;
      }
      case 4: {  // a received text, read into the buffer as the exchange does
        int32_t window = list->HeapCapacity() != 0 ? list->HeapCapacity() : CCsvArguments::KInlineTextSize;
        std::string raw = in.Take(static_cast<size_t>(in.Byte()) * 8);
        size_t n = raw.size() < static_cast<size_t>(window - 1) ? raw.size() : static_cast<size_t>(window - 1);
        char* buffer = list->Buffer();
        memcpy(buffer, raw.data(), n);
        buffer[n] = 0;
        model = std::string(buffer, strlen(buffer));
        break;
      }
      case 5: {
        list->Split();
        std::vector<std::string> fields = ModelSplit(model);
        FUZZ_CHECK(list->Count() == static_cast<int32_t>(fields.size()));
        for (size_t i = 0; i < fields.size(); ++i) FUZZ_CHECK(list->At(static_cast<int32_t>(i)) == fields[i]);
        FUZZ_CHECK(list->At(-1) == nullptr && list->At(list->Count()) == nullptr);
        FUZZ_CHECK(list->UsesHeapFieldTable() == (fields.size() + 1 > 31));
        // The separators are now zero bytes: the buffer's text is the first piece.
        model = model.substr(0, model.find(KSeparator));
        break;
      }
    }
  }
  delete list;
  return 0;
}
