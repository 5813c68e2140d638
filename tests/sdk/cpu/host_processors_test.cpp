// The processor domain on the host: what it identifies agrees with what
// the kernel says in /proc/cpuinfo.
#include <gtest/gtest.h>

#include <fstream>
#include <map>

#include "sdk/core/sdk.h"
#include "sdk/cpu/cpu_interface.h"
#include "sdk/cpu/cpu_package.h"
#include "sdk/cpu/cpu_thread.h"

namespace {

std::string Trimmed(std::string text) {
    const auto first = text.find_first_not_of(" \t");
    const auto last = text.find_last_not_of(" \t");
    return first == std::string::npos ? "" : text.substr(first, last - first + 1);
}

// The first processor's fields and the number of processors.
std::map<std::string, std::string> CpuInfo(int& processors) {
    std::map<std::string, std::string> fields;
    std::ifstream file("/proc/cpuinfo");
    std::string line;
    processors = 0;
    while (std::getline(file, line)) {
        const auto colon = line.find(':');
        if (colon == std::string::npos) continue;
        const std::string key = Trimmed(line.substr(0, colon));
        if (key == "processor") ++processors;
        if (processors == 1 && !fields.count(key)) fields[key] = Trimmed(line.substr(colon + 1));
    }
    return fields;
}

TEST(HostProcessors, AgreeWithProcCpuinfo) {
    int processors = 0;
    const auto info = CpuInfo(processors);
    if (processors == 0 || !info.count("vendor_id")) GTEST_SKIP() << "no x86 /proc/cpuinfo here";
    ASSERT_EQ(GetSDK()->CreateCPUInterface(0), 1);
    CCPUInterface* cpu = GetSDK()->m_pCPU;
    EXPECT_EQ(cpu->m_iThreadCount, processors);
    CProcessor* package = cpu->GetProcessor(0);
    ASSERT_TRUE(package);
    CCPUThread* first = package->GetFirstThread();
    EXPECT_EQ(first->m_szVendor, info.at("vendor_id"));
    EXPECT_EQ(Trimmed(package->GetSpecification()), info.at("model name"));
    const bool described = first->m_pVendorInfos != nullptr;
    if (described) {
        EXPECT_EQ(package->GetExtFamily(), std::stoi(info.at("cpu family")));
        EXPECT_EQ(package->GetExtModel(), std::stoi(info.at("model")));
    }
    EXPECT_EQ(package->GetStepping(), std::stoi(info.at("stepping")));
    if (info.count("siblings")) {
        EXPECT_EQ(package->GetThreadCount(), std::stoi(info.at("siblings")));
    }
    GetSDK()->Close();
    ReleaseSDK();
}

} // namespace
