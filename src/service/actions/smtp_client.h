// The mail action's SMTP path: one message to a list of recipients through
// the server named in "smtp.ini", with an empty sender and the subject
// "Ups Message". Progress and failures show only as the fixed console lines
// below.
//
// Every wait is bounded: the connect and each send by 12 s, each reply by
// 12 s, so a dead or hostile server ends the mail instead of holding the
// mail worker. Nothing is retried.
//
// Threads: runs on the mail worker's thread only.
#pragma once

#include <string>

#include "platform/sockets.h"
#include "platform/system_info.h"
#include "platform/tcp_connection.h"
#include "service/actions/text.h"
#include "shared/datagram_sender.h"

namespace orvik {

inline constexpr uint16_t kSmtpPort = 25;
inline constexpr int kSmtpReplyWaitMs = 12'000;
inline constexpr int kSmtpConnectWaitMs = 12'000;
inline constexpr int kSmtpSendWaitMs = 12'000;
// The reply code that stands for no reply at all.
inline constexpr int kSmtpNoReply = 777;
// Reply codes above this end the dialogue.
inline constexpr int kSmtpLastGoodCode = 400;
inline constexpr int kSmtpReplyCapacity = 512;
inline constexpr char kMailSubject[] = "Ups Message";
inline constexpr char kDefaultSmtpServer[] = "127.0.0.1";

// printf formats of the console lines.
inline constexpr char kSmtpConnectingFormat[] = "Connecting to SMTP Server at %s.\n";
inline constexpr char kSmtpConnectedLine[] = "Connection Made to SMTP Server.\n";
inline constexpr char kSmtpNoSocketFormat[] = "ERROR: failed to open Socket, errno = %d.\n";
inline constexpr char kSmtpNoConnectionFormat[] =
    "ERROR: failed to open SMTP Connection, errno=%d\n";

// smtpSend's result when a command could not be sent.
inline constexpr int kSmtpSendFailed = -1;

// Writes the line to standard error at once.
void writeToStandardError(const char* line);

// One reply: waits at most 12 s for data, receives once (at most 512
// bytes) and reads the first three characters after leading blanks as a
// decimal number; kSmtpNoReply when nothing came. A reply that arrives in
// pieces is read piece by piece by the following calls.
int smtpReply(TcpConnection& connection);

// "smtp.ini" in the folder of the data log; in the current folder when that
// path has none.
std::string smtpIniPath(const std::string& dataLogPath);
// The first line of the file, trimmed of blanks and the line end;
// "127.0.0.1" when the file cannot be read.
std::string readSmtpServer(const std::string& iniPath);

// The text as a mail body: every line end CRLF, and a line that begins with
// "." gets a second one, so that no line of the text can end the message.
Text smtpBody(const char* text);

class SmtpClient {
 public:
  // sockets and system outlive the client; "smtp.ini" is read beside
  // dataLogPath at every send.
  SmtpClient(Sockets& sockets, SystemInfo& system, std::string dataLogPath,
             DiagnosticSink out = writeToStandardOutput, DiagnosticSink err = writeToStandardError);

  // Mails text to the ";"-terminated list. 1 when the server took the
  // message (or the list is empty); 0 when no connection was made or a
  // recipient holds a line break (nothing is sent then); kSmtpSendFailed;
  // or the reply code that ended the dialogue.
  int smtpSend(const char* recipients, const char* text);

 private:
  int dialogue(TcpConnection& connection, const Text& recipients, const char* text);
  void print(const DiagnosticSink& sink, const char* format, const char* value);
  void print(const DiagnosticSink& sink, const char* format, int value);

  Sockets& sockets_;
  SystemInfo& system_;
  std::string iniPath_;
  DiagnosticSink out_;
  DiagnosticSink err_;
};

}  // namespace orvik
