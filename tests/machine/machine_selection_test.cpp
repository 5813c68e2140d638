// The machine of the process: the host by default, an installed machine,
// a scoped one, or the image VEXA_MACHINE names.
#include "machine/machine.h"

#include "tests/support/image_dir.h"
#include "tests/support/test_paths.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

namespace vexa::machine {
namespace {

std::unique_ptr<Machine> x58() {
    std::string error;
    auto machine = loadImage(test::sourcePath("machines/x58-nehalem"), error);
    EXPECT_TRUE(machine) << error;
    return machine;
}

TEST(MachineSelection, HostUntilSomethingIsInstalled) {
    install(nullptr);
    EXPECT_EQ(current().description(), "host");
    Machine* image = x58().release();
    std::unique_ptr<Machine> previous = install(std::unique_ptr<Machine>(image));
    ASSERT_TRUE(previous);
    EXPECT_EQ(previous->description(), "host");
    EXPECT_EQ(&current(), image);
    std::unique_ptr<Machine> back = install(nullptr);
    EXPECT_EQ(back.get(), image);
    EXPECT_EQ(current().description(), "host");
}

TEST(MachineSelection, ScopedMachineRestoresThePreviousOne) {
    install(nullptr);
    Machine& host = current();
    {
        ScopedMachine scoped(x58());
        EXPECT_EQ(&current(), &scoped.get());
        EXPECT_EQ(current().processorCount(), 8u);
        {
            ScopedMachine inner(std::make_unique<SimulatedMachine>(SimulatedHardware{}));
            EXPECT_EQ(current().processorCount(), 1u);
        }
        EXPECT_EQ(current().processorCount(), 8u);
    }
    EXPECT_EQ(&current(), &host);
}

class EnvironmentVariable {
public:
    EnvironmentVariable(const char* name, const std::string& value) : name_(name) { setenv(name, value.c_str(), 1); }
    ~EnvironmentVariable() { unsetenv(name_); }

private:
    const char* name_;
};

TEST(MachineSelection, EnvironmentNamesTheImage) {
    install(nullptr);
    std::string error;
    {
        EnvironmentVariable unset("VEXA_MACHINE", "");
        EXPECT_TRUE(selectFromEnvironment(error));
        EXPECT_EQ(current().description(), "host");
    }
    {
        // A relative path is taken from the current directory.
        const std::filesystem::path before = std::filesystem::current_path();
        std::filesystem::current_path(test::sourcePath("machines"));
        EnvironmentVariable relative("VEXA_MACHINE", "x58-nehalem/");
        const bool selected = selectFromEnvironment(error);
        std::filesystem::current_path(before);
        ASSERT_TRUE(selected) << error;
        EXPECT_EQ(current().processorCount(), 8u);
        EXPECT_EQ(current().description(), test::sourcePath("machines/x58-nehalem"));
    }
    {
        const test::ImageDir broken;
        broken.write("machine.json", "{");
        EnvironmentVariable bad("VEXA_MACHINE", broken.path());
        EXPECT_FALSE(selectFromEnvironment(error));
        EXPECT_NE(error.find("VEXA_MACHINE: " + broken.path() + "/machine.json"), std::string::npos) << error;
        EXPECT_EQ(current().processorCount(), 8u);  // the selection stays as it was
    }
    install(nullptr);
}

// A name that leads to no image is an error, never the empty machine a
// test may build.
TEST(MachineSelection, EnvironmentNamingNoImageIsAnError) {
    install(nullptr);
    const test::ImageDir empty;
    const test::ImageDir links;
    std::filesystem::create_symlink(links.path() + "/nowhere", links.path() + "/dangling");
    std::filesystem::create_symlink(empty.path(), links.path() + "/to-empty");
    const struct {
        std::string name, message;
    } cases[] = {
        {empty.path(), empty.path() + ": not a machine image (it holds none of"},
        {"/", "/: the root folder cannot be a machine image"},
        {links.path() + "/dangling", links.path() + "/dangling: not a machine image directory"},
        {links.path() + "/to-empty", links.path() + "/to-empty: not a machine image (it holds none of"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EnvironmentVariable named("VEXA_MACHINE", c.name);
        std::string error;
        EXPECT_FALSE(selectFromEnvironment(error));
        EXPECT_NE(error.find("VEXA_MACHINE: " + c.message), std::string::npos) << error;
        EXPECT_EQ(current().description(), "host");
    }
}

} // namespace
} // namespace vexa::machine
