// The service control manager and driver devices.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "machine/machine.h"
#include "platform/driver.h"
#include "platform/files.h"
#include "platform/services.h"
#include "platform/sync.h"
#include "platform/testing.h"
#include "tests/support/test_paths.h"

namespace {

std::string writeImage(const std::string& name, const std::string& content) {
    char folder[MAX_PATH];
    GetTempPathA(sizeof folder, folder);
    const std::string path = std::string(folder) + name;
    FILE* f = std::fopen(path.c_str(), "w");
    std::fputs(content.c_str(), f);
    std::fclose(f);
    return path;
}

const char kX64Driver[] = "vexa stand-in driver\nbuild: x64\n";

class Services : public ::testing::Test {
protected:
    void SetUp() override {
        manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
        ASSERT_NE(manager, nullptr);
    }
    void TearDown() override {
        CloseServiceHandle(manager);
        vexa::platform::testing::overrideWindowsIdentity(std::nullopt);
    }
    SC_HANDLE create(const char* name, const std::string& image) {
        return CreateServiceA(manager, name, name, SERVICE_ALL_ACCESS, SERVICE_KERNEL_DRIVER,
                              SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL, image.c_str(), nullptr,
                              nullptr, nullptr, nullptr, nullptr);
    }
    DWORD state(SC_HANDLE service) {
        SERVICE_STATUS status {};
        EXPECT_TRUE(QueryServiceStatus(service, &status));
        return status.dwCurrentState;
    }
    SC_HANDLE manager = nullptr;
};

TEST_F(Services, DriverStartsOnlyFromAnImageThatFits) {
    const auto wrongBuild = writeImage("wrong.sys", "vexa stand-in driver\nbuild: x86\n");
    SC_HANDLE service = create("wrongbuild", wrongBuild);
    ASSERT_NE(service, nullptr);
    EXPECT_FALSE(StartServiceA(service, 0, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_BAD_EXE_FORMAT);
    EXPECT_EQ(state(service), SERVICE_STOPPED);
    EXPECT_TRUE(DeleteService(service));  // stopped: gone at once
    CloseServiceHandle(service);
    EXPECT_EQ(OpenServiceA(manager, "wrongbuild", SERVICE_ALL_ACCESS), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_SERVICE_DOES_NOT_EXIST);

    service = create("missing", "/nonexistent/driver.sys");
    EXPECT_FALSE(StartServiceA(service, 0, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
    DeleteService(service);
    CloseServiceHandle(service);
}

TEST_F(Services, RunningDriverOpensItsDeviceAndStaysUntilTheDeviceCloses) {
    const auto image = writeImage("vexa138_x64.sys", kX64Driver);
    EXPECT_EQ(CreateFileA("\\\\.\\VexaTest", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);

    SC_HANDLE service = create("VexaTest", image);
    ASSERT_NE(service, nullptr);
    EXPECT_EQ(create("vexatest", image), nullptr);  // names ignore case
    EXPECT_EQ(GetLastError(), ERROR_SERVICE_EXISTS);
    ASSERT_TRUE(StartServiceA(service, 0, nullptr));
    EXPECT_FALSE(StartServiceA(service, 0, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_SERVICE_ALREADY_RUNNING);

    HANDLE device = CreateFileA("\\\\.\\vexatest", GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(device, INVALID_HANDLE_VALUE);
    DWORD version = 0, returned = 0;
    ASSERT_TRUE(DeviceIoControl(device, 0x9C402438, nullptr, 0, &version, 4, &returned, nullptr));
    EXPECT_EQ(version, 312u);
    EXPECT_EQ(returned, 4u);

    // Another process sees the same running service.
    const pid_t child = fork();
    if (child == 0) {
        SC_HANDLE m = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
        SC_HANDLE s = m ? OpenServiceA(m, "VEXATEST", SERVICE_ALL_ACCESS) : nullptr;
        SERVICE_STATUS status {};
        _exit(s && QueryServiceStatus(s, &status) && status.dwCurrentState == SERVICE_RUNNING ? 0 : 1);
    }
    int code = -1;
    waitpid(child, &code, 0);
    EXPECT_TRUE(WIFEXITED(code) && WEXITSTATUS(code) == 0);

    // Marked for deletion while running: it goes once stopped; a driver
    // with an open device cannot unload yet.
    EXPECT_TRUE(DeleteService(service));
    EXPECT_EQ(create("VexaTest", image), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_SERVICE_MARKED_FOR_DELETE);
    SERVICE_STATUS status {};
    EXPECT_TRUE(ControlService(service, SERVICE_CONTROL_STOP, &status));
    EXPECT_EQ(status.dwCurrentState, SERVICE_STOP_PENDING);
    EXPECT_FALSE(ControlService(service, SERVICE_CONTROL_STOP, &status));
    EXPECT_EQ(GetLastError(), ERROR_SERVICE_CANNOT_ACCEPT_CTRL);
    CloseHandle(device);
    EXPECT_FALSE(QueryServiceStatus(service, &status));  // unloaded and deleted
    EXPECT_EQ(GetLastError(), ERROR_SERVICE_DOES_NOT_EXIST);
    CloseServiceHandle(service);
    EXPECT_EQ(CreateFileA("\\\\.\\VexaTest", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr),
              INVALID_HANDLE_VALUE);
}

TEST_F(Services, StoppedServiceAnswersInterrogationWithNotActive) {
    SC_HANDLE service = create("idle", writeImage("idle.sys", kX64Driver));
    SERVICE_STATUS status {};
    EXPECT_FALSE(ControlService(service, SERVICE_CONTROL_INTERROGATE, &status));
    EXPECT_EQ(GetLastError(), ERROR_SERVICE_NOT_ACTIVE);
    EXPECT_EQ(status.dwCurrentState, SERVICE_STOPPED);
    ASSERT_TRUE(StartServiceA(service, 0, nullptr));
    EXPECT_TRUE(ControlService(service, SERVICE_CONTROL_INTERROGATE, &status));
    EXPECT_EQ(status.dwCurrentState, SERVICE_RUNNING);
    EXPECT_TRUE(ControlService(service, SERVICE_CONTROL_STOP, &status));
    EXPECT_EQ(status.dwCurrentState, SERVICE_STOPPED);
    EXPECT_TRUE(DeleteService(service));
    EXPECT_FALSE(CloseServiceHandle(nullptr));
    EXPECT_TRUE(CloseServiceHandle(service));
}

TEST_F(Services, Windows9xHasNoServiceManagerButLoadsVxdFiles) {
    vexa::machine::WindowsIdentity nine;
    nine.platformId = 1;
    nine.majorVersion = 4;
    nine.minorVersion = 10;
    vexa::platform::testing::overrideWindowsIdentity(nine);
    std::string error;
    vexa::machine::ScopedMachine machine(
        vexa::machine::loadImage(vexa::test::sourcePath("machines/x58-nehalem"), error));
    EXPECT_EQ(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_CALL_NOT_IMPLEMENTED);

    EXPECT_EQ(CreateFileA("\\\\.\\vexa.vxd", 0, 0, nullptr, CREATE_NEW, FILE_FLAG_DELETE_ON_CLOSE, nullptr),
              INVALID_HANDLE_VALUE);
    writeImage("vexa.vxd", "vexa stand-in driver\nbuild: vxd\n");
    HANDLE vxd = CreateFileA("\\\\.\\vexa.vxd", 0, 0, nullptr, CREATE_NEW, FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    ASSERT_NE(vxd, INVALID_HANDLE_VALUE);
    // The VxD's small codes: 9 reads a port dword.
    DWORD port = 0x80, reply[10] = {};
    DWORD returned = 0;
    EXPECT_TRUE(DeviceIoControl(vxd, 9, &port, 4, reply, sizeof reply, &returned, nullptr));
    EXPECT_FALSE(DeviceIoControl(vxd, 0x9C402438, nullptr, 0, reply, 4, &returned, nullptr));
    CloseHandle(vxd);
}

} // namespace
