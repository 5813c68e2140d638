#include "sdk/hw/pci_class_names.h"

#include "sdk/core/helpers.h"

namespace {

constexpr int kAny = -1;

// A name for a base class (subclass kAny), a subclass (programming
// interface kAny) or one programming interface of a subclass.
struct ClassName {
    uint8_t base;
    int sub;
    int progIF;
    const char* name;
};

// Rows of one base class stay together, its own name first.
constexpr ClassName kClassNames[] = {
    {0x01, kAny, kAny, "Mass storage Controller"},
    {0x01, 0x00, kAny, "SCSI Controller"},
    {0x01, 0x01, kAny, "IDE Controller"},
    {0x01, 0x02, kAny, "Floppy Controller"},
    {0x01, 0x03, kAny, "IPI Controller"},
    {0x01, 0x04, kAny, "RAID Controller"},
    {0x01, 0x05, 0x20, "ATA Controller (single DMA)"},
    {0x01, 0x05, 0x30, "ATA Controller (chained DMA)"},
    {0x01, 0x05, kAny, "ATA Controller"},
    {0x01, 0x06, kAny, "Serial ATA Controller"},

    {0x02, kAny, kAny, "Network Controller"},
    {0x02, 0x00, kAny, "Ethernet Controller"},
    {0x02, 0x01, kAny, "Token Ring Controller"},
    {0x02, 0x02, kAny, "FDDI Controller"},
    {0x02, 0x03, kAny, "ATM Controller"},
    {0x02, 0x05, kAny, "WorldFip Controller"},
    {0x02, 0x06, kAny, "PICMG 2.14 multi-computing"},

    {0x03, kAny, kAny, "Display Controller"},
    {0x03, 0x00, 0x01, "VGA+8514 Controller"},
    {0x03, 0x00, kAny, "VGA Controller"},
    {0x03, 0x01, kAny, "XGA Controller"},
    {0x03, 0x02, kAny, "3D Controller"},

    {0x04, kAny, kAny, "Multimedia device"},
    {0x04, 0x00, kAny, "Video device"},
    {0x04, 0x01, kAny, "Audio device"},
    {0x04, 0x02, kAny, "Telephony device"},

    {0x05, kAny, kAny, "Memory Controller"},
    {0x05, 0x00, kAny, "RAM Memory Controller"},
    {0x05, 0x01, kAny, "Flash Memory Controller"},

    {0x06, kAny, kAny, "Bridge device"},
    {0x06, 0x00, kAny, "Host Bridge"},
    {0x06, 0x01, kAny, "PCI to ISA Bridge"},
    {0x06, 0x02, kAny, "PCI to EISA Bridge"},
    {0x06, 0x03, kAny, "PCI to MCA Bridge"},
    {0x06, 0x04, kAny, "PCI to PCI Bridge"},
    {0x06, 0x05, kAny, "PCI to PCMCIA Bridge"},
    {0x06, 0x06, kAny, "PCI to NuBUS Bridge"},
    {0x06, 0x07, kAny, "PCI to CardBus Bridge"},
    {0x06, 0x08, 0x00, "PCI to RACEway Bridge (Transparent)"},
    {0x06, 0x08, 0x01, "PCI to RACEway Bridge (End-Point)"},
    {0x06, 0x08, kAny, "PCI to RACEway Bridge"},
    {0x06, 0x09, 0x40, "Semi-Transparent PCI to PCI Bridge (Primary Bus to Host)"},
    {0x06, 0x09, 0x80, "Semi-Transparent PCI to PCI Bridge (Secondaty Bus to Host)"},
    {0x06, 0x09, kAny, "Semi-Transparent PCI to PCI Bridge"},
    {0x06, 0x0A, kAny, "InfiniBand to PCI Host Bridge"},

    {0x07, kAny, kAny, "Communication Device"},
    {0x07, 0x00, 0x01, "Serial 16450 Controller"},
    {0x07, 0x00, 0x02, "Serial 16550 Controller"},
    {0x07, 0x00, 0x03, "Serial 16650 Controller"},
    {0x07, 0x00, 0x04, "Serial 16750 Controller"},
    {0x07, 0x00, 0x05, "Serial 16850 Controller"},
    {0x07, 0x00, 0x06, "Serial 16950 Controller"},
    {0x07, 0x00, kAny, "Serial Controller"},
    {0x07, 0x01, 0x01, "Parallel BiDir Controller"},
    {0x07, 0x01, 0x02, "Parallel ECP Controller"},
    {0x07, 0x01, 0x03, "Parallel IEEE1284 Controller"},
    {0x07, 0x01, 0xFE, "Parallel IEEE1284 Target"},
    {0x07, 0x01, kAny, "Parallel Controller"},
    {0x07, 0x02, kAny, "Multiport Serial Controller"},
    {0x07, 0x03, 0x01, "Modem 16450"},
    {0x07, 0x03, 0x02, "Modem 16550"},
    {0x07, 0x03, 0x03, "Modem 16650"},
    {0x07, 0x03, 0x04, "Modem 16750"},
    {0x07, 0x03, kAny, "Modem"},
    {0x07, 0x04, kAny, "GPIB Controller (IEEE 488.1/2)"},
    {0x07, 0x05, kAny, "Smart Card Controller"},

    {0x08, kAny, kAny, "System Device"},
    {0x09, kAny, kAny, "Input Device"},
    {0x0A, kAny, kAny, "Docking Station"},
    {0x0B, kAny, kAny, "Processor Device"},

    {0x0C, kAny, kAny, "Serial Bus Controller"},
    {0x0C, 0x00, 0x10, "OHCI FireWire Controller"},
    {0x0C, 0x00, kAny, "FireWire Controller"},
    {0x0C, 0x01, kAny, "ACCESS Bus Controller"},
    {0x0C, 0x02, kAny, "Serial Storage Controller"},
    {0x0C, 0x03, 0x00, "USB Controller (UHCI)"},
    {0x0C, 0x03, 0x10, "USB Controller (OHCI)"},
    {0x0C, 0x03, 0x20, "USB 2.0 Controller (EHCI)"},
    {0x0C, 0x03, 0xFE, "USB Device"},
    {0x0C, 0x03, kAny, "USB Controller"},
    {0x0C, 0x05, kAny, "SMBus Controller"},

    {0x0D, kAny, kAny, "Wireless Device"},
    {0x0D, 0x00, kAny, "iRDA Controller"},
    {0x0D, 0x01, kAny, "Consumer IR"},
    {0x0D, 0x10, kAny, "RF Controller"},
    {0x0D, 0x11, kAny, "BlueTooth"},
    {0x0D, 0x12, kAny, "Broadband"},
    {0x0D, 0x20, kAny, "Wireless Ethernet 802.11a"},
    {0x0D, 0x21, kAny, "Wireless Ethernet 802.11b"},

    {0x0E, kAny, kAny, "Intelligent Controller"},
    {0x0E, 0x00, kAny, "I2O Intelligent Controller"},

    {0x0F, kAny, kAny, "Satellite Communication Device"},
    {0x10, kAny, kAny, "Encryption Device"},

    {0x11, kAny, kAny, "Data Aquisition and Signal Processing Device"},
    {0x11, 0x01, kAny, "Performance Counters"},
    {0x11, 0x10, kAny, "Communication Synchr., Time and Frequency measurement"},
    {0x11, 0x20, kAny, "Management Card"},
};

// How well a row fits: 3 for the programming interface, 2 the subclass,
// 1 the base class, 0 not at all.
int Fit(const ClassName& row, uint8_t base, uint8_t sub, uint8_t progIF) {
    if (row.base != base) return 0;
    if (row.sub == kAny) return 1;
    if (row.sub != sub) return 0;
    if (row.progIF == kAny) return 2;
    return row.progIF == progIF ? 3 : 0;
}

} // namespace

void FormatPCIClassDescription(char* destination, size_t size, uint8_t baseClass, uint8_t subClass,
                               uint8_t progIF) {
    const char* best = nullptr;
    int bestFit = 0;
    for (const ClassName& row : kClassNames) {
        const int fit = Fit(row, baseClass, subClass, progIF);
        if (fit > bestFit) {
            best = row.name;
            bestFit = fit;
        }
    }
    if (best) FormatString(destination, size, "%s", best);
    else FormatString(destination, size, "BaseClass 0x%02X, SubClass 0x%02X, PI 0x%02X", baseClass, subClass, progIF);
}
