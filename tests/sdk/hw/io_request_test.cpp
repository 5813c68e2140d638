// Requests of register spaces: their fields before use and their report
// lines.
#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "sdk/core/report_generator.h"
#include "sdk/hw/io_request.h"
#include "tests/sdk/hw/kmdriver_test_support.h"

namespace vexa::test {
namespace {

using vexa::test::PrintTo;

struct RequestCase {
    const char* name;
    std::function<CIORequest*()> make;
    uint32_t kind;
    const char* line;  // Dump's output
};

class Requests : public ::testing::TestWithParam<RequestCase> {};

TEST_P(Requests, StartUnsetAndReportTheirTarget) {
    std::unique_ptr<CIORequest> request(GetParam().make());
    EXPECT_EQ(request->GetKind(), GetParam().kind);
    EXPECT_EQ(request->m_dwOperation, uint32_t(IOOP_UNSET));
    EXPECT_EQ(request->m_dwRegister, 0xFFFFFFFFu);
    EXPECT_EQ(request->m_dwData, 0u);
    EXPECT_EQ(request->m_pBuffer, nullptr);
    CReportGenerator_Buffer report;
    request->Dump(&report);
    EXPECT_STREQ(report.GetText(), GetParam().line);
}

INSTANTIATE_TEST_SUITE_P(
    , Requests,
    ::testing::Values(RequestCase{"Lpc", [] { return new CLPCRequest; }, IOREQUEST_LPC, ""},
                      RequestCase{"Pmio", [] { return new CPMIORequest; }, IOREQUEST_PMIO, ""},
                      RequestCase{"PciUnset", [] { return new CPCIRequest; }, IOREQUEST_PCI,
                                  "PCI request\tbus -1, device -1, function -1\n"},
                      RequestCase{"Pci", [] { return new CPCIRequest(0xFF, 31, 7); }, IOREQUEST_PCI,
                                  "PCI request\tbus 255, device 31, function 7\n"},
                      RequestCase{"SmbusUnset", [] { return new CSMBusRequest; }, IOREQUEST_SMBUS,
                                  "SMBus request\t\tchannel 0xFF, address 0xFF\n"},
                      RequestCase{"UGuru", [] { return new UGuru_Request(0x1234, 0x2A); }, IOREQUEST_UGURU,
                                  "UGuru request\tbank 0x2A\n"},
                      RequestCase{"I2c", [] { return new CI2CRequest(3, 0x50); }, IOREQUEST_I2C,
                                  "I2C request\t\tbus 0x3, device 0x50\n"}),
    CaseName());

} // namespace
} // namespace vexa::test
