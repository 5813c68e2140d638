// Lines the query layer writes into reports itself, around the sections
// the domains write.
#pragma once

#include "app/info_parser.h"

// "<product> (0x<byte sum> - 0x<StringHash>)" of a baseboard product name,
// the keys boards are recognised by: "AB1" gives "AB1 (0x000000B4 -
// 0x000004DC)".
void FormatMainboardModel(const char* product, wchar_t (&text)[kInfoTextChars]);

// "<name> <second text>" of the operating system.
void FormatWindowsVersion(const char* name, const char* build, wchar_t (&text)[kInfoTextChars]);
