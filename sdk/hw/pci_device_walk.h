// Walks the PCI functions of the root's device list, in its order.
#pragma once

#include "sdk/core/sdk.h"
#include "sdk/hw/pci_device.h"

template <typename Visit>
void ForEachPCIDevice(Visit visit) {
    CTListIterator<CDevice> it(GetSDK()->m_pDevices);
    for (CDevice* device = it.GetFirst(); device; device = it.GetNext())
        if (device->m_dwKind & DEVICE_PCI) visit(static_cast<CPCIDevice*>(device));
}
