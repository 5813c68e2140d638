#include "tests/support/image_dir.h"

#include "machine/image_loader.h"
#include "tests/support/test_paths.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace vexa::test {

ImageDir::ImageDir() {
    static std::atomic<int> counter{0};
    path_ = (std::filesystem::temp_directory_path() /
             ("image-" + std::to_string(getpid()) + "-" + std::to_string(counter++)))
                .string();
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
}

ImageDir::~ImageDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

void ImageDir::write(const std::string& name, const std::string& content) const {
    const std::filesystem::path file = std::filesystem::path(path_) / name;
    std::filesystem::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << content;
}

void ImageDir::copyData(const std::string& dataFile, const std::string& name) const {
    write(name, readFile(dataPath(dataFile)));
}

std::unique_ptr<machine::SimulatedMachine> ImageDir::load() const {
    std::string error;
    auto machine = machine::loadMachineImage(path_, error);
    EXPECT_TRUE(machine) << error;
    return machine;
}

std::string ImageDir::loadError() const {
    std::string error;
    auto machine = machine::loadMachineImage(path_, error);
    EXPECT_FALSE(machine) << "the image loaded";
    EXPECT_FALSE(error.empty());
    return error;
}

} // namespace vexa::test
