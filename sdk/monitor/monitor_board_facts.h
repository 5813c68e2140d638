// What the monitoring domain asks of the SMBIOS tables: the system and
// baseboard texts by which it skips machines known to misbehave when
// probed. Every text is empty when unknown.
#pragma once

#include <cstdint>
#include <initializer_list>

const char* SystemManufacturer();
const char* SystemProductName();
const char* SystemSerialNumber();
const char* BaseboardManufacturer();
const char* BaseboardProductName();

// Whether the text is not empty and its StringHash is one of the values.
bool TextHashIsOneOf(const char* text, std::initializer_list<uint32_t> hashes);
// Whether the text is not empty and contains the part.
bool TextContains(const char* text, const char* part);
