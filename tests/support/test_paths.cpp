#include "tests/support/test_paths.h"

#include <fstream>
#include <sstream>

namespace vexa::test {

std::string sourcePath(const std::string& relative) {
    return std::string(VEXA_SOURCE_DIR) + "/" + relative;
}

std::string dataPath(const std::string& relative) {
    return sourcePath("tests/data/" + relative);
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

} // namespace vexa::test
