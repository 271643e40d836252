#include "platform/OwnObjects.h"

#include <atomic>
#include <cstring>

// ntdll's security and section services. The library must not bring advapi32 into the
// processes it is loaded into, and every process has ntdll.
using NTSTATUS = LONG;
extern "C" {
NTSTATUS NTAPI NtOpenProcessToken(HANDLE process, ACCESS_MASK access, PHANDLE token);
NTSTATUS NTAPI NtQueryInformationToken(HANDLE token, TOKEN_INFORMATION_CLASS what, PVOID out, ULONG size,
                                       PULONG returned);
NTSTATUS NTAPI NtClose(HANDLE handle);
NTSTATUS NTAPI NtQuerySecurityObject(HANDLE object, SECURITY_INFORMATION what, PSECURITY_DESCRIPTOR out, ULONG size,
                                     PULONG needed);
NTSTATUS NTAPI NtQuerySection(HANDLE section, int what, PVOID out, SIZE_T size, PSIZE_T returned);
NTSTATUS NTAPI RtlCreateSecurityDescriptor(PSECURITY_DESCRIPTOR descriptor, ULONG revision);
NTSTATUS NTAPI RtlCreateAcl(PACL acl, ULONG size, ULONG revision);
NTSTATUS NTAPI RtlAddAccessAllowedAce(PACL acl, ULONG revision, ACCESS_MASK mask, PSID sid);
NTSTATUS NTAPI RtlAddMandatoryAce(PACL acl, ULONG revision, ULONG flags, ULONG policy, UCHAR type, PSID label);
NTSTATUS NTAPI RtlSetDaclSecurityDescriptor(PSECURITY_DESCRIPTOR descriptor, BOOLEAN present, PACL acl,
                                            BOOLEAN defaulted);
NTSTATUS NTAPI RtlSetSaclSecurityDescriptor(PSECURITY_DESCRIPTOR descriptor, BOOLEAN present, PACL acl,
                                            BOOLEAN defaulted);
NTSTATUS NTAPI RtlSetOwnerSecurityDescriptor(PSECURITY_DESCRIPTOR descriptor, PSID owner, BOOLEAN defaulted);
NTSTATUS NTAPI RtlGetOwnerSecurityDescriptor(PSECURITY_DESCRIPTOR descriptor, PSID* owner, PBOOLEAN defaulted);
NTSTATUS NTAPI RtlGetSaclSecurityDescriptor(PSECURITY_DESCRIPTOR descriptor, PBOOLEAN present, PACL* acl,
                                            PBOOLEAN defaulted);
NTSTATUS NTAPI RtlGetAce(PACL acl, ULONG index, PVOID* ace);
BOOLEAN NTAPI RtlEqualSid(PSID first, PSID second);
ULONG NTAPI RtlLengthSid(PSID sid);
}

namespace ownobj {

namespace {

constexpr ULONG kSidBytes = SECURITY_MAX_SID_SIZE;
constexpr int kSectionBasicInformation = 0;
// AllocationAttributes of a section (the SEC_ flags it was made with).
constexpr ULONG kSecFile = 0x800000;
constexpr ULONG kSecImage = 0x1000000;
constexpr ULONG kSecCommit = 0x8000000;

struct SectionBasics {
  PVOID base;
  ULONG attributes;
  LARGE_INTEGER size;
};

bool Succeeded(NTSTATUS status) { return status >= 0; }

// Who this process is, from its token: the user, and the integrity level where the
// system has levels.
struct Identity {
  alignas(8) BYTE user[kSidBytes];
  alignas(8) BYTE level[kSidBytes];
  bool hasLevel;
};

bool CopySid(PSID sid, BYTE (&out)[kSidBytes]) {
  if (!sid) return false;
  const ULONG length = RtlLengthSid(sid);
  if (length == 0 || length > kSidBytes) return false;
  std::memcpy(out, sid, length);
  return true;
}

bool ReadIdentity(Identity& identity) {
  HANDLE token = nullptr;
  if (!Succeeded(NtOpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token))) return false;
  alignas(8) BYTE buffer[sizeof(TOKEN_USER) + kSidBytes];
  ULONG returned = 0;
  bool ok = Succeeded(NtQueryInformationToken(token, TokenUser, buffer, sizeof(buffer), &returned)) &&
            CopySid(reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid, identity.user);
  identity.hasLevel = ok && Succeeded(NtQueryInformationToken(token, TokenIntegrityLevel, buffer, sizeof(buffer),
                                                              &returned)) &&
                      CopySid(reinterpret_cast<TOKEN_MANDATORY_LABEL*>(buffer)->Label.Sid, identity.level);
  NtClose(token);
  return ok;
}

// Read once; until then (and while another thread reads it) each caller reads its own.
Identity g_identity;
std::atomic<int> g_identityState{0};  // 0 unread, 1 being read, 2 read

bool ProcessIdentity(Identity& identity) {
  if (g_identityState.load(std::memory_order_acquire) == 2) {
    identity = g_identity;
    return true;
  }
  if (!ReadIdentity(identity)) return false;
  int expected = 0;
  if (g_identityState.compare_exchange_strong(expected, 1, std::memory_order_acq_rel)) {
    g_identity = identity;
    g_identityState.store(2, std::memory_order_release);
  }
  return true;
}

// The descriptor of a new object: owner and sole grantee the user, label the level.
struct Descriptor {
  SECURITY_DESCRIPTOR descriptor;
  alignas(8) BYTE dacl[sizeof(ACL) + sizeof(ACCESS_ALLOWED_ACE) + kSidBytes];
  alignas(8) BYTE sacl[sizeof(ACL) + sizeof(SYSTEM_MANDATORY_LABEL_ACE) + kSidBytes];
  SECURITY_ATTRIBUTES attributes;
};

bool BuildDescriptor(Identity& identity, Descriptor& d) {
  PACL dacl = reinterpret_cast<PACL>(d.dacl);
  PACL sacl = reinterpret_cast<PACL>(d.sacl);
  if (!Succeeded(RtlCreateSecurityDescriptor(&d.descriptor, SECURITY_DESCRIPTOR_REVISION)) ||
      !Succeeded(RtlCreateAcl(dacl, sizeof(d.dacl), ACL_REVISION)) ||
      !Succeeded(RtlAddAccessAllowedAce(dacl, ACL_REVISION, GENERIC_ALL, identity.user)) ||
      !Succeeded(RtlSetDaclSecurityDescriptor(&d.descriptor, TRUE, dacl, FALSE)) ||
      !Succeeded(RtlSetOwnerSecurityDescriptor(&d.descriptor, identity.user, FALSE))) {
    return false;
  }
  if (identity.hasLevel &&
      (!Succeeded(RtlCreateAcl(sacl, sizeof(d.sacl), ACL_REVISION)) ||
       !Succeeded(RtlAddMandatoryAce(sacl, ACL_REVISION, 0,
                                     SYSTEM_MANDATORY_LABEL_NO_WRITE_UP | SYSTEM_MANDATORY_LABEL_NO_READ_UP,
                                     SYSTEM_MANDATORY_LABEL_ACE_TYPE, identity.level)) ||
       !Succeeded(RtlSetSaclSecurityDescriptor(&d.descriptor, TRUE, sacl, FALSE)))) {
    return false;
  }
  d.attributes.nLength = sizeof(d.attributes);
  d.attributes.lpSecurityDescriptor = &d.descriptor;
  d.attributes.bInheritHandle = FALSE;
  return true;
}

// A handle that CreateXxx returned: ours when we made it, else only when the object
// that existed is ours.
HANDLE KeepIfOwn(HANDLE handle, bool existed, bool mapping, bool& created) {
  created = handle && !existed;
  if (!handle || created) return handle;
  std::uint64_t size = 0;
  if (IsOwnObject(handle) && (!mapping || IsPagefileSection(handle, size))) return handle;
  CloseHandle(handle);
  return nullptr;
}

HANDLE KeepIfOwn(HANDLE handle, bool mapping) {
  bool created = false;
  return KeepIfOwn(handle, handle != nullptr, mapping, created);
}

}  // namespace

HANDLE CreateOwnMapping(const char* name, std::uint32_t size, bool& created) {
  created = false;
  Identity identity;
  Descriptor d;
  if (!name || !ProcessIdentity(identity) || !BuildDescriptor(identity, d)) return nullptr;
  HANDLE handle = CreateFileMappingA(INVALID_HANDLE_VALUE, &d.attributes, PAGE_READWRITE | SEC_COMMIT, 0, size, name);
  const bool existed = GetLastError() == ERROR_ALREADY_EXISTS;
  return KeepIfOwn(handle, existed, true, created);
}

HANDLE CreateOwnEvent(const char* name, bool manualReset, bool& created) {
  created = false;
  Identity identity;
  Descriptor d;
  if (!name || !ProcessIdentity(identity) || !BuildDescriptor(identity, d)) return nullptr;
  HANDLE handle = CreateEventA(&d.attributes, manualReset ? TRUE : FALSE, FALSE, name);
  const bool existed = GetLastError() == ERROR_ALREADY_EXISTS;
  return KeepIfOwn(handle, existed, false, created);
}

HANDLE CreateOwnMutex(const char* name, bool initialOwner, bool& created) {
  created = false;
  Identity identity;
  Descriptor d;
  if (!name || !ProcessIdentity(identity) || !BuildDescriptor(identity, d)) return nullptr;
  HANDLE handle = CreateMutexA(&d.attributes, initialOwner ? TRUE : FALSE, name);
  const bool existed = GetLastError() == ERROR_ALREADY_EXISTS;
  return KeepIfOwn(handle, existed, false, created);
}

HANDLE OpenOwnEvent(const char* name, DWORD access) {
  if (!name) return nullptr;
  return KeepIfOwn(OpenEventA(access | READ_CONTROL, FALSE, name), false);
}

HANDLE OpenOwnMapping(const char* name, DWORD access) {
  if (!name) return nullptr;
  return KeepIfOwn(OpenFileMappingA(access | READ_CONTROL | SECTION_QUERY, FALSE, name), true);
}

bool IsOwnObject(HANDLE object) {
  Identity identity;
  if (!object || !ProcessIdentity(identity)) return false;
  // Our own descriptors are small; a larger one is not ours.
  alignas(8) BYTE buffer[1024];
  ULONG needed = 0;
  const SECURITY_INFORMATION what =
      OWNER_SECURITY_INFORMATION | (identity.hasLevel ? LABEL_SECURITY_INFORMATION : 0);
  if (!Succeeded(NtQuerySecurityObject(object, what, buffer, sizeof(buffer), &needed))) return false;
  PSID owner = nullptr;
  BOOLEAN defaulted = FALSE;
  if (!Succeeded(RtlGetOwnerSecurityDescriptor(buffer, &owner, &defaulted)) || !owner ||
      !RtlEqualSid(owner, identity.user)) {
    return false;
  }
  if (!identity.hasLevel) return true;
  BOOLEAN present = FALSE;
  PACL sacl = nullptr;
  if (!Succeeded(RtlGetSaclSecurityDescriptor(buffer, &present, &sacl, &defaulted)) || !present || !sacl) return false;
  for (ULONG i = 0; i < sacl->AceCount; ++i) {
    PVOID ace = nullptr;
    if (!Succeeded(RtlGetAce(sacl, i, &ace)) || !ace) return false;
    auto* header = static_cast<ACE_HEADER*>(ace);
    if (header->AceType != SYSTEM_MANDATORY_LABEL_ACE_TYPE) continue;
    auto* label = static_cast<SYSTEM_MANDATORY_LABEL_ACE*>(ace);
    return RtlEqualSid(reinterpret_cast<PSID>(&label->SidStart), identity.level) != FALSE;
  }
  return false;
}

bool IsPagefileSection(HANDLE section, std::uint64_t& size) {
  SectionBasics basics;
  std::memset(&basics, 0, sizeof(basics));
  SIZE_T returned = 0;
  if (!section || !Succeeded(NtQuerySection(section, kSectionBasicInformation, &basics, sizeof(basics), &returned))) {
    return false;
  }
  if ((basics.attributes & (kSecFile | kSecImage)) != 0 || (basics.attributes & kSecCommit) == 0) return false;
  size = static_cast<std::uint64_t>(basics.size.QuadPart);
  return true;
}

bool LevelQualifiedName(const char* base, char* out, std::size_t size) {
  Identity identity;
  if (!base || !out || size == 0 || !ProcessIdentity(identity)) return false;
  DWORD level = 0;
  if (identity.hasLevel) {
    const SID* sid = reinterpret_cast<const SID*>(identity.level);
    if (sid->SubAuthorityCount > 0) level = sid->SubAuthority[sid->SubAuthorityCount - 1];
  }
  char suffix[16] = ".il";
  std::size_t at = 3;
  char digits[8];
  int count = 0;
  do {
    digits[count++] = "0123456789abcdef"[level & 0xF];
    level >>= 4;
  } while (level != 0 && count < 8);
  while (count > 0) suffix[at++] = digits[--count];
  suffix[at] = '\0';
  const std::size_t baseLength = std::strlen(base);
  if (baseLength + at + 1 > size) return false;
  std::memcpy(out, base, baseLength);
  std::memcpy(out + baseLength, suffix, at + 1);
  return true;
}

}  // namespace ownobj
