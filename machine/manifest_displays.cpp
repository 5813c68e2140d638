// The manifest's "displays" section (docs/machine-images.md): the display
// devices Windows enumerates, in order.
//   "displays": [{"name": "\\\\.\\DISPLAY1", "description": "NVIDIA GeForce 210",
//                 "device_id": "PCI\\VEN_10DE&DEV_0A65&SUBSYS_..."}]
#include "machine/manifest_schema.h"

namespace vexa::machine::schema {

namespace {
constexpr size_t kMaxDisplayDevices = 64;
} // namespace

void readDisplays(const json& section, std::vector<DisplayDevice>& devices) {
    const json& items = array(section, "displays");
    if (items.size() > kMaxDisplayDevices)
        fail("displays", "more than " + std::to_string(kMaxDisplayDevices) + " entries");
    for (size_t i = 0; i < items.size(); ++i) {
        const std::string path = element("displays", i);
        expectObject(items[i], path, {"name", "description", "device_id"});
        DisplayDevice device;
        if (const json* name = member(items[i], "name")) device.name = text(*name, child(path, "name"));
        if (const json* description = member(items[i], "description"))
            device.description = text(*description, child(path, "description"));
        if (const json* id = member(items[i], "device_id")) device.deviceId = text(*id, child(path, "device_id"));
        devices.push_back(std::move(device));
    }
}

} // namespace vexa::machine::schema
