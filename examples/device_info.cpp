// What the device tells about itself: model, features, memory, versions,
// battery, and the day of the week.
//
//   example-device-info
//
// Every answer is read once and kept for the life of the process; a
// property the device does not publish gives its default (with one line
// saying which file could not be read). Exit status 0 when the model id,
// the memory size and both versions are known.
#include <stdio.h>
#include <time.h>

#include "varnix.h"

using namespace varnix;

namespace {

const char* const KDayNames[] = {"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};

const char* YesNo(int flag) { return flag ? "yes" : "no"; }

}  // namespace

int main() {
  int32_t modelId = GetModelId();
  const char* modelName = GetModelName();
  const char* shortName = GetShortName();
  printf("Model:          %s (\"%s\", id %d)\n", modelName, shortName, static_cast<int>(modelId));

  // The first call of each reads its file; later calls give the kept answer.
  const char* handsfree = YesNo(HasHandsfree());
  const char* btServer = YesNo(HasBtServer());
  const char* lightSensor = YesNo(HasLightSensor());
  const char* hardDisk = YesNo(HasHardDisk());
  const char* sdCard = YesNo(HasSdCard());
  const char* gyro = YesNo(HasGyro());
  printf("Features:       handsfree %s, Bluetooth server %s, light sensor %s, hard disk %s, SD card %s, gyro %s\n",
         handsfree, btServer, lightSensor, hardDisk, sdCard, gyro);

  int32_t total = GetTotalMemory();
  int32_t available = GetFreeMemory();
  printf("Memory:         %d KiB in all, %d KiB available\n", static_cast<int>(total / 1024),
         static_cast<int>(available / 1024));

  // The boot loader version carries two implied decimals: 518 is "5.18".
  int32_t system = GetSystemVersion();
  int32_t bootLoader = GetBootLoaderVersion();
  printf("System version: %d\n", static_cast<int>(system));
  printf("Boot loader:    %d.%02d\n", static_cast<int>(bootLoader / 100), static_cast<int>(bootLoader % 100));

  int battery = GetBatteryLevel();
  bool charging = IsCharging();
  printf("Battery:        %d%%, %s\n", battery, charging ? "charging" : "not charging");

  // TDate counts months from 0 (January) and days from 0 (the first).
  time_t now = time(nullptr);
  struct tm local;
  localtime_r(&now, &local);
  TDate today = {local.tm_year + 1900, local.tm_mon, local.tm_mday - 1};
  printf("Today:          %04d-%02d-%02d, a %s\n", static_cast<int>(today.year), static_cast<int>(today.month + 1),
         static_cast<int>(today.day + 1), KDayNames[GetDayOfWeek(today)]);

  bool known = modelId > 0 && total > 0 && system > 0 && bootLoader > 0;
  return known ? 0 : 1;
}
