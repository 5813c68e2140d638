// The host's ACPI thermal zones from a fake /sys/class/thermal: which zones
// count, the namespace their paths make, the temperatures their _TMP
// methods answer, and the ACPI HAL device that comes with them.
#include "machine/host_machine.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace vexa::machine {
namespace {

namespace fs = std::filesystem;

class ThermalTree {
public:
    ThermalTree() : root_((fs::temp_directory_path() / ("host-thermal-" + std::to_string(getpid()))).string()) {
        fs::create_directories(root_ + "/sys/class/thermal");
    }
    ~ThermalTree() { fs::remove_all(root_); }
    // A zone folder with its type, its ACPI path (none when empty) and its
    // temperature (none when empty).
    void zone(const std::string& name, const std::string& type, const std::string& path,
              const std::string& millidegrees) const {
        const std::string folder = root_ + "/sys/class/thermal/" + name;
        fs::create_directories(folder + "/device");
        std::ofstream(folder + "/type") << type << "\n";
        if (!path.empty()) std::ofstream(folder + "/device/path") << path << "\n";
        if (!millidegrees.empty()) std::ofstream(folder + "/temp") << millidegrees << "\n";
    }
    const std::string& root() const { return root_; }

private:
    std::string root_;
};

struct Node {
    std::string name;
    int parent;
    bool method;
    bool operator==(const Node&) const = default;
};

void PrintTo(const Node& node, std::ostream* out) { *out << node.name << "<" << node.parent << ">"; }

std::vector<Node> shape(const std::vector<AcpiNamespaceNode>& nodes) {
    std::vector<Node> out;
    for (const auto& node : nodes) out.push_back({node.name, node.parent, node.method});
    return out;
}

std::optional<uint64_t> evaluated(const HostMachine& host, size_t index) {
    const auto results = host.evaluateAcpiMethod(index);
    if (!results) return std::nullopt;
    EXPECT_EQ(results->size(), 1u);
    EXPECT_EQ(results->at(0).type, AcpiValue::kInteger);
    uint64_t value = 0;
    for (size_t i = 0; i < 8; ++i) value |= uint64_t(results->at(0).data.at(i)) << (8 * i);
    return value;
}

TEST(HostThermalZones, AcpiZonesBecomeANamespaceWithTheirTemperatures) {
    ThermalTree tree;
    tree.zone("thermal_zone0", "acpitz", "\\_TZ_.TZ00", "45000");
    tree.zone("thermal_zone1", "x86_pkg_temp", "", "52000");    // the processor's own sensor
    tree.zone("thermal_zone10", "acpitz", "\\_SB_.PCI0.TZ02", "31049");
    tree.zone("thermal_zone2", "acpitz", "\\_TZ_.TZ01", "-5050");
    tree.zone("thermal_zone3", "acpitz", "\\_TZ_.TZ03", "");       // no temperature file
    tree.zone("thermal_zone4", "acpitz", "", "40000");             // no path
    tree.zone("thermal_zone5", "acpitz", "_TZ_.tz05", "40000");    // not a namespace path
    tree.zone("thermal_zone6", "acpitz", "\\_TZ_.TZ06.", "40000");
    tree.zone("cooling_device0", "Processor", "\\_PR_.CPU0", "");

    const HostMachine host(tree.root());
    const auto nodes = host.acpiNamespace();
    // The kernel's zone order (2 before 10), pre-order, one _TMP per zone.
    EXPECT_EQ(shape(nodes), (std::vector<Node> {{"\\___", -1, false},
                                                {"_TZ_", 0, false},
                                                {"TZ00", 1, false},
                                                {"_TMP", 2, true},
                                                {"TZ01", 1, false},
                                                {"_TMP", 4, true},
                                                {"TZ03", 1, false},
                                                {"_TMP", 6, true},
                                                {"_SB_", 0, false},
                                                {"PCI0", 8, false},
                                                {"TZ02", 9, false},
                                                {"_TMP", 10, true}}));
    // Tenths of a kelvin, read at each evaluation.
    EXPECT_EQ(evaluated(host, 3), 3182u);
    EXPECT_EQ(evaluated(host, 5), 2732u - 51);
    EXPECT_EQ(evaluated(host, 11), 3042u);
    EXPECT_EQ(evaluated(host, 7), std::nullopt) << "the zone's temperature cannot be read";
    EXPECT_EQ(evaluated(host, 2), std::nullopt) << "a zone is no method";
    EXPECT_EQ(evaluated(host, 99), std::nullopt);
    tree.zone("thermal_zone0", "acpitz", "\\_TZ_.TZ00", "47500");
    EXPECT_EQ(evaluated(host, 3), 3207u);
    tree.zone("thermal_zone0", "acpitz", "\\_TZ_.TZ00", "-400000");
    EXPECT_EQ(evaluated(host, 3), 0u) << "never below absolute zero";
    tree.zone("thermal_zone0", "acpitz", "\\_TZ_.TZ00", "hot");
    EXPECT_EQ(evaluated(host, 3), std::nullopt);

    // The driver's namespace requests name the ACPI HAL device; the
    // firmware's global lock is not offered.
    const auto devices = host.deviceTree();
    ASSERT_EQ(devices.size(), 2u);
    EXPECT_EQ(devices[1].parent, 0);
    EXPECT_EQ(devices[1].properties.at(DeviceNode::kEnumerator), "ACPI_HAL");
    EXPECT_FALSE(host.offersAcpiGlobalLock());
}

TEST(HostThermalZones, WithoutAcpiZonesThereIsNoNamespace) {
    ThermalTree tree;
    tree.zone("thermal_zone0", "x86_pkg_temp", "", "52000");
    const HostMachine host(tree.root());
    EXPECT_TRUE(host.acpiNamespace().empty());
    EXPECT_TRUE(host.deviceTree().empty());
    EXPECT_EQ(host.evaluateAcpiMethod(0), std::nullopt);
    fs::remove_all(tree.root() + "/sys/class/thermal");
    EXPECT_TRUE(HostMachine(tree.root()).acpiNamespace().empty());
}

} // namespace
} // namespace vexa::machine
