// What the readers of machine.json's sections share: the schema error that
// names the key at fault, the checked readers of values (manifest.cpp), and
// the readers of the sections kept in files of their own. Internal to the
// manifest parser.
#pragma once

#include "machine/manifest.h"

#include <cstdint>
#include <initializer_list>
#include <map>
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>
#include <vector>

namespace vexa::machine::schema {

using json = nlohmann::json;

// Thrown while a manifest is read; parseManifest turns it into its error.
struct SchemaError {
    std::string message;
};

// "path: what".
[[noreturn]] void fail(const std::string& path, const std::string& what);
std::string child(const std::string& path, const std::string& key);
std::string element(const std::string& path, size_t index);

// Fails on any key not listed.
void expectObject(const json& value, const std::string& path, std::initializer_list<std::string_view> keys);
const json* member(const json& object, std::string_view key);
// A JSON number or a string holding a decimal or "0x" hex number, at most `max`.
uint64_t unsignedValue(const json& value, const std::string& path, uint64_t max);
bool boolean(const json& value, const std::string& path);
std::string text(const json& value, const std::string& path);
const json& array(const json& value, const std::string& path);
// "01 02 0a": bytes of two hex digits separated by blanks.
std::vector<uint8_t> hexBytes(const json& value, const std::string& path);

// ---- Sections in files of their own ----

// "wmi" (manifest_wmi.cpp): namespace -> class -> instances.
void readWmi(const json& section, std::vector<WmiClass>& classes);
// "vm" (manifest_wmi.cpp): "none", "vmware" or "virtualpc".
Hypervisor readHypervisor(const json& value);
// The keys of "os.windows" beyond the version fields (manifest_windows.cpp).
void readWindowsDetails(const json& section, WindowsIdentity& identity);
// "drives" and "usb" (manifest_drives.cpp).
void readDrives(const json& section, std::vector<DriveEntry>& drives);
void readUsb(const json& section, std::vector<UsbController>& controllers);
// "smbus" (manifest_smbus.cpp): the SMBus controller and its slaves.
void readSmbus(const json& section, SmbusSettings& smbus);
// "nvapi" (manifest_nvapi.cpp): the NVIDIA driver library and its GPUs.
void readNvapi(const json& section, NvidiaLibrarySettings& library);
// "adl" (manifest_adl.cpp): the AMD display library.
void readAdl(const json& section, AdlLibrarySettings& library);
// "ia64" (manifest_ia64.cpp): the Itanium processors' CPUID and PAL answers.
void readIa64(const json& section, Ia64Facts& facts);
// "pci.message_bus" (manifest_message_bus.cpp): the message bus register file.
void readMessageBus(const json& value, std::vector<MessageBusRegister>& registers);
// "controllers" (manifest_controllers.cpp): the platform sensor controllers.
void readControllers(const json& section, PlatformControllers& controllers);
// "superio" (manifest_superio.cpp): the super-I/O chips and their register dumps.
void readSuperIo(const json& section, std::vector<SuperIoEntry>& chips);
// "memory_devices.mchbar" (manifest_mchbar.cpp): the memory controller's window.
MchbarSettings readMchbar(const json& value);
// A register window's "registers" (manifest_mchbar.cpp): dword offset (a
// multiple of 4 inside the window) -> value.
std::map<uint32_t, uint32_t> dwordRegisters(const json& value, const std::string& path, uint64_t windowSize);
// "memory_devices.nvidia_gpu" (manifest_nvidia_gpu.cpp): an NVIDIA GPU's
// register window with its I2C buses.
Manifest::GpuRegisterEntry readNvidiaGpu(const json& value);
// "BB:DD.F", hex as lspci writes it (manifest_smbus.cpp).
PciAddress pciFunction(const json& value, const std::string& path);
// "memory_devices.ati_gpus" (manifest_ati_gpu.cpp): graphics register windows.
std::vector<AtiGpuWindowSettings> readAtiGpus(const json& value);
// "displays" (manifest_displays.cpp): the Windows display devices.
void readDisplays(const json& section, std::vector<DisplayDevice>& devices);
void readBatteries(const json& section, std::vector<BatteryFacts>& batteries);

} // namespace vexa::machine::schema
