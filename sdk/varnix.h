#ifndef VARNIX_H
#define VARNIX_H

/// @file
/// Varnix: the client runtime of the navigation device. One include gives an
/// application the whole interface.
///
///     #include "varnix.h"          // or <varnix/varnix.h> from an installed tree
///
///     varnix::CPathString path;                  // inline, capacity 256
///     path.Format("data%02d.chk", 5);            // "data05.chk"
///     varnix::CInlineString<32> name;            // any other capacity
///     name.AssignText("client");
///
/// Paths of the device go through the host root (VARNIX_ROOT), so the same
/// program runs on the device and on a desktop.

#include "base/dyn_string.h"
#include "base/format.h"
#include "base/heap_object.h"
#include "base/host_root.h"
#include "base/open_file_registry.h"
#include "base/os.h"
#include "base/path_operations.h"
#include "base/stream_file.h"
#include "process/instance_registry.h"
#include "process/launcher_client.h"
#include "storage/directory_catalogue.h"
#include "storage/directory_file_operations.h"
#include "storage/file_catalogue.h"
#include "storage/file_manager.h"
#include "storage/file_scanner.h"
#include "device/device_layer.h"
#include "device/platform_properties.h"
#include "device/system_status.h"
#include "messaging/arguments.h"
#include "messaging/endpoint.h"
#include "messaging/incoming_calls.h"
#include "messaging/navigator_calls.h"
#include "messaging/navigator_records.h"
#include "messaging/call_table.h"
#include "messaging/text_helpers.h"

#endif
