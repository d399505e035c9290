#include <stddef.h>

#include "messaging/call_table.h"
#include "messaging/text_helpers.h"

namespace varnix {

// The layouts of the output records, from navigator_records.inc: inside each
// TFieldsOf... the record is R, so the field lines can take its offsets.
#define VARNIX_INTEGER(name) {#name, EFieldInteger, static_cast<uint32_t>(offsetof(R, name)), 0},
#define VARNIX_TEXT(name, capacity) \
  {#name, EFieldText, static_cast<uint32_t>(offsetof(R, name)), static_cast<uint32_t>(capacity)},
#define VARNIX_RECORD(type, fields)                                                   \
  namespace {                                                                         \
  struct TFieldsOf##type {                                                            \
    typedef type R;                                                                   \
    static constexpr TRecordField KList[] = {fields};                                 \
  };                                                                                  \
  }                                                                                   \
  const TRecordLayout TRecordTraits<type>::KLayout = {                                \
      #type, TFieldsOf##type::KList,                                                  \
      static_cast<int32_t>(sizeof TFieldsOf##type::KList / sizeof(TRecordField))};
#include "messaging/navigator_records.inc"
#undef VARNIX_RECORD
#undef VARNIX_TEXT
#undef VARNIX_INTEGER

namespace {
const TRecordField KIntegerField[] = {{"value", EFieldInteger, 0, 0}};
}  // namespace

const TRecordLayout TRecordTraits<int32_t>::KLayout = {"int32_t", KIntegerField, 1};

#define VARNIX_REQUEST_LETTER(type, n) VARNIX_REQUEST_LETTER_##type
#define VARNIX_REQUEST_LETTER_None
#define VARNIX_REQUEST_LETTER_Text "t"
#define VARNIX_REQUEST_LETTER_Integer "i"
#define VARNIX_CALL_OUTPUT_Code(output) "", nullptr
#define VARNIX_CALL_OUTPUT_Integer(output) #output, &TRecordTraits<output>::KLayout
#define VARNIX_CALL_OUTPUT_Record(output) #output, &TRecordTraits<output>::KLayout
#define VARNIX_CALL_OUTPUT_CoordinateList(output) #output, nullptr
#define VARNIX_CALL_OUTPUT_TextList(output) #output, nullptr
#define VARNIX_NAVIGATOR_CALL(name, request, shape, output, blocking) \
  {#name, "" VARNIX_REQUEST_FIELDS(VARNIX_REQUEST_LETTER, request), EReply##shape, VARNIX_CALL_OUTPUT_##shape(output)},

const TNavigatorCall KNavigatorCalls[KNavigatorCallCount] = {
#include "messaging/navigator_calls.inc"
};

#undef VARNIX_NAVIGATOR_CALL

const TNavigatorCall* FindNavigatorCall(const char* name) {
  if (name == nullptr) return nullptr;
  for (int i = 0; i < KNavigatorCallCount; ++i)
    if (TextCompare(KNavigatorCalls[i].name, name) == 0) return &KNavigatorCalls[i];
  return nullptr;
}

const char* ReplyShapeName(TReplyShape shape) {
  switch (shape) {
    case EReplyCode:
      return "code";
    case EReplyInteger:
      return "integer";
    case EReplyRecord:
      return "record";
    case EReplyCoordinateList:
      return "coordinate list";
    case EReplyTextList:
      return "text list";
  }
  return "";
}

}  // namespace varnix
