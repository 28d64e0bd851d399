// Named file mappings in the paging file. The owner lock is a named event
// "<name>.owner" that the owner keeps open: Windows removes a named object
// with its last handle, and closes every handle of a process that ends,
// however it ends, so the event exists exactly while an owner lives.
//
// Access: both objects carry an access list that lets the creating
// process's account and one other account or group (the web server's) read
// and write, and nobody else. Whoever can write the record can set the
// command the service runs.
#include <windows.h>

#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/win32_backends.h"

namespace orvik {
namespace {

constexpr int kLockAttempts = 400;
constexpr auto kLockRetryPause = std::chrono::milliseconds(5);

std::string ownerName(const char* name) { return std::string(name) + ".owner"; }

// The exact size of a mapping, from the section's own record; the page-
// rounded size of the view where ntdll does not tell it.
struct SectionBasicInformation {
  void* base;
  ULONG attributes;
  LARGE_INTEGER size;
};
using QuerySection = LONG(WINAPI*)(HANDLE, int, void*, ULONG, ULONG*);

std::size_t mappingSize(HANDLE mapping, const void* view) {
  static const auto query = reinterpret_cast<QuerySection>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQuerySection")));
  SectionBasicInformation info{};
  if (query != nullptr && query(mapping, 0, &info, sizeof info, nullptr) == 0) {
    return static_cast<std::size_t>(info.size.QuadPart);
  }
  MEMORY_BASIC_INFORMATION region{};
  if (view != nullptr && VirtualQuery(view, &region, sizeof region) != 0) {
    return region.RegionSize;
  }
  return 0;
}

// Whether a mapping the system reports as found bytes is one of size bytes:
// the same, or (where the system keeps sizes in whole pages, as Wine does)
// the same number of pages.
bool sameSize(std::size_t found, std::size_t size) {
  SYSTEM_INFO system;
  GetSystemInfo(&system);
  const std::size_t page = system.dwPageSize;
  return found == size || (found % page == 0 && (size + page - 1) / page * page == found);
}

class Win32Block final : public SharedBlock {
 public:
  Win32Block(HANDLE mapping, void* view, std::size_t size, std::string name,
             std::vector<unsigned char> security)
      : mapping_(mapping),
        view_(view),
        size_(size),
        name_(std::move(name)),
        security_(std::move(security)) {}
  ~Win32Block() override {
    if (owner_ != nullptr) CloseHandle(owner_);
    UnmapViewOfFile(view_);
    CloseHandle(mapping_);
  }
  void* data() override { return view_; }
  std::size_t size() const override { return size_; }

  // An opener's probe holds the event open for a moment; wait it out.
  bool holdOwnerLock() override;

 private:
  HANDLE mapping_;
  void* view_;
  std::size_t size_;
  std::string name_;
  std::vector<unsigned char> security_;  // the access the event gets too
  HANDLE owner_ = nullptr;
};

// A self-relative security descriptor allowing full access to the process's
// own account and read and write to shareAccount (or the primary group);
// empty when an account cannot be found.
std::vector<unsigned char> accessFor(const std::string& shareAccount);

SECURITY_ATTRIBUTES attributesOf(std::vector<unsigned char>& descriptor) {
  SECURITY_ATTRIBUTES attributes{};
  attributes.nLength = sizeof attributes;
  attributes.lpSecurityDescriptor = descriptor.data();
  attributes.bInheritHandle = FALSE;
  return attributes;
}

bool Win32Block::holdOwnerLock() {
  if (owner_ != nullptr) return true;
  SECURITY_ATTRIBUTES attributes = attributesOf(security_);
  for (int attempt = 0; attempt < kLockAttempts; ++attempt) {
    HANDLE event = CreateEventA(security_.empty() ? nullptr : &attributes, TRUE, FALSE,
                                ownerName(name_.c_str()).c_str());
    if (event == nullptr) return false;
    if (GetLastError() != ERROR_ALREADY_EXISTS) {
      owner_ = event;
      return true;
    }
    CloseHandle(event);
    std::this_thread::sleep_for(kLockRetryPause);
  }
  return false;
}

// Whether an owner holds name's event: 1 yes, 0 no, -1 it may not be opened.
int ownerAlive(const char* name) {
  HANDLE event = OpenEventA(SYNCHRONIZE, FALSE, ownerName(name).c_str());
  if (event != nullptr) {
    CloseHandle(event);
    return 1;
  }
  return GetLastError() == ERROR_ACCESS_DENIED ? -1 : 0;
}

class Win32SharedMemory final : public SharedMemory {
 public:
  std::unique_ptr<SharedBlock> createOrOpen(const char* name, std::size_t size,
                                            bool* existed) override {
    std::vector<unsigned char> security = accessFor(account());
    if (security.empty()) return nullptr;
    SECURITY_ATTRIBUTES attributes = attributesOf(security);
    const ULONGLONG wanted = size;
    HANDLE mapping =
        CreateFileMappingA(INVALID_HANDLE_VALUE, &attributes, PAGE_READWRITE,
                           static_cast<DWORD>(wanted >> 32), static_cast<DWORD>(wanted), name);
    if (mapping == nullptr) return nullptr;
    // 183: the name was there already, and this is a handle to that block.
    *existed = GetLastError() == ERROR_ALREADY_EXISTS;
    return mapWhole(mapping, size, FILE_MAP_READ | FILE_MAP_WRITE, name, std::move(security),
                    false);
  }

  std::unique_ptr<SharedBlock> openExisting(const char* name, std::size_t size) override {
    HANDLE mapping = OpenFileMappingA(FILE_MAP_READ | FILE_MAP_WRITE | SECTION_QUERY, FALSE, name);
    if (mapping == nullptr) return nullptr;
    return mapWhole(mapping, size, FILE_MAP_READ | FILE_MAP_WRITE, name, {}, false);
  }

  std::unique_ptr<SharedBlock> openOwned(const char* name, std::size_t size,
                                         bool* refused) override {
    *refused = false;
    HANDLE mapping = OpenFileMappingA(FILE_MAP_READ | FILE_MAP_WRITE | SECTION_QUERY, FALSE, name);
    if (mapping == nullptr) {
      *refused = GetLastError() == ERROR_ACCESS_DENIED;
      return nullptr;
    }
    const int alive = ownerAlive(name);
    if (alive != 1) {
      *refused = alive < 0;
      CloseHandle(mapping);
      return nullptr;
    }
    return mapWhole(mapping, size, FILE_MAP_READ | FILE_MAP_WRITE, name, {}, false);
  }

  std::unique_ptr<SharedBlock> openOwnedForReading(const char* name, std::size_t size, Look* look,
                                                   std::size_t* foundSize) override {
    *foundSize = 0;
    HANDLE mapping = OpenFileMappingA(FILE_MAP_READ | SECTION_QUERY, FALSE, name);
    if (mapping == nullptr) {
      *look = GetLastError() == ERROR_ACCESS_DENIED ? Look::kRefused : Look::kAbsent;
      return nullptr;
    }
    *foundSize = mappingSize(mapping, nullptr);
    const int alive = ownerAlive(name);
    if (*foundSize != 0 && !sameSize(*foundSize, size)) {
      *look = Look::kWrongSize;
    } else if (alive != 1) {
      *look = alive < 0 ? Look::kRefused : Look::kNotOwned;
    } else {
      std::unique_ptr<SharedBlock> block = mapWhole(mapping, size, FILE_MAP_READ, name, {}, true);
      *look = block ? Look::kOpened : Look::kRefused;
      return block;
    }
    CloseHandle(mapping);
    return nullptr;
  }

  // Windows removes the name with the last handle to it.
  void removeName(const char*) override {}

  void setAccount(const std::string& account) {
    std::lock_guard<std::mutex> lock(mutex_);
    account_ = account;
  }

 private:
  std::string account() {
    std::lock_guard<std::mutex> lock(mutex_);
    return account_;
  }

  // Takes over mapping. Null, with the handle closed, when the block is
  // smaller than size or cannot be mapped; exact sizes only when asked.
  static std::unique_ptr<SharedBlock> mapWhole(HANDLE mapping, std::size_t size, DWORD access,
                                               const char* name,
                                               std::vector<unsigned char> security,
                                               bool sizeChecked) {
    void* view = MapViewOfFile(mapping, access, 0, 0, size);
    if (view == nullptr || (!sizeChecked && mappingSize(mapping, view) < size)) {
      if (view != nullptr) UnmapViewOfFile(view);
      CloseHandle(mapping);
      return nullptr;
    }
    return std::make_unique<Win32Block>(mapping, view, size, name, std::move(security));
  }

  std::mutex mutex_;
  std::string account_;
};

Win32SharedMemory& instance() {
  static Win32SharedMemory memory;
  return memory;
}

// The SID of the process's account and of its primary group.
bool processSids(std::vector<unsigned char>* user, std::vector<unsigned char>* group) {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return false;
  bool ok = true;
  for (auto [kind, out] : {std::pair{TokenUser, user}, std::pair{TokenPrimaryGroup, group}}) {
    DWORD needed = 0;
    GetTokenInformation(token, kind, nullptr, 0, &needed);
    std::vector<unsigned char> buffer(needed);
    if (needed == 0 || !GetTokenInformation(token, kind, buffer.data(), needed, &needed)) {
      ok = false;
      break;
    }
    // Both structures start with the SID pointer.
    PSID sid = kind == TokenUser ? reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid
                                 : reinterpret_cast<TOKEN_PRIMARY_GROUP*>(buffer.data())->PrimaryGroup;
    out->assign(static_cast<unsigned char*>(sid),
                static_cast<unsigned char*>(sid) + GetLengthSid(sid));
  }
  CloseHandle(token);
  return ok;
}

bool accountSid(const std::string& account, std::vector<unsigned char>* sid) {
  DWORD sidSize = 0;
  DWORD domainSize = 0;
  SID_NAME_USE use;
  LookupAccountNameA(nullptr, account.c_str(), nullptr, &sidSize, nullptr, &domainSize, &use);
  if (sidSize == 0) return false;
  sid->resize(sidSize);
  std::string domain(domainSize + 1, '\0');
  return LookupAccountNameA(nullptr, account.c_str(), sid->data(), &sidSize, domain.data(),
                            &domainSize, &use) != 0;
}

std::vector<unsigned char> accessFor(const std::string& shareAccount) {
  std::vector<unsigned char> self;
  std::vector<unsigned char> share;
  if (!processSids(&self, &share)) return {};
  if (!shareAccount.empty() && !accountSid(shareAccount, &share)) return {};
  const DWORD aclSize = sizeof(ACL) + 2 * (sizeof(ACCESS_ALLOWED_ACE) - sizeof(DWORD)) +
                        static_cast<DWORD>(self.size() + share.size());
  std::vector<unsigned char> acl(aclSize);
  auto* list = reinterpret_cast<PACL>(acl.data());
  SECURITY_DESCRIPTOR absolute;
  if (!InitializeAcl(list, aclSize, ACL_REVISION) ||
      !AddAccessAllowedAce(list, ACL_REVISION, GENERIC_ALL, self.data()) ||
      !AddAccessAllowedAce(list, ACL_REVISION, GENERIC_READ | GENERIC_WRITE, share.data()) ||
      !InitializeSecurityDescriptor(&absolute, SECURITY_DESCRIPTOR_REVISION) ||
      !SetSecurityDescriptorDacl(&absolute, TRUE, list, FALSE)) {
    return {};
  }
  // Self-relative, so that the block can keep it for its owner event.
  DWORD size = 0;
  MakeSelfRelativeSD(&absolute, nullptr, &size);
  std::vector<unsigned char> relative(size);
  if (size == 0 || !MakeSelfRelativeSD(&absolute, relative.data(), &size)) return {};
  return relative;
}

}  // namespace

SharedMemory& win32SharedMemory() { return instance(); }

void setSharedMemoryGroup(const std::string& account) { instance().setAccount(account); }

}  // namespace orvik
