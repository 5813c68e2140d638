#include "tests/machine/cpuid_files.h"

#include "tests/support/test_paths.h"

#include <algorithm>
#include <filesystem>
#include <sstream>

namespace vexa::test {

std::vector<CpuidFileFacts> cpuidFiles() {
    namespace fs = std::filesystem;
    const fs::path root = dataPath("cpuid");
    std::vector<CpuidFileFacts> files;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        if (entry.path().extension() != ".test") continue;
        CpuidFileFacts facts;
        facts.path = fs::relative(entry.path(), dataPath("")).string();
        std::istringstream text(readFile(entry.path().string()));
        std::string line;
        while (std::getline(text, line) && line != std::string(80, '-')) {
        }
        std::vector<std::string> values;
        while (std::getline(text, line)) values.push_back(line);
        // Values 4-6 are family, model, stepping; 9 and 10 cores and logical.
        if (values.size() >= 10) {
            facts.family = unsigned(std::stoul(values[3]));
            facts.model = unsigned(std::stoul(values[4]));
            facts.stepping = unsigned(std::stoul(values[5]));
            facts.cores = unsigned(std::stoul(values[8]));
            facts.logical = unsigned(std::stoul(values[9]));
        }
        files.push_back(facts);
    }
    std::sort(files.begin(), files.end(), [](const auto& a, const auto& b) { return a.path < b.path; });
    return files;
}

} // namespace vexa::test
