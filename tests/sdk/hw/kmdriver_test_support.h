// What the tests of the kernel-driver manager share: the driver images
// registered as the program's resources, a fixture that owns the managers a
// test creates and leaves no service, file or identity behind, and helpers
// that read the log and look at the service.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "machine/clock.h"
#include "machine/machine.h"
#include "sdk/hw/kmdriver.h"

namespace vexa::test {

// Resource ids of the test program: the application's four builds, and an
// image that no Windows accepts.
constexpr uint32_t kVxdResource = 106;
constexpr uint32_t kX86Resource = 107;
constexpr uint32_t kX64Resource = 108;
constexpr uint32_t kIA64Resource = 109;
constexpr uint32_t kCorruptResource = 200;

// The text of a driver image of platform/driver/images.
std::string driverImage(const std::string& file);

// The temporary folder (with its trailing '/') and paths in it.
std::string tempFolder();
// "<temp>vexa138\" as the manager names its folder, and the native path.
std::string driverFolderName();
std::string driverFolder();
std::string logPathOfThisProcess();

// Whether the "vexa138" service exists, and its state (0 when it does not).
bool serviceExists();
uint32_t serviceState();

// Mutexes of the object namespace.
bool namedMutexExists(const std::string& name);

// A machine image directory, loaded; fails the test when it cannot be.
std::unique_ptr<machine::Machine> loadMachine(const std::string& directory);
// A simulated machine of a Core i7 920 and the given machine.json.
std::unique_ptr<machine::Machine> simulatedMachine(const std::string& manifest);

class KMDriverTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // A manager with the application's resource ids, owned by the fixture,
    // which closes it (1, 1, 1) at the end unless the test did.
    CKMDriver& newDriver();
    // newDriver() initialised with the temporary folder; fails the test
    // when the initialisation does.
    CKMDriver& startedDriver();
    // The same between bLockDriverHandle and UnlockDriverHandle.
    CKMDriver& lockedDriver();

    void useIdentity(const machine::WindowsIdentity& identity);

private:
    std::vector<std::unique_ptr<CKMDriver>> drivers_;
    std::vector<CKMDriver*> locked_;
};

// The same on a machine the test installs (and a clock it may stop).
class KMDriverOnMachine : public KMDriverTest {
protected:
    void TearDown() override;

    machine::Machine& install(std::unique_ptr<machine::Machine> loaded);
    machine::Machine& hw() { return scoped_->get(); }
    // Time moves only when something sleeps, so measurements are exact.
    void useManualClock();
    // The accesses of a kind in the machine's access log.
    std::vector<machine::Access> accesses(machine::AccessKind kind);
    uint32_t configDword(machine::PciAddress function, unsigned reg);

private:
    std::optional<machine::ScopedMachine> scoped_;
    machine::ManualClock clock_;
};

// Lines of a manager's log; empty without one.
std::vector<std::string> logLines(const CKMDriver& driver);

// Each line matches its pattern in full (ECMAScript); "<time>" stands for
// the log's time of day. literal() makes a path a pattern.
void expectLines(const std::vector<std::string>& lines, const std::vector<std::string>& patterns);
// The patterns match some lines in this order (other lines may come between).
void expectLinesInOrder(const std::vector<std::string>& lines, const std::vector<std::string>& patterns);
// A regular expression matching exactly `text`.
std::string literal(const std::string& text);

// A row of a table whose rows have a `name` prints as that name (the test
// files bring it into their namespace with `using vexa::test::PrintTo`).
template <typename Row>
    requires requires(const Row& row) { std::string(row.name); }
void PrintTo(const Row& row, std::ostream* out) {
    *out << row.name;
}

// The test name of such a row.
struct CaseName {
    template <typename Row>
    std::string operator()(const ::testing::TestParamInfo<Row>& row) const {
        return row.param.name;
    }
};

} // namespace vexa::test
