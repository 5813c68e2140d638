// The settings of vexa.ini, held by the application object: the two user
// fonts and the value colour of the dialogs, the switches of the detection
// domains and of the start-up update check. The scan changes some of them
// during a run (limited mode in a virtual machine, the board rules), and
// whatever they hold at exit is written back.
#pragma once

#include "platform/win_types.h"

// A colour as 0x00BBGGRR.
using COLORREF = DWORD;

struct VexaSettings {
    static constexpr size_t kFontNameChars = 256;

    wchar_t LabelFontName[kFontNameChars] = {};  // empty: the system's default face
    wchar_t TextFontName[kFontNameChars] = {};
    int LabelFontSize = 14;                      // height in logical units
    int TextFontSize = 14;
    COLORREF TextFontColor = 0x800000;           // navy; 000080 in the file
    int ACPI = 1;           // 0 also refuses the validation record
    int DMI = 1;            // SMBIOS domain and the mainboard name
    int WMI = 1;            // no key: always on
    int SMBus = 1;          // and with it the SPD scan
    int Sensor = 1;         // hardware monitoring and its periodic update
    int Display = 1;        // display domain, its refresh, the NVIDIA driver probe
    int Chipset = 1;
    int SPD = 1;            // SPD scan within the SMBus domain
    int Storage = 1;        // no key: always on
    int UseDisplayAPI = 1;  // vendor display libraries and the NVIDIA driver probe
    int BusClock = 1;       // bus clock measured through the driver
    int CheckUpdates = 1;   // silent update check at start
    int MaxPCIBus = 256;    // 1..256 buses scanned
    int PCI = 1;            // 0 no PCI domain; 1 driver requests, 2 ports 0xCF8/0xCFC
};
