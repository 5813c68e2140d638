// The ACPI namespace through the driver on the x58 sample: the root, the
// searches by name, method evaluation, the global lock and the "ACPI"
// report section; a namespace whose answers never end; no driver.
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "sdk/core/sdk.h"
#include "tests/sdk/system/acpi_test_support.h"
#include "tests/support/test_paths.h"

namespace vexa::test {
namespace {

constexpr uint32_t kAllFeatures = 0x7FFFFFFF;

const std::vector<std::string> kX58TopLevel = {"_GPE", "_PR_", "_SB_", "_SI_", "_TZ_"};

class AcpiNamespace : public AcpiOnMachine {
protected:
    // The x58 sample with its driver, and an interface that read its tables.
    CACPIInterface& StartX58() {
        install(loadMachine(sourcePath("machines/x58-nehalem")));
        GetSDK()->m_pDriver = &lockedDriver();
        EXPECT_EQ(GetSDK()->CreateACPIInterface(0, 0, kAllFeatures), 1);
        return *GetSDK()->m_pACPI;
    }

    void TearDown() override {
        nodes_.DeleteAll();
        AcpiOnMachine::TearDown();
    }

    CTList<CACPITreeNode> nodes_;
};

TEST_F(AcpiNamespace, RootAndChildrenByName) {
    CACPIInterface& acpi = StartX58();
    const std::unique_ptr<CACPITreeNode> root(acpi.GetRootNode());
    ASSERT_TRUE(root);
    EXPECT_EQ(NameOf(root.get()), "\\___");
    EXPECT_EQ(acpi.m_dwRootHandle[0], root->GetHandleHigh());
    EXPECT_EQ(acpi.m_dwRootHandle[1], root->GetHandleLow());
    ASSERT_TRUE(acpi.m_pRootNode);
    EXPECT_EQ(acpi.m_pRootNode->m_qwHandle, root->m_qwHandle);
    EXPECT_EQ(acpi.m_pRootNode->m_dwName, root->m_dwName);
    EXPECT_NE(acpi.m_pRootNode.get(), root.get());

    CACPITreeNode* bus = acpi.FindChild(root.get(), "_SB_", &nodes_);
    EXPECT_EQ(NameOf(bus), "_SB_");
    EXPECT_EQ(NamesOf(&nodes_), (std::vector<std::string>{"_GPE", "_PR_", "_SB_"}));
    EXPECT_EQ(NameOf(acpi.FindChild(bus, "PCI0", &nodes_)), "PCI0");

    // A name no child has: every child is fetched once, and the sibling
    // that closes the ring is not kept.
    for (const char* name : {"NONE", "_SB", static_cast<const char*>(nullptr)}) {
        SCOPED_TRACE(name ? name : "no name");
        nodes_.DeleteAll();
        EXPECT_EQ(acpi.FindChild(root.get(), name, &nodes_), nullptr);
        EXPECT_EQ(NamesOf(&nodes_), kX58TopLevel);
    }
}

TEST_F(AcpiNamespace, DepthFirstSearchInPreOrder) {
    CACPIInterface& acpi = StartX58();
    CACPITreeNode* root = acpi.GetRootNode();
    CACPIInterface::KeepNode(root, &nodes_);
    CACPITreeNode* found = acpi.FindNode(root, "_ADR", &nodes_);
    EXPECT_EQ(NameOf(found), "_ADR");
    EXPECT_EQ(NamesOf(&nodes_),
              (std::vector<std::string>{"\\___", "_GPE", "_PR_", "CPU0", "CPU1", "CPU2", "CPU3", "CPU4", "CPU5",
                                        "CPU6", "CPU7", "_SB_", "PWRB", "_HID", "PCI0", "_HID", "_CID", "_ADR"}));

    CACPITreeNode* thermal = acpi.FindNode(root, "THRM", &nodes_);
    ASSERT_EQ(NameOf(thermal), "THRM");
    EXPECT_EQ(NameOf(acpi.FindNode(thermal, "_CRT", &nodes_)), "_CRT");
    EXPECT_EQ(acpi.FindNode(thermal, "SBRG", &nodes_), nullptr);  // only below the parent

    // No name: the whole tree is walked and nothing found.
    CTList<CACPITreeNode> all;
    EXPECT_EQ(acpi.FindNode(root, nullptr, &all), nullptr);
    EXPECT_EQ(all.GetCount(), 26u);
    all.DeleteAll();

    // Without a list the nodes not returned are deleted (the sanitizer
    // build would report them otherwise).
    CACPITreeNode* alone = acpi.FindNode(root, "SMB_", nullptr);
    EXPECT_EQ(NameOf(alone), "SMB_");
    delete alone;
}

TEST_F(AcpiNamespace, MethodsEvaluateWithTheRootHandle) {
    CACPIInterface& acpi = StartX58();
    CACPITreeNode* root = acpi.GetRootNode();
    CACPIInterface::KeepNode(root, &nodes_);
    const std::map<std::string, uint32_t> methods = {{"_TMP", 0xBB8}, {"_CRT", 0xE94}};
    for (const auto& [name, value] : methods) {
        SCOPED_TRACE(name);
        CACPITreeNode* method = acpi.FindNode(root, name.c_str(), &nodes_);
        ASSERT_TRUE(method);
        CTList<CACPIMethod> results;
        EXPECT_EQ(acpi.EvaluateMethod(method, &results), 1);
        ASSERT_EQ(results.GetCount(), 1u);
        CACPIMethod* result = results.m_pHead->m_pPayload;
        EXPECT_EQ(result->m_dwType, CACPIMethod::kTypeInteger);
        EXPECT_EQ(result->m_dwValue, value);
        results.DeleteAll();
    }
    // A device is no method.
    CTList<CACPIMethod> results;
    EXPECT_EQ(acpi.EvaluateMethod(acpi.FindNode(root, "THRM", &nodes_), &results), 0);
    EXPECT_EQ(results.GetCount(), 0u);
}

TEST_F(AcpiNamespace, GlobalLockTakenAndGivenBack) {
    CACPIInterface& acpi = StartX58();
    ASSERT_EQ(acpi.m_dwFACSAddress, 0xBF78E000u);
    EXPECT_NE(acpi.AcquireGlobalLock(10000), 0);
    EXPECT_EQ(acpi.AcquireGlobalLock(10000), 0);  // held already
    EXPECT_NE(acpi.ReleaseGlobalLock(), 0);
    EXPECT_EQ(acpi.ReleaseGlobalLock(), 0);

    // Without a FACS address no request is sent: the lock stays free.
    CACPIInterface unknown(0, 0, kAllFeatures);
    EXPECT_EQ(unknown.AcquireGlobalLock(10000), 0);
    EXPECT_NE(acpi.AcquireGlobalLock(10000), 0);

    // Close gives back a lock still held.
    acpi.Close();
    EXPECT_NE(acpi.AcquireGlobalLock(10000), 0);
    EXPECT_NE(acpi.ReleaseGlobalLock(), 0);
}

TEST_F(AcpiNamespace, ReportSectionOfTheX58) {
    CACPIInterface& acpi = StartX58();
    EXPECT_EQ(AcpiReport(acpi),
              "ACPI\n" + std::string(73, '-') + "\n\n"
              "ACPI Tree\t\t\n"
              "_GPE\n_PR_\n  CPU0\n  CPU1\n  CPU2\n  CPU3\n  CPU4\n  CPU5\n  CPU6\n  CPU7\n"
              "_SB_\n  PWRB\n    _HID\n  PCI0\n    _HID\n    _CID\n    _ADR\n    SBRG\n      _ADR\n"
              "    SMB_\n      _ADR\n"
              "_SI_\n_TZ_\n  THRM\n    _TMP\n    _CRT\n");
}

TEST_F(AcpiNamespace, WithoutADriverNothingIsAsked) {
    install(loadMachine(sourcePath("machines/x58-nehalem")));
    ASSERT_FALSE(GetSDK()->GetDriver());
    CACPIInterface acpi(0, 0, kAllFeatures);
    acpi.m_dwFACSAddress = 0xBF78E000;
    EXPECT_EQ(acpi.GetRootNode(), nullptr);
    EXPECT_FALSE(acpi.m_pRootNode);
    const uint32_t record[CACPITreeNode::kRecordDwords] = {0xFFFFF800, 0x80, 0, 0, 0, 0, 0, 0, 0x5F53425F};
    CACPITreeNode node(record);
    EXPECT_EQ(acpi.GetRelatedNode(&node, CACPIInterface::kFirstChild), nullptr);
    EXPECT_EQ(acpi.FindNode(&node, "PCI0", &nodes_), nullptr);
    CTList<CACPIMethod> results;
    EXPECT_EQ(acpi.EvaluateMethod(&node, &results), 0);
    EXPECT_EQ(acpi.AcquireGlobalLock(100), 0);
    EXPECT_EQ(acpi.ReleaseGlobalLock(), 0);
    EXPECT_EQ(AcpiReport(acpi), "ACPI\n" + std::string(73, '-') + "\n\nACPI Tree\t\t\n");
}

// ---- Namespaces the driver answers badly ----

// A namespace served from a table instead of the driver: handle -> (name,
// first child, next sibling); 0 means none.
class ScriptedNamespace : public CACPIInterface {
public:
    struct Node {
        uint32_t name;
        uint32_t firstChild;
        uint32_t nextSibling;
    };

    explicit ScriptedNamespace(std::map<uint32_t, Node> nodes)
        : CACPIInterface(0, 0, 0x7FFFFFFF), nodes_(std::move(nodes)) {}

    CACPITreeNode* GetRootNode() override { return Make(1); }
    CACPITreeNode* GetRelatedNode(CACPITreeNode* node, uint32_t relation) override {
        ++requests;
        if (!node) return nullptr;
        const auto it = nodes_.find(node->GetHandleLow());
        if (it == nodes_.end()) return nullptr;
        return Make(relation == kFirstChild ? it->second.firstChild : it->second.nextSibling);
    }

    uint32_t requests = 0;

private:
    CACPITreeNode* Make(uint32_t handle) {
        const auto it = nodes_.find(handle);
        if (!handle || it == nodes_.end()) return nullptr;
        const uint32_t record[CACPITreeNode::kRecordDwords] = {0, handle, 0, 0, 0, 0, 0, 0, it->second.name};
        return new CACPITreeNode(record);
    }

    std::map<uint32_t, Node> nodes_;
};

constexpr uint32_t Name(const char (&text)[5]) {
    return uint32_t(uint8_t(text[0])) | uint32_t(uint8_t(text[1])) << 8 | uint32_t(uint8_t(text[2])) << 16 |
           uint32_t(uint8_t(text[3])) << 24;
}

TEST(AcpiScriptedNamespace, ANamelessNodePrintsAsBrackets) {
    ScriptedNamespace acpi({{1, {Name("\\___"), 2, 0}}, {2, {0, 3, 2}}, {3, {Name("AB\0D"), 0, 3}}});
    EXPECT_EQ(AcpiReport(acpi), "ACPI\n" + std::string(73, '-') + "\n\nACPI Tree\t\t\n[ ]\n  AB\n");
}

TEST(AcpiScriptedNamespace, WalksEndWhereTheDriverNeverClosesARingOrLeadsBackUp) {
    struct Case {
        const char* name;
        std::map<uint32_t, ScriptedNamespace::Node> nodes;
    };
    const Case cases[] = {
        // 2 -> 3 -> 4 -> 3 -> ...: the siblings never come back to 2.
        {"a sibling ring without the first child",
         {{1, {Name("\\___"), 2, 0}}, {2, {Name("AAAA"), 0, 3}}, {3, {Name("BBBB"), 0, 4}}, {4, {Name("CCCC"), 0, 3}}}},
        // The child of 2 is 1, whose child is 2 again.
        {"a child that is an ancestor",
         {{1, {Name("\\___"), 2, 0}}, {2, {Name("AAAA"), 1, 2}}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedNamespace acpi(c.nodes);
        CTList<CACPITreeNode> nodes;
        CACPITreeNode* root = acpi.GetRootNode();
        EXPECT_EQ(acpi.FindNode(root, "NONE", &nodes), nullptr);
        EXPECT_LE(nodes.GetCount(), 65536u);
        nodes.DeleteAll();
        EXPECT_EQ(acpi.FindChild(root, "NONE", &nodes), nullptr);
        nodes.DeleteAll();
        acpi.requests = 0;
        const std::string report = AcpiReport(acpi);
        EXPECT_LE(acpi.requests, 2u * 65536u);
        EXPECT_LT(report.size(), 65536u * 140u);
        delete root;
    }
}

} // namespace
} // namespace vexa::test
