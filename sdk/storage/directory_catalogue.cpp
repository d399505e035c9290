#include "storage/directory_catalogue.h"

#include <new>

#include "base/host_root.h"
#include "base/path_operations.h"

namespace varnix {
namespace {

const int KLastDirectoryId = 35;

// The subdirectory of each id: a component, below the subdirectory of a
// parent id for the nested ones. A null name: the root alone.
struct TSubdirectory {
  const char* name;
  int parent;
};

const TSubdirectory KSubdirectories[KLastDirectoryId + 1] = {
    /*  0 */ {nullptr, 0},        /*  1 */ {nullptr, 0},
    /*  2 */ {"art", 0},          /*  3 */ {nullptr, 0},
    /*  4 */ {"schemes", 0},      /*  5 */ {"contacts", 0},
    /*  6 */ {nullptr, 0},        /*  7 */ {"demo", 0},
    /*  8 */ {"itn", 0},          /*  9 */ {"logging", 0},
    /* 10 */ {"microbrowser", 0}, /* 11 */ {nullptr, 0},
    /* 12 */ {"cache", EDirMicrobrowser},
    /* 13 */ {"download", EDirMicrobrowser},
    /* 14 */ {"resource", EDirMicrobrowser},
    /* 15 */ {"mp3", 0},          /* 16 */ {"photos", 0},
    /* 17 */ {"zip", 0},          /* 18 */ {"raster", 0},
    /* 19 */ {nullptr, 0},        /* 20 */ {"screen", 0},
    /* 21 */ {nullptr, 0},        /* 22 */ {nullptr, 0},
    /* 23 */ {"script", 0},       /* 24 */ {nullptr, 0},
    /* 25 */ {nullptr, 0},        /* 26 */ {nullptr, 0},
    /* 27 */ {nullptr, 0},        /* 28 */ {nullptr, 0},
    /* 29 */ {nullptr, 0},        /* 30 */ {"voices", 0},
    /* 31 */ {"docs", 0},         /* 32 */ {nullptr, 0},
    /* 33 */ {"ephem", 0},        /* 34 */ {nullptr, 0},
    /* 35 */ {nullptr, 0},
};

// The one result string of the process: zero-initialised storage, made
// into a string at its first use. A function-local static would bring in
// the C++ runtime's guard calls for thread-safe start-up, which the runtime
// does not need: it runs in its caller's thread.
alignas(CPathString) unsigned char gResultStorage[sizeof(CPathString)];
CDynString* gResult;

CDynString& SharedResult() {
  if (gResult == nullptr) gResult = new (gResultStorage) CPathString;
  return *gResult;
}

CDynString& CardSubRoot(CDynString& out, const char* name) {
  GetCardRoot(out);
  out.AppendTerminated(CDynString::WrapText(name));
  out.AppendChar(PathSeparator());
  out.Terminate();
  return out;
}

CDynString& Located(CDynString& out, TDeviceLocation location) {
  LocationPath(out, location);
  out.Terminate();
  return out;
}

CDynString& RootOf(CDynString& out, int id) {
  switch (id) {
    case 1:
    case 35:
      return GetDataRoot(out);
    case EDirLoquendoTTS:
      return GetTtsRoot(out);
    case EDirRun:
      return GetRunRoot(out);
    case EDirSdkRegistry:
      return GetRegistryRoot(out);
    case EDirFlash:
      return GetFlashRoot(out);
    default:
      return GetCardRoot(out);
  }
}

}  // namespace

CDynString& GetSubdirectory(int id) {
  CDynString& result = SharedResult();
  const TSubdirectory* sub = id >= 0 && id <= KLastDirectoryId ? &KSubdirectories[id] : nullptr;
  if (sub == nullptr || sub->name == nullptr) {
    result.SetLength(0);
  } else {
    if (sub->parent != 0) {
      GetSubdirectory(sub->parent);
      result.AppendTerminated(CDynString::WrapText(sub->name));
    } else {
      result.AssignTerminated(CDynString::WrapText(sub->name));
    }
    result.AppendChar(PathSeparator());
  }
  result.Terminate();
  return result;
}

CDynString& GetDirectoryPath(int id) {
  CPathString root;
  RootOf(root, id);
  CDynString& result = GetSubdirectory(id);
  result.Insert(0, root);
  result.Terminate();
  return result;
}

CDynString& GetFlashRoot(CDynString& out) { return Located(out, ELocationFlash); }
CDynString& GetCardRoot(CDynString& out) { return Located(out, ELocationCard); }
CDynString& GetRunRoot(CDynString& out) { return Located(out, ELocationRun); }
CDynString& GetBinRoot(CDynString& out) { return Located(out, ELocationBin); }
CDynString& GetRegistryRoot(CDynString& out) { return CardSubRoot(out, "SdkRegistry"); }
CDynString& GetTtsRoot(CDynString& out) { return CardSubRoot(out, "LoquendoTTS"); }
CDynString& GetDataRoot(CDynString& out) { return GetCardRoot(out); }

CDynString& GetSettingsFilePath(CDynString& out) {
  GetFlashRoot(out);
  out.AppendTerminated(CDynString::WrapText("settings.dat"));
  return out;
}

CDynString& GetCardFilePath(const CDynString& name) {
  CDynString& result = GetDirectoryPath(EDirCardRoot);
  result.AppendTerminated(name);
  result.Terminate();
  return result;
}

char PathSeparator() { return KPathSeparator; }

}  // namespace varnix
