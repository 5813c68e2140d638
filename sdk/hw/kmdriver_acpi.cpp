// ACPI through the kernel driver: the namespace root of the ACPI HAL device,
// walking from node to node, evaluating control methods, and the board
// request that takes and gives back the ACPI global lock.
#include <algorithm>
#include <cstring>
#include <memory>

#include "platform/device_tree.h"
#include "platform/modules.h"
#include "sdk/hw/kmdriver.h"
#include "sdk/hw/kmdriver_internal.h"
#include "sdk/system/acpi_node.h"

namespace {

constexpr uint32_t kAllOnes = 0xFFFFFFFF;
constexpr size_t kObjectNameSize = 512;
constexpr uint32_t kMethodOutputSize = 1024;

// The Windows ACPI evaluation output buffer: signature, length, count, then
// `count` arguments of {u16 type, u16 data length, data}.
constexpr uint32_t kMethodOutputSignature = 0x426F6541;
constexpr size_t kMethodOutputHeaderSize = 12;
constexpr size_t kArgumentHeaderSize = 4;

uint32_t LittleEndian(std::span<const uint8_t> bytes, size_t offset, size_t count) {
    uint32_t value = 0;
    for (size_t i = 0; i < count; ++i) value |= uint32_t(bytes[offset + i]) << (8 * i);
    return value;
}

// The physical device object name of the first ACPI HAL device, e.g.
// "\Device\00000001".
bool ReadACPIHalObjectName(char (&name)[kObjectNameSize]) {
    using vexa::platform::lookup;
    HMODULE setupapi = LoadLibraryA("setupapi.dll");
    if (!setupapi) return false;
    auto getClassDevs = lookup<PFN_SetupDiGetClassDevsA>(setupapi, "SetupDiGetClassDevsA");
    auto destroyList = lookup<PFN_SetupDiDestroyDeviceInfoList>(setupapi, "SetupDiDestroyDeviceInfoList");
    auto enumDevice = lookup<PFN_SetupDiEnumDeviceInfo>(setupapi, "SetupDiEnumDeviceInfo");
    auto getProperty =
        lookup<PFN_SetupDiGetDeviceRegistryPropertyA>(setupapi, "SetupDiGetDeviceRegistryPropertyA");
    bool found = false;
    if (getClassDevs && destroyList && enumDevice && getProperty) {
        HDEVINFO devices = getClassDevs(nullptr, "ACPI_HAL", nullptr, DIGCF_PRESENT | DIGCF_ALLCLASSES);
        if (devices && devices != INVALID_HANDLE_VALUE) {
            SP_DEVINFO_DATA device {};
            device.cbSize = sizeof device;
            DWORD type = 0;
            found = enumDevice(devices, 0, &device) &&
                    getProperty(devices, &device, SPDRP_PHYSICAL_DEVICE_OBJECT_NAME, &type,
                                reinterpret_cast<BYTE*>(name), sizeof name - 1, nullptr);
            destroyList(devices);
        }
    }
    FreeLibrary(setupapi);
    name[sizeof name - 1] = '\0';
    return found && name[0];
}

CACPITreeNode* NodeFromRecord(const uint32_t* reply) {
    uint32_t record[CACPITreeNode::kRecordDwords];
    std::copy(reply, reply + CACPITreeNode::kRecordDwords, record);
    return CACPITreeNode::IsNodeRecord(record) ? new CACPITreeNode(record) : nullptr;
}

} // namespace

CACPITreeNode* CKMDriver::GetACPIRoot(uint32_t root[2]) {
    if (!CanSend() || m_iOSVersion != kPlatformNT) return nullptr;
    char name[kObjectNameSize] = {};
    if (!ReadACPIHalObjectName(name)) return nullptr;
    const uint32_t in[] = {kmdriver::BufferHigh(name), kmdriver::BufferLow(name)};
    uint32_t reply[2 + CACPITreeNode::kRecordDwords];
    std::fill(std::begin(reply), std::end(reply), kAllOnes);
    if (!SendNTRequest(KMDRIVER_GET_ACPI_ROOT, in, sizeof in, reply, sizeof reply)) return nullptr;
    if (root) std::copy(reply, reply + 2, root);
    return NodeFromRecord(reply + 2);
}

CACPITreeNode* CKMDriver::GetACPINode(CACPITreeNode* node, uint32_t relation) {
    if (!node) return nullptr;
    const uint32_t in[] = {node->GetHandleHigh(), node->GetHandleLow(), relation};
    uint32_t reply[CACPITreeNode::kRecordDwords];
    std::fill(std::begin(reply), std::end(reply), kAllOnes);
    if (!SendNTRequest(KMDRIVER_GET_ACPI_NODE, in, sizeof in, reply, sizeof reply)) return nullptr;
    return NodeFromRecord(reply);
}

int CKMDriver::EvaluateACPIMethod(const uint32_t root[2], CACPITreeNode* method,
                                  CTList<CACPIMethod>* results) {
    if (!root || !method) return 0;
    const auto output = std::make_unique<uint8_t[]>(kMethodOutputSize);
    const uint32_t in[] = {root[0],
                           root[1],
                           method->GetHandleHigh(),
                           method->GetHandleLow(),
                           kmdriver::BufferHigh(output.get()),
                           kmdriver::BufferLow(output.get()),
                           kMethodOutputSize};
    uint32_t reply[2] = {kAllOnes, kAllOnes};
    if (!SendNTRequest(KMDRIVER_EVALUATE_ACPI_METHOD, in, sizeof in, reply, sizeof reply) || reply[0] != 0)
        return 0;
    // A method without the expected output still ran.
    ParseACPIMethodOutput(std::span<const uint8_t>(output.get(), kMethodOutputSize), results);
    return 1;
}

bool CKMDriver::ParseACPIMethodOutput(std::span<const uint8_t> output, CTList<CACPIMethod>* results) {
    if (output.size() < kMethodOutputHeaderSize ||
        LittleEndian(output, 0, 4) != kMethodOutputSignature)
        return false;
    // Neither the stated length nor the count is trusted beyond the buffer.
    const size_t end = std::min<size_t>(LittleEndian(output, 4, 4), output.size());
    const uint32_t count = LittleEndian(output, 8, 4);
    size_t offset = kMethodOutputHeaderSize;
    for (uint32_t i = 0; i < count && offset + kArgumentHeaderSize <= end; ++i) {
        const uint32_t type = LittleEndian(output, offset, 2);
        const size_t dataLength = LittleEndian(output, offset + 2, 2);
        const size_t data = offset + kArgumentHeaderSize;
        if (dataLength > end - data) break;  // an argument cut off by the end
        const uint32_t value = type == CACPIMethod::kTypeInteger
                                   ? LittleEndian(output, data, std::min<size_t>(dataLength, 4))
                                   : 0;
        if (results) results->AddTail(new CACPIMethod(type, value));
        offset = data + dataLength;
    }
    return true;
}

int CKMDriver::SendBoardRequest(uint32_t operation, uint32_t facsHigh, uint32_t facsLow,
                                uint32_t pm1aEventBlock, uint32_t hostBridgeVendor, uint32_t value) {
    const uint32_t in[] = {facsHigh, facsLow, pm1aEventBlock == kAllOnes ? 0 : pm1aEventBlock,
                           operation | value << 16, hostBridgeVendor};
    uint32_t reply[2] = {};
    return SendNTRequest(KMDRIVER_SEND_BOARD_REQUEST, in, sizeof in, reply, sizeof reply) && reply[0] != 0;
}
