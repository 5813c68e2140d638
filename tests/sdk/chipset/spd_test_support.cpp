#include "tests/sdk/chipset/spd_test_support.h"

#include <cstring>

#include "machine/smbus_files.h"
#include "sdk/chipset/spd_interface.h"
#include "sdk/core/report_generator.h"
#include "sdk/core/sdk.h"
#include "sdk/hw/smbus_interface.h"
#include "tests/support/test_paths.h"

namespace vexa::test {

SpdImage& SpdImage::Set(size_t offset, std::initializer_list<uint8_t> values) {
    for (uint8_t value : values) Set(offset++, value);
    return *this;
}

SpdImage& SpdImage::Text(size_t offset, const std::string& text) {
    for (char c : text) Set(offset++, static_cast<uint8_t>(c));
    return *this;
}

std::vector<uint8_t> SpdFileBytes(const std::string& file) {
    const std::string text = readFile(dataPath("spd/" + file));
    if (!file.ends_with(".hex")) return std::vector<uint8_t>(text.begin(), text.end());
    std::vector<uint8_t> bytes;
    std::string error;
    EXPECT_TRUE(machine::parseSpdHexText(text, bytes, error)) << file << ": " << error;
    return bytes;
}

std::unique_ptr<CModuleInfo> Decoded(const std::vector<uint8_t>& bytes) {
    auto record = std::make_unique<CModuleInfo>();
    record->m_iIndex = 0;
    record->m_ucAddress = 0x50;
    uint8_t* buffer = record->AllocateSPD(static_cast<int>(bytes.size()));
    if (!bytes.empty()) std::memcpy(buffer, bytes.data(), bytes.size());
    record->m_iSPDLength = static_cast<int>(bytes.size());
    CSPDInterface::DecodeRecord(record.get());
    return record;
}

std::string ModuleReport(const CModuleInfo& record) {
    CReportGenerator_Buffer report;
    CSPDInterface::WriteModule(&report, record);
    return report.GetText();
}

int FakeSPDBus::ReadByte(uint8_t slave, uint32_t reg, uint8_t* value) {
    m_addressed.push_back(slave);
    if (auto eeprom = eeproms_.find(slave); eeprom != eeproms_.end()) {
        const size_t offset = page_ * 256 + (reg & 0xFF);
        if (offset >= eeprom->second.size()) return 0;
        *value = eeprom->second[offset];
        return 1;
    }
    if (auto sensor = sensors_.find(slave); sensor != sensors_.end()) {
        *value = static_cast<uint8_t>(sensor->second[reg & 0x0F] >> 8);
        return 1;
    }
    return 0;
}

int FakeSPDBus::ReadWord(uint8_t slave, uint32_t reg, uint8_t* low, uint8_t* high) {
    m_addressed.push_back(slave);
    auto sensor = sensors_.find(slave);
    if (sensor == sensors_.end()) return 0;
    // The first byte on the bus is the register's high byte.
    *low = static_cast<uint8_t>(sensor->second[reg & 0x0F] >> 8);
    *high = static_cast<uint8_t>(sensor->second[reg & 0x0F]);
    return 1;
}

int FakeSPDBus::WriteByte(uint8_t slave, uint32_t, uint8_t) {
    m_addressed.push_back(slave);
    bool paged = false;
    for (const auto& [address, bytes] : eeproms_) paged = paged || bytes.size() == 512;
    if (!paged || (slave != kSpdPage0Address && slave != kSpdPage1Address)) return 0;
    page_ = slave == kSpdPage1Address ? 1 : 0;
    return 1;
}

void SPDBusTest::SetUp() {
    smbus_ = new CSMBusInterface;
    GetSDK()->m_pSMBus = smbus_;
    GetSDK()->m_pInterfaces->AddTail(smbus_);
}

void SPDBusTest::TearDown() { ReleaseSDK(); }

FakeSPDBus& SPDBusTest::AddBus(uint32_t controllerId) {
    auto* bus = new FakeSPDBus;
    smbus_->AddController(bus, controllerId);
    return *bus;
}

std::array<uint16_t, 16> Jc42Registers(uint16_t manufacturer, uint16_t temperature) {
    std::array<uint16_t, 16> registers{};
    std::string error;
    EXPECT_TRUE(machine::parseJc42Registers(readFile(dataPath("smbus-sensors/jc42.regs")), registers, error)) << error;
    registers[5] = temperature;
    registers[6] = manufacturer;
    return registers;
}

} // namespace vexa::test
