// The Linux host's ACPI thermal zones. The kernel's ACPI thermal driver
// lists each zone as /sys/class/thermal/thermal_zoneN of type "acpitz",
// with the zone's namespace path ("\_TZ_.THRM") in device/path and its
// temperature in millidegrees Celsius in temp. The zones become a namespace
// of their paths, each zone with a _TMP method; evaluating one reads the
// zone's temperature now and answers it as ACPI does, in tenths of a kelvin.
// Zones of other drivers (the processor package, a Wi-Fi card) have no
// place in the namespace and are left out.
#include "machine/host_machine.h"

#include <algorithm>

#include "machine/file_bytes.h"
#include "machine/text_scan.h"

namespace vexa::machine {

namespace {

// Far beyond real zones, a few levels deep.
constexpr size_t kDeepestPath = 16;
constexpr char kZonePrefix[] = "thermal_zone";
constexpr int64_t kZeroCelsiusTenthsKelvin = 2732;
constexpr uint64_t kLargestMillidegrees = 1000000000;

// An ACPI name segment as the kernel writes it: four name characters.
bool isNameSegment(std::string_view name) {
    if (name.size() != 4) return false;
    for (size_t i = 0; i < name.size(); ++i)
        if (!isAcpiNameCharacter(name[i], i)) return false;
    return true;
}

// "\_TZ_.THRM" as its segments; empty when it is no absolute path.
std::vector<std::string> pathSegments(std::string_view path) {
    std::vector<std::string> segments;
    if (path.size() < 2 || path[0] != '\\') return {};
    path.remove_prefix(1);
    while (!path.empty()) {
        const size_t dot = path.find('.');
        const std::string_view segment = path.substr(0, dot);
        if (!isNameSegment(segment) || segments.size() == kDeepestPath) return {};
        segments.emplace_back(segment);
        if (dot == std::string_view::npos) break;
        path.remove_prefix(dot + 1);
        if (path.empty()) return {};  // a trailing dot
    }
    return segments;
}

// A scope of the namespace being built; a _TMP method knows its zone's file.
struct Scope {
    std::string name;
    std::string temperatureFile;  // set for a _TMP method only
    std::vector<Scope> children;

    Scope& child(const std::string& childName) {
        for (Scope& existing : children)
            if (existing.name == childName) return existing;
        return children.emplace_back(Scope{childName, {}, {}});
    }
};

// The thermal zones' folders in the kernel's numbering.
std::vector<std::pair<uint64_t, std::string>> zoneFolders(const std::string& classFolder) {
    std::vector<std::pair<uint64_t, std::string>> zones;
    for (const std::string& name : listFolder(classFolder)) {
        uint64_t number = 0;
        if (name.rfind(kZonePrefix, 0) == 0 && parseDecimal(name.substr(sizeof kZonePrefix - 1), number, 1u << 30))
            zones.emplace_back(number, classFolder + "/" + name);
    }
    std::sort(zones.begin(), zones.end());
    return zones;
}

} // namespace

const HostMachine::ThermalZones& HostMachine::thermalZones() const {
    std::call_once(thermalZonesRead_, [this] {
        Scope root{std::string(AcpiNamespaceNode::kRootName), {}, {}};
        bool any = false;
        for (const auto& [number, folder] : zoneFolders(sysRoot_ + "/sys/class/thermal")) {
            if (readSysfsAttribute(folder + "/type") != "acpitz") continue;
            const auto segments = pathSegments(readSysfsAttribute(folder + "/device/path"));
            if (segments.empty()) continue;
            Scope* scope = &root;
            for (const std::string& segment : segments) scope = &scope->child(segment);
            Scope& method = scope->child("_TMP");
            if (!method.children.empty() || !method.temperatureFile.empty()) continue;
            method.temperatureFile = folder + "/temp";
            any = true;
        }
        if (!any) return;
        // Pre-order, each scope's children in the order they were met.
        auto add = [this](auto& self, const Scope& scope, int parent) -> void {
            const size_t index = thermalZones_.nodes.size();
            const bool method = !scope.temperatureFile.empty();
            thermalZones_.nodes.push_back(AcpiNamespaceNode{scope.name, parent, method, {}});
            if (method) thermalZones_.temperatureFiles[index] = scope.temperatureFile;
            for (const Scope& child : scope.children) self(self, child, int(index));
        };
        add(add, root, -1);
    });
    return thermalZones_;
}

std::vector<AcpiNamespaceNode> HostMachine::acpiNamespace() const { return thermalZones().nodes; }

std::optional<std::vector<AcpiValue>> HostMachine::evaluateAcpiMethod(size_t index) const {
    const auto& files = thermalZones().temperatureFiles;
    const auto it = files.find(index);
    if (it == files.end()) return std::nullopt;
    const std::string line = readSysfsAttribute(it->second);
    std::string_view text = line;
    const bool below = !text.empty() && text[0] == '-';
    if (below) text.remove_prefix(1);
    uint64_t millidegrees = 0;
    if (text.empty() || !parseDecimal(text, millidegrees, kLargestMillidegrees)) return std::nullopt;
    // Tenths of a kelvin, rounded to the nearest; never below 0 K.
    const int64_t tenths = (int64_t(millidegrees) + 50) / 100;
    const int64_t kelvinTenths = std::max<int64_t>(0, kZeroCelsiusTenthsKelvin + (below ? -tenths : tenths));
    return std::vector<AcpiValue>{AcpiValue::fromInteger(uint64_t(kelvinTenths))};
}

std::vector<DeviceNode> HostMachine::deviceTree() const {
    std::vector<DeviceNode> tree;
    if (!thermalZones().nodes.empty()) addAcpiHalDevice(tree);
    return tree;
}

} // namespace vexa::machine
