// The SMBus domain (InterfaceType INTERFACE_SMBUS). Initialised after the
// PCI scan, it shows SMBus functions the chipset hides (reversible commands,
// put back at close), recognises every SMBus host controller by the PCI IDs
// of the function that carries it (south-bridge controllers with an I/O
// base, smbus_host_discovery.cpp; memory-controller engines,
// smbus_board_discovery.cpp), registers one controller object per
// controller in the root's register-space list, and builds the channel
// multiplexers some mainboards put in front of their memory-module SMBus.
//
// Afterwards it probes addresses on request and keeps one CSMBusDevice per
// answering (controller, multiplexer, channel, address) in the root's
// device list: an address that answers gets a device once and keeps it, one
// that stops answering loses it on the next probe of that key, unless a
// memory module or a composite device still holds it. The SPD scan and the
// hardware-monitor chip probes are its callers.
//
// Configuration registers the discovery changes (I/O decode, host enables)
// are remembered and put back at close, newest first, before the hidden
// functions are hidden again.
#pragma once

#include <cstdint>
#include <vector>

#include "sdk/core/interface.h"
#include "sdk/core/list.h"

class CCommand;
class CDevice;
class CIOSpace;
class CLPCRegisterSpace;
class CMultiplexer;
class CPCIDevice;
class CRegisterSpace;
class CSMBusDevice;
class CSMBusRegisterSpace;

class CSMBusInterface : public CInterface {
public:
    // Settle time after a multiplexer switch, before a probe's transfer.
    static constexpr uint32_t kChannelSettleMs = 5;

    CSMBusInterface();
    // Deletes the multiplexers and the commands (and the configuration
    // ports it made for a multiplexer).
    ~CSMBusInterface() override;
    CSMBusInterface(const CSMBusInterface&) = delete;
    CSMBusInterface& operator=(const CSMBusInterface&) = delete;

    // 0 without a PCI domain; otherwise shows hidden controllers, creates
    // the host controllers, the memory-controller engines and the board's
    // multiplexers, and returns 1 (also when it found no controller).
    int Init() override;
    // Puts back the configuration registers it changed, then restores
    // every command (hides the functions again).
    void Close() override;

    // The controllers with that id (kNoControllerId: those without one):
    // their number, and the list (when given) emptied and refilled.
    int GetControllers(uint32_t controllerId, CTList<CRegisterSpace>* list);
    // The first SMBus device of the root's list for that key. Without a
    // multiplexer only the controller and the address count.
    CSMBusDevice* FindDevice(CSMBusRegisterSpace* controller, CMultiplexer* multiplexer, uint8_t channel,
                             uint8_t slave);

    // The probes empty `list` (when given) and fill it with the answering
    // devices, which stay the root's; each returns how many answered.
    // A byte read of register 0 on one controller, on every channel of
    // every multiplexer.
    int ProbeOnController(CSMBusRegisterSpace* controller, uint8_t slave, CTList<CDevice>* list);
    // A byte read (a word read with `word`) of `reg` on every controller;
    // without `allChannels` the first answering channel ends the probe of
    // a controller.
    int ProbeAddress(uint8_t slave, CTList<CDevice>* list, uint8_t reg, int word, int allChannels);
    // The same on one controller.
    int ProbeAddressOn(uint8_t slave, CSMBusRegisterSpace* controller, CTList<CDevice>* list, uint8_t reg, int word,
                       int allChannels);

    // ---- The steps of Init ----
    void EnableHiddenControllers();   // smbus_host_discovery.cpp
    void CreateHostControllers();     // smbus_host_discovery.cpp
    void CreateMemoryControllerEngines();  // smbus_board_discovery.cpp
    void CreateBoardMultiplexers();        // smbus_board_discovery.cpp

    // Writes a configuration dword of a function found by the discovery;
    // the first write of a register remembers its value for Close.
    void WriteConfigAndRemember(const CPCIDevice& function, uint32_t reg, uint32_t value);
    // The controller joins the root's register-space list.
    void AddController(CSMBusRegisterSpace* controller, uint32_t controllerId);

    CTList<CMultiplexer>* m_pMultiplexers;  // owned, with the multiplexers
    CTList<CCommand>* m_pCommands;          // owned, with the commands

private:
    struct SavedConfig {
        uint8_t bus, device, function;
        uint32_t reg, value;
    };

    // Probes one key: the transfer, then the device found or created on
    // success (added to `list`), or the device dropped on failure.
    bool ProbeKey(CSMBusRegisterSpace* controller, CMultiplexer* multiplexer, uint8_t channel, uint8_t slave,
                  uint8_t reg, bool word, CTList<CDevice>* list);
    // Probes one controller; `count` grows by the answers.
    void ProbeController(CSMBusRegisterSpace* controller, uint8_t slave, uint8_t reg, bool word, bool allChannels,
                         CTList<CDevice>* list, int& count);
    // The super-I/O configuration ports at 0x2E: the root's LPC space there,
    // or one of our own.
    CLPCRegisterSpace* SuperIOConfigSpace();
    CSMBusDevice* Answered(CSMBusRegisterSpace* controller, CMultiplexer* multiplexer, uint8_t channel, uint8_t slave);
    void Silent(CSMBusRegisterSpace* controller, CMultiplexer* multiplexer, uint8_t channel, uint8_t slave);

    std::vector<SavedConfig> m_SavedConfig;  // in the order written
    // The super-I/O configuration ports a multiplexer uses when the root
    // has none registered; owned.
    CIOSpace* m_pConfigPorts = nullptr;
    CLPCRegisterSpace* m_pConfigSpace = nullptr;
};
