#include "service/actions/smtp_client.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <initializer_list>
#include <memory>
#include <string_view>

#include "service/actions/messenger.h"

namespace orvik {

void writeToStandardError(const char* line) {
  std::fputs(line, stderr);
  std::fflush(stderr);
}

int smtpReply(TcpConnection& connection) {
  if (connection.waitReadable(kSmtpReplyWaitMs) != 1) return kSmtpNoReply;
  char reply[kSmtpReplyCapacity + 1] = {};
  const int got = connection.receive(reply, kSmtpReplyCapacity);
  if (got <= 0) return kSmtpNoReply;
  trimSpaces(reply);
  reply[3] = '\0';
  return static_cast<int>(std::strtol(reply, nullptr, 10));
}

std::string smtpIniPath(const std::string& dataLogPath) {
  const size_t cut = dataLogPath.find_last_of("\\/");
  if (cut == std::string::npos) return "smtp.ini";
  return dataLogPath.substr(0, cut + 1) + "smtp.ini";
}

std::string readSmtpServer(const std::string& iniPath) {
  std::ifstream file(iniPath, std::ios::binary);
  std::string line;
  if (!file || !std::getline(file, line)) return kDefaultSmtpServer;
  Text server(line);
  trimLineEnd(server);
  trimSpaces(server);
  return std::string(server.view());
}

Text smtpBody(const char* text) {
  Text body;
  bool lineStart = true;
  for (const char* c = text; *c != '\0'; ++c) {
    if (*c == '\r' || *c == '\n') {
      body.append("\r\n");
      if (c[0] == '\r' && c[1] == '\n') ++c;
      lineStart = true;
      continue;
    }
    if (lineStart && *c == '.') body.append('.');
    body.append(*c);
    lineStart = false;
  }
  return body;
}

SmtpClient::SmtpClient(Sockets& sockets, SystemInfo& system, std::string dataLogPath,
                       DiagnosticSink out, DiagnosticSink err)
    : sockets_(sockets),
      system_(system),
      iniPath_(smtpIniPath(dataLogPath)),
      out_(std::move(out)),
      err_(std::move(err)) {}

int SmtpClient::smtpSend(const char* recipients, const char* text) {
  const Text list(recipients);
  if (list.length() == 0) return 1;
  // A line break would end the command it stands in and start one of its own.
  if (list.view().find_first_of("\r\n") != std::string_view::npos) return 0;

  const std::string server = readSmtpServer(iniPath_);
  print(out_, kSmtpConnectingFormat, server.c_str());
  int error = 0;
  const std::unique_ptr<TcpConnection> connection = sockets_.openTcp(&error);
  if (!connection) {
    print(err_, kSmtpNoSocketFormat, error);
    return 0;
  }
  // The text is taken as a dotted address only; anything else names no
  // server, as the broadcast address does.
  uint32_t address = kBroadcastIpv4;
  if (!parseDottedIpv4(server.c_str(), &address)) address = kBroadcastIpv4;
  if (connection->connect({address, kSmtpPort}, kSmtpConnectWaitMs) != 0) {
    print(err_, kSmtpNoConnectionFormat, connection->lastError());
    return 0;
  }
  out_(kSmtpConnectedLine);
  return dialogue(*connection, list, text ? text : "");
}

int SmtpClient::dialogue(TcpConnection& connection, const Text& recipients, const char* text) {
  const auto send = [&connection](std::string_view piece) {
    return connection.sendAll(piece.data(), piece.size(), kSmtpSendWaitMs) == 0;
  };
  // Sends the pieces and reads the reply: the code, or kSmtpSendFailed.
  const auto step = [&](std::initializer_list<std::string_view> pieces) {
    for (std::string_view piece : pieces) {
      if (!send(piece)) return kSmtpSendFailed;
    }
    return smtpReply(connection);
  };
  const auto ends = [](int code) { return code > kSmtpLastGoodCode || code == kSmtpSendFailed; };

  const std::string host = localHostName(system_);
  int code = step({});
  if (!ends(code)) code = step({"HELO " + host + "\r\n"});
  if (!ends(code)) code = step({"MAIL FROM:<>\r\n"});
  Text list = recipients;
  Text recipient;
  for (int left = countChar(list.chars(), ';'); left > 0 && !ends(code); --left) {
    takeToken(list, recipient, ';');
    // An empty entry names nobody; the server would refuse the whole mail.
    if (recipient.length() == 0) continue;
    code = step({std::string("RCPT TO:<") + recipient.chars() + ">\r\n"});
  }
  if (!ends(code)) code = step({"DATA\r\n"});
  if (!ends(code)) {
    const std::string message = std::string("To: ") + recipients.chars() + "\r\n" + "From: UPS@" +
                                host + "\r\n" + "Subject: " + kMailSubject + "\r\n\r\n" +
                                smtpBody(text).chars() + "\r\n";
    code = step({message, "\r\n", ".\r\n"});
  }
  if (!ends(code)) code = step({"QUIT\r\n"});
  return ends(code) ? code : 1;
}

void SmtpClient::print(const DiagnosticSink& sink, const char* format, const char* value) {
  std::string line(std::snprintf(nullptr, 0, format, value) + 1, '\0');
  std::snprintf(line.data(), line.size(), format, value);
  sink(line.c_str());
}

void SmtpClient::print(const DiagnosticSink& sink, const char* format, int value) {
  char line[128];
  std::snprintf(line, sizeof line, format, value);
  sink(line);
}

}  // namespace orvik
