#include "call_tool.h"

#include <limits.h>
#include <stdint.h>
#include <string.h>

#include "messaging/call_table.h"
#include "messaging/endpoint.h"
#include "messaging/navigator_calls.h"

namespace varnix {
namespace calltool {

const char KUsage[] =
    "Usage: varnix-call [--name NAME] [--halves] CALL [ARG ...]\n"
    "       varnix-call --list\n"
    "       varnix-call --help\n"
    "\n"
    "Makes one call to the navigation server \"VarnixNavigationServer\" through\n"
    "the Varnix runtime, from a client endpoint named NAME (default client),\n"
    "and prints its outcome as exactly one line of JSON on standard output.\n"
    "The message files go to /var/run/ below the host root (the environment\n"
    "variable VARNIX_ROOT; without it the device's own /var/run/).\n"
    "\n"
    "  CALL        a call of the catalogue (see --list), spelled exactly, or one\n"
    "              of the library's own operations below\n"
    "  ARG         the call's request fields in catalogue order; integers in\n"
    "              decimal (an optional '-' and digits, 32 bits), texts as they\n"
    "              are (a '|' in a text splits it into two fields)\n"
    "  --name NAME the client endpoint's name: 1 to 100 characters, no '.' or '/'\n"
    "  --halves    make the call with its send half followed by its receive half\n"
    "              instead of the blocking operation\n"
    "  --list      print the catalogue, one call per line: name, request field\n"
    "              types (or none) and reply shape, separated by tabs\n"
    "  --help      this text\n"
    "Options come before CALL; everything after CALL is an argument.\n"
    "\n"
    "Output: {\"call\":\"CALL\",\"result\":R,\"error\":E,\"output\":O}\n"
    "  R  the operation's result: 0 when a reply was received and accepted,\n"
    "     else -1 (nothing could be sent), -2 (the reply does not fit the call),\n"
    "     -5 (a coordinate list without pairs)\n"
    "  E  the error value: the server's code, or the local code\n"
    "  O  null for code-only calls; a number for the integer calls (0 before the\n"
    "     call); for record calls an array of the record's fields in order\n"
    "     (integers as numbers, texts as strings; the record is zeroed before\n"
    "     the call); for GetRouteCoordinatesV01 {\"count\":N,\"items\":[[first,second],...]}\n"
    "     and for GetResultFromCustomUIV01 {\"count\":N,\"items\":[\"text\",...]}, with\n"
    "     \"items\":null when there is no array\n"
    "Texts are escaped as JSON requires; bytes 0x80 to 0xFF are written as\n"
    "\\u0080 to \\u00ff.\n"
    "\n"
    "The library's own operations:\n"
    "  GetSdkVersion                         the runtime's version; sends nothing;\n"
    "                                        output [text,number]\n"
    "  SendCallToCustomUIAndWait INT TEXT TIMEOUT\n"
    "                                        SendCallToCustomUIV01 INT TEXT, then\n"
    "                                        GetResultFromCustomUIV01 every 100 ms\n"
    "                                        for up to TIMEOUT seconds while the\n"
    "                                        custom UI answers -9; output as for\n"
    "                                        GetResultFromCustomUIV01\n"
    "--halves has no effect on them.\n"
    "\n"
    "The call waits for its reply without a time-out, as the runtime does: run\n"
    "it against the device or against varnix-navsim. The blocking\n"
    "StopApplicationV01 waits up to 11 seconds after a reply with code 0.\n"
    "\n"
    "Exit status: 0 when the result is 0, 1 when it is not; 2, with one line on\n"
    "standard error and nothing sent, for an unknown option or call, a wrong\n"
    "number of arguments or an integer argument that is not a decimal 32-bit\n"
    "integer.\n";

namespace {

struct TArgument {
  std::string text;
  int32_t integer = 0;
};
typedef std::vector<TArgument> TArguments;

// Every output a call can fill, zeroed before the call.
union TOutputs {
#define VARNIX_RECORD(type, fields) type as##type;
#include "messaging/navigator_records.inc"
#undef VARNIX_RECORD
  int32_t asint32_t;
  TRouteCoordinates asTRouteCoordinates;
  TCustomUIResult asTCustomUIResult;
};

typedef int32_t (*TBlocking)(TCallContext*, int32_t*, TOutputs&, const TArguments&);
typedef MVarnixSession* (*TSendHalf)(TCallContext*, const TArguments&);
typedef int32_t (*TReceiveHalf)(TCallContext*, MVarnixSession*, int32_t*, TOutputs&);

struct TInvoker {
  TBlocking blocking;
  TSendHalf send;
  TReceiveHalf receive;
};

// The operations of every call of the table, in the table's order.
#define CALL_ARGUMENT(type, n) CALL_ARGUMENT_##type(n)
#define CALL_ARGUMENT_None(n)
#define CALL_ARGUMENT_Text(n) , arguments[n - 1].text.c_str()
#define CALL_ARGUMENT_Integer(n) , arguments[n - 1].integer
#define CALL_OUTPUT_Code(type)
#define CALL_OUTPUT_Integer(type) , &out.as##type
#define CALL_OUTPUT_Record(type) , &out.as##type
#define CALL_OUTPUT_CoordinateList(type) , &out.as##type
#define CALL_OUTPUT_TextList(type) , &out.as##type
#define VARNIX_NAVIGATOR_CALL(name, request, shape, type, form)                                               \
  {[](TCallContext* context, int32_t* error, [[maybe_unused]] TOutputs& out,                                  \
      [[maybe_unused]] const TArguments& arguments) {                                                         \
     return name(context, error CALL_OUTPUT_##shape(type) VARNIX_REQUEST_FIELDS(CALL_ARGUMENT, request));     \
   },                                                                                                         \
   [](TCallContext* context, [[maybe_unused]] const TArguments& arguments) {                                  \
     return Send##name(context VARNIX_REQUEST_FIELDS(CALL_ARGUMENT, request));                                \
   },                                                                                                         \
   [](TCallContext* context, MVarnixSession* session, int32_t* error, [[maybe_unused]] TOutputs& out) {       \
     return Receive##name(context, session, error CALL_OUTPUT_##shape(type));                                 \
   }},
const TInvoker KCallInvokers[] = {
#include "messaging/navigator_calls.inc"
};
#undef VARNIX_NAVIGATOR_CALL
static_assert(sizeof KCallInvokers / sizeof KCallInvokers[0] == KNavigatorCallCount, "one invoker per call");

// A call of the catalogue or one of the library's own operations.
struct TEntry {
  const char* name;
  const char* request;
  TReplyShape shape;
  const TRecordLayout* layout;
  TInvoker invoker;
};

const TEntry KLibraryOperations[] = {
    {"GetSdkVersion", "", EReplyRecord, &TRecordTraits<TVersionInfo>::KLayout,
     {[](TCallContext* context, int32_t* error, TOutputs& out, const TArguments&) {
        return GetSdkVersion(context, error, &out.asTVersionInfo);
      },
      nullptr, nullptr}},
    {"SendCallToCustomUIAndWait", "iti", EReplyTextList, nullptr,
     {[](TCallContext* context, int32_t* error, TOutputs& out, const TArguments& arguments) {
        return SendCallToCustomUIAndWait(context, error, &out.asTCustomUIResult, arguments[0].integer,
                                         arguments[1].text.c_str(), arguments[2].integer);
      },
      nullptr, nullptr}},
};

bool FindEntry(const std::string& name, TEntry* entry) {
  if (const TNavigatorCall* call = FindNavigatorCall(name.c_str())) {
    *entry = {call->name, call->request, call->shape, call->layout, KCallInvokers[call - KNavigatorCalls]};
    return true;
  }
  for (const TEntry& operation : KLibraryOperations)
    if (name == operation.name) {
      *entry = operation;
      return true;
    }
  return false;
}

std::string FieldTypeNames(const char* request) {
  std::string names;
  for (const char* p = request; *p != 0; ++p) names += std::string(names.empty() ? "" : ",") + (*p == 'i' ? "integer" : "text");
  return names.empty() ? "none" : names;
}

std::string ReplyDescription(const TNavigatorCall& call) {
  switch (call.shape) {
    case EReplyCode:
      return "code only (1 field)";
    case EReplyInteger:
      return "integer (1 or 2 fields)";
    case EReplyRecord:
      return "record (1 or " + std::to_string(call.layout->count + 1) + " fields)";
    case EReplyCoordinateList:
      return "coordinate list (2 or more fields)";
    case EReplyTextList:
      return "text list (1 or more fields)";
  }
  return "";
}

bool ValidEndpointName(const std::string& name) {
  return !name.empty() && name.size() <= 100 && name.find_first_of("./") == std::string::npos;
}

std::string OutputJson(const TEntry& entry, const TOutputs& out) {
  switch (entry.shape) {
    case EReplyCode:
      return "null";
    case EReplyInteger:
      return std::to_string(out.asint32_t);
    case EReplyRecord: {
      const unsigned char* record = reinterpret_cast<const unsigned char*>(&out);
      std::string json = "[";
      for (int32_t i = 0; i < entry.layout->count; ++i) {
        const TRecordField& field = entry.layout->fields[i];
        if (i > 0) json += ",";
        if (field.type == EFieldInteger) {
          int32_t value;
          memcpy(&value, record + field.offset, sizeof value);
          json += std::to_string(value);
        } else {
          const char* text = reinterpret_cast<const char*>(record + field.offset);
          json += JsonText(std::string(text, strnlen(text, field.capacity)));
        }
      }
      return json + "]";
    }
    case EReplyCoordinateList: {
      const TRouteCoordinates& route = out.asTRouteCoordinates;
      std::string json = "{\"count\":" + std::to_string(route.count) + ",\"items\":";
      if (route.items == nullptr) return json + "null}";
      json += "[";
      for (int32_t i = 0; i < route.count; ++i)
        json += std::string(i > 0 ? "," : "") + "[" + std::to_string(route.items[i].first) + "," +
                std::to_string(route.items[i].second) + "]";
      return json + "]}";
    }
    case EReplyTextList: {
      const TCustomUIResult& list = out.asTCustomUIResult;
      std::string json = "{\"count\":" + std::to_string(list.count) + ",\"items\":";
      if (list.items == nullptr) return json + "null}";
      json += "[";
      for (int32_t i = 0; i < list.count; ++i) json += std::string(i > 0 ? "," : "") + JsonText(list.items[i]);
      return json + "]}";
    }
  }
  return "null";
}

void ReleaseLists(const TEntry& entry, TCallContext* context, TOutputs& out) {
  if (entry.shape == EReplyCoordinateList) {
    FreeMemory(context, out.asTRouteCoordinates.items);
  } else if (entry.shape == EReplyTextList && out.asTCustomUIResult.items != nullptr) {
    for (int32_t i = 0; i < out.asTCustomUIResult.count; ++i) FreeMemory(context, out.asTCustomUIResult.items[i]);
    FreeMemory(context, out.asTCustomUIResult.items);
  }
}

}  // namespace

bool ParseInteger(const std::string& text, int* value) {
  size_t start = !text.empty() && text[0] == '-' ? 1 : 0;
  if (text.size() == start) return false;
  int64_t magnitude = 0;
  for (size_t i = start; i < text.size(); ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
    magnitude = magnitude * 10 + (text[i] - '0');
    if (magnitude > static_cast<int64_t>(INT32_MAX) + 1) return false;
  }
  int64_t signedValue = start == 1 ? -magnitude : magnitude;
  if (signedValue > INT32_MAX) return false;
  *value = static_cast<int>(signedValue);
  return true;
}

std::string JsonText(const std::string& bytes) {
  std::string json = "\"";
  for (unsigned char c : bytes) {
    switch (c) {
      case '"':
        json += "\\\"";
        break;
      case '\\':
        json += "\\\\";
        break;
      case '\n':
        json += "\\n";
        break;
      case '\r':
        json += "\\r";
        break;
      case '\t':
        json += "\\t";
        break;
      default:
        if (c < 0x20 || c >= 0x80) {
          char escaped[8];
          snprintf(escaped, sizeof escaped, "\\u%04x", c);
          json += escaped;
        } else {
          json += static_cast<char>(c);
        }
    }
  }
  return json + "\"";
}

std::string ParseCommandLine(int argc, const char* const* argv, TCommand* command) {
  int i = 1;
  for (; i < argc; ++i) {
    std::string option = argv[i];
    if (option == "--") {
      ++i;
      break;
    }
    if (option.size() < 2 || option.compare(0, 2, "--") != 0) break;
    if (option == "--help") {
      command->help = true;
    } else if (option == "--list") {
      command->list = true;
    } else if (option == "--halves") {
      command->halves = true;
    } else if (option == "--name") {
      if (i + 1 >= argc) return "--name needs a value";
      command->endpointName = argv[++i];
      if (!ValidEndpointName(command->endpointName))
        return "the endpoint name must have 1 to 100 characters and no '.' or '/'";
    } else {
      return "unknown option " + option + " (see --help)";
    }
  }
  if (command->help || command->list) return "";
  if (i >= argc) return "no call given (see --help)";
  command->call = argv[i++];
  for (; i < argc; ++i) command->arguments.push_back(argv[i]);

  TEntry entry;
  if (!FindEntry(command->call, &entry)) return "unknown call " + command->call + " (see --list)";
  size_t expected = strlen(entry.request);
  if (command->arguments.size() != expected)
    return command->call + " takes " + std::to_string(expected) + " argument" + (expected == 1 ? "" : "s") +
           " (" + FieldTypeNames(entry.request) + "), " + std::to_string(command->arguments.size()) + " given";
  for (size_t n = 0; n < expected; ++n) {
    int value;
    if (entry.request[n] == 'i' && !ParseInteger(command->arguments[n], &value))
      return "argument " + std::to_string(n + 1) + " of " + command->call +
             " is not a decimal 32-bit integer: " + command->arguments[n];
  }
  return "";
}

void PrintCatalogue(FILE* out) {
  for (int i = 0; i < KNavigatorCallCount; ++i) {
    const TNavigatorCall& call = KNavigatorCalls[i];
    fprintf(out, "%s\t%s\t%s\n", call.name, FieldTypeNames(call.request).c_str(), ReplyDescription(call).c_str());
  }
}

int RunCall(const TCommand& command, FILE* out) {
  TEntry entry;
  if (!FindEntry(command.call, &entry)) return 2;
  TArguments arguments(command.arguments.size());
  for (size_t n = 0; n < arguments.size(); ++n) {
    arguments[n].text = command.arguments[n];
    int value = 0;
    if (entry.request[n] == 'i') ParseInteger(command.arguments[n], &value);
    arguments[n].integer = value;
  }

  MVarnixCommunicationLayerInterface* endpoint =
      CreateFileLayer(command.endpointName.c_str(), "VarnixNavigationServer", -1);
  if (endpoint == nullptr) {
    fprintf(stderr, "varnix-call: no memory for the client endpoint\n");
    return 1;
  }
  TCallContext context{};
  context.endpoint = endpoint;
  TOutputs outputs;
  memset(&outputs, 0, sizeof outputs);
  int32_t error = 0;
  int32_t result;
  if (command.halves && entry.invoker.send != nullptr) {
    MVarnixSession* session = entry.invoker.send(&context, arguments);
    result = entry.invoker.receive(&context, session, &error, outputs);
  } else {
    result = entry.invoker.blocking(&context, &error, outputs, arguments);
  }
  fprintf(out, "{\"call\":%s,\"result\":%d,\"error\":%d,\"output\":%s}\n", JsonText(entry.name).c_str(),
          static_cast<int>(result), static_cast<int>(error), OutputJson(entry, outputs).c_str());
  fflush(out);
  ReleaseLists(entry, &context, outputs);
  delete endpoint;
  return result == 0 ? 0 : 1;
}

int Main(int argc, const char* const* argv) {
  TCommand command;
  std::string problem = ParseCommandLine(argc, argv, &command);
  if (!problem.empty()) {
    fprintf(stderr, "varnix-call: %s\n", problem.c_str());
    return 2;
  }
  if (command.help) {
    fputs(KUsage, stdout);
    return 0;
  }
  if (command.list) {
    PrintCatalogue(stdout);
    return 0;
  }
  return RunCall(command, stdout);
}

}  // namespace calltool
}  // namespace varnix
