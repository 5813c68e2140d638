// Libraries loaded by name, and the security functions of advapi32.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "platform/modules.h"
#include "platform/security.h"
#include "platform/testing.h"

namespace {

using vexa::platform::lookup;

TEST(Modules, LibraryNamesIgnoreCasePathAndSuffix) {
    HMODULE advapi = LoadLibraryA("Advapi32.dll");
    ASSERT_NE(advapi, nullptr);
    EXPECT_EQ(LoadLibraryA("ADVAPI32"), advapi);
    EXPECT_EQ(LoadLibraryA("C:\\Windows\\System32\\advapi32.DLL"), advapi);
    EXPECT_EQ(LoadLibraryA("advapi32."), nullptr);  // no extension at all
    EXPECT_EQ(LoadLibraryA("nosuch.dll"), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_MOD_NOT_FOUND);
    EXPECT_NE(LoadLibraryA("setupapi.dll"), nullptr);

    EXPECT_NE(GetProcAddress(advapi, "AddAce"), nullptr);
    EXPECT_EQ(GetProcAddress(advapi, "addace"), nullptr);  // function names keep their case
    EXPECT_EQ(GetLastError(), ERROR_PROC_NOT_FOUND);
    EXPECT_TRUE(FreeLibrary(advapi));
}

TEST(Modules, TestsCanTakeLibrariesAndFunctionsAway) {
    vexa::platform::testing::hideExport("advapi32.dll", "FreeSid");
    HMODULE advapi = LoadLibraryA("advapi32");
    ASSERT_NE(advapi, nullptr);
    EXPECT_EQ(GetProcAddress(advapi, "FreeSid"), nullptr);
    EXPECT_NE(GetProcAddress(advapi, "GetLengthSid"), nullptr);
    vexa::platform::testing::hideLibrary("ADVAPI32.DLL");
    EXPECT_EQ(LoadLibraryA("advapi32"), nullptr);
    vexa::platform::testing::restoreLibraries();
    EXPECT_NE(GetProcAddress(LoadLibraryA("advapi32"), "FreeSid"), nullptr);
}

TEST(Security, AccessListHoldsWhatFitsAndRefusesMore) {
    HMODULE advapi = LoadLibraryA("advapi32");
    auto allocate = lookup<PFN_AllocateAndInitializeSid>(advapi, "AllocateAndInitializeSid");
    auto length = lookup<PFN_GetLengthSid>(advapi, "GetLengthSid");
    auto freeSid = lookup<PFN_FreeSid>(advapi, "FreeSid");
    auto initAcl = lookup<PFN_InitializeAcl>(advapi, "InitializeAcl");
    auto addAce = lookup<PFN_AddAce>(advapi, "AddAce");

    SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
    PSID admins = nullptr;
    ASSERT_TRUE(allocate(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0,
                         0, 0, &admins));
    EXPECT_EQ(length(admins), 16u);
    EXPECT_FALSE(allocate(&nt, 9, 0, 0, 0, 0, 0, 0, 0, 0, &admins));

    const DWORD aceSize = sizeof(ACCESS_ALLOWED_ACE) - sizeof(DWORD) + length(admins);
    std::vector<uint8_t> ace(aceSize);
    auto* header = reinterpret_cast<ACCESS_ALLOWED_ACE*>(ace.data());
    header->Header.AceSize = static_cast<WORD>(aceSize);
    header->Mask = 0x1F0001;
    std::memcpy(&header->SidStart, admins, length(admins));

    std::vector<uint8_t> storage(sizeof(ACL) + aceSize);
    auto* acl = reinterpret_cast<PACL>(storage.data());
    ASSERT_TRUE(initAcl(acl, static_cast<DWORD>(storage.size()), ACL_REVISION));
    EXPECT_TRUE(addAce(acl, ACL_REVISION, MAXDWORD, ace.data(), aceSize));
    EXPECT_EQ(acl->AceCount, 1);
    EXPECT_FALSE(addAce(acl, ACL_REVISION, MAXDWORD, ace.data(), aceSize));
    EXPECT_EQ(GetLastError(), ERROR_ALLOTTED_SPACE_EXCEEDED);
    // An entry whose size field lies is refused.
    header->Header.AceSize = 2;
    EXPECT_FALSE(addAce(acl, ACL_REVISION, 0, ace.data(), aceSize));
    EXPECT_EQ(freeSid(admins), nullptr);
}

} // namespace
