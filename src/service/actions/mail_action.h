// The action of the mail queue: the event's mailMessage, expanded, mailed
// to the addresses of its mailUsers list with the subject "Ups Message". On
// the NT family from NT 4 on the service speaks SMTP itself (smtp_client.h);
// on the older versions the system's Simple MAPI client sends it. The
// result is not reported anywhere: the event log already records the event.
//
// Threads: runs on the mail worker's thread. The event's settings are read
// once each, since the pages may change them meanwhile.
#pragma once

#include <string>

#include "platform/simple_mapi.h"
#include "platform/sockets.h"
#include "platform/system_info.h"
#include "service/actions/action_workers.h"
#include "service/actions/smtp_client.h"
#include "shared/status_record.h"

namespace orvik {

// What the mail action needs of the service; the pointers outlive it.
struct MailSetup {
  Sockets* sockets = nullptr;
  SimpleMapi* mapi = nullptr;
  std::string dataLogPath;  // "smtp.ini" lies beside it
  int osVersionClass = 0;   // as osVersionClass() gives it
};

// Logs on to Simple MAPI with the profile "ups" in a session of its own;
// refused, on the NT family (osVersionClass 256 or more) once more without
// a profile. Mails text to the names of the ";"-terminated list that the
// mail system resolves, leaving the others out. 1 when sent (or the list is
// empty), else 0.
int mapiSend(SimpleMapi& mapi, int osVersionClass, const char* recipients, const char* text);

class MailAction final : public QueueAction {
 public:
  MailAction(StatusRecord& record, SystemInfo& system, const MailSetup& setup,
             DiagnosticSink out = writeToStandardOutput, DiagnosticSink err = writeToStandardError);

  void runAction(EventAction& entry, const ActionItem& item) override;

  // smtpSend from NT 4 on (osVersionClass above 256), mapiSend before; 1 on
  // success.
  int sendMail(const char* recipients, const char* text);

 private:
  StatusRecord& record_;
  SimpleMapi& mapi_;
  int osVersionClass_;
  SmtpClient smtp_;
};

}  // namespace orvik
