// The manifest's "ia64" section (docs/machine-images.md): the processors
// are Itaniums, with these CPUID registers and PAL answers.
//   "ia64": {"cpuid": ["0x49656E69756E6547", "0x6C65746E", 0, "0x0000000420010000", 0],
//            "pal": [{"procedure": 14, "results": [0, "0x0000000F00000002", 0, 0]},
//                    {"procedure": 42, "arguments": ["0xFFFFFFFFFFFFFFFF", 0, 0], "results": [...], "cpus": [1]}]}
#include "machine/cpuid_topology.h"
#include "machine/manifest_schema.h"

namespace vexa::machine::schema {

namespace {

constexpr uint64_t kAny = ~0ull;
constexpr size_t kMaxPalAnswers = 4096;

template <size_t N>
void readQwords(const json& value, const std::string& path, size_t first, std::array<uint64_t, N>& out) {
    const json& list = array(value, path);
    if (list.size() != N - first) fail(path, "give " + std::to_string(N - first) + " values");
    for (size_t i = 0; i < list.size(); ++i) out[first + i] = unsignedValue(list[i], element(path, i), kAny);
}

PalAnswer palAnswer(const json& value, const std::string& path) {
    expectObject(value, path, {"procedure", "arguments", "results", "cpus"});
    PalAnswer answer;
    const json* procedure = member(value, "procedure");
    const json* results = member(value, "results");
    if (!procedure || !results) fail(path, "\"procedure\" and \"results\" are required");
    answer.arguments[0] = unsignedValue(*procedure, child(path, "procedure"), kAny);
    if (const json* arguments = member(value, "arguments")) readQwords(*arguments, child(path, "arguments"), 1, answer.arguments);
    readQwords(*results, child(path, "results"), 0, answer.results);
    if (const json* cpus = member(value, "cpus"))
        for (const json& cpu : array(*cpus, child(path, "cpus")))
            answer.cpus.push_back(unsigned(unsignedValue(cpu, child(path, "cpus"), kMaxLogicalProcessors - 1)));
    return answer;
}

} // namespace

void readIa64(const json& section, Ia64Facts& facts) {
    expectObject(section, "ia64", {"cpuid", "pal"});
    if (const json* cpuid = member(section, "cpuid")) readQwords(*cpuid, "ia64.cpuid", 0, facts.cpuid);
    const json* pal = member(section, "pal");
    if (!pal) return;
    const json& answers = array(*pal, "ia64.pal");
    if (answers.size() > kMaxPalAnswers) fail("ia64.pal", "at most " + std::to_string(kMaxPalAnswers) + " answers");
    for (size_t i = 0; i < answers.size(); ++i) facts.pal.push_back(palAnswer(answers[i], element("ia64.pal", i)));
}

} // namespace vexa::machine::schema
