// A mutex whose access list admits only the Administrators group and the
// system account, built with the advapi32 functions loaded by name.
#include <cstdlib>
#include <cstring>

#include "platform/modules.h"
#include "platform/security.h"
#include "platform/sync.h"
#include "sdk/core/sdk.h"

namespace {

struct Advapi32 {
    HMODULE library = nullptr;
    PFN_AllocateAndInitializeSid allocateAndInitializeSid = nullptr;
    PFN_FreeSid freeSid = nullptr;
    PFN_GetLengthSid getLengthSid = nullptr;
    PFN_InitializeAcl initializeAcl = nullptr;
    PFN_InitializeSecurityDescriptor initializeSecurityDescriptor = nullptr;
    PFN_SetSecurityDescriptorDacl setSecurityDescriptorDacl = nullptr;
    PFN_AddAce addAce = nullptr;

    bool load() {
        using vexa::platform::lookup;
        library = LoadLibraryA("Advapi32.dll");
        if (!library) return false;
        allocateAndInitializeSid = lookup<PFN_AllocateAndInitializeSid>(library, "AllocateAndInitializeSid");
        freeSid = lookup<PFN_FreeSid>(library, "FreeSid");
        getLengthSid = lookup<PFN_GetLengthSid>(library, "GetLengthSid");
        initializeAcl = lookup<PFN_InitializeAcl>(library, "InitializeAcl");
        initializeSecurityDescriptor =
            lookup<PFN_InitializeSecurityDescriptor>(library, "InitializeSecurityDescriptor");
        setSecurityDescriptorDacl =
            lookup<PFN_SetSecurityDescriptorDacl>(library, "SetSecurityDescriptorDacl");
        addAce = lookup<PFN_AddAce>(library, "AddAce");
        return allocateAndInitializeSid && freeSid && getLengthSid && initializeAcl &&
               initializeSecurityDescriptor && setSecurityDescriptorDacl && addAce;
    }

    ~Advapi32() {
        if (library) FreeLibrary(library);
    }
};

// An ACCESS_ALLOWED entry for one SID with the mutex's full access.
ACCESS_ALLOWED_ACE* makeAllowedAce(const Advapi32& api, PSID sid, DWORD& size) {
    const DWORD sidLength = api.getLengthSid(sid);
    size = static_cast<DWORD>(sizeof(ACCESS_ALLOWED_ACE) - sizeof(DWORD) + sidLength);
    auto* ace = static_cast<ACCESS_ALLOWED_ACE*>(std::calloc(1, size));
    if (!ace) return nullptr;
    ace->Header.AceType = ACCESS_ALLOWED_ACE_TYPE;
    ace->Header.AceFlags = 0;
    ace->Header.AceSize = static_cast<WORD>(size);
    ace->Mask = MUTEX_ALL_ACCESS;
    std::memcpy(&ace->SidStart, sid, sidLength);
    return ace;
}

} // namespace

HANDLE CreateSecuredMutex(uint32_t initialOwner, const char* name) {
    Advapi32 api;
    if (!api.load()) return nullptr;

    SID_IDENTIFIER_AUTHORITY authority = SECURITY_NT_AUTHORITY;
    PSID administrators = nullptr, system = nullptr;
    ACCESS_ALLOWED_ACE *administratorsAce = nullptr, *systemAce = nullptr;
    PACL acl = nullptr;
    SECURITY_DESCRIPTOR* descriptor = nullptr;
    HANDLE mutex = nullptr;
    DWORD error = ERROR_SUCCESS;
    DWORD administratorsSize = 0, systemSize = 0;

    const bool built = [&] {
        if (!api.allocateAndInitializeSid(&authority, 2, SECURITY_BUILTIN_DOMAIN_RID,
                                          DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0, &administrators) ||
            !api.allocateAndInitializeSid(&authority, 1, SECURITY_LOCAL_SYSTEM_RID, 0, 0, 0, 0, 0,
                                          0, 0, &system))
            return false;
        administratorsAce = makeAllowedAce(api, administrators, administratorsSize);
        systemAce = makeAllowedAce(api, system, systemSize);
        if (!administratorsAce || !systemAce) return false;
        const DWORD aclSize = sizeof(ACL) + administratorsSize + systemSize;
        acl = static_cast<PACL>(std::calloc(1, aclSize));
        if (!acl || !api.initializeAcl(acl, aclSize, ACL_REVISION) ||
            !api.addAce(acl, ACL_REVISION, MAXDWORD, administratorsAce, administratorsSize) ||
            !api.addAce(acl, ACL_REVISION, MAXDWORD, systemAce, systemSize))
            return false;
        descriptor = static_cast<SECURITY_DESCRIPTOR*>(std::calloc(1, SECURITY_DESCRIPTOR_MIN_LENGTH));
        return descriptor &&
               api.initializeSecurityDescriptor(descriptor, SECURITY_DESCRIPTOR_REVISION) &&
               api.setSecurityDescriptorDacl(descriptor, TRUE, acl, FALSE);
    }();

    if (built) {
        SECURITY_ATTRIBUTES attributes {sizeof(SECURITY_ATTRIBUTES), descriptor, FALSE};
        mutex = CreateMutexA(&attributes, initialOwner ? TRUE : FALSE, name);
        error = GetLastError();
    }
    std::free(administratorsAce);
    std::free(systemAce);
    std::free(acl);
    std::free(descriptor);
    if (administrators) api.freeSid(administrators);
    if (system) api.freeSid(system);
    // Callers look for ERROR_ALREADY_EXISTS after the call.
    if (mutex) SetLastError(error);
    return mutex;
}
