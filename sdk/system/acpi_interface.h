// The ACPI domain: the few ACPI tables the system needs and the ACPI
// namespace.
//
// From the fixed ACPI description table ('FACP') it takes the power-
// management timer, registered as a CACPITimer in the root's timer list,
// and the two values the ACPI global lock needs; from the 'HPET' table the
// high-precision event timer, registered as a CHPETTimer; from an OEM
// 'TAMG' table a 48-byte board record the hardware-monitoring domain reads.
// The tables come from the firmware-table function of kernel32, or, where
// kernel32 lacks it, from physical memory through the kernel driver
// (acpi_sources.cpp); they are untrusted bytes (acpi_tables.h).
//
// Through the kernel driver it walks the namespace, finds nodes by their
// four-character names, evaluates methods, takes and gives back the global
// lock, and writes the namespace as the "ACPI" report section
// (acpi_namespace.cpp). The namespace is never cached: every walk asks the
// driver again.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>

#include "sdk/core/interface.h"
#include "sdk/core/list.h"
#include "sdk/system/acpi_node.h"
#include "sdk/system/acpi_tables.h"

class CACPITimer;
class CReportGenerator;

class CACPIInterface : public CInterface {
public:
    static constexpr uint32_t kUnknown = 0xFFFFFFFF;
    // Flag bit that allows the PM timer.
    static constexpr uint32_t kFlagPMTimer = 0x4000;
    // Relations of GetRelatedNode.
    static constexpr uint32_t kFirstChild = 2;
    static constexpr uint32_t kNextSibling = 3;
    // Bytes the legacy path copies from the start of the RSDT: the header
    // and the first 17 entries.
    static constexpr size_t kRSDTCopySize = 104;

    // `boardHash` and `boardByteSum`: the mainboard's keys (StringHash and
    // StringByteSum of its name); `flags`: kFlagPMTimer and bits not used
    // here (the application passes 0x7FFFFFFF).
    CACPIInterface(uint32_t boardHash, uint32_t boardByteSum, uint32_t flags);
    ~CACPIInterface() override;
    CACPIInterface(const CACPIInterface&) = delete;
    CACPIInterface& operator=(const CACPIInterface&) = delete;

    // Reads the tables (nothing on the two boards whose tables are left
    // alone) and registers the timers found. Always 1.
    int Init() override;
    // Gives back the global lock if an acquire was never followed by a
    // release.
    void Close() override;

    // ---- The namespace (acpi_namespace.cpp) ----
    // Nodes are new objects of the driver's; the caller owns every node
    // these return, usually by keeping them in a list it deletes with
    // DeleteAll when done.

    // The namespace root, asked from the driver on every call; the root's
    // handle and a copy of the node are kept for EvaluateMethod. Null
    // without a driver or when the driver has no root.
    virtual CACPITreeNode* GetRootNode();
    // The first child (kFirstChild) or the next sibling (kNextSibling) of
    // `node`; null when there is none or no driver. The siblings of a node
    // form a ring: the next sibling of the last one is the first child.
    virtual CACPITreeNode* GetRelatedNode(CACPITreeNode* node, uint32_t relation);
    // The child of `parent` named `name`, or null. Every node fetched on
    // the way, the one returned included, is appended to `list`; without a
    // list the nodes not returned are deleted. A null name matches nothing.
    CACPITreeNode* FindChild(CACPITreeNode* parent, const char* name, CTList<CACPITreeNode>* list);
    // The first node named `name` in a depth-first, pre-order search below
    // `parent`, or null; the nodes fetched go to `list` as for FindChild.
    CACPITreeNode* FindNode(CACPITreeNode* parent, const char* name, CTList<CACPITreeNode>* list);
    // Appends `node` to `list` when both are given.
    static void KeepNode(CACPITreeNode* node, CTList<CACPITreeNode>* list);
    // Evaluates the method `node` without arguments, with the root handle
    // the last GetRootNode kept, and appends its results to `results`: 1 on
    // success, 0 on failure or without a driver.
    int EvaluateMethod(CACPITreeNode* node, CTList<CACPIMethod>* results);

    // The ACPI global lock, through the driver's board request: non-zero
    // when it was obtained or given back. 0 without a request while the
    // FACS address is unknown, and without a driver. An acquire waits at
    // most `timeoutMs` (at most 65535 ms).
    int AcquireGlobalLock(uint32_t timeoutMs);
    int ReleaseGlobalLock();

    // The four characters of a table signature or node name, in memory
    // order (the low byte first), NUL-terminated.
    static void EncodeSignature(uint32_t value, char (&text)[5]);

    // The "ACPI" report section: the title, an "ACPI Tree" line and one line
    // per namespace node below the root, indented two spaces per level,
    // children directly under their parent. Nothing for a null writer.
    void Dump(CReportGenerator* report);

    // ---- State ----

    std::unique_ptr<std::array<uint8_t, kACPIRootPointerSize>> m_pRSDP;  // legacy path
    std::unique_ptr<std::array<uint8_t, kRSDTCopySize>> m_pRSDT;         // legacy path
    uint32_t m_dwFACSAddress = kUnknown;     // the FADT's FIRMWARE_CTRL; unknown when 0
    uint32_t m_dwPM1aEventBlock = kUnknown;  // the FADT's PM1a_EVT_BLK
    CACPITimer* m_pPMTimer = nullptr;        // owned by the root's timer list
    // The namespace root as the last successful GetRootNode found it: its
    // handle (dword 0 the high half) and a copy of its node.
    uint32_t m_dwRootHandle[2] = {};
    std::unique_ptr<CACPITreeNode> m_pRootNode;
    // From the 'TAMG' table; the hardware-monitoring domain takes a port
    // base and two register offsets from bytes 26-29.
    std::unique_ptr<ACPIBoardRecord> m_pBoardRecord;
    uint32_t m_dwBoardHash;
    uint32_t m_dwBoardByteSum;  // kept, not used here
    uint32_t m_dwFlags;

private:
    struct NamespaceWalk;

    // The two sources of the tables (acpi_sources.cpp). The firmware-table
    // path returns false when kernel32 has no firmware-table function.
    bool ReadFirmwareTables();
    void ScanPhysicalMemory();
    // What each table gives. `testTimer`: keep the PM timer only when a
    // first reading of it is above 0. An HPET becomes a timer only when its
    // capabilities register can be read and reports a period of 1 fs to
    // 100 ns.
    void TakeFADT(const ACPITableView& fadt, bool testTimer);
    void TakeBoardRecord(const ACPITableView& table);
    void TakeHPET(const ACPITableView& hpet);
    bool AllowsPMTimer() const;

    // Visits the children of `parent` in order until `visit` answers true
    // (that child is returned) or the ring closes; null when it closes.
    CACPITreeNode* VisitChildren(CACPITreeNode* parent, NamespaceWalk& walk,
                                 const std::function<bool(CACPITreeNode*)>& visit);
    CACPITreeNode* FindInSubtree(CACPITreeNode* parent, const char* name, NamespaceWalk& walk,
                                 unsigned depth);
    void DumpTree(CReportGenerator* report, CACPITreeNode* node, NamespaceWalk& walk, unsigned depth);
    int SendGlobalLockRequest(uint32_t operation, uint32_t value);

    bool m_bHoldsGlobalLock = false;
};
