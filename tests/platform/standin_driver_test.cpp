// The stand-in driver's answers to the driver requests, on simulated
// machines and on this host.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "machine/machine.h"
#include "platform/driver.h"
#include "platform/files.h"
#include "platform/services.h"
#include "platform/sync.h"
#include "tests/support/image_dir.h"
#include "tests/support/manual_clock_guard.h"
#include "tests/support/test_paths.h"

namespace {

using Reply = std::vector<uint32_t>;

// A started driver service and its open device.
class Driver {
public:
    Driver() {
        char folder[MAX_PATH];
        GetTempPathA(sizeof folder, folder);
        const std::string image = std::string(folder) + "standin_x64.sys";
        FILE* f = std::fopen(image.c_str(), "w");
        std::fputs("vexa stand-in driver\nbuild: x64\n", f);
        std::fclose(f);
        manager_ = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
        service_ = CreateServiceA(manager_, "standin", "standin", SERVICE_ALL_ACCESS, SERVICE_KERNEL_DRIVER,
                                  SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL, image.c_str(), nullptr,
                                  nullptr, nullptr, nullptr, nullptr);
        StartServiceA(service_, 0, nullptr);
        device_ = CreateFileA("\\\\.\\standin", GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    }
    ~Driver() {
        CloseHandle(device_);
        SERVICE_STATUS status;
        ControlService(service_, SERVICE_CONTROL_STOP, &status);
        DeleteService(service_);
        CloseServiceHandle(service_);
        CloseServiceHandle(manager_);
    }
    bool open() const { return device_ != INVALID_HANDLE_VALUE; }

    // Sends dwords, returns the reply dwords; empty when the request failed.
    Reply request(DWORD code, std::vector<uint32_t> in, size_t outDwords) {
        Reply out(outDwords, 0xDEADBEEF);
        DWORD returned = 0;
        if (!DeviceIoControl(device_, code, in.empty() ? nullptr : in.data(), DWORD(in.size() * 4),
                             out.data(), DWORD(out.size() * 4), &returned, nullptr)) {
            lastError = GetLastError();
            return {};
        }
        return out;
    }
    DWORD lastError = 0;

private:
    SC_HANDLE manager_ = nullptr, service_ = nullptr;
    HANDLE device_ = INVALID_HANDLE_VALUE;
};

uint32_t high(const void* p) { return uint32_t(reinterpret_cast<uintptr_t>(p) >> 32); }
uint32_t low(const void* p) { return uint32_t(reinterpret_cast<uintptr_t>(p)); }

std::unique_ptr<vexa::machine::Machine> x58() {
    std::string error;
    auto machine = vexa::machine::loadImage(vexa::test::sourcePath("machines/x58-nehalem"), error);
    EXPECT_TRUE(machine) << error;
    return machine;
}

TEST(StandInDriver, PciConfigurationReadsAndTheirBounds) {
    vexa::machine::ScopedMachine machine(x58());
    Driver driver;
    ASSERT_TRUE(driver.open());
    uint32_t ids = 0;
    // ICH10 SMBus controller 00:1f.3.
    Reply reply = driver.request(0x9C402448, {0, 31, 3, 0, 4, high(&ids), low(&ids)}, 1);
    ASSERT_EQ(reply.size(), 1u);
    EXPECT_NE(reply[0], 0u);
    EXPECT_EQ(ids, 0x3A308086u);

    uint16_t device = 0;
    reply = driver.request(0x9C402448, {0, 31, 3, 2, 2, high(&device), low(&device)}, 1);
    EXPECT_EQ(device, 0x3A30);

    // Never past the function's 4096 bytes.
    uint32_t beyond = 0x12345678;
    EXPECT_TRUE(driver.request(0x9C402448, {0, 31, 3, 4094, 4, high(&beyond), low(&beyond)}, 1).empty());
    EXPECT_EQ(driver.lastError, ERROR_INVALID_PARAMETER);
    EXPECT_EQ(beyond, 0x12345678u);
    // A request shorter than its layout is refused.
    EXPECT_TRUE(driver.request(0x9C402448, {0, 31, 3}, 1).empty());
}

TEST(StandInDriver, PmTimerPortAndClockMeasurementsFollowTheMachineClock) {
    vexa::machine::ScopedMachine machine(x58());
    vexa::test::ManualClockGuard clock;
    Driver driver;
    ASSERT_TRUE(driver.open());
    const Reply first = driver.request(0x9C402414, {0x808}, 2);
    ASSERT_EQ(first.size(), 2u);
    clock.clock().advanceNs(1'000'000);  // 1 ms: 3579.545 ticks
    const Reply second = driver.request(0x9C402414, {0x808}, 2);
    EXPECT_NEAR(double((second[0] - first[0]) & 0xFFFFFF), 3579.5, 1.0);

    // The time-stamp counter (MSR 0x10) against the PM timer: 2667 MHz.
    const Reply rate = driver.request(0x9C402464, {0x808, 0x10}, 2);
    ASSERT_EQ(rate.size(), 2u);
    float mhz;
    std::memcpy(&mhz, &rate[1], 4);
    EXPECT_NEAR(mhz, 2667.0, 0.5);

    // The bus clock: the APIC timer's ratio to the PM timer, times 100.
    const Reply bus = driver.request(0x9C402518, {0x808}, 4);
    ASSERT_EQ(bus.size(), 4u);
    EXPECT_NEAR(bus[0] / 100.0 * 3.579545, 133.33, 0.05);
    // Not without a PM timer at the port.
    EXPECT_TRUE(driver.request(0x9C402518, {0x1234}, 4).empty());
}

TEST(StandInDriver, ImageChoosesVersionAndFailingRequests) {
    vexa::test::ImageDir image;
    image.copyData("cpuid/intel-core2/intel-core2-cpu-6300.test", "cpuid.txt");
    image.write("machine.json", R"({"driver": {"version": 311, "fail": ["0x9C402400"]},
                                    "cpu": {"msrs": {"0x17": "0x0012000000000000"}}})");
    vexa::machine::ScopedMachine machine(image.load());
    Driver driver;
    ASSERT_TRUE(driver.open());
    const Reply version = driver.request(0x9C402438, {}, 1);
    ASSERT_EQ(version.size(), 1u);
    EXPECT_EQ(version[0], 311u);
    EXPECT_TRUE(driver.request(0x9C402400, {0x17}, 2).empty());
    EXPECT_EQ(driver.lastError, ERROR_GEN_FAILURE);
    // Writing an MSR the machine lacks answers all ones in the first dword.
    const Reply write = driver.request(0x9C402424, {0x1A0, 0, 1}, 2);
    ASSERT_EQ(write.size(), 2u);
    EXPECT_EQ(write[0], 0xFFFFFFFFu);
}

TEST(StandInDriver, PhysicalMemoryWithinTheMachinesRegionsOnly) {
    vexa::test::ImageDir image;
    image.write("machine.json", R"({"memory": [{"base": "0xF0000", "size": "0x10000", "fill": "0x5A"}]})");
    vexa::machine::ScopedMachine machine(image.load());
    Driver driver;
    ASSERT_TRUE(driver.open());
    std::vector<uint8_t> bytes(16, 0);
    ASSERT_FALSE(driver.request(0x9C402420, {0, 0xFFFF0, 16, high(bytes.data()), low(bytes.data())}, 2).empty());
    EXPECT_EQ(bytes, std::vector<uint8_t>(16, 0x5A));
    std::fill(bytes.begin(), bytes.end(), 0);
    EXPECT_TRUE(driver.request(0x9C402420, {0, 0xFFFF8, 16, high(bytes.data()), low(bytes.data())}, 2).empty());
    EXPECT_EQ(bytes, std::vector<uint8_t>(16, 0));  // untouched
    EXPECT_TRUE(driver.request(0x9C402420, {0, 0xF0000, 0, high(bytes.data()), low(bytes.data())}, 2).empty());
    ASSERT_FALSE(driver.request(0x9C402430, {0, 0xF0000, 0x11223344}, 2).empty());
    ASSERT_FALSE(driver.request(0x9C402420, {0, 0xF0000, 4, high(bytes.data()), low(bytes.data())}, 2).empty());
    EXPECT_EQ(bytes[0], 0x44);
    EXPECT_EQ(bytes[3], 0x11);
}

TEST(StandInDriver, AcpiNamespaceWalkEvaluationAndGlobalLock) {
    vexa::test::ImageDir image;
    image.write("machine.json", R"({"acpi_namespace": {"_SB_": {"PCI0": {}, "ATKD": {"RTMP": {"returns": [42, "ok"]}}},
                                                       "_TZ_": {}}})");
    vexa::machine::ScopedMachine machine(image.load());
    Driver driver;
    ASSERT_TRUE(driver.open());
    const char pdo[] = "\\Device\\00000001";
    const Reply root = driver.request(0x9C402450, {high(pdo), low(pdo)}, 11);
    ASSERT_EQ(root.size(), 11u);
    EXPECT_EQ(root[0], root[2]);  // the root handle and the root node's
    EXPECT_EQ(root[1], root[3]);

    auto name = [](const Reply& record) { return std::string(reinterpret_cast<const char*>(&record[8]), 4); };
    const Reply sb = driver.request(0x9C402454, {root[0], root[1], 2}, 9);
    ASSERT_EQ(name(sb), "_SB_");
    const Reply tz = driver.request(0x9C402454, {sb[0], sb[1], 3}, 9);
    EXPECT_EQ(name(tz), "_TZ_");
    const Reply ring = driver.request(0x9C402454, {tz[0], tz[1], 3}, 9);
    EXPECT_EQ(name(ring), "_SB_");  // the siblings form a ring
    const Reply pci = driver.request(0x9C402454, {sb[0], sb[1], 2}, 9);
    const Reply none = driver.request(0x9C402454, {pci[0], pci[1], 2}, 9);
    EXPECT_EQ(none[0], 0xFFFFFFFFu);
    EXPECT_EQ(none[1], 0xFFFFFFFFu);

    const Reply atkd = driver.request(0x9C402454, {pci[0], pci[1], 3}, 9);
    const Reply rtmp = driver.request(0x9C402454, {atkd[0], atkd[1], 2}, 9);
    ASSERT_EQ(name(rtmp), "RTMP");
    std::vector<uint8_t> output(1024, 0);
    const Reply status = driver.request(
        0x9C402458, {root[0], root[1], rtmp[0], rtmp[1], high(output.data()), low(output.data()), 1024}, 2);
    ASSERT_EQ(status.size(), 2u);
    EXPECT_EQ(status[0], 0u);
    uint32_t header[3];
    std::memcpy(header, output.data(), sizeof header);
    EXPECT_EQ(header[0], 0x426F6541u);
    EXPECT_EQ(header[2], 2u);
    uint16_t type, length;
    uint32_t value;
    std::memcpy(&type, &output[12], 2);
    std::memcpy(&length, &output[14], 2);
    std::memcpy(&value, &output[16], 4);
    EXPECT_EQ(type, 0);
    EXPECT_EQ(length, 4);
    EXPECT_EQ(value, 42u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&output[24])), "ok");
    // Evaluating a scope is not a method.
    EXPECT_NE(driver.request(0x9C402458, {root[0], root[1], sb[0], sb[1], high(output.data()),
                                          low(output.data()), 1024}, 2)[0], 0u);

    // The global lock: one owner at a time.
    EXPECT_EQ(driver.request(0x9C402508, {0, 0, 0x400, 1 | (100 << 16), 0x8086}, 2)[0], 1u);
    EXPECT_EQ(driver.request(0x9C402508, {0, 0, 0x400, 1 | (100 << 16), 0x8086}, 2)[0], 0u);
    EXPECT_EQ(driver.request(0x9C402508, {0, 0, 0x400, 0 | (100 << 16), 0x8086}, 2)[0], 1u);
}

TEST(StandInDriver, HostServesPciButHasNoMsrsOrAcpiNamespace) {
    Driver driver;
    ASSERT_TRUE(driver.open());
    uint32_t ids = 0;
    const Reply pci = driver.request(0x9C402448, {0, 0, 0, 0, 4, high(&ids), low(&ids)}, 1);
    ASSERT_EQ(pci.size(), 1u);
    EXPECT_EQ(pci[0], 1u);
    const std::string vendorFile = vexa::test::readFile("/sys/bus/pci/devices/0000:00:00.0/vendor");
    if (!vendorFile.empty()) {
        EXPECT_EQ(ids & 0xFFFF, std::stoul(vendorFile, nullptr, 16));
    }
    if (access("/dev/cpu/0/msr", F_OK) != 0) {
        EXPECT_TRUE(driver.request(0x9C402400, {0x10}, 2).empty());
    }
    const char pdo[] = "\\Device\\00000001";
    EXPECT_TRUE(driver.request(0x9C402450, {high(pdo), low(pdo)}, 11).empty());
    // SMBus reads ask for the port protocol.
    const Reply smbus = driver.request(0x9C402468, {0x400, 0x50, 0}, 4);
    ASSERT_EQ(smbus.size(), 4u);
    EXPECT_EQ(smbus[0], 2u);
}

} // namespace
