// The advapi32 functions that build security identifiers, access-control
// lists and security descriptors, with the checks Windows makes on them.
#include "platform/security.h"

#include <cstdlib>
#include <cstring>
#include <type_traits>

#include "platform/internal/libraries.h"

namespace {

constexpr DWORD sidLength(BYTE subAuthorities) { return 8 + 4u * subAuthorities; }

BOOL fail(DWORD error) {
    SetLastError(error);
    return FALSE;
}

BOOL AllocateAndInitializeSid(const SID_IDENTIFIER_AUTHORITY* authority, BYTE count, DWORD s0,
                              DWORD s1, DWORD s2, DWORD s3, DWORD s4, DWORD s5, DWORD s6,
                              DWORD s7, PSID* sid) {
    if (!authority || !sid || count == 0 || count > 8) return fail(ERROR_INVALID_PARAMETER);
    auto* result = static_cast<SID*>(std::calloc(1, sidLength(count)));
    if (!result) return fail(ERROR_NOT_ENOUGH_MEMORY);
    result->Revision = 1;
    result->SubAuthorityCount = count;
    result->IdentifierAuthority = *authority;
    const DWORD values[8] = {s0, s1, s2, s3, s4, s5, s6, s7};
    std::memcpy(result->SubAuthority, values, 4u * count);
    *sid = result;
    return TRUE;
}

PVOID FreeSid(PSID sid) {
    std::free(sid);
    return nullptr;
}

DWORD GetLengthSid(PSID sid) {
    return sid ? sidLength(static_cast<SID*>(sid)->SubAuthorityCount) : 0;
}

BOOL InitializeAcl(PACL acl, DWORD length, DWORD revision) {
    if (!acl) return fail(ERROR_INVALID_PARAMETER);
    if (length < sizeof(ACL)) return fail(ERROR_INSUFFICIENT_BUFFER);
    if ((revision != 2 && revision != 4) || length > 0xFFFF) return fail(ERROR_INVALID_PARAMETER);
    acl->AclRevision = static_cast<BYTE>(revision);
    acl->Sbz1 = 0;
    acl->AclSize = static_cast<WORD>(length & ~3u);
    acl->AceCount = 0;
    acl->Sbz2 = 0;
    return TRUE;
}

// Byte length of the first `count` entries of an ACE run, or 0 when an
// entry is malformed or runs past `limit`.
DWORD aceRunLength(const BYTE* aces, DWORD count, DWORD limit) {
    DWORD used = 0;
    for (DWORD i = 0; i < count; ++i) {
        if (used + sizeof(ACE_HEADER) > limit) return 0;
        ACE_HEADER header;
        std::memcpy(&header, aces + used, sizeof header);
        if (header.AceSize < sizeof(ACE_HEADER) || used + header.AceSize > limit) return 0;
        used += header.AceSize;
    }
    return used;
}

BOOL AddAce(PACL acl, DWORD revision, DWORD startingIndex, LPVOID aceList, DWORD aceListLength) {
    if (!acl || !aceList || acl->AclSize < sizeof(ACL) || revision < acl->AclRevision)
        return fail(ERROR_INVALID_PARAMETER);
    auto* body = reinterpret_cast<BYTE*>(acl) + sizeof(ACL);
    const DWORD capacity = acl->AclSize - sizeof(ACL);
    const DWORD used = aceRunLength(body, acl->AceCount, capacity);
    if (acl->AceCount && used == 0) return fail(ERROR_INVALID_ACL);

    // Count and check the new entries.
    const auto* list = static_cast<const BYTE*>(aceList);
    DWORD newCount = 0, listUsed = 0;
    while (listUsed < aceListLength) {
        const DWORD one = aceRunLength(list + listUsed, 1, aceListLength - listUsed);
        if (one == 0) return fail(ERROR_INVALID_PARAMETER);
        listUsed += one;
        ++newCount;
    }
    if (used + aceListLength > capacity) return fail(ERROR_ALLOTTED_SPACE_EXCEEDED);

    const DWORD index = startingIndex > acl->AceCount ? acl->AceCount : startingIndex;
    const DWORD offset = aceRunLength(body, index, capacity);
    std::memmove(body + offset + aceListLength, body + offset, used - offset);
    std::memcpy(body + offset, list, aceListLength);
    acl->AceCount = static_cast<WORD>(acl->AceCount + newCount);
    return TRUE;
}

BOOL InitializeSecurityDescriptor(PSECURITY_DESCRIPTOR descriptor, DWORD revision) {
    if (!descriptor) return fail(ERROR_INVALID_PARAMETER);
    if (revision != SECURITY_DESCRIPTOR_REVISION) return fail(ERROR_INVALID_SECURITY_DESCR);
    std::memset(descriptor, 0, sizeof(SECURITY_DESCRIPTOR));
    static_cast<SECURITY_DESCRIPTOR*>(descriptor)->Revision = SECURITY_DESCRIPTOR_REVISION;
    return TRUE;
}

BOOL SetSecurityDescriptorDacl(PSECURITY_DESCRIPTOR descriptor, BOOL present, PACL dacl,
                               BOOL defaulted) {
    auto* sd = static_cast<SECURITY_DESCRIPTOR*>(descriptor);
    if (!sd || sd->Revision != SECURITY_DESCRIPTOR_REVISION)
        return fail(ERROR_INVALID_SECURITY_DESCR);
    sd->Control = static_cast<WORD>(sd->Control & ~(SE_DACL_PRESENT | SE_DACL_DEFAULTED));
    if (present) {
        sd->Control |= SE_DACL_PRESENT;
        if (defaulted) sd->Control |= SE_DACL_DEFAULTED;
        sd->Dacl = dacl;
    } else {
        sd->Dacl = nullptr;
    }
    return TRUE;
}

// Type checks: each function has the signature the program looks it up with.
static_assert(std::is_same_v<decltype(&AllocateAndInitializeSid), PFN_AllocateAndInitializeSid>);
static_assert(std::is_same_v<decltype(&FreeSid), PFN_FreeSid>);
static_assert(std::is_same_v<decltype(&GetLengthSid), PFN_GetLengthSid>);
static_assert(std::is_same_v<decltype(&InitializeAcl), PFN_InitializeAcl>);
static_assert(std::is_same_v<decltype(&InitializeSecurityDescriptor),
                             PFN_InitializeSecurityDescriptor>);
static_assert(std::is_same_v<decltype(&SetSecurityDescriptorDacl), PFN_SetSecurityDescriptorDacl>);
static_assert(std::is_same_v<decltype(&AddAce), PFN_AddAce>);

const vexa::platform::LibraryExport kExports[] = {
    {"AllocateAndInitializeSid", vexa::platform::exported(&AllocateAndInitializeSid)},
    {"FreeSid", vexa::platform::exported(&FreeSid)},
    {"GetLengthSid", vexa::platform::exported(&GetLengthSid)},
    {"InitializeAcl", vexa::platform::exported(&InitializeAcl)},
    {"InitializeSecurityDescriptor", vexa::platform::exported(&InitializeSecurityDescriptor)},
    {"SetSecurityDescriptorDacl", vexa::platform::exported(&SetSecurityDescriptorDacl)},
    {"AddAce", vexa::platform::exported(&AddAce)},
};

} // namespace

std::span<const vexa::platform::LibraryExport> vexa::platform::advapi32Exports() {
    return kExports;
}
