// The host's disks, USB devices and operating system from a fake /sys,
// /proc and /etc, and what this host itself offers.
#include "machine/host_machine.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sys/utsname.h>

namespace vexa::machine {
namespace {

namespace fs = std::filesystem;

class FakeTree {
public:
    FakeTree() : root_((fs::temp_directory_path() / "host-drives").string()) { fs::create_directories(root_); }
    ~FakeTree() { fs::remove_all(root_); }
    void write(const std::string& name, const std::string& text) const {
        fs::create_directories(fs::path(root_ + name).parent_path());
        std::ofstream(root_ + name) << text;
    }
    void folder(const std::string& name) const { fs::create_directories(root_ + name); }
    const std::string& root() const { return root_; }

private:
    std::string root_;
};

TEST(HostDrives, DisksOfSysBlockInKernelOrder) {
    FakeTree tree;
    tree.write("/sys/block/sdb/size", "3862528\n");
    tree.write("/sys/block/sdb/removable", "1\n");
    tree.write("/sys/block/sdb/device/vendor", "Generic \n");
    tree.write("/sys/block/sdb/device/model", "SD Card Reader  \n");
    tree.write("/sys/block/sda/size", "1953525168\n");
    tree.write("/sys/block/sda/removable", "0\n");
    tree.write("/sys/block/sda/device/vendor", "ATA     \n");
    tree.write("/sys/block/sda/device/model", "WDC WD10EZEX-00B\n");
    tree.write("/sys/block/sda/device/rev", "1A01\n");
    tree.write("/sys/block/sda/device/power/runtime_status", "suspended\n");
    tree.write("/sys/block/sdaa/size", "8\n");
    tree.folder("/sys/block/sdaa/device");
    tree.write("/sys/block/vda/size", "536870912\n");
    tree.write("/sys/block/vda/serial", "\n");
    tree.write("/sys/block/vda/device/vendor", "0x1af4\n");
    tree.write("/sys/block/nvme0n1/size", "1000215216\n");
    tree.write("/sys/block/nvme0n1/queue/logical_block_size", "4096\n");
    tree.write("/sys/block/nvme0n1/device/model", "Samsung SSD 970 EVO Plus 1TB\n");
    tree.write("/sys/block/nvme0n1/device/serial", "S4EWNX0N123456\n");
    tree.write("/sys/block/nvme0n1/device/firmware_rev", "2B2QEXM7\n");
    tree.write("/sys/block/nvme0c0n1/hidden", "1\n");
    tree.folder("/sys/block/nvme0c0n1/device");
    tree.folder("/sys/block/sr0/device");
    tree.write("/sys/block/loop0/size", "0\n");
    HostMachine host(tree.root(), tree.root());
    const auto drives = host.diskDrives();
    ASSERT_EQ(drives.size(), 5u);
    EXPECT_EQ(drives[0].interfacePath, "\\\\?\\linux#disk#sda#{53f56307-b6bf-11d0-94f2-00a0c91efb8b}");
    EXPECT_EQ(drives[0].property, (StorageProperty{"ATA", "WDC WD10EZEX-00B", "1A01", "", 11}));
    EXPECT_EQ(drives[0].geometry->cylinders, 121601u);
    EXPECT_FALSE(drives[0].poweredUp);
    EXPECT_FALSE(drives[0].removable);
    EXPECT_EQ(drives[1].interfacePath.find("#sdb#"), 14u);
    EXPECT_TRUE(drives[1].removable);
    EXPECT_EQ(drives[1].property->busType, 1u);
    EXPECT_EQ(drives[2].property, (StorageProperty{"Virtio", "Block Device", "", "", 14}));
    EXPECT_EQ(drives[2].geometry->cylinders, 536870912u / 16065);
    EXPECT_EQ(drives[3].interfacePath.find("#sdaa#"), 14u);
    EXPECT_EQ(drives[4].property,
              (StorageProperty{"", "Samsung SSD 970 EVO Plus 1TB", "2B2QEXM7", "S4EWNX0N123456", 17}));
    EXPECT_EQ(drives[4].geometry->bytesPerSector, 4096u);
    EXPECT_EQ(drives[4].geometry->cylinders, 1000215216u / 8 / 16065);

    // No device node to send ATA commands to, and only SCSI disks are asked.
    std::vector<uint8_t> data(512);
    const AtaRegisters identify{0, 1, 0, 0, 0, 0xA0, kAtaIdentifyDevice};
    EXPECT_EQ(host.ataCommand(0, identify, data), AtaOutcome::NoAnswer);
    EXPECT_EQ(host.ataCommand(2, identify, data), AtaOutcome::NoAnswer);
    EXPECT_EQ(host.ataCommand(9, identify, data), AtaOutcome::NoAnswer);
    size_t transferred = 1;
    const uint8_t vendorBlock[12] = {0xDF};
    EXPECT_FALSE(host.scsiPassThrough(0, vendorBlock, data, transferred));
    EXPECT_EQ(transferred, 0u);
}

TEST(HostDrives, UsbTreeOfSysBusUsb) {
    FakeTree tree;
    const auto device = [&](const std::string& name, const char* cls, const char* vendor, const char* product,
                            const char* text, const char* ports) {
        const std::string base = "/sys/bus/usb/devices/" + name;
        tree.write(base + "/bDeviceClass", std::string(cls) + "\n");
        tree.write(base + "/bDeviceSubClass", "00\n");
        tree.write(base + "/idVendor", std::string(vendor) + "\n");
        tree.write(base + "/idProduct", std::string(product) + "\n");
        tree.write(base + "/product", std::string(text) + "\n");
        if (ports) tree.write(base + "/maxchild", std::string(ports) + "\n");
    };
    device("usb2", "09", "1d6b", "0003", "xHCI Host Controller", "4");
    device("usb1", "09", "1d6b", "0002", "xHCI Host Controller", "12");
    device("1-3", "09", "05e3", "0608", "USB2.0 Hub", "4");
    device("1-3.2", "00", "046d", "c52b", "USB Receiver", nullptr);
    device("1-1", "00", "0781", "5583", "Ultra Fit", nullptr);
    tree.folder("/sys/bus/usb/devices/1-1:1.0");
    HostMachine host(tree.root());
    const auto controllers = host.usbControllers();
    ASSERT_EQ(controllers.size(), 2u);
    const UsbDevice& root = controllers[0].rootHub;
    EXPECT_EQ(root.portCount, 12u);
    EXPECT_TRUE(root.hub);
    ASSERT_EQ(root.children.size(), 2u);
    EXPECT_EQ(root.children[0].port, 1u);
    EXPECT_EQ(root.children[0].vendorId, 0x0781);
    EXPECT_EQ(root.children[0].description, "Ultra Fit");
    EXPECT_EQ(root.children[0].driverKey, "{36fc9e60-c465-11cf-8056-444553540000}\\0000");
    const UsbDevice& hub = root.children[1];
    EXPECT_TRUE(hub.hub);
    EXPECT_EQ(hub.portCount, 4u);
    ASSERT_EQ(hub.children.size(), 1u);
    EXPECT_EQ(hub.children[0].port, 2u);
    EXPECT_EQ(hub.children[0].productId, 0xC52B);
    EXPECT_EQ(hub.children[0].driverKey, "{36fc9e60-c465-11cf-8056-444553540000}\\0002");
    EXPECT_EQ(controllers[1].rootHub.portCount, 4u);
}

TEST(HostSystemFacts, OsReleaseAndKernel) {
    FakeTree tree;
    tree.write("/usr/lib/os-release", "PRETTY_NAME=\"Fedora Linux 39 (Workstation \\\"Edition\\\")\"\n");
    tree.write("/proc/sys/kernel/ostype", "Linux\n");
    tree.write("/proc/sys/kernel/osrelease", "6.5.6-300.fc39.x86_64\n");
    const auto system = HostMachine(tree.root()).hostSystem();
    ASSERT_TRUE(system);
    EXPECT_EQ(system->distribution, "Fedora Linux 39 (Workstation \"Edition\")");
    EXPECT_EQ(system->kernel, "Linux 6.5.6-300.fc39.x86_64");
    utsname names {};
    ASSERT_EQ(uname(&names), 0);
    EXPECT_EQ(system->architecture, names.machine);
}

TEST(HostSystemFacts, ThisHostIsNoWindowsAndKnowsItsHypervisor) {
    HostMachine host;
    const auto system = host.hostSystem();
    ASSERT_TRUE(system);
    utsname names {};
    ASSERT_EQ(uname(&names), 0);
    EXPECT_NE(system->kernel.find(names.release), std::string::npos);
    EXPECT_NE(host.hypervisor(), Hypervisor::VirtualPC) << "no hypervisor answers Virtual PC's trap";
}

} // namespace
} // namespace vexa::machine
