// The ACPI requests: the namespace walk (root, first child, next sibling),
// method evaluation and the firmware's global lock, served from the
// machine's ACPI namespace. A machine without one fails them all; the Linux
// host offers its thermal zones but not the global lock.
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "machine/machine.h"
#include "platform/driver/standin_driver.h"

namespace vexa::platform::driver {

namespace {

// Node handles look like kernel addresses: a base plus 64 bytes per node.
constexpr uint64_t kHandleBase = 0xFFFFF80000000000ull;
constexpr uint64_t kNoNode = ~0ull;
constexpr size_t kRecordDwords = 9;      // the 36-byte node record
constexpr uint32_t kOutputSignature = 0x426F6541;
constexpr uint32_t kStatusNotFound = 0xC0000034;
constexpr uint32_t kStatusInvalid = 0xC000000D;
constexpr uint32_t kStatusUnsuccessful = 0xC0000001;

uint64_t handleOf(size_t index) { return kHandleBase + 64 * (index + 1); }

bool indexOf(const std::vector<machine::AcpiNamespaceNode>& nodes, uint64_t handle, size_t& index) {
    if (handle <= kHandleBase || (handle - kHandleBase) % 64) return false;
    index = static_cast<size_t>((handle - kHandleBase) / 64 - 1);
    return index < nodes.size();
}

uint32_t nameDword(const std::string& name) {
    uint32_t value = 0;
    for (size_t i = 0; i < 4 && i < name.size(); ++i) value |= uint32_t(uint8_t(name[i])) << (8 * i);
    return value;
}

// dwords 0-1 the handle (high first), 2-7 our own fields, 8 the name.
void writeRecord(Request& r, size_t firstDword, const std::vector<machine::AcpiNamespaceNode>& nodes,
                 size_t index, bool found) {
    const uint64_t handle = found ? handleOf(index) : kNoNode;
    r.outDword(firstDword + 0, static_cast<uint32_t>(handle >> 32));
    r.outDword(firstDword + 1, static_cast<uint32_t>(handle));
    for (size_t i = 2; i < 8; ++i) r.outDword(firstDword + i, 0);
    if (found) {
        r.outDword(firstDword + 2, static_cast<uint32_t>(nodes[index].parent));
        r.outDword(firstDword + 3, nodes[index].method ? 1 : 0);
    }
    r.outDword(firstDword + 8, found ? nameDword(nodes[index].name) : 0);
}

bool findChild(const std::vector<machine::AcpiNamespaceNode>& nodes, size_t parent, size_t from,
               size_t& child) {
    for (size_t i = from; i < nodes.size(); ++i) {
        if (nodes[i].parent == static_cast<int>(parent)) {
            child = i;
            return true;
        }
    }
    return false;
}

DWORD root(Request& r) {
    if (DWORD e = needs(r, 8, 4 * (2 + kRecordDwords))) return e;
    const auto nodes = machine::current().acpiNamespace();
    const auto* name = static_cast<const char*>(r.inPointer(0));
    // The caller names the ACPI HAL's device object; without a namespace
    // there is nothing to answer.
    if (nodes.empty() || !name || !*name) return ERROR_GEN_FAILURE;
    r.outDword(0, static_cast<uint32_t>(handleOf(0) >> 32));
    r.outDword(1, static_cast<uint32_t>(handleOf(0)));
    writeRecord(r, 2, nodes, 0, true);
    return ERROR_SUCCESS;
}

DWORD relative(Request& r) {
    if (DWORD e = needs(r, 12, 4 * kRecordDwords)) return e;
    const auto nodes = machine::current().acpiNamespace();
    if (nodes.empty()) return ERROR_GEN_FAILURE;
    size_t index, result = 0;
    const uint64_t handle = (uint64_t(r.inDword(0)) << 32) | r.inDword(1);
    bool found = false;
    if (indexOf(nodes, handle, index)) {
        switch (r.inDword(2)) {
        case 1:  // parent
            found = nodes[index].parent >= 0;
            result = found ? static_cast<size_t>(nodes[index].parent) : 0;
            break;
        case 2:  // first child
            found = findChild(nodes, index, 0, result);
            break;
        case 3: {  // next sibling; the siblings form a ring
            const int parent = nodes[index].parent;
            if (parent < 0) break;
            found = findChild(nodes, static_cast<size_t>(parent), index + 1, result) ||
                    findChild(nodes, static_cast<size_t>(parent), 0, result);
            break;
        }
        default: break;
        }
    }
    writeRecord(r, 0, nodes, result, found);
    return ERROR_SUCCESS;
}

// The Windows ACPI output buffer: signature, length, count, then the
// arguments {u16 type, u16 data length, data}.
std::vector<uint8_t> outputBuffer(const std::vector<machine::AcpiValue>& values) {
    std::vector<uint8_t> out(12, 0);
    auto put16 = [&out](uint16_t v) { out.push_back(uint8_t(v)); out.push_back(uint8_t(v >> 8)); };
    for (const auto& value : values) {
        std::vector<uint8_t> data = value.data;
        // The output buffer's argument types: 0 integer, 1 string, 2 buffer.
        uint16_t type = 2;
        if (value.type == machine::AcpiValue::kInteger) {
            type = 0;  // an integer travels as a 32-bit value
            data.resize(4);
        } else if (value.type == machine::AcpiValue::kString) {
            type = 1;
        }
        put16(type);
        put16(static_cast<uint16_t>(data.size()));
        out.insert(out.end(), data.begin(), data.end());
    }
    const uint32_t header[3] = {kOutputSignature, static_cast<uint32_t>(out.size()),
                                static_cast<uint32_t>(values.size())};
    std::memcpy(out.data(), header, sizeof header);
    return out;
}

DWORD evaluate(Request& r) {
    if (DWORD e = needs(r, 28, 8)) return e;
    const auto nodes = machine::current().acpiNamespace();
    if (nodes.empty()) return ERROR_GEN_FAILURE;
    const uint64_t method = (uint64_t(r.inDword(2)) << 32) | r.inDword(3);
    void* buffer = r.inPointer(4);
    const uint32_t room = r.inDword(6);
    size_t index;
    uint32_t status = 0;
    if (!indexOf(nodes, method, index) || !nodes[index].method) {
        status = kStatusNotFound;
    } else if (const auto results = machine::current().evaluateAcpiMethod(index); !results) {
        status = kStatusUnsuccessful;
    } else {
        const auto output = outputBuffer(*results);
        if (!buffer || output.size() > room) status = kStatusInvalid;
        else std::memcpy(buffer, output.data(), output.size());
    }
    r.outDword(0, status);
    r.outDword(1, 0);
    return ERROR_SUCCESS;
}

// The firmware's global lock: one owner at a time.
std::mutex globalLockGuard;
bool globalLockHeld = false;

DWORD boardRequest(Request& r) {
    if (DWORD e = needs(r, 20, 8)) return e;
    if (!machine::current().offersAcpiGlobalLock()) return ERROR_GEN_FAILURE;
    const uint32_t operation = r.inDword(3) & 0xFFFF;
    std::lock_guard guard(globalLockGuard);
    bool ok = false;
    if (operation == 1 && !globalLockHeld) ok = globalLockHeld = true;
    else if (operation == 0 && globalLockHeld) ok = !(globalLockHeld = false);
    r.outDword(0, ok ? 1 : 0);
    r.outDword(1, 0);
    return ERROR_SUCCESS;
}

} // namespace

DWORD serveAcpi(DWORD code, Request& r) {
    switch (code) {
    case 0x9C402450: return root(r);
    case 0x9C402454: return relative(r);
    case 0x9C402458: return evaluate(r);
    case 0x9C402508: return boardRequest(r);
    default: return kUnknownRequest;
    }
}

} // namespace vexa::platform::driver
