#include "device/platform_properties.h"

#include <errno.h>
#include <stdio.h>
#include <string.h>

#include "base/format.h"
#include "base/host_root.h"
#include "base/os.h"
#include "base/path_operations.h"
#include "device/decimal_scan.h"
#include "device/device_layer.h"
#include "storage/file_catalogue.h"

namespace varnix {
namespace {

// Property paths are cut at 127 characters, as on the device.
typedef CInlineString<128> CPropertyPath;

const char* PropertyPath(CPropertyPath& path, const char* name) {
  LocationPath(path, ELocationProperties);
  path.AppendString(CDynString::WrapText(name));
  return path.Text();
}

// The caches hold -1 until their property has been read (constant data, so
// nothing runs before main).
enum TFlag { EFlagHandsfree, EFlagLightSensor, EFlagHardDisk, EFlagSdCard, EFlagGyro, EFlagCount };

struct TFlagSource {
  const char* file;
  int32_t fallback;
};

const TFlagSource KFlagSources[EFlagCount] = {
    {"handsfree", 0}, {"lightsensor", 0}, {"harddisk", 0}, {"sdcard", 1}, {"gyro", 0},
};

int32_t gFlags[EFlagCount] = {-1, -1, -1, -1, -1};
int32_t gModelId = -1;
int32_t gBtServer = -1;

struct TNameSource {
  const char* file;
  const char* model144Name;  // when the model data file is present
  const char* fallback;
  int size;
};

const TNameSource KModelNameSource = {"modelname", "Varnix QX 740", "Varnix QX", 128};
const TNameSource KShortNameSource = {"shortname", "QX 740", "QX", 64};

// An empty buffer means not yet read.
char gModelName[128];
char gShortName[64];

// The model data file "qx740.dat": a readable regular file.
bool ModelDataFilePresent() { return FileExists(GetFilePath(EFileModelData)) != 0; }

int ReadFlag(TFlag flag) {
  int32_t& cache = gFlags[flag];
  if (cache == -1 && !GetProcInt(KFlagSources[flag].file, cache)) cache = KFlagSources[flag].fallback;
  return cache > 0 ? 1 : 0;
}

const char* ReadName(const TNameSource& source, char* buffer) {
  if (buffer[0] != 0) return buffer;
  if (GetModelId() == KModel144 && ModelDataFilePresent()) {
    SafeCopy(buffer, source.model144Name, source.size);
  } else if (!GetProcString(source.file, buffer, source.size)) {
    SafeCopy(buffer, source.fallback, source.size);
  }
  return buffer;
}

// The line ends at the first CR or LF that follows a character other than
// those two; line ends before it stay.
void CutAtLineEnd(char* text) {
  char* p = text;
  while (*p == '\n' || *p == '\r') ++p;
  if (*p == 0) return;
  p += strcspn(p, "\n\r");
  *p = 0;
}

}  // namespace

bool GetProcInt(const char* name, int32_t& value) {
  CPropertyPath path;
  const char* file = PropertyPath(path, name);
  FILE* stream = os::Fopen(file, "r");
  if (stream == nullptr) {
    printf("%s: Unable to open %s: %s\n", "GetProcInt", file, strerror(errno));
    return false;
  }
  int items = ScanStreamInt(stream, &value);
  if (items != 1) printf("%s: Unable to read value from %s\n", "GetProcInt", file);
  os::Fclose(stream);
  return items == 1;
}

bool GetProcString(const char* name, char* buffer, int size) {
  CPropertyPath path;
  const char* file = PropertyPath(path, name);
  if (size <= 0) return false;
  buffer[0] = 0;
  FILE* stream = os::Fopen(file, "r");
  if (stream == nullptr) {
    printf("%s: Unable to open %s: %s\n", "GetProcString", file, strerror(errno));
    return false;
  }
  if (os::Fgets(buffer, size, stream) == nullptr) {
    buffer[0] = 0;
    printf("%s: Unable to read string from %s\n", "GetProcString", file);
    os::Fclose(stream);
    return false;
  }
  CutAtLineEnd(buffer);
  os::Fclose(stream);
  return true;
}

int32_t GetModelId() {
  if (gModelId == -1 && !GetProcInt("modelid", gModelId)) gModelId = KModelDefault;
  return gModelId;
}

const char* GetModelName() { return ReadName(KModelNameSource, gModelName); }

const char* GetModelName(CDynString& target) {
  target.AssignText(GetModelName());
  return target.Text();
}

const char* GetShortName() { return ReadName(KShortNameSource, gShortName); }

int IsModel144Or400() {
  int32_t id = GetModelId();
  return id == KModel144 || id == KModel400 ? 1 : 0;
}

int HasHandsfree() { return ReadFlag(EFlagHandsfree); }
int HasLightSensor() { return ReadFlag(EFlagLightSensor); }
int HasHardDisk() { return ReadFlag(EFlagHardDisk); }
int HasSdCard() { return ReadFlag(EFlagSdCard); }
int HasGyro() { return ReadFlag(EFlagGyro); }

int HasBtServer() {
  if (gBtServer == -1) gBtServer = DeviceHasFeature("btserver") != 0 ? 1 : 0;
  return gBtServer > 0 ? 1 : 0;
}

int HasBluetoothServer() { return HasBtServer(); }

int GetLevelPercent() {
  int reading = DeviceReadLevel();
  if (reading < 10) reading = 10;
  if (reading > 310) reading = 310;
  return (reading * 100 - 1000) / 300;
}

int GetStateCode() {
  int state = DeviceReadState();
  return state >= 0 && state <= 2 ? state : 0;
}

}  // namespace varnix
