#include "tests/sdk/hw/kmdriver_test_support.h"

#include <unistd.h>

#include <filesystem>
#include <regex>
#include <sstream>

#include "platform/files.h"
#include "platform/object_namespace.h"
#include "platform/resources.h"
#include "platform/services.h"
#include "platform/testing.h"
#include "tests/support/image_dir.h"
#include "tests/support/test_paths.h"

namespace vexa::test {

namespace {

constexpr unsigned kRcData = 10;

struct ImageTexts {
    std::string vxd = driverImage("vexa.vxd");
    std::string x86 = driverImage("vexa138_x32.sys");
    std::string x64 = driverImage("vexa138_x64.sys");
    std::string ia64 = driverImage("vexa138_ia64.sys");
    std::string corrupt = "MZ\x90 not a driver image\n";
};

platform::ResourceEntry entry(unsigned id, const std::string& text) {
    return {kRcData, id, reinterpret_cast<const unsigned char*>(text.data()), text.size()};
}

// The program's resources, registered once per test process.
void registerDriverImages() {
    static const ImageTexts* texts = new ImageTexts;
    static const platform::ResourceEntry entries[] = {
        entry(kVxdResource, texts->vxd),   entry(kX86Resource, texts->x86),
        entry(kX64Resource, texts->x64),   entry(kIA64Resource, texts->ia64),
        entry(kCorruptResource, texts->corrupt),
    };
    static const platform::ResourceTable table(entries, std::size(entries));
}

SC_HANDLE openService(SC_HANDLE manager) {
    return manager ? OpenServiceA(manager, "vexa138", SERVICE_ALL_ACCESS) : nullptr;
}

// Stops and deletes whatever "vexa138" service a failed test left behind.
void removeService() {
    SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    if (SC_HANDLE service = openService(manager)) {
        SERVICE_STATUS status {};
        ControlService(service, SERVICE_CONTROL_STOP, &status);
        DeleteService(service);
        CloseServiceHandle(service);
    }
    if (manager) CloseServiceHandle(manager);
}

std::regex pattern(const std::string& text) {
    // "<time>" stands for the log's time of day.
    return std::regex(std::regex_replace(text, std::regex("<time>"), "\\d\\d:\\d\\d:\\d\\d"));
}

std::string joined(const std::vector<std::string>& lines) {
    std::string text;
    for (const auto& line : lines) text += "  " + line + "\n";
    return text;
}

} // namespace

std::string driverImage(const std::string& file) {
    return readFile(sourcePath("platform/driver/images/" + file));
}

std::string tempFolder() {
    char folder[MAX_PATH];
    GetTempPathA(sizeof folder, folder);
    return folder;
}

std::string driverFolderName() { return tempFolder() + "vexa138\\"; }

std::string driverFolder() { return tempFolder() + "vexa138"; }

std::string logPathOfThisProcess() {
    return tempFolder() + "vexa_driver_" + std::to_string(getpid()) + ".log";
}

bool serviceExists() { return serviceState() != 0; }

uint32_t serviceState() {
    SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    SC_HANDLE service = openService(manager);
    SERVICE_STATUS status {};
    if (service && !QueryServiceStatus(service, &status)) status.dwCurrentState = 0;
    if (service) CloseServiceHandle(service);
    if (manager) CloseServiceHandle(manager);
    return status.dwCurrentState;
}

bool namedMutexExists(const std::string& name) {
    return access(platform::objectPath("mutex", name).c_str(), F_OK) == 0;
}

std::unique_ptr<machine::Machine> loadMachine(const std::string& directory) {
    std::string error;
    auto loaded = machine::loadImage(directory, error);
    EXPECT_TRUE(loaded) << error;
    return loaded;
}

std::unique_ptr<machine::Machine> simulatedMachine(const std::string& manifest) {
    ImageDir image;
    image.write("machine.json", manifest);
    image.copyData("cpuid/intel-nehalem-westmere/intel-core-i7-cpu-920.test", "cpuid.txt");
    return image.load();
}

void KMDriverTest::SetUp() { registerDriverImages(); }

void KMDriverTest::TearDown() {
    for (CKMDriver* driver : locked_) driver->UnlockDriverHandle();
    for (auto& driver : drivers_) driver->vCloseDriver(1, 1, 1);
    drivers_.clear();
    removeService();
    std::error_code ignored;
    std::filesystem::remove_all(driverFolder(), ignored);
    std::filesystem::remove(tempFolder() + "vexa.vxd", ignored);
    platform::testing::overrideWindowsIdentity(std::nullopt);
    platform::testing::restoreLibraries();
}

CKMDriver& KMDriverTest::newDriver() {
    auto driver = std::make_unique<CKMDriver>();
    driver->m_dwResourceIds[KMDRIVER_BUILD_VXD] = kVxdResource;
    driver->m_dwResourceIds[KMDRIVER_BUILD_X86] = kX86Resource;
    driver->m_dwResourceIds[KMDRIVER_BUILD_X64] = kX64Resource;
    driver->m_dwResourceIds[KMDRIVER_BUILD_IA64] = kIA64Resource;
    drivers_.push_back(std::move(driver));
    return *drivers_.back();
}

CKMDriver& KMDriverTest::startedDriver() {
    CKMDriver& driver = newDriver();
    uint32_t error = 0xDEAD;
    EXPECT_EQ(driver.bInitDriver(tempFolder().c_str(), &error, 1), 1) << "error " << error;
    return driver;
}

CKMDriver& KMDriverTest::lockedDriver() {
    CKMDriver& driver = startedDriver();
    uint32_t error = 0xDEAD;
    EXPECT_EQ(driver.bLockDriverHandle(&error, 1000), 1) << "error " << error;
    locked_.push_back(&driver);
    return driver;
}

void KMDriverTest::useIdentity(const machine::WindowsIdentity& identity) {
    platform::testing::overrideWindowsIdentity(identity);
}

void KMDriverOnMachine::TearDown() {
    KMDriverTest::TearDown();
    scoped_.reset();
    machine::setClock(nullptr);
}

machine::Machine& KMDriverOnMachine::install(std::unique_ptr<machine::Machine> loaded) {
    scoped_.reset();
    scoped_.emplace(std::move(loaded));
    return scoped_->get();
}

void KMDriverOnMachine::useManualClock() { machine::setClock(&clock_); }

std::vector<machine::Access> KMDriverOnMachine::accesses(machine::AccessKind kind) {
    std::vector<machine::Access> found;
    for (const auto& access : hw().accessLog())
        if (access.kind == kind) found.push_back(access);
    return found;
}

uint32_t KMDriverOnMachine::configDword(machine::PciAddress function, unsigned reg) {
    uint8_t bytes[4] = {};
    EXPECT_TRUE(hw().readPciConfig(function, reg, bytes));
    return uint32_t(bytes[0]) | uint32_t(bytes[1]) << 8 | uint32_t(bytes[2]) << 16 | uint32_t(bytes[3]) << 24;
}

std::vector<std::string> logLines(const CKMDriver& driver) {
    std::vector<std::string> lines;
    if (!driver.m_szLogPath[0]) return lines;
    std::istringstream text(readFile(platform::nativePath(driver.m_szLogPath)));
    for (std::string line; std::getline(text, line);) lines.push_back(line);
    return lines;
}

void expectLines(const std::vector<std::string>& lines, const std::vector<std::string>& patterns) {
    ASSERT_EQ(lines.size(), patterns.size()) << joined(lines);
    for (size_t i = 0; i < lines.size(); ++i)
        EXPECT_TRUE(std::regex_match(lines[i], pattern(patterns[i])))
            << "line " << i << ": " << lines[i] << "\n  expected: " << patterns[i];
}

void expectLinesInOrder(const std::vector<std::string>& lines, const std::vector<std::string>& patterns) {
    size_t next = 0;
    for (const auto& line : lines) {
        if (next < patterns.size() && std::regex_match(line, pattern(patterns[next]))) ++next;
    }
    EXPECT_EQ(next, patterns.size()) << "missing: " << (next < patterns.size() ? patterns[next] : "")
                                     << "\nin:\n" << joined(lines);
}

std::string literal(const std::string& text) {
    static const std::regex special(R"([.^$|()\[\]{}*+?\\])");
    return std::regex_replace(text, special, R"(\$&)");
}

} // namespace vexa::test
