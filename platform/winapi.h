// The Windows the program expects, as far as it uses it.
#pragma once

#include "platform/console.h"
#include "platform/device_tree.h"
#include "platform/files.h"
#include "platform/memory_status.h"
#include "platform/message_box.h"
#include "platform/modules.h"
#include "platform/resources.h"
#include "platform/security.h"
#include "platform/shell.h"
#include "platform/sync.h"
#include "platform/sysinfo.h"
#include "platform/text.h"
#include "platform/threads.h"
#include "platform/win_types.h"
