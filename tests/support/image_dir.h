// A machine image directory made by a test in its private temporary
// folder and removed afterwards.
#pragma once

#include "machine/simulated_machine.h"

#include <memory>
#include <string>

namespace vexa::test {

class ImageDir {
public:
    ImageDir();
    ~ImageDir();
    ImageDir(const ImageDir&) = delete;
    ImageDir& operator=(const ImageDir&) = delete;

    const std::string& path() const { return path_; }
    // Writes a file of the image (folders are created as needed).
    void write(const std::string& name, const std::string& content) const;
    // Copies a file of tests/data into the image.
    void copyData(const std::string& dataFile, const std::string& name) const;
    // Loads the image; fails the test with the loader's message if it cannot.
    std::unique_ptr<machine::SimulatedMachine> load() const;
    // The loader's message for an image that must not load.
    std::string loadError() const;

private:
    std::string path_;
};

} // namespace vexa::test
