// The processor domain on the host, checked against readings of the same
// sources taken by the test itself: CPUID executed here on each logical
// processor, and the online processors of sysfs. The kernel's own strings
// (/proc/cpuinfo) are not used: a hypervisor may answer the kernel's CPUID
// differently from a program's, and the kernel keeps what it read at boot.
#include <gtest/gtest.h>

#include <cpuid.h>
#include <sched.h>

#include <cstring>
#include <fstream>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/processor_groups.h"
#include "sdk/core/sdk.h"
#include "sdk/cpu/cpu_interface.h"
#include "sdk/cpu/cpu_package.h"
#include "sdk/cpu/cpu_thread.h"

namespace {

struct Regs {
    uint32_t eax = 0, ebx = 0, ecx = 0, edx = 0;
};

// CPUID on one processor, from a thread of the test pinned to it; none
// when this process may not run there.
std::optional<Regs> CpuidOn(unsigned cpu, uint32_t leaf, uint32_t subleaf = 0) {
    std::optional<Regs> result;
    std::thread reader([&] {
        cpu_set_t set;
        CPU_ZERO(&set);
        CPU_SET(cpu, &set);
        if (sched_setaffinity(0, sizeof set, &set) != 0) return;
        Regs regs;
        __cpuid_count(leaf, subleaf, regs.eax, regs.ebx, regs.ecx, regs.edx);
        result = regs;
    });
    reader.join();
    return result;
}

// The processors of /sys/devices/system/cpu/online ("0-3,8,10-11").
std::optional<unsigned> OnlineProcessors() {
    std::ifstream file("/sys/devices/system/cpu/online");
    std::string list;
    if (!std::getline(file, list) || list.empty()) return std::nullopt;
    unsigned count = 0;
    std::stringstream ranges(list);
    std::string range;
    while (std::getline(ranges, range, ',')) {
        const auto dash = range.find('-');
        const unsigned first = std::stoul(range.substr(0, dash));
        const unsigned last = dash == std::string::npos ? first : std::stoul(range.substr(dash + 1));
        count += last - first + 1;
    }
    return count;
}

std::string Trimmed(std::string text) {
    const auto first = text.find_first_not_of(' ');
    const auto last = text.find_last_not_of(' ');
    return first == std::string::npos ? "" : text.substr(first, last - first + 1);
}

std::string Vendor(const Regs& leaf0) {
    char text[13] = {};
    std::memcpy(text, &leaf0.ebx, 4);
    std::memcpy(text + 4, &leaf0.edx, 4);
    std::memcpy(text + 8, &leaf0.ecx, 4);
    return text;
}

// The brand string of leaves 0x80000002-4, as the processor gives it.
std::string Brand(unsigned cpu) {
    char text[49] = {};
    for (uint32_t i = 0; i < 3; ++i) {
        const auto part = CpuidOn(cpu, 0x80000002 + i);
        if (!part) return "";
        std::memcpy(text + 16 * i, &part->eax, 16);
    }
    return text;
}

// The initial APIC id as the descriptions read it: the x2APIC id of leaf
// 0xB where that leaf answers, else leaf 1 EBX[31:24].
std::optional<int32_t> ApicIdOn(unsigned cpu) {
    const auto leaf0 = CpuidOn(cpu, 0);
    const auto leaf1 = CpuidOn(cpu, 1);
    if (!leaf0 || !leaf1) return std::nullopt;
    if (leaf0->eax >= 0xB) {
        const auto topology = CpuidOn(cpu, 0xB);
        if (topology && topology->ebx != 0) return static_cast<int32_t>(topology->edx & 0x7FFFFFFF);
    }
    return static_cast<int32_t>(leaf1->ebx >> 24);
}

class HostProcessors : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(GetSDK()->CreateCPUInterface(0), 1);
        cpu_ = GetSDK()->m_pCPU;
        ASSERT_TRUE(cpu_);
        CTListIterator<CCPUThread> it(cpu_->m_pThreads);
        for (CCPUThread* thread = it.GetFirst(); thread; thread = it.GetNext()) threads_.push_back(thread);
    }
    void TearDown() override {
        GetSDK()->Close();
        ReleaseSDK();
    }

    CCPUInterface* cpu_ = nullptr;
    std::vector<CCPUThread*> threads_;
};

TEST_F(HostProcessors, EveryOnlineProcessorIsIdentified) {
    const auto online = OnlineProcessors();
    if (!online) GTEST_SKIP() << "no /sys/devices/system/cpu/online here";
    EXPECT_EQ(cpu_->m_iThreadCount, static_cast<int32_t>(*online));
    EXPECT_EQ(threads_.size(), *online);
    EXPECT_EQ(cpu_->m_MonitorThreads.size(), *online);
}

TEST_F(HostProcessors, FirstPackageAgreesWithCpuidExecutedHere) {
    ASSERT_FALSE(threads_.empty());
    const auto leaf0 = CpuidOn(0, 0);
    const auto leaf1 = CpuidOn(0, 1);
    const auto extended = CpuidOn(0, 0x80000000);
    if (!leaf0 || !leaf1 || !extended) GTEST_SKIP() << "this process may not run on processor 0";
    CProcessor* package = cpu_->GetProcessor(0);
    ASSERT_TRUE(package);
    CCPUThread* first = package->GetFirstThread();
    ASSERT_TRUE(first);
    EXPECT_EQ(first->m_szVendor, Vendor(*leaf0));
    if (extended->eax >= 0x80000004) {
        EXPECT_EQ(Trimmed(package->GetSpecification()), Trimmed(Brand(0)));
    }
    const int32_t family = static_cast<int32_t>(leaf1->eax >> 8 & 0xF);
    const int32_t model = static_cast<int32_t>(leaf1->eax >> 4 & 0xF);
    EXPECT_EQ(package->GetFamily(), family);
    EXPECT_EQ(package->GetModel(), model);
    EXPECT_EQ(package->GetStepping(), static_cast<int32_t>(leaf1->eax & 0xF));
    // The extended model: Intel's descriptions read it from leaf 1, AMD's
    // from leaf 0x80000001 (the two may differ under a hypervisor).
    const std::string vendor = Vendor(*leaf0);
    std::optional<Regs> signature;
    if (vendor == "GenuineIntel") signature = leaf1;
    if (vendor == "AuthenticAMD" && extended->eax >= 0x80000001) signature = CpuidOn(0, 0x80000001);
    if (first->m_pVendorInfos && signature) {
        EXPECT_EQ(package->GetExtModel(),
                  static_cast<int32_t>((signature->eax >> 16 & 0xF) * 16 + (signature->eax >> 4 & 0xF)));
    }
}

// Each logical processor carries the APIC id CPUID gives on its processor;
// ids that do not tell the processors apart (repeated ones, as some
// hypervisors give) are replaced by the processors' order.
TEST_F(HostProcessors, ApicIdsAreTheProcessorsOwnOrTheirOrder) {
    ASSERT_FALSE(threads_.empty());
    const auto leaf0 = CpuidOn(0, 0);
    if (!leaf0) GTEST_SKIP() << "this process may not run on processor 0";
    const std::string vendor = Vendor(*leaf0);
    if (vendor != "GenuineIntel" && vendor != "AuthenticAMD") GTEST_SKIP() << vendor;
    std::vector<std::optional<int32_t>> read;
    std::set<int32_t> distinct;
    for (unsigned cpu = 0; cpu < threads_.size(); ++cpu) {
        read.push_back(ApicIdOn(cpu));
        if (!read.back()) GTEST_SKIP() << "this process may not run on processor " << cpu;
        distinct.insert(*read.back());
    }
    const bool renumbered = distinct.size() != threads_.size();
    // Each processor's number is its bit in its group, whatever the sizes
    // the groups were split into (72 processors: two groups of 36).
    std::vector<int32_t> bitInGroup;
    for (unsigned size : vexa::platform::processorGroupSizes())
        for (unsigned k = 0; k < size; ++k) bitInGroup.push_back(static_cast<int32_t>(k));
    ASSERT_EQ(bitInGroup.size(), threads_.size());
    std::set<int32_t> reported;
    for (unsigned cpu = 0; cpu < threads_.size(); ++cpu) {
        SCOPED_TRACE(cpu);
        EXPECT_EQ(threads_[cpu]->m_iApicId, renumbered ? static_cast<int32_t>(cpu) : *read[cpu]);
        EXPECT_EQ(threads_[cpu]->m_iProcessorNumber, bitInGroup[cpu]);
        reported.insert(threads_[cpu]->m_iApicId);
    }
    EXPECT_EQ(reported.size(), threads_.size());
}

} // namespace
