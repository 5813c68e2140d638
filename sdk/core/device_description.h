// The description Windows shows for a device, found by its driver key.
#pragma once

#include "platform/win_types.h"

// Finds the first device a pre-order walk of the device tree meets whose
// driver key ("{class guid}\0000") equals `driverKey` exactly (case counts)
// and copies its description into `description`, which holds 256 bytes.
// Returns 1 when found; 0 when no device has that key, its description
// cannot be read or the configuration manager is not available
// (`description` untouched).
BOOL GetDeviceDescriptionByDriverKey(const char* driverKey, char* description);
