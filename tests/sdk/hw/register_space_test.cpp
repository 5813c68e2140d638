// What every register space shares (its base, size, report line and byte
// access), the classes that run no requests, and the index/data spaces
// inside a device's PCI configuration.
#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "sdk/core/report_generator.h"
#include "sdk/hw/io_request.h"
#include "sdk/hw/io_space.h"
#include "sdk/hw/register_space_indirect.h"
#include "sdk/hw/register_space_lpc.h"
#include "sdk/hw/register_space_pci.h"
#include "sdk/hw/register_space_pmio.h"
#include "tests/sdk/hw/access_test_support.h"

namespace vexa::test {
namespace {

using machine::AccessDir;
using machine::AccessKind;
using machine::PciAddress;
using vexa::test::PrintTo;

std::string reportLine(CRegisterSpace& space) {
    CReportGenerator_Buffer report;
    space.Dump(&report);
    return report.GetText();
}

// ---- Base, size and report line ----

TEST(RegisterSpace, WithoutAnIOSpaceItHasNoBaseAndItsLineShowsTheClass) {
    CRegisterSpace space(REGSPACE_PCI, nullptr);
    EXPECT_EQ(space.GetBaseHigh(), 0xFFFFFFFFu);
    EXPECT_EQ(space.GetBaseLow(), 0xFFFFFFFFu);
    EXPECT_EQ(space.GetSize(), 0xFFFFFFFFu);
    uint8_t byte = 0x12;
    EXPECT_EQ(space.ReadByte(0, &byte), 0);
    EXPECT_EQ(space.WriteByte(0, 0), 0);
    EXPECT_EQ(byte, 0x12);
    EXPECT_EQ(reportLine(space), "Register space\t\tclass = 0x2\n");
}

struct DumpCase {
    const char* name;
    std::function<CRegisterSpace*(CIOSpace*)> make;
    std::function<CIOSpace*()> space;
    const char* line;
};

class RegisterSpaceDump : public ::testing::TestWithParam<DumpCase> {};

TEST_P(RegisterSpaceDump, WritesOneLine) {
    std::unique_ptr<CIOSpace> io(GetParam().space());
    std::unique_ptr<CRegisterSpace> space(GetParam().make(io.get()));
    EXPECT_EQ(reportLine(*space), GetParam().line);
    if (io) {
        EXPECT_EQ(space->GetBaseHigh(), io->GetBaseHigh());
        EXPECT_EQ(space->GetBaseLow(), io->GetBaseLow());
        EXPECT_EQ(space->GetSize(), io->GetSize());
    }
}

INSTANTIATE_TEST_SUITE_P(
    , RegisterSpaceDump,
    ::testing::Values(
        DumpCase{"Pmio", [](CIOSpace* io) { return new PMIO_RegisterSpace(io); },
                 [] { return new CPortIOSpace(0x800, 0x80); }, "Register space\t\tclass = 0x8, base address = 0x0800\n"},
        DumpCase{"BankedPmio", [](CIOSpace* io) { return new Banked_PMIO_RegisterSpace(io, 0x4E); },
                 [] { return new CPortIOSpace(0x290, 8); }, "Register space\t\tclass = 0x17, base address = 0x0290\n"},
        DumpCase{"PciExpressAboveFourGigabytes", [](CIOSpace* io) { return new CPCIExpressRegisterSpace(io); },
                 [] { return new CMemoryIOSpace(0xF, 0xE0000000, 0x10000000); },
                 "Register space\t\tclass = 0x3, base address = 0xFE0000000\n"},
        DumpCase{"Lpc", [](CIOSpace* io) { return new CLPCRegisterSpace(io, 0, 1); },
                 [] { return new CPortIOSpace(0x2E, 2); }, "Register space\t\tLPC, base address = 0x02E\n"},
        DumpCase{"LpcWithoutSpace", [](CIOSpace* io) { return new CLPCRegisterSpace(io, 0, 1); },
                 []() -> CIOSpace* { return nullptr; }, "Register space\t\tLPC, base address = 0xFFFFFFFFFFFFFFFF\n"},
        DumpCase{"Indexed", [](CIOSpace*) { return new CIndirectRegisterSpace(nullptr, nullptr, 0x60, 0x64); },
                 []() -> CIOSpace* { return nullptr; }, "Register space\t\tclass = 0x18\n"},
        DumpCase{"Rs600MemoryController", [](CIOSpace*) { return new ATI_RS600_MC_RegisterSpace(nullptr, nullptr); },
                 []() -> CIOSpace* { return nullptr; }, "Register space\t\tclass = 0x10\n"},
        DumpCase{"Via686Monitor", [](CIOSpace* io) { return new VIA_686AB_HWM_RegisterSpace(io); },
                 [] { return new CPortIOSpace(0xEC00, 0x80); }, "Register space\t\tclass = 0x13, base address = 0x0EC00\n"}),
    CaseName());

// ---- Classes that run no requests ----

struct NoRequestsCase {
    const char* name;
    std::function<CRegisterSpace*(CIOSpace*, CRegisterSpace*)> make;
};

class RegisterSpacesWithoutRequests : public AccessTest, public ::testing::WithParamInterface<NoRequestsCase> {};

TEST_P(RegisterSpacesWithoutRequests, ExecuteFailsUnsent) {
    startX58();
    CPortIOSpace ports(0x800, 0x80);
    CPCIRegisterSpace pci(nullptr);
    std::unique_ptr<CRegisterSpace> space(GetParam().make(&ports, &pci));
    record();
    CPCIRequest pciRequest(0, 0, 0);
    CPMIORequest pmioRequest;
    for (CIORequest* request : {static_cast<CIORequest*>(&pciRequest), static_cast<CIORequest*>(&pmioRequest)})
        for (uint32_t operation : {uint32_t(IOOP_READ_BYTE), uint32_t(IOOP_READ_DWORD), uint32_t(IOOP_READ_BLOCK)}) {
            request->m_dwOperation = operation;
            request->m_dwRegister = 0;
            EXPECT_EQ(space->Execute(request), 0);
            EXPECT_EQ(space->LockedExecute(request), 0);
            EXPECT_EQ(space->ExecuteUnlocked(request), 0);
        }
    EXPECT_TRUE(hw().accessLog().empty());
}

INSTANTIATE_TEST_SUITE_P(
    , RegisterSpacesWithoutRequests,
    ::testing::Values(
        NoRequestsCase{"Base", [](CIOSpace* io, CRegisterSpace*) { return new CRegisterSpace(REGSPACE_SMBUS, io); }},
        NoRequestsCase{"BankedPmio", [](CIOSpace* io, CRegisterSpace*) { return new Banked_PMIO_RegisterSpace(io, 0x4E); }},
        NoRequestsCase{"Via686Monitor", [](CIOSpace* io, CRegisterSpace*) { return new VIA_686AB_HWM_RegisterSpace(io); }},
        NoRequestsCase{"Indexed",
                       [](CIOSpace*, CRegisterSpace* inner) {
                           return new CIndirectRegisterSpace(inner, new CPCIRequest(0, 0, 0), 0x60, 0x64);
                       }},
        NoRequestsCase{"Rs600MemoryController", [](CIOSpace*, CRegisterSpace* inner) {
                           return new ATI_RS600_MC_RegisterSpace(inner, new CPCIRequest(0, 0, 0));
                       }}),
    CaseName());

// ---- Index/data registers in PCI configuration space ----

class IndirectSpaceTest : public AccessTest {
protected:
    void SetUp() override {
        AccessTest::SetUp();
        startX58();
    }

    static constexpr PciAddress kDevice{0, 0, 0};
    CPCIRegisterSpace inner_{nullptr};
};

TEST_F(IndirectSpaceTest, ReadWritesTheIndexThenReadsTheData) {
    ATI_RS600_MC_RegisterSpace space(&inner_, new CPCIRequest(0, 0, 0));
    EXPECT_EQ(space.GetClass(), uint32_t(REGSPACE_RS600_MC));
    ASSERT_TRUE(hw().writePciConfig(kDevice, 0xEC, std::vector<uint8_t>{0x78, 0x56, 0x34, 0x12}));
    record();
    uint32_t value = 0;
    ASSERT_EQ(space.ReadIndexed(0x1A, &value), 1);
    EXPECT_EQ(value, 0x12345678u);
    const auto log = ofKind(hw().accessLog(), AccessKind::PciConfig);
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0].dir, AccessDir::Write);
    EXPECT_EQ(log[0].address, machine::pciLinear(kDevice, 0xE8));
    EXPECT_EQ(log[0].value, 0x1Au);
    EXPECT_EQ(log[1].dir, AccessDir::Read);
    EXPECT_EQ(log[1].address, machine::pciLinear(kDevice, 0xEC));
}

TEST_F(IndirectSpaceTest, FailuresLeaveAllOnes) {
    CIndirectRegisterSpace orphan(nullptr, new CPCIRequest(0, 0, 0), 0x60, 0x64);
    uint32_t value = 0;
    EXPECT_EQ(orphan.ReadIndexed(1, &value), 0);
    EXPECT_EQ(value, 0xFFFFFFFFu);

    CIndirectRegisterSpace space(&inner_, new CPCIRequest(0, 0, 0), 0x60, 0x64);
    hw().injectFault(machine::Fault{AccessKind::PciConfig, AccessDir::Read, machine::pciLinear(kDevice, 0x64),
                                    machine::pciLinear(kDevice, 0x67)});
    value = 0;
    EXPECT_EQ(space.ReadIndexed(0x1A, &value), 0);
    EXPECT_EQ(value, 0xFFFFFFFFu) << "not the index left in the request";
    EXPECT_EQ(space.ReadData(&value), 0);
    EXPECT_EQ(value, 0xFFFFFFFFu);
}

TEST(IndirectSpace, OwnsItsRequestButNotItsInnerSpace) {
    struct CountedRequest : CPCIRequest {
        explicit CountedRequest(int* deleted) : CPCIRequest(0, 0, 0), deleted_(deleted) {}
        ~CountedRequest() override { ++*deleted_; }
        int* deleted_;
    };
    int deleted = 0;
    CPCIRegisterSpace inner(nullptr);
    { CIndirectRegisterSpace space(&inner, new CountedRequest(&deleted), 0x60, 0x64); }
    { ATI_RS600_MC_RegisterSpace space(&inner, new CountedRequest(&deleted)); }
    EXPECT_EQ(deleted, 2);
    EXPECT_EQ(inner.GetClass(), uint32_t(REGSPACE_PCI));
}

} // namespace
} // namespace vexa::test
