// Where tests find the repository's data: sample machine images and the
// real hardware dumps under tests/data.
#pragma once

#include <string>

namespace vexa::test {

// Absolute path of a file or folder of the source tree, e.g.
// sourcePath("machines/x58-nehalem").
std::string sourcePath(const std::string& relative);
// Absolute path below tests/data, e.g. dataPath("cpuid/intel-core2/x.test").
std::string dataPath(const std::string& relative);
// The whole content of a file; empty when it cannot be read.
std::string readFile(const std::string& path);

} // namespace vexa::test
