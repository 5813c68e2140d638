// The ACPI namespace through the kernel driver: the root, walks from node
// to node, searches by name, method evaluation and the "ACPI" report
// section.
//
// The driver hands out a new node object for every request. A walk keeps
// each node it fetches in one list until the walk is over, so that a node
// found deep in the tree stays valid while its ancestors are still being
// walked. What the driver answers is not trusted to end: a sibling ring
// that never comes back to the first child, or a child that leads back up,
// would make a walk endless, so every walk is bounded in depth and in the
// number of nodes it fetches.
#include <algorithm>
#include <cstring>
#include <string>

#include "sdk/core/report_generator.h"
#include "sdk/core/sdk.h"
#include "sdk/hw/kmdriver.h"
#include "sdk/system/acpi_interface.h"

namespace {

// Far beyond real namespaces (a few thousand nodes, a dozen levels).
constexpr uint32_t kMostNodesPerWalk = 65536;
constexpr unsigned kDeepestLevel = 64;

constexpr char kNamelessNode[] = "[ ]";

std::unique_ptr<CACPITreeNode> CopyOf(const CACPITreeNode& node) {
    uint32_t record[CACPITreeNode::kRecordDwords] = {node.GetHandleHigh(), node.GetHandleLow()};
    std::copy(std::begin(node.m_dwFields), std::end(node.m_dwFields), record + 2);
    record[CACPITreeNode::kRecordDwords - 1] = node.m_dwName;
    return std::make_unique<CACPITreeNode>(record);
}

bool HasName(const CACPITreeNode* node, const char* name) {
    if (!node || !name) return false;
    char text[5];
    CACPIInterface::EncodeSignature(node->m_dwName, text);
    return std::strcmp(text, name) == 0;
}

} // namespace

// The nodes one walk fetched, in the caller's list or, without one, in a
// list of the walk's own whose nodes (all but the one handed back) it
// deletes at the end.
struct CACPIInterface::NamespaceWalk {
    explicit NamespaceWalk(CTList<CACPITreeNode>* callerList) : list(callerList ? callerList : &own) {}
    ~NamespaceWalk() {
        CTListIterator<CACPITreeNode> it(&own);
        for (CACPITreeNode* node = it.GetFirst(); node; node = it.GetNext())
            if (node != handedBack) delete node;
    }
    NamespaceWalk(const NamespaceWalk&) = delete;
    NamespaceWalk& operator=(const NamespaceWalk&) = delete;

    void Keep(CACPITreeNode* node) {
        KeepNode(node, list);
        ++fetched;
    }
    bool Exhausted() const { return fetched >= kMostNodesPerWalk; }

    CTList<CACPITreeNode> own;
    CTList<CACPITreeNode>* list;
    CACPITreeNode* handedBack = nullptr;
    uint32_t fetched = 0;
};

CACPITreeNode* CACPIInterface::GetRootNode() {
    CKMDriver* driver = GetSDK()->GetDriver();
    if (!driver) return nullptr;
    uint32_t handle[2] = {};
    CACPITreeNode* root = driver->GetACPIRoot(handle);
    if (!root) return nullptr;
    m_dwRootHandle[0] = handle[0];
    m_dwRootHandle[1] = handle[1];
    m_pRootNode = CopyOf(*root);
    return root;
}

CACPITreeNode* CACPIInterface::GetRelatedNode(CACPITreeNode* node, uint32_t relation) {
    CKMDriver* driver = GetSDK()->GetDriver();
    if (!driver || !node) return nullptr;
    return driver->GetACPINode(node, relation);
}

void CACPIInterface::KeepNode(CACPITreeNode* node, CTList<CACPITreeNode>* list) {
    if (node && list) list->AddTail(node);
}

CACPITreeNode* CACPIInterface::VisitChildren(CACPITreeNode* parent, NamespaceWalk& walk,
                                             const std::function<bool(CACPITreeNode*)>& visit) {
    if (walk.Exhausted()) return nullptr;
    CACPITreeNode* first = GetRelatedNode(parent, kFirstChild);
    if (!first) return nullptr;
    walk.Keep(first);
    if (visit(first)) return first;
    for (CACPITreeNode* last = first; !walk.Exhausted();) {
        CACPITreeNode* sibling = GetRelatedNode(last, kNextSibling);
        if (!sibling) return nullptr;
        if (sibling->m_qwHandle == first->m_qwHandle) {  // the ring is complete
            delete sibling;
            return nullptr;
        }
        walk.Keep(sibling);
        if (visit(sibling)) return sibling;
        last = sibling;
    }
    return nullptr;
}

CACPITreeNode* CACPIInterface::FindChild(CACPITreeNode* parent, const char* name, CTList<CACPITreeNode>* list) {
    NamespaceWalk walk(list);
    walk.handedBack = VisitChildren(parent, walk, [name](CACPITreeNode* child) { return HasName(child, name); });
    return walk.handedBack;
}

CACPITreeNode* CACPIInterface::FindNode(CACPITreeNode* parent, const char* name, CTList<CACPITreeNode>* list) {
    NamespaceWalk walk(list);
    walk.handedBack = FindInSubtree(parent, name, walk, 0);
    return walk.handedBack;
}

CACPITreeNode* CACPIInterface::FindInSubtree(CACPITreeNode* parent, const char* name, NamespaceWalk& walk,
                                             unsigned depth) {
    if (depth >= kDeepestLevel) return nullptr;
    CACPITreeNode* found = nullptr;
    VisitChildren(parent, walk, [&](CACPITreeNode* child) {
        found = HasName(child, name) ? child : FindInSubtree(child, name, walk, depth + 1);
        return found != nullptr;
    });
    return found;
}

int CACPIInterface::EvaluateMethod(CACPITreeNode* node, CTList<CACPIMethod>* results) {
    CKMDriver* driver = GetSDK()->GetDriver();
    if (!driver) return 0;
    return driver->EvaluateACPIMethod(m_dwRootHandle, node, results);
}

void CACPIInterface::Dump(CReportGenerator* report) {
    if (!report) return;
    report->PrintTitle("ACPI");
    report->PrintField("ACPI Tree", "\t\t", "%s", "");
    CTList<CACPITreeNode> nodes;
    {
        NamespaceWalk walk(&nodes);
        CACPITreeNode* root = GetRootNode();
        if (root) {
            walk.Keep(root);
            DumpTree(report, root, walk, 0);
        }
    }
    nodes.DeleteAll();
}

void CACPIInterface::DumpTree(CReportGenerator* report, CACPITreeNode* node, NamespaceWalk& walk,
                              unsigned depth) {
    if (depth >= kDeepestLevel) return;
    const std::string pad(2 * depth, ' ');
    VisitChildren(node, walk, [&](CACPITreeNode* child) {
        char name[5];
        EncodeSignature(child->m_dwName, name);
        report->PrintField("", pad.c_str(), "%s", name[0] ? name : kNamelessNode);
        DumpTree(report, child, walk, depth + 1);
        return false;
    });
}
