// The "acpi_namespace" section of machine.json: the order of the nodes,
// names and their padding, method results, the limits and the messages for
// malformed entries.
#include "machine/manifest.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace vexa::machine {
namespace {

std::vector<AcpiNamespaceNode> parseNamespace(const std::string& section) {
    Manifest manifest;
    std::string error;
    EXPECT_TRUE(parseManifest(R"({"acpi_namespace": )" + section + "}", manifest, error)) << error;
    return manifest.acpiNamespace;
}

std::string parseError(const std::string& section) {
    Manifest manifest;
    std::string error;
    EXPECT_FALSE(parseManifest(R"({"acpi_namespace": )" + section + "}", manifest, error)) << section;
    return error;
}

// "NAME parent" per node, "NAME parent ()" for a method: the shape of a
// namespace in a form a failed comparison shows readably.
std::vector<std::string> shape(const std::vector<AcpiNamespaceNode>& nodes) {
    std::vector<std::string> lines;
    for (const AcpiNamespaceNode& node : nodes)
        lines.push_back(node.name + " " + std::to_string(node.parent) + (node.method ? " ()" : ""));
    return lines;
}

std::vector<uint8_t> bytes(std::string_view text, bool terminated) {
    std::vector<uint8_t> result(text.begin(), text.end());
    if (terminated) result.push_back(0);
    return result;
}

TEST(AcpiNamespaceManifest, NodesFollowInPreOrderAndDocumentOrder) {
    // Neither sorted nor reverse-sorted: the document's order must survive.
    const auto nodes = parseNamespace(R"({
      "_SB_": {"PCI0": {"SBRG": {}, "GFX0": {"_ADR": {"returns": [0]}}},
               "ATKD": {"RTMP": {"returns": [42]}, "WMNB": {}},
               "AMW0": {}},
      "_TZ_": {"THRM": {"_TMP": {"returns": ["0xBB8"]}}},
      "_GPE": {}
    })");
    const std::vector<std::string> expected = {
        "\\___ -1", "_SB_ 0",  "PCI0 1", "SBRG 2",    "GFX0 2", "_ADR 4 ()", "ATKD 1",
        "RTMP 6 ()", "WMNB 6", "AMW0 1", "_TZ_ 0", "THRM 10", "_TMP 11 ()", "_GPE 0",
    };
    EXPECT_EQ(shape(nodes), expected);
    ASSERT_EQ(nodes.size(), expected.size());
    EXPECT_TRUE(nodes[5].results.size() == 1 && nodes[5].results[0] == AcpiValue::fromInteger(0));
    EXPECT_EQ(nodes[7].results, std::vector<AcpiValue>{AcpiValue::fromInteger(42)});
    EXPECT_EQ(nodes[12].results, std::vector<AcpiValue>{AcpiValue::fromInteger(3000)});
    for (const AcpiNamespaceNode& node : nodes) {
        if (!node.method) {
            EXPECT_TRUE(node.results.empty()) << node.name;
        }
    }
}

TEST(AcpiNamespaceManifest, EmptySectionIsTheRootAlone) {
    const auto nodes = parseNamespace("{}");
    ASSERT_EQ(nodes.size(), 1u);
    EXPECT_EQ(nodes[0].name, "\\___");
    EXPECT_EQ(nodes[0].name, AcpiNamespaceNode::kRootName);
    EXPECT_EQ(nodes[0].parent, -1);
    EXPECT_FALSE(nodes[0].method);
}

TEST(AcpiNamespaceManifest, ShortNamesArePaddedWithUnderscores) {
    struct Case {
        const char* key;
        const char* name;
    };
    const Case cases[] = {
        {"PCI", "PCI_"}, {"_", "____"}, {"A1", "A1__"}, {"_SB", "_SB_"}, {"EC0", "EC0_"}, {"H_EC", "H_EC"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.key);
        const auto nodes = parseNamespace(std::string("{\"") + c.key + "\": {}}");
        ASSERT_EQ(nodes.size(), 2u);
        EXPECT_EQ(nodes[1].name, c.name);
        EXPECT_EQ(nodes[1].name.size(), 4u);
    }
}

TEST(AcpiNamespaceManifest, MethodResultsOfEveryKind) {
    const auto nodes = parseNamespace(R"({"ATKD": {"RTMP": {"returns": [
        42, "0x2A", "0XFFFFFFFFFFFFFFFF", 18446744073709551615, "text", "", "42",
        {"buffer": "01 02 0a"}, {"buffer": ""}, {"buffer": " FF\t00 "}, {"string": "0x12"}
    ]}, "_STA": {"returns": []}}})");
    ASSERT_EQ(shape(nodes), (std::vector<std::string>{"\\___ -1", "ATKD 0", "RTMP 1 ()", "_STA 1 ()"}));
    const std::vector<AcpiValue> expected = {
        {AcpiValue::kInteger, {42, 0, 0, 0, 0, 0, 0, 0}},
        {AcpiValue::kInteger, {42, 0, 0, 0, 0, 0, 0, 0}},
        {AcpiValue::kInteger, std::vector<uint8_t>(8, 0xFF)},
        {AcpiValue::kInteger, std::vector<uint8_t>(8, 0xFF)},
        {AcpiValue::kString, bytes("text", true)},
        {AcpiValue::kString, {0}},
        {AcpiValue::kString, bytes("42", true)},  // a decimal string stays a string
        {AcpiValue::kBuffer, {0x01, 0x02, 0x0A}},
        {AcpiValue::kBuffer, {}},
        {AcpiValue::kBuffer, {0xFF, 0x00}},
        {AcpiValue::kString, bytes("0x12", true)},
    };
    EXPECT_EQ(nodes[2].results, expected);
    EXPECT_TRUE(nodes[3].method);
    EXPECT_TRUE(nodes[3].results.empty());
    // Integers are little-endian.
    EXPECT_EQ(AcpiValue::fromInteger(0x0102030405060708).data,
              (std::vector<uint8_t>{8, 7, 6, 5, 4, 3, 2, 1}));
    EXPECT_EQ(AcpiValue::kInteger, 0);
    EXPECT_EQ(AcpiValue::kString, 1);
    EXPECT_EQ(AcpiValue::kBuffer, 3);
}

TEST(AcpiNamespaceManifest, MalformedEntriesNameTheirPath) {
    struct Case {
        std::string section;
        const char* message;
    };
    const Case cases[] = {
        {"[]", "acpi_namespace: expected an object"},
        {"\"_SB_\"", "acpi_namespace: expected an object"},
        {R"({"_SB_": 1})", "acpi_namespace._SB_: expected an object"},
        {R"({"_SB_": {"PCI0": []}})", "acpi_namespace._SB_.PCI0: expected an object"},
        {R"({"_SB_": {"PCI0": null}})", "acpi_namespace._SB_.PCI0: expected an object"},
        {R"({"_SB_": {"PCI0X": {}}})", "acpi_namespace._SB_.PCI0X: \"PCI0X\" is longer than four characters"},
        {R"({"": {}})", "acpi_namespace.: an empty name"},
        {R"({"_sb_": {}})", "acpi_namespace._sb_: \"_sb_\" is not an ACPI name"},
        {R"({"0PCI": {}})", "acpi_namespace.0PCI: \"0PCI\" is not an ACPI name"},
        {R"({"P-1": {}})", "acpi_namespace.P-1: \"P-1\" is not an ACPI name"},
        {R"({"\\SB": {}})", "is not an ACPI name"},
        {R"({"A\u0000": {}})", "is not an ACPI name"},
        {R"({"PCI": {}, "PCI_": {}})", "acpi_namespace.PCI_: PCI_ is named twice in this scope"},
        {R"({"_SB_": {"X": {}, "X_": {}}})", "acpi_namespace._SB_.X_: X___ is named twice"},
        {R"({"_SB_": {}, "_SB_": {}})", "acpi_namespace._SB_: given twice"},
        {R"({"returns": [1]})", "acpi_namespace.returns: the root is not a method"},
        {R"({"M": {"returns": [1], "CHLD": {}}})", "acpi_namespace.M.CHLD: a method (an object with \"returns\") has no other keys"},
        {R"({"M": {"CHLD": {}, "returns": []}})", "acpi_namespace.M.CHLD: a method"},
        {R"({"M": {"returns": 1}})", "acpi_namespace.M.returns: expected an array"},
        {R"({"M": {"returns": {"buffer": "01"}}})", "acpi_namespace.M.returns: expected an array"},
        {R"({"M": {"returns": [1, -1]}})", "acpi_namespace.M.returns[1]: expected a non-negative whole number"},
        {R"({"M": {"returns": [1.5]}})", "acpi_namespace.M.returns[0]: expected a non-negative"},
        {R"({"M": {"returns": [true]}})", "acpi_namespace.M.returns[0]: expected"},
        {R"({"M": {"returns": [null]}})", "acpi_namespace.M.returns[0]: expected"},
        {R"({"M": {"returns": [[1]]}})", "acpi_namespace.M.returns[0]: expected"},
        {R"({"M": {"returns": ["0xZZ"]}})", "acpi_namespace.M.returns[0]: \"0xZZ\" is not a number"},
        {R"({"M": {"returns": ["0x"]}})", "acpi_namespace.M.returns[0]: \"0x\" is not a number"},
        {R"({"M": {"returns": ["0x10000000000000000"]}})", "acpi_namespace.M.returns[0]: \"0x10000000000000000\" is not"},
        {R"({"M": {"returns": ["a\u0000b"]}})", "acpi_namespace.M.returns[0]: an ACPI string cannot hold a 0"},
        {R"({"M": {"returns": [{}]}})", "acpi_namespace.M.returns[0]: expected {\"buffer\""},
        {R"({"M": {"returns": [{"buffer": "01", "string": "x"}]}})", "acpi_namespace.M.returns[0]: expected {"},
        {R"({"M": {"returns": [{"bytes": "01"}]}})", "acpi_namespace.M.returns[0].bytes: unknown key"},
        {R"({"M": {"returns": [{"buffer": 1}]}})", "acpi_namespace.M.returns[0].buffer: expected a string"},
        {R"({"M": {"returns": [{"buffer": "1 2"}]}})", "acpi_namespace.M.returns[0].buffer: \"1 2\" is not a list of hex"},
        {R"({"M": {"returns": [{"buffer": "0102"}]}})", "acpi_namespace.M.returns[0].buffer: \"0102\" is not"},
        {R"({"M": {"returns": [{"buffer": "01,02"}]}})", "is not a list of hex bytes"},
        {R"({"M": {"returns": [{"buffer": "0g"}]}})", "is not a list of hex bytes"},
        {R"({"M": {"returns": [{"string": 5}]}})", "acpi_namespace.M.returns[0].string: expected a string"},
        {R"({"M": {"returns": [{"string": "\u0000"}]}})", "acpi_namespace.M.returns[0].string: an ACPI string"},
        {R"({"M": {"returns": [{"buffer": "01", "buffer": "02"}]}})", "acpi_namespace.M.returns[0].buffer: given twice"},
    };
    for (const Case& c : cases) {
        const std::string error = parseError(c.section);
        EXPECT_NE(error.find(c.message), std::string::npos) << c.section << " -> " << error;
    }
}

// "{"A": {"A": ... {}}}" with `levels` names.
std::string chain(size_t levels, const std::string& innermost = "{}") {
    std::string text;
    for (size_t i = 0; i < levels; ++i) text += "{\"A\": ";
    text += innermost;
    for (size_t i = 0; i < levels; ++i) text += "}";
    return text;
}

TEST(AcpiNamespaceManifest, DepthIsLimitedWithAMessageNamingThePath) {
    // A method at the deepest level, with a result object below it.
    const auto deepest = parseNamespace(chain(kMaxAcpiNamespaceDepth - 1, R"({"M": {"returns": [{"buffer": "01"}]}})"));
    ASSERT_EQ(deepest.size(), kMaxAcpiNamespaceDepth + 1);
    EXPECT_TRUE(deepest.back().method);
    EXPECT_EQ(deepest.back().parent, int(kMaxAcpiNamespaceDepth - 1));
    EXPECT_EQ(deepest.back().results, std::vector<AcpiValue>{AcpiValue::fromBytes({1})});

    std::string path = "acpi_namespace";
    for (size_t i = 0; i <= kMaxAcpiNamespaceDepth; ++i) path += ".A";
    const std::string tooDeep = parseError(chain(kMaxAcpiNamespaceDepth + 1));
    EXPECT_EQ(tooDeep, path + ": deeper than 32 levels below the root");
    // Far deeper than any namespace: the parser's own bound stops it.
    const std::string farTooDeep = parseError(chain(200));
    EXPECT_EQ(farTooDeep.rfind("acpi_namespace.A.A.A", 0), 0u) << farTooDeep;
    EXPECT_NE(farTooDeep.find("nested deeper than 64 levels"), std::string::npos) << farTooDeep;
}

// A scope holding `count` children named N000, N001, ...
std::string wideScope(size_t count) {
    std::string text = "{";
    for (size_t i = 0; i < count; ++i) {
        char name[8];
        std::snprintf(name, sizeof name, "N%03zX", i);
        text += std::string(i ? ", " : "") + "\"" + name + "\": {}";
    }
    return text + "}";
}

TEST(AcpiNamespaceManifest, NodeCountIsLimited) {
    // The root and 4095 more fit; one more does not.
    const auto full = parseNamespace(wideScope(kMaxAcpiNamespaceNodes - 1));
    ASSERT_EQ(full.size(), kMaxAcpiNamespaceNodes);
    EXPECT_EQ(full[1].name, "N000");
    EXPECT_EQ(full.back().name, "NFFE");
    const std::string expected = "acpi_namespace: more than 4096 nodes";
    EXPECT_EQ(parseError(wideScope(kMaxAcpiNamespaceNodes)), expected);
    EXPECT_EQ(parseError(R"({"_SB_": )" + wideScope(kMaxAcpiNamespaceNodes - 1) + "}"), expected);
    // Spread over many scopes, and far past the limit, the same.
    std::string scopes = "{";
    for (size_t i = 0; i < 300; ++i) {
        char name[8];
        std::snprintf(name, sizeof name, "S%03zX", i);
        scopes += std::string(i ? ", " : "") + "\"" + name + "\": " + wideScope(20);
    }
    EXPECT_EQ(parseError(scopes + "}"), expected);
}

TEST(AcpiNamespaceManifest, OtherSectionsDoNotDisturbTheOrder) {
    // Keys that look like names elsewhere in the manifest, a method whose
    // result objects hold keys, and the section not first.
    Manifest manifest;
    std::string error;
    ASSERT_TRUE(parseManifest(R"({
      "cpu": {"msrs": {"0x10": 1}},
      "os": {"device_tree": [{"properties": {"1": "x"}}]},
      "acpi_namespace": {"ZZZZ": {"M": {"returns": [{"string": "s"}, {"buffer": "00"}]}}, "AAAA": {}},
      "smbios": {"version": "2.7"}
    })", manifest, error)) << error;
    EXPECT_EQ(shape(manifest.acpiNamespace), (std::vector<std::string>{"\\___ -1", "ZZZZ 0", "M___ 1 ()", "AAAA 0"}));
}

} // namespace
} // namespace vexa::machine
