// ACPI through the driver: the namespace walk and method evaluation of a
// simulated machine, the global lock, the host without a namespace, and the
// reading of a method's output buffer whatever its fields claim.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "sdk/core/list.h"
#include "sdk/system/acpi_node.h"
#include "tests/sdk/hw/kmdriver_test_support.h"

namespace vexa::test {
namespace {

using vexa::test::PrintTo;

// Relations of GetACPINode as the stand-in driver numbers them.
constexpr uint32_t kParent = 1, kFirstChild = 2, kNextSibling = 3;

const char kNamespace[] = R"({"acpi_namespace": {
  "_SB_": {"PCI0": {}, "ATKD": {"RTMP": {"returns": [42, "0x1234"]}}}
}})";

std::string nameOf(const CACPITreeNode* node) {
    if (!node) return "(none)";
    char name[5];
    node->GetName(name);
    return name;
}

// Owns the nodes a walk returns.
class Nodes {
public:
    CACPITreeNode* keep(CACPITreeNode* node) {
        nodes_.emplace_back(node);
        return node;
    }

private:
    std::vector<std::unique_ptr<CACPITreeNode>> nodes_;
};

TEST_F(KMDriverOnMachine, WalksTheNamespaceAndEvaluatesAMethod) {
    install(simulatedMachine(kNamespace));
    CKMDriver& driver = lockedDriver();
    Nodes nodes;
    uint32_t root[2] = {};
    CACPITreeNode* top = nodes.keep(driver.GetACPIRoot(root));
    ASSERT_NE(top, nullptr);
    EXPECT_EQ(nameOf(top), "\\___");
    EXPECT_EQ(root[0], top->GetHandleHigh());
    EXPECT_EQ(root[1], top->GetHandleLow());

    CACPITreeNode* bus = nodes.keep(driver.GetACPINode(top, kFirstChild));
    CACPITreeNode* pci = nodes.keep(driver.GetACPINode(bus, kFirstChild));
    CACPITreeNode* atkd = nodes.keep(driver.GetACPINode(pci, kNextSibling));
    CACPITreeNode* method = nodes.keep(driver.GetACPINode(atkd, kFirstChild));
    EXPECT_EQ(nameOf(bus), "_SB_");
    EXPECT_EQ(nameOf(pci), "PCI0");
    EXPECT_EQ(nameOf(atkd), "ATKD");
    ASSERT_EQ(nameOf(method), "RTMP");
    EXPECT_EQ(nameOf(nodes.keep(driver.GetACPINode(method, kParent))), "ATKD");
    EXPECT_EQ(driver.GetACPINode(method, kFirstChild), nullptr);

    CTList<CACPIMethod> results;
    EXPECT_EQ(driver.EvaluateACPIMethod(root, method, &results), 1);
    CTListIterator<CACPIMethod> it(&results);
    std::vector<uint32_t> values;
    for (CACPIMethod* value = it.GetFirst(); value; value = it.GetNext()) {
        EXPECT_EQ(value->m_dwType, CACPIMethod::kTypeInteger);
        EXPECT_EQ(value->m_bIsSet, 1u);
        values.push_back(value->m_dwValue);
    }
    EXPECT_EQ(values, (std::vector<uint32_t>{42, 0x1234}));
    results.DeleteAll();

    // A node that is no method does not evaluate.
    EXPECT_EQ(driver.EvaluateACPIMethod(root, atkd, &results), 0);
    EXPECT_EQ(results.GetCount(), 0u);
}

TEST_F(KMDriverOnMachine, GlobalLockIsTakenOnceAndGivenBack) {
    install(simulatedMachine(kNamespace));
    CKMDriver& driver = lockedDriver();
    constexpr uint32_t kAcquire = 1, kRelease = 0;
    EXPECT_EQ(driver.SendBoardRequest(kAcquire, 0, 0xCFFDE000, 0xFFFFFFFF, 0x8086, 1000), 1);
    EXPECT_EQ(driver.SendBoardRequest(kAcquire, 0, 0xCFFDE000, 0x800, 0x8086, 1000), 0);
    EXPECT_EQ(driver.SendBoardRequest(kRelease, 0, 0xCFFDE000, 0x800, 0x8086, 100), 1);
    EXPECT_EQ(driver.SendBoardRequest(kRelease, 0, 0xCFFDE000, 0x800, 0x8086, 100), 0);
}

TEST_F(KMDriverTest, HostWithoutANamespaceHasNoRoot) {
    CKMDriver& driver = lockedDriver();
    uint32_t root[2] = {7, 7};
    EXPECT_EQ(driver.GetACPIRoot(root), nullptr);
    EXPECT_EQ(root[0], 7u);
    EXPECT_EQ(root[1], 7u);
}

// ---- The output buffer ----

// Little-endian output buffer bytes.
class Output {
public:
    Output& dword(uint32_t value) {
        for (int i = 0; i < 4; ++i) bytes_.push_back(uint8_t(value >> (8 * i)));
        return *this;
    }
    Output& argument(uint16_t type, std::vector<uint8_t> data, uint16_t statedLength) {
        for (uint16_t v : {type, statedLength}) {
            bytes_.push_back(uint8_t(v));
            bytes_.push_back(uint8_t(v >> 8));
        }
        bytes_.insert(bytes_.end(), data.begin(), data.end());
        return *this;
    }
    Output& integer(uint32_t value) {
        return argument(0, {uint8_t(value), uint8_t(value >> 8), uint8_t(value >> 16), uint8_t(value >> 24)}, 4);
    }
    std::vector<uint8_t> bytes() const { return bytes_; }

private:
    std::vector<uint8_t> bytes_;
};

constexpr uint32_t kSignature = 0x426F6541;

struct OutputCase {
    const char* name;
    std::vector<uint8_t> bytes;
    size_t visible;  // how many of the bytes the parser is given
    bool signature;
    std::vector<std::vector<uint32_t>> arguments;  // {type, value, set}
};

class ACPIMethodOutput : public ::testing::TestWithParam<OutputCase> {};

TEST_P(ACPIMethodOutput, ReadsArgumentsWithinTheBufferAndTheStatedLength) {
    const OutputCase& c = GetParam();
    CTList<CACPIMethod> results;
    EXPECT_EQ(CKMDriver::ParseACPIMethodOutput(std::span(c.bytes).first(c.visible), &results), c.signature);
    std::vector<std::vector<uint32_t>> arguments;
    CTListIterator<CACPIMethod> it(&results);
    for (CACPIMethod* value = it.GetFirst(); value; value = it.GetNext())
        arguments.push_back({value->m_dwType, value->m_dwValue, value->m_bIsSet});
    EXPECT_EQ(arguments, c.arguments);
    results.DeleteAll();
}

// 12 header bytes, then 8 bytes per integer argument. The bytes past what
// the parser is given hold one more integer, 99, which must never appear.
std::vector<uint8_t> withHiddenArgument(Output output) { return output.integer(99).bytes(); }

INSTANTIATE_TEST_SUITE_P(
    , ACPIMethodOutput,
    ::testing::Values(
        OutputCase{"TwoIntegers", Output().dword(kSignature).dword(28).dword(2).integer(42).integer(7).bytes(),
                   28, true, {{0, 42, 1}, {0, 7, 1}}},
        OutputCase{"WrongSignature", Output().dword(0x12345678).dword(20).dword(1).integer(42).bytes(), 20,
                   false, {}},
        OutputCase{"CountBeyondTheArguments",
                   withHiddenArgument(Output().dword(kSignature).dword(20).dword(1000).integer(42)), 28, true,
                   {{0, 42, 1}}},
        OutputCase{"LengthBeyondTheBuffer",
                   withHiddenArgument(Output().dword(kSignature).dword(0xFFFFFFFF).dword(5).integer(42)), 20,
                   true, {{0, 42, 1}}},
        OutputCase{"LengthShorterThanTheHeader", Output().dword(kSignature).dword(4).dword(1).integer(42).bytes(),
                   20, true, {}},
        OutputCase{"ArgumentCutByTheLength",
                   Output().dword(kSignature).dword(24).dword(2).integer(42).integer(7).bytes(), 28, true,
                   {{0, 42, 1}}},
        OutputCase{"DataLengthPastTheEnd",
                   Output().dword(kSignature).dword(28).dword(2).integer(42).argument(0, {1, 0, 0, 0}, 0xFFFF).bytes(),
                   28, true, {{0, 42, 1}}},
        OutputCase{"StringAndShortInteger",
                   Output().dword(kSignature).dword(26).dword(2).argument(1, {'a', 'b', 'c', 0}, 4)
                       .argument(0, {0x34, 0x12}, 2).bytes(),
                   26, true, {{1, 0, 0}, {0, 0x1234, 1}}},
        OutputCase{"EmptyArgumentsStillAdvance",
                   Output().dword(kSignature).dword(24).dword(3).argument(2, {}, 0).integer(5).bytes(), 24, true,
                   {{2, 0, 0}, {0, 5, 1}}},
        OutputCase{"ShorterThanAHeader", Output().dword(kSignature).dword(8).bytes(), 8, false, {}}),
    CaseName());

} // namespace
} // namespace vexa::test
