// Devices, composites and their non-owning lists.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "sdk/chipset/module_info.h"
#include "sdk/core/device.h"
#include "sdk/core/report_generator.h"
#include "sdk/core/sensor.h"

namespace {

class Processor final : public CCompositeDevice {
public:
    Processor() : CCompositeDevice(DEVICE_PROCESSOR) {}
    void Dump(CReportGenerator*) override {}
};

TEST(Device, CompositeKindsCarryBit31AndWalkersTestBits) {
    Processor processor;
    EXPECT_EQ(processor.m_dwKind, 0x80000004u);
    EXPECT_TRUE(processor.m_dwKind & DEVICE_PROCESSOR);
    CMainboard board("P6T6 WS REVOLUTION");
    EXPECT_EQ(board.m_dwKind, 0x80000400u);
    EXPECT_EQ(CMemoryModule().m_dwKind, 0x80000800u);
    EXPECT_EQ(CWaterCooler("Asetek CC").m_dwKind, 0x80004000u);
    EXPECT_STREQ(board.GetName(), "P6T6 WS REVOLUTION");
    EXPECT_EQ(board.GetSerialNumber(), nullptr);
    EXPECT_EQ(processor.GetName(), nullptr);
    EXPECT_EQ(processor.m_pChildren, nullptr);  // nothing to walk
    EXPECT_EQ(processor.m_pSensors, nullptr);
}

TEST(Device, NamesAreCutTo255Characters) {
    const std::string longName(400, 'n');
    CMainboard board(longName.c_str());
    EXPECT_EQ(std::string(board.m_szName), std::string(255, 'n'));
}

TEST(Device, DeletingACompositeLeavesItsChildrenAndSensorsAlive) {
    auto* eeprom = new Processor;
    auto* sensor = new CSensor(0x200);
    auto* module = new CMemoryModule;
    module->AddChild(eeprom);
    module->AddSensor(sensor);
    EXPECT_EQ(module->FindSensor(sensor), sensor);
    CMainboard other("board");
    CSensor foreign(0x100);
    other.AddSensor(&foreign);
    EXPECT_EQ(module->FindSensor(&foreign), nullptr);
    EXPECT_EQ(CMainboard("x").FindSensor(sensor), nullptr);  // no sensor list at all
    delete module;
    // Still usable: the root's lists own these.
    EXPECT_EQ(eeprom->m_dwKind, 0x80000004u);
    EXPECT_EQ(sensor->m_dwId, 0x200u);
    delete eeprom;
    delete sensor;
}

TEST(Device, MemoryModuleSerialComesFromItsRecord) {
    CMemoryModule module;
    EXPECT_STREQ(module.GetName(), "Memory Module");
    EXPECT_EQ(module.GetSerialNumber(), nullptr);
    CModuleInfo record;
    std::snprintf(record.m_szSerialNumber, sizeof record.m_szSerialNumber, "%08X", 0x1234ABCDu);
    module.m_pModuleInfo = &record;
    EXPECT_STREQ(module.GetSerialNumber(), "1234ABCD");
}

TEST(Device, MainboardReportsItsName) {
    CReportGenerator_Buffer report;
    CMainboard board("ASUSTeK Computer INC. P6T6 WS REVOLUTION");
    board.Dump(&report);
    EXPECT_EQ(std::string(report.GetText()), "\tName\t\t\tASUSTeK Computer INC. P6T6 WS REVOLUTION\n");
}

} // namespace
