// The system's Simple MAPI client, MAPI32.DLL, loaded for one message at a
// time through its published entry points.
#include <windows.h>
#include <mapi.h>

#include <cstring>
#include <type_traits>

#include "platform/win32_backends.h"

namespace orvik {
namespace {

// Every entry point the library must have, in the order they are looked up;
// the ones used keep their index.
constexpr const char* kEntryPoints[] = {
    "MAPILogon",      "MAPILogoff",   "MAPISendMail", "MAPISendDocuments",
    "MAPIFindNext",   "MAPIReadMail", "MAPISaveMail", "MAPIDeleteMail",
    "MAPIFreeBuffer", "MAPIAddress",  "MAPIDetails",  "MAPIResolveName"};
enum { kLogon = 0, kLogoff = 1, kSendMail = 2, kFreeBuffer = 8, kResolveName = 11, kCount = 12 };

template <typename Function>
Function* as(FARPROC entry) {
  return reinterpret_cast<Function*>(reinterpret_cast<void*>(entry));
}

class Win32MapiLibrary final : public MapiLibrary {
 public:
  Win32MapiLibrary(HMODULE library, const FARPROC (&entries)[kCount]) : library_(library) {
    std::memcpy(entries_, entries, sizeof entries_);
  }
  ~Win32MapiLibrary() override {
    if (session_ != 0) logoff();
    FreeLibrary(library_);
  }

  bool logon(const char* profile, bool newSession) override {
    LHANDLE session = 0;
    const ULONG result = as<MAPILOGON>(entries_[kLogon])(
        0, const_cast<LPSTR>(profile), nullptr, newSession ? MAPI_NEW_SESSION : 0, 0, &session);
    if (result != SUCCESS_SUCCESS) return false;
    session_ = session;
    return true;
  }

  bool resolveName(const char* name, MapiRecipient* out) override {
    lpMapiRecipDesc found = nullptr;
    const ULONG result = as<MAPIRESOLVENAME>(entries_[kResolveName])(
        session_, 0, const_cast<LPSTR>(name), 0, 0, &found);
    if (result != SUCCESS_SUCCESS || found == nullptr) return false;
    out->name = found->lpszName ? found->lpszName : "";
    out->address = found->lpszAddress ? found->lpszAddress : "";
    const auto* id = static_cast<const uint8_t*>(found->lpEntryID);
    out->entryId.assign(id, id ? id + found->ulEIDSize : id);
    as<std::remove_pointer_t<LPMAPIFREEBUFFER>>(entries_[kFreeBuffer])(found);
    return true;
  }

  bool sendMail(const std::vector<MapiRecipient>& to, const char* subject,
                const char* body) override {
    std::vector<MapiRecipDesc> recipients(to.size());
    for (size_t i = 0; i < to.size(); ++i) {
      recipients[i].ulRecipClass = MAPI_TO;
      recipients[i].lpszName = const_cast<LPSTR>(to[i].name.c_str());
      recipients[i].lpszAddress = const_cast<LPSTR>(to[i].address.c_str());
      recipients[i].ulEIDSize = static_cast<ULONG>(to[i].entryId.size());
      recipients[i].lpEntryID = const_cast<uint8_t*>(to[i].entryId.data());
    }
    MapiMessage message{};
    message.lpszSubject = const_cast<LPSTR>(subject);
    message.lpszNoteText = const_cast<LPSTR>(body);
    message.flFlags = MAPI_RECEIPT_REQUESTED;
    message.nRecipCount = static_cast<ULONG>(recipients.size());
    message.lpRecips = recipients.empty() ? nullptr : recipients.data();
    return as<MAPISENDMAIL>(entries_[kSendMail])(session_, 0, &message, 0, 0) == SUCCESS_SUCCESS;
  }

  void logoff() override {
    if (session_ == 0) return;
    as<MAPILOGOFF>(entries_[kLogoff])(session_, 0, 0, 0);
    session_ = 0;
  }

 private:
  HMODULE library_;
  FARPROC entries_[kCount];
  LHANDLE session_ = 0;
};

class Win32SimpleMapi final : public SimpleMapi {
 public:
  std::unique_ptr<MapiLibrary> load() override {
    // No "insert a disk" or "file not found" box from the system for a
    // missing library: the mail simply fails.
    const UINT previous = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    HMODULE library = LoadLibraryA("MAPI32.DLL");
    SetErrorMode(previous);
    if (library == nullptr) return nullptr;
    FARPROC entries[kCount];
    for (int i = 0; i < kCount; ++i) {
      entries[i] = GetProcAddress(library, kEntryPoints[i]);
      if (entries[i] == nullptr) {
        FreeLibrary(library);
        return nullptr;
      }
    }
    return std::make_unique<Win32MapiLibrary>(library, entries);
  }
};

}  // namespace

SimpleMapi& win32SimpleMapi() {
  static Win32SimpleMapi mapi;
  return mapi;
}

}  // namespace orvik
