#include "machine/cpuid_dump.h"

#include "machine/text_scan.h"

#include <optional>
#include <set>

namespace vexa::machine {
namespace {

struct LeafLine {
    uint32_t leaf = 0;
    std::optional<uint32_t> subleaf;  // given by a marker or the native array
    bool fromSubleafArray = false;    // native intel_fn4[N] and the like
    CpuidRegs regs;
};

bool isEndMarker(std::string_view line) {
    const std::string_view body = trim(line);
    return body.size() == 80 && body.find_first_not_of('-') == std::string_view::npos;
}

bool isProcessorHeader(std::string_view body) {
    if (startsWithNoCase(body, "CPU#")) return body.size() > 4 && body[4] >= '0' && body[4] <= '9';
    if (startsWithNoCase(body, "CPUID Registers (CPU #")) return true;
    for (size_t at = 0; at + 13 <= body.size(); ++at)
        if (startsWithNoCase(body.substr(at), "Logical CPU #")) return true;
    return false;
}

bool takeRegister(std::string_view& rest, uint32_t& value) {
    uint64_t wide = 0;
    if (!takeHex(rest, wide, 8)) return false;
    value = uint32_t(wide);
    return true;
}

// The sub-leaf of the first "[SL nn]" note, if any; other notes are ignored.
std::optional<uint32_t> subleafNote(std::string_view notes) {
    for (;;) {
        const size_t open = notes.find('[');
        if (open == std::string_view::npos) return std::nullopt;
        const size_t close = notes.find(']', open);
        if (close == std::string_view::npos) return std::nullopt;
        const std::string_view content = trim(notes.substr(open + 1, close - open - 1));
        uint64_t subleaf = 0;
        if (startsWithNoCase(content, "SL ") && parseHex(trim(content.substr(3)), subleaf, 8))
            return uint32_t(subleaf);
        notes.remove_prefix(close + 1);
    }
}

// "CPUID 00000004: 1C004121-01C0003F-0000003F-00000000 [SL 00] [L1D]"
bool parseLeafLine(std::string_view body, LeafLine& out) {
    if (!startsWithNoCase(body, "CPUID") || body.size() < 6 || (body[5] != ' ' && body[5] != '\t')) return false;
    std::string_view rest = body.substr(5);
    skipBlanks(rest);
    uint32_t leaf = 0;
    if (!takeRegister(rest, leaf)) return false;
    const bool colon = !rest.empty() && rest.front() == ':';
    if (colon) rest.remove_prefix(1);
    if (!colon && (rest.empty() || (rest.front() != ' ' && rest.front() != '\t'))) return false;
    skipBlanks(rest);
    uint32_t regs[4];
    for (int i = 0; i < 4; ++i) {
        if (i > 0) {
            if (rest.empty() || rest.front() != '-') return false;
            rest.remove_prefix(1);
        }
        if (!takeRegister(rest, regs[i])) return false;
    }
    if (!rest.empty() && rest.front() != ' ' && rest.front() != '\t' && rest.front() != '[') return false;
    out.leaf = leaf;
    out.subleaf = subleafNote(rest);
    out.fromSubleafArray = false;
    out.regs = CpuidRegs{regs[0], regs[1], regs[2], regs[3]};
    return true;
}

struct NativeArray {
    std::string_view name;
    uint32_t leafBase;     // leaf = leafBase + N for plain arrays
    bool indexIsSubleaf;   // leaf = leafBase, sub-leaf = N
};

constexpr NativeArray kNativeArrays[] = {
    {"basic_cpuid", 0, false},
    {"ext_cpuid", 0x80000000u, false},
    {"intel_fn4", 4, true},
    {"intel_fn11", 0xB, true},
    {"intel_fn12h", 0x12, true},
    {"intel_fn14h", 0x14, true},
    {"amd_fn8000001dh", 0x8000001Du, true},
};

// "basic_cpuid[4]=1c004121 01c0003f 0000003f 00000000"
bool parseNativeLine(std::string_view body, LeafLine& out) {
    const size_t open = body.find('[');
    const size_t close = body.find(']');
    if (open == std::string_view::npos || close == std::string_view::npos || close < open) return false;
    const NativeArray* array = nullptr;
    for (const NativeArray& candidate : kNativeArrays)
        if (body.substr(0, open).size() == candidate.name.size() && startsWithNoCase(body, candidate.name))
            array = &candidate;
    uint64_t index = 0;
    if (!array || !parseDecimal(body.substr(open + 1, close - open - 1), index, 0x7FFFFFFF)) return false;
    std::string_view rest = body.substr(close + 1);
    if (rest.empty() || rest.front() != '=') return false;
    rest.remove_prefix(1);
    uint32_t regs[4];
    for (int i = 0; i < 4; ++i) {
        skipBlanks(rest);
        if (!takeRegister(rest, regs[i])) return false;
        if (!rest.empty() && rest.front() != ' ' && rest.front() != '\t') return false;
    }
    if (!trim(rest).empty()) return false;
    if (array->indexIsSubleaf) {
        out.leaf = array->leafBase;
        out.subleaf = uint32_t(index);
        out.fromSubleafArray = true;
    } else {
        out.leaf = array->leafBase + uint32_t(index);
        out.subleaf.reset();
        out.fromSubleafArray = false;
    }
    out.regs = CpuidRegs{regs[0], regs[1], regs[2], regs[3]};
    return true;
}

// Collects the leaves of one processor, numbering repeated unmarked leaves
// as sub-leaves and letting sub-leaf arrays win over plain entries.
class ProcessorBuilder {
public:
    bool empty() const { return leaves_.empty(); }
    size_t size() const { return leaves_.size(); }

    void add(const LeafLine& line) {
        if (line.fromSubleafArray) {
            const CpuidKey key{line.leaf, *line.subleaf};
            leaves_[key] = line.regs;
            fromArrays_.insert(key);
            return;
        }
        const uint32_t subleaf = line.subleaf ? *line.subleaf : nextUnmarked_[line.leaf]++;
        const CpuidKey key{line.leaf, subleaf};
        if (!fromArrays_.contains(key)) leaves_[key] = line.regs;
    }

    CpuidLeaves take() {
        CpuidLeaves leaves = std::move(leaves_);
        *this = ProcessorBuilder{};
        return leaves;
    }

private:
    CpuidLeaves leaves_;
    std::map<uint32_t, uint32_t> nextUnmarked_;
    std::set<CpuidKey> fromArrays_;
};

} // namespace

bool parseCpuidDump(std::string_view text, CpuidDump& dump, std::string& error) {
    dump = CpuidDump{};
    ProcessorBuilder current;
    const auto closeProcessor = [&]() {
        if (current.empty()) return true;
        if (dump.processors.size() == kMaxDumpProcessors) {
            error = "more than " + std::to_string(kMaxDumpProcessors) + " processors";
            return false;
        }
        dump.processors.push_back(current.take());
        return true;
    };

    LineReader lines(text);
    std::string_view line;
    while (lines.next(line)) {
        if (isEndMarker(line)) break;
        const std::string_view body = trim(line);
        if (body.empty()) continue;
        LeafLine leaf;
        if (parseLeafLine(body, leaf) || parseNativeLine(body, leaf)) {
            current.add(leaf);
            if (current.size() > kMaxLeavesPerProcessor) {
                error = "line " + std::to_string(lines.lineNumber()) + ": more than " +
                        std::to_string(kMaxLeavesPerProcessor) + " leaves for one processor";
                return false;
            }
        } else if (isProcessorHeader(body)) {
            if (!closeProcessor()) return false;
        } else {
            if (dump.skippedLines++ == 0) {
                dump.firstSkippedLine = lines.lineNumber();
                dump.firstSkippedText = quoteForMessage(body);
            }
        }
    }
    if (!closeProcessor()) return false;
    if (dump.processors.empty()) {
        error = "no CPUID leaf found";
        return false;
    }
    return true;
}

} // namespace vexa::machine
