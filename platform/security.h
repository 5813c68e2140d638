// Security identifiers, access-control lists and security descriptors, and
// the advapi32 functions that build them. The program loads these functions
// by name ("Advapi32.dll") to protect its named mutexes. The structures have
// their documented layouts so that code building them by hand works; the
// descriptors are checked and kept, and the object namespace's own
// permissions do the protecting.
#pragma once

#include "platform/win_types.h"

struct SID_IDENTIFIER_AUTHORITY {
    BYTE Value[6];
};

struct SID {
    BYTE Revision;
    BYTE SubAuthorityCount;
    SID_IDENTIFIER_AUTHORITY IdentifierAuthority;
    DWORD SubAuthority[1];
};
using PSID = void*;

struct ACL {
    BYTE AclRevision;
    BYTE Sbz1;
    WORD AclSize;
    WORD AceCount;
    WORD Sbz2;
};
using PACL = ACL*;

struct ACE_HEADER {
    BYTE AceType;
    BYTE AceFlags;
    WORD AceSize;
};

struct ACCESS_ALLOWED_ACE {
    ACE_HEADER Header;
    ACCESS_MASK Mask;
    DWORD SidStart;
};

struct SECURITY_DESCRIPTOR {
    BYTE Revision;
    BYTE Sbz1;
    WORD Control;
    PSID Owner;
    PSID Group;
    PACL Sacl;
    PACL Dacl;
};
using PSECURITY_DESCRIPTOR = void*;

constexpr SID_IDENTIFIER_AUTHORITY SECURITY_NT_AUTHORITY = {{0, 0, 0, 0, 0, 5}};
constexpr DWORD SECURITY_LOCAL_SYSTEM_RID = 18;
constexpr DWORD SECURITY_BUILTIN_DOMAIN_RID = 32;
constexpr DWORD DOMAIN_ALIAS_RID_ADMINS = 544;
constexpr BYTE ACCESS_ALLOWED_ACE_TYPE = 0;
constexpr DWORD ACL_REVISION = 2;
constexpr DWORD SECURITY_DESCRIPTOR_REVISION = 1;
constexpr DWORD SECURITY_DESCRIPTOR_MIN_LENGTH = sizeof(SECURITY_DESCRIPTOR);
constexpr WORD SE_DACL_PRESENT = 0x0004;
constexpr WORD SE_DACL_DEFAULTED = 0x0008;
constexpr DWORD MAXDWORD = 0xFFFFFFFF;

// The advapi32 functions, reached through LoadLibraryA("Advapi32.dll") and
// GetProcAddress.
using PFN_AllocateAndInitializeSid = BOOL (*)(const SID_IDENTIFIER_AUTHORITY* authority,
                                              BYTE subAuthorityCount, DWORD s0, DWORD s1,
                                              DWORD s2, DWORD s3, DWORD s4, DWORD s5,
                                              DWORD s6, DWORD s7, PSID* sid);
using PFN_FreeSid = PVOID (*)(PSID sid);
using PFN_GetLengthSid = DWORD (*)(PSID sid);
using PFN_InitializeAcl = BOOL (*)(PACL acl, DWORD length, DWORD revision);
using PFN_InitializeSecurityDescriptor = BOOL (*)(PSECURITY_DESCRIPTOR descriptor,
                                                  DWORD revision);
using PFN_SetSecurityDescriptorDacl = BOOL (*)(PSECURITY_DESCRIPTOR descriptor, BOOL present,
                                               PACL dacl, BOOL defaulted);
using PFN_AddAce = BOOL (*)(PACL acl, DWORD revision, DWORD startingIndex, LPVOID aceList,
                            DWORD aceListLength);
