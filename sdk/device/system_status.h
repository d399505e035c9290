#ifndef VARNIX_DEVICE_SYSTEM_STATUS_H
#define VARNIX_DEVICE_SYSTEM_STATUS_H

#include <stdint.h>

namespace varnix {

/// @file
/// The running system's state: clock, random numbers, calendar, memory,
/// storage serial, versions, battery estimate and one device setting. What
/// is read from the device (versions, the device value) is read once; the
/// battery estimate is refreshed at most every KBatteryRefreshMs. All state
/// is process-wide and meant for one thread.

/// A calendar date: full year, month 0 (January) to 11, day 0 (the first) on.
struct TDate {
  int32_t year;
  int32_t month;
  int32_t day;
};

const int64_t KBatteryRefreshMs = 3000;

/// Wall-clock time in milliseconds (seconds * 1000 + microseconds / 1000).
int64_t GetTimeMs();

/// True when the time now is later than start + duration, or earlier than
/// start (the clock was set back).
bool HasTimeElapsed(int64_t start, int64_t duration);

/// Seeds the C library's generator with seed plus the clock's low 32 bits and
/// returns its next number.
int RandomNumber(int seed);

/// 0 = Sunday to 6 = Saturday.
int GetDayOfWeek(const TDate& date);

/// Bytes of memory from "/proc/meminfo" (MemTotal); 0 when unknown. A size
/// that does not fit gives the largest 32-bit value.
int32_t GetTotalMemory();

/// Bytes of memory still available to commit (CommitLimit - Committed_AS)
/// plus what the process's allocator holds free; the largest 32-bit value
/// when that does not fit.
int32_t GetFreeMemory();

/// Fills the 16-byte buffer with the storage serial number and sets length
/// to 16. On a device with a hard disk: 1 when read, else 0; on others: 0
/// when read, else -1 with a message.
int GetSdCardSerial(char* buffer, int32_t& length);

/// The device layer's value, read once.
int GetDeviceValue();

/// The digits of the first line of "/etc/version" (at most eight); 0 when
/// unknown.
int32_t GetSystemVersion();

/// The boot loader version with two implied decimals ("5.18" is 518), read
/// once from "/mnt/flash/sysfile/bootver"; 0 when unknown.
int32_t GetBootLoaderVersion();

/// Estimated battery level, 2 to 100 percent.
int GetBatteryLevel();

/// Refreshes the estimate as GetBatteryLevel does; true while charging.
bool IsCharging();

/// The device setting (-1 until one is stored). Store keeps it without
/// telling the device; Set hands a changed setting to the device and returns
/// the device's answer, or returns value when nothing changed.
///@{
int GetDeviceSetting();
int StoreDeviceSetting(int value);
int SetDeviceSetting(int value);
///@}

}  // namespace varnix

#endif
