#include <windows.h>
#include <aclapi.h>
#include <gtest/gtest.h>

#include <vector>

#include "platform/shared_memory_contract_test.h"
#include "platform/win32_backends.h"

namespace orvik {
namespace {

INSTANTIATE_TEST_SUITE_P(Backends, SharedMemoryContract,
                         ::testing::Values(SharedMemoryBackend{"Win32", &win32SharedMemory},
                                           fakeSharedMemoryBackend()),
                         backendName);

struct Grant {
  std::vector<unsigned char> sid;
  ACCESS_MASK mask;
};

// The access list a named object carries.
std::vector<Grant> grantsOf(HANDLE object) {
  PACL list = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  std::vector<Grant> grants;
  if (GetSecurityInfo(object, SE_KERNEL_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr,
                      &list, nullptr, &descriptor) != ERROR_SUCCESS) {
    ADD_FAILURE() << "GetSecurityInfo failed";
    return grants;
  }
  for (DWORD i = 0; list != nullptr && i < list->AceCount; ++i) {
    ACCESS_ALLOWED_ACE* ace = nullptr;
    if (!GetAce(list, i, reinterpret_cast<void**>(&ace))) continue;
    EXPECT_EQ(ace->Header.AceType, ACCESS_ALLOWED_ACE_TYPE);
    auto* sid = reinterpret_cast<unsigned char*>(&ace->SidStart);
    grants.push_back({{sid, sid + GetLengthSid(sid)}, ace->Mask});
  }
  LocalFree(descriptor);
  return grants;
}

std::vector<unsigned char> tokenSid(TOKEN_INFORMATION_CLASS kind) {
  HANDLE token = nullptr;
  OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token);
  DWORD size = 0;
  GetTokenInformation(token, kind, nullptr, 0, &size);
  std::vector<unsigned char> buffer(size);
  GetTokenInformation(token, kind, buffer.data(), size, &size);
  CloseHandle(token);
  PSID sid = kind == TokenUser ? reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid
                               : reinterpret_cast<TOKEN_PRIMARY_GROUP*>(buffer.data())->PrimaryGroup;
  auto* bytes = static_cast<unsigned char*>(sid);
  return {bytes, bytes + GetLengthSid(sid)};
}

// Whoever may write the record may set the command the service runs: the
// service's account gets everything, the share group (by default the
// account's primary group) reading and writing, nobody else anything; the
// owner lock's event carries the same list.
TEST(Win32SharedMemory, BlockAndOwnerLockOpenOnlyToTheServiceAndTheShareGroup) {
  const std::string name = "orvik_access_" + std::to_string(GetCurrentProcessId());
  const struct {
    const char* account;
    std::vector<unsigned char> shareSid;
  } cases[] = {
      {"", tokenSid(TokenPrimaryGroup)},
      {"Administrators", {}},
  };
  for (const auto& c : cases) {
    setSharedMemoryGroup(c.account);
    bool existed = true;
    auto block = win32SharedMemory().createOrOpen(name.c_str(), 64, &existed);
    ASSERT_TRUE(block) << c.account;
    ASSERT_TRUE(block->holdOwnerLock());
    for (const std::string object : {name, name + ".owner"}) {
      HANDLE handle = object == name ? OpenFileMappingA(READ_CONTROL, FALSE, object.c_str())
                                     : OpenEventA(READ_CONTROL, FALSE, object.c_str());
      ASSERT_NE(handle, nullptr) << object;
      const std::vector<Grant> grants = grantsOf(handle);
      CloseHandle(handle);
      ASSERT_EQ(grants.size(), 2u) << object;
      EXPECT_EQ(grants[0].sid, tokenSid(TokenUser)) << object;
      if (!c.shareSid.empty()) EXPECT_EQ(grants[1].sid, c.shareSid) << object;
      EXPECT_NE(grants[1].sid, grants[0].sid) << c.account;
      // Generic rights as granted: the object maps them to its own.
      EXPECT_EQ(grants[0].mask & GENERIC_ALL, GENERIC_ALL) << object;
      EXPECT_EQ(grants[1].mask, static_cast<ACCESS_MASK>(GENERIC_READ | GENERIC_WRITE)) << object;
    }
  }
  setSharedMemoryGroup("");
}

// A misspelt share group must not leave the record open to everybody.
TEST(Win32SharedMemory, UnknownShareGroupCreatesNoBlock) {
  setSharedMemoryGroup("no such group 7f3a");
  bool existed = false;
  EXPECT_FALSE(win32SharedMemory().createOrOpen("orvik_unknown_group", 64, &existed));
  setSharedMemoryGroup("");
}

}  // namespace
}  // namespace orvik
