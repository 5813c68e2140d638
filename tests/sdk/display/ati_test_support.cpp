#include "tests/sdk/display/ati_test_support.h"

#include <map>

#include "machine/machine.h"
#include "tests/support/image_dir.h"

namespace vexa::test {

namespace {

void PutWord(std::vector<uint8_t>& bytes, uint32_t offset, uint16_t value) {
    bytes[offset] = uint8_t(value);
    bytes[offset + 1] = uint8_t(value >> 8);
}

std::vector<uint8_t> OptionROM() {
    std::vector<uint8_t> bytes(0x10000, 0);
    bytes[0] = 0x55;
    bytes[1] = 0xAA;
    bytes[2] = 0x80;  // 64 KiB
    return bytes;
}

} // namespace

std::vector<uint8_t> AtomBIOS(uint16_t core, uint16_t memory) {
    std::vector<uint8_t> bytes = OptionROM();
    PutWord(bytes, 0x48, 0x100);
    bytes[0x104] = 'A';
    bytes[0x105] = 'T';
    bytes[0x106] = 'O';
    bytes[0x107] = 'M';
    PutWord(bytes, 0x120, 0x200);
    PutWord(bytes, 0x20C, 0x300);
    PutWord(bytes, 0x352, core);
    PutWord(bytes, 0x354, memory);
    return bytes;
}

std::vector<uint8_t> LegacyBIOS(uint16_t clock) {
    std::vector<uint8_t> bytes = OptionROM();
    PutWord(bytes, 0x48, 0x100);
    PutWord(bytes, 0x130, 0x200);
    PutWord(bytes, 0x226, clock);
    return bytes;
}

FunctionDump AtiFunction(uint16_t id, uint32_t bar, uint8_t device) {
    FunctionDump dump(machine::PciAddress{1, device, 0}, 0x1002, id);
    dump.Class(0x03, 0x00).Dword(0x18, bar);
    return dump;
}

std::string GpuWindow(const std::string& engine, const std::string& registers, const std::string& devices,
                      uint32_t base) {
    char head[128];
    std::snprintf(head, sizeof head, R"({"base": "0x%08X", "i2c_engine": "%s")", base, engine.c_str());
    return std::string(head) + R"(, "registers": {)" + registers + R"(}, "i2c_devices": [)" + devices + "]}";
}

machine::Machine& AtiTest::startGpu(const std::vector<FunctionDump>& functions, const std::string& manifestKeys,
                                    const std::vector<uint8_t>& bios) {
    ImageDir image;
    std::string manifest = "{" + manifestKeys;
    if (!bios.empty()) {
        image.write("vbios.bin", std::string(bios.begin(), bios.end()));
        char region[128];
        std::snprintf(region, sizeof region, R"("memory": [{"base": "0xC0000", "size": "0x%zX", "file": "vbios.bin"}])",
                      bios.size());
        manifest += (manifestKeys.empty() ? "" : ", ") + std::string(region);
    }
    image.write("machine.json", manifest + "}");
    image.write("lspci.txt", LspciWithHostBridge(functions));
    image.copyData("cpuid/intel-nehalem-westmere/intel-core-i7-cpu-920.test", "cpuid.txt");
    return start(image.load());
}

void AtiTest::expectWritesRestored() {
    std::map<uint64_t, uint64_t> first;   // address -> value before the first write
    std::map<uint64_t, uint64_t> last;    // address -> last value written
    for (const machine::Access& access : machine::current().accessLog()) {
        if (access.kind != machine::AccessKind::Memory || !access.ok) continue;
        if (access.dir == machine::AccessDir::Read) {
            if (!last.count(access.address)) first.emplace(access.address, access.value);
        } else {
            last[access.address] = access.value;
        }
    }
    EXPECT_FALSE(last.empty()) << "nothing was written";
    for (const auto& [address, value] : last) {
        const auto before = first.find(address);
        ASSERT_NE(before, first.end()) << std::hex << address << " was written before it was read";
        EXPECT_EQ(value, before->second) << "register 0x" << std::hex << address << " left changed";
    }
}

} // namespace vexa::test
