#include "tests/sdk/chipset/host_bridge_test_support.h"

#include <optional>
#include <utility>

#include "sdk/chipset/north_bridge.h"
#include "sdk/core/sdk.h"

namespace vexa::test {

FunctionDump HostBridgeAt00(uint16_t vendor, uint16_t device, uint8_t revision) {
    return FunctionDump({0, 0, 0}, vendor, device).Class(0x06, 0x00).Byte(0x08, revision).HeaderType(0x80);
}

FunctionDump FunctionAt(uint8_t device, uint8_t function, uint16_t vendor, uint16_t deviceID) {
    FunctionDump dump({0, device, function}, vendor, deviceID);
    if (function == 0) dump.HeaderType(0x80);
    return dump;
}

void HostBridgeTest::Start(const std::vector<FunctionDump>& functions) {
    machine_ = &startImage(LspciText(functions));
    before_.clear();
    for (const FunctionDump& function : functions) before_[function.Address()] = Config(function.Address());
    record();
}

CChipsetInterface* HostBridgeTest::Detect() {
    if (!scannedPCI()) return nullptr;
    EXPECT_EQ(sdk().CreateChipsetInterface(), 1);
    return sdk().m_pChipset;
}

void HostBridgeTest::ExpectMainBridgeNamed(const char* vendor, const char* model, const char* revision) {
    CChipsetInterface* chipset = sdk().m_pChipset;
    ASSERT_TRUE(chipset);
    ASSERT_TRUE(chipset->m_pNorthBridge);
    EXPECT_STREQ(chipset->m_pNorthBridge->m_szVendor, vendor);
    EXPECT_STREQ(chipset->m_pNorthBridge->m_szModel, model);
    if (revision) {
        EXPECT_STREQ(chipset->m_pNorthBridge->m_szRevision, revision);
    }
}

void HostBridgeTest::ExpectClockSource(const char* ratio, float factor, float offset) {
    const CMemoryInfo& m = Memory();
    EXPECT_STREQ(m.m_szRatio, ratio);
    EXPECT_FLOAT_EQ(m.m_fFSBDRAMRatio, factor);
    EXPECT_FLOAT_EQ(m.m_fDRAMOffset, offset);
    EXPECT_EQ(m.m_iCPUDivisor, -1);
    EXPECT_EQ(m.m_bAsynchronous, 0);
}

std::vector<uint8_t> HostBridgeTest::Config(machine::PciAddress fn) {
    std::vector<uint8_t> bytes(256);
    machine_->readPciConfig(fn, 0, bytes);
    return bytes;
}

void HostBridgeTest::ExpectHardwareAsFound() {
    for (const auto& [fn, bytes] : before_)
        EXPECT_EQ(Config(fn), bytes) << int(fn.bus) << ":" << int(fn.device) << "." << int(fn.function);
    // Per written register: the value read before the first write, and the last write.
    std::map<std::pair<machine::AccessKind, uint64_t>, std::pair<std::optional<uint64_t>, uint64_t>> registers;
    std::map<std::pair<machine::AccessKind, uint64_t>, uint64_t> firstRead;
    for (const machine::Access& a : machine_->accessLog()) {
        if (a.kind != machine::AccessKind::Port && a.kind != machine::AccessKind::PciConfig) continue;
        const auto key = std::make_pair(a.kind, a.address);
        if (a.dir == machine::AccessDir::Read) {
            if (a.ok && !firstRead.count(key)) firstRead[key] = a.value;
            continue;
        }
        auto [it, first] = registers.try_emplace(key);
        if (first && firstRead.count(key)) it->second.first = firstRead[key];
        it->second.second = a.value;
    }
    for (const auto& [key, values] : registers) {
        ASSERT_TRUE(values.first.has_value()) << "written without being read first: " << std::hex << key.second;
        EXPECT_EQ(values.second, *values.first) << "not written back: " << std::hex << key.second;
    }
}

std::vector<uint32_t> HostBridgeTest::PortWrites(uint16_t port) {
    std::vector<uint32_t> values;
    for (const machine::Access& a : ofKind(machine_->accessLog(), machine::AccessKind::Port))
        if (a.dir == machine::AccessDir::Write && a.address == port) values.push_back(uint32_t(a.value));
    return values;
}

} // namespace vexa::test
