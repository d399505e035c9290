#ifndef VARNIX_DEVICE_PLATFORM_PROPERTIES_H
#define VARNIX_DEVICE_PLATFORM_PROPERTIES_H

#include <stdint.h>

#include "base/dyn_string.h"

namespace varnix {

/// @file
/// Which device model this is and which hardware it has. The platform driver
/// publishes one value per file under "/proc/morvantis/" (behind the host
/// root); each operation reads its file once and keeps the answer, or a fixed
/// default when the file cannot be read, for the life of the process. The
/// message about an unreadable file is therefore printed once.

/// Model ids with a meaning of their own.
///@{
const int32_t KModelDefault = 7;
const int32_t KModel144 = 144;
const int32_t KModel400 = 400;
///@}

/// Reads one decimal integer from the property file name into value. Returns
/// true when one was read; value is left alone otherwise. Prints why not.
bool GetProcInt(const char* name, int32_t& value);

/// Reads the first line of the property file name, at most size - 1
/// characters, into buffer, without its line end. Returns true when a line
/// was read; prints why not and leaves buffer empty otherwise.
bool GetProcString(const char* name, char* buffer, int size);

int32_t GetModelId();                  ///< default 7
const char* GetModelName();            ///< default "Varnix QX"
const char* GetModelName(CDynString& target);
const char* GetShortName();            ///< default "QX"
int IsModel144Or400();

/// Feature flags, 1 or 0.
///@{
int HasHandsfree();    ///< default 0
int HasBtServer();     ///< from the device layer
int HasBluetoothServer();  ///< the same answer as HasBtServer
int HasLightSensor();  ///< default 0
int HasHardDisk();     ///< default 0
int HasSdCard();       ///< default 1
int HasGyro();         ///< default 0
///@}

/// The device layer's level reading scaled to 0..100, and its state reading
/// (0, 1 or 2).
///@{
int GetLevelPercent();
int GetStateCode();
///@}

}  // namespace varnix

#endif
