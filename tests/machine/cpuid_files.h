// The CPUID dumps of tests/data/cpuid and the facts each file records
// after its 80-dash line.
#pragma once

#include <string>
#include <vector>

namespace vexa::test {

struct CpuidFileFacts {
    std::string path;  // below tests/data
    unsigned family = 0, model = 0, stepping = 0;  // CPUID.1 EAX base fields
    unsigned cores = 0, logical = 0;               // per package
};

// Every *.test file under tests/data/cpuid, in name order.
std::vector<CpuidFileFacts> cpuidFiles();

} // namespace vexa::test
