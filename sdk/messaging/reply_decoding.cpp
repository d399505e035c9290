#include <stddef.h>
#include <string.h>

#include "base/format.h"
#include "base/os.h"
#include "messaging/call_proxy.h"
#include "messaging/endpoint.h"
#include "messaging/navigator_calls.h"
#include "messaging/text_helpers.h"

namespace varnix {
namespace {

int32_t Fail(int32_t* error, int32_t code) {
  *error = code;
  return code;
}

// Waits for the session's reply and gives the endpoint's argument list,
// holding the reply's fields (none when its file could not be read).
MArguments* AwaitReply(TCallContext* context, MVarnixSession* session) {
  context->endpoint->WaitForReply(session);
  return context->endpoint->arguments;
}

int32_t IntegerAt(const MArguments* fields, int32_t index) { return TextToInt(fields->At(index)); }

void StoreField(const TRecordField& field, const char* text, unsigned char* record) {
  unsigned char* target = record + field.offset;
  if (field.type == EFieldInteger) {
    int32_t value = TextToInt(text);
    memcpy(target, &value, sizeof value);
  } else {
    // A text longer than its field is cut to it; nothing goes past the field.
    TextCopyBounded(reinterpret_cast<char*>(target), text, static_cast<int32_t>(field.capacity) - 1);
  }
}

void ReleaseTexts(char** items, int32_t count) {
  for (int32_t i = 0; i < count; ++i) os::Free(items[i]);
  os::Free(items);
}

// A text list that cannot be stored whole: nothing is kept, nothing is left
// to release.
int32_t DropTextList(int32_t* error, TCustomUIResult* output) {
  output->count = 0;
  output->items = nullptr;
  *error = KErrBadList;
  return 0;
}

}  // namespace

int32_t ReceiveCodeReply(TCallContext* context, MVarnixSession* session, int32_t* error) {
  if (session == nullptr) return Fail(error, KErrNoSession);
  MArguments* fields = AwaitReply(context, session);
  if (fields->Count() != 1) return Fail(error, KErrBadReply);
  *error = IntegerAt(fields, 0);
  return 0;
}

int32_t ReceiveRecordReply(TCallContext* context, MVarnixSession* session, int32_t* error,
                           const TRecordLayout& layout, void* output) {
  if (session == nullptr) return Fail(error, KErrNoSession);
  MArguments* fields = AwaitReply(context, session);
  int32_t count = fields->Count();
  if (count != 1 && count != layout.count + 1) return Fail(error, KErrBadReply);
  *error = IntegerAt(fields, 0);
  if (count == 1) return 0;
  for (int32_t i = 0; i < layout.count; ++i)
    StoreField(layout.fields[i], fields->At(i + 1), static_cast<unsigned char*>(output));
  return 0;
}

int32_t ReceiveCoordinateListReply(TCallContext* context, MVarnixSession* session, int32_t* error,
                                   TRouteCoordinates* output) {
  output->count = -1;
  output->items = nullptr;
  if (session == nullptr) return Fail(error, KErrNoSession);
  MArguments* fields = AwaitReply(context, session);
  int32_t present = fields->Count();
  if (present <= 1) return Fail(error, KErrBadReply);
  *error = IntegerAt(fields, 0);
  if (*error != 0) return 0;

  int32_t count = IntegerAt(fields, 1);
  if (static_cast<int64_t>(present) - 2 < 2 * static_cast<int64_t>(count)) count = (present - 2) / 2;
  output->count = count;
  if (count <= 0) {
    output->count = 0;
    return Fail(error, KErrBadList);
  }
  TCoordinatePair* items =
      static_cast<TCoordinatePair*>(os::Malloc(sizeof(TCoordinatePair) * static_cast<size_t>(count)));
  if (items == nullptr) {
    *error = KErrBadList;
    return 0;
  }
  for (int32_t i = 0; i < count; ++i) {
    items[i].first = IntegerAt(fields, 2 + 2 * i);
    items[i].second = IntegerAt(fields, 3 + 2 * i);
  }
  output->items = items;
  return 0;
}

int32_t ReceiveTextListReply(TCallContext* context, MVarnixSession* session, int32_t* error,
                             TCustomUIResult* output) {
  output->count = -1;
  output->items = nullptr;
  if (session == nullptr) return Fail(error, KErrNoSession);
  MArguments* fields = AwaitReply(context, session);
  int32_t present = fields->Count();
  if (present <= 0) return Fail(error, KErrBadReply);
  *error = IntegerAt(fields, 0);
  if (present == 1 || *error != 0) return 0;

  int32_t count = IntegerAt(fields, 1);
  if (count <= 0) return DropTextList(error, output);
  // A count beyond the texts present would end at the first missing text;
  // it ends here instead, before an array sized by the count is allocated
  // (which also keeps the array's size within 32 bits).
  if (count > present - 2) return DropTextList(error, output);

  output->count = count;
  char** items = static_cast<char**>(os::Malloc(sizeof(char*) * static_cast<size_t>(count)));
  if (items == nullptr) {
    *error = KErrBadList;
    return 0;
  }
  for (int32_t i = 0; i < count; ++i) {
    items[i] = TextDuplicate(fields->At(2 + i));
    if (items[i] == nullptr) {
      ReleaseTexts(items, i);
      return DropTextList(error, output);
    }
  }
  output->items = items;
  return 0;
}

}  // namespace varnix
