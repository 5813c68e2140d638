// The super-I/O and sensor queries (slots 117-119) after a scan of the x58
// sample: its W83667HG is named, a role no sensor has gives no value, and
// the first sensor of a class and role answers.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "app/local_info_parser.h"
#include "app/settings.h"
#include "machine/image_loader.h"
#include "machine/machine.h"
#include "sdk/core/device.h"
#include "sdk/core/sdk.h"
#include "sdk/core/sensor.h"
#include "tests/support/test_paths.h"

namespace {

struct QueryLayer {
    VexaSettings settings;
    int noValidation = 0;
    CLocalInfoParser parser{settings, noValidation};
    ~QueryLayer() { parser.Close(); }

    // The driver installed, then the scan.
    void Scan() {
        int error = 0, detail = 0;
        ASSERT_EQ(parser.Init(&error), 1) << error;
        ASSERT_EQ(parser.Scan(&error, &detail), 1);
    }
};

std::unique_ptr<vexa::machine::Machine> X58Sample() {
    std::string error;
    auto image = vexa::machine::loadMachineImage(vexa::test::sourcePath("machines/x58-nehalem"), error);
    EXPECT_TRUE(image) << error;
    return image;
}

std::wstring LPCIO(int (CInfoParser::*query)(int, wchar_t*), CInfoParser& parser, int index) {
    wchar_t text[kInfoTextChars] = L"untouched";
    return (parser.*query)(index, text) ? std::wstring(text) : L"(0) " + std::wstring(text);
}

TEST(MonitorQueries, TheX58SampleNamesItsSuperIoChipOnlyAtIndexZero) {
    vexa::machine::ScopedMachine machine(X58Sample());
    QueryLayer layer;
    layer.Scan();
    CInfoParser& parser = layer.parser;
    EXPECT_EQ(LPCIO(&CInfoParser::GetLPCIOVendor, parser, 0), L"Winbond");
    EXPECT_EQ(LPCIO(&CInfoParser::GetLPCIOModel, parser, 0), L"W83667HG");
    EXPECT_EQ(LPCIO(&CInfoParser::GetLPCIOModel, parser, 1), L"(0) untouched");
    int device = 7, index = 7;
    EXPECT_FLOAT_EQ(parser.GetSensorValue(0x6000100, &device, &index), -1.0f);
    EXPECT_EQ(device, 7);
    EXPECT_EQ(index, 7);
    // The W83667HG's core voltage: register 0x20 = 0x9E at 8 mV per step.
    EXPECT_NEAR(parser.GetSensorValue(0x1000100, &device, &index), 0x9E * 0.008, 1e-6);
    EXPECT_EQ(device, -1);
}

// The first sensor of the class and role wins, whatever its index; its
// position in its device's sensor list comes back.
TEST(MonitorQueries, SensorIsFoundByClassAndRole) {
    vexa::machine::ScopedMachine machine(X58Sample());
    QueryLayer layer;
    layer.Scan();
    CMainboard* board = GetSDK()->m_pMainboard;
    ASSERT_NE(board, nullptr);
    // The board's own sensors (its chip's, its ACPI thermal zone's) come
    // first; role 0x05 is none of theirs.
    const int before = board->m_pSensors ? int(board->m_pSensors->GetCount()) : 0;
    auto* plain = new CTemperatureSensor(0);
    auto* memory = new CTemperatureSensor(3);
    memory->m_dwId |= 0x05000000;
    memory->SetValue(42.0f, 1);
    for (CSensor* sensor : {static_cast<CSensor*>(plain), static_cast<CSensor*>(memory)}) {
        GetSDK()->m_pSensors->AddTail(sensor);
        board->AddSensor(sensor);
    }
    int device = 7, index = 7;
    EXPECT_FLOAT_EQ(layer.parser.GetSensorValue(0x5000201, &device, &index), 42.0f);
    EXPECT_EQ(device, -1);
    EXPECT_EQ(index, before + 1);
}

} // namespace
