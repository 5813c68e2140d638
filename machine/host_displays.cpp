// The Linux host's monitors: the EDID the kernel's display drivers read
// from each connector (/sys/class/drm/<card>-<connector>/edid). A connector
// without a monitor gives an empty file and is left out.
#include "machine/host_machine.h"

#include <algorithm>

#include "machine/file_bytes.h"

namespace vexa::machine {

namespace {
// An EDID is a base block and at most 255 extensions of 128 bytes each.
constexpr size_t kEdidLimit = 256 * 128;
} // namespace

std::vector<std::vector<uint8_t>> HostMachine::monitorEdids() const {
    const std::string folder = sysRoot_ + "/sys/class/drm";
    std::vector<std::string> connectors = listFolder(folder);
    std::sort(connectors.begin(), connectors.end());
    std::vector<std::vector<uint8_t>> edids;
    for (const std::string& connector : connectors) {
        std::vector<uint8_t> bytes;
        std::string error;
        const std::string edid = folder + "/" + connector + "/edid";
        if (readFileBytes(edid, kEdidLimit, bytes, error) == FileStatus::Ok && !bytes.empty())
            edids.push_back(std::move(bytes));
    }
    return edids;
}

} // namespace vexa::machine
