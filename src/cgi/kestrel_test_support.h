// A kestrel run against fakes: a live service's record in a fake shared
// memory, an in-process network, and a service folder of the test's own.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>

#include "cgi/kestrel.h"
#include "platform/fake_platform.h"
#include "shared/control_datagram.h"
#include "shared/record_mapping.h"

namespace orvik {

class KestrelTest : public ::testing::Test {
 protected:
  void SetUp() override {
    service_ = RecordMapping::createOrOpen(memory_);
    ASSERT_TRUE(service_ && service_->holdOwnerLock());
    folder_ = std::filesystem::temp_directory_path() /
              ("kestrel-test-" + std::to_string(::getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(folder_);
    std::filesystem::create_directories(folder_);
    // Page 23 edits the SNMP agent's file: the test's own, never the machine's.
    writeFile("platform.ini", "SnmpdConf=" + (folder_ / "snmpd.conf").string() + "\n");
  }
  void TearDown() override { std::filesystem::remove_all(folder_); }

  StatusRecord& record() { return service_->record(); }

  // A contentLength that leaves CONTENT_LENGTH unset.
  static constexpr const char* kUnset = "(unset)";

  // Runs one request; the response, and the exit status in *status.
  // CONTENT_LENGTH is the body's length unless contentLength says otherwise.
  std::string run(const char* method, const std::string& query, const std::string* body = nullptr,
                  const char* contentLength = nullptr, int* status = nullptr) {
    std::map<std::string, std::string> env;
    if (method != nullptr) env["REQUEST_METHOD"] = method;
    env["QUERY_STRING"] = query;
    env.insert(headers_.begin(), headers_.end());
    if (contentLength == kUnset) {
    } else if (contentLength != nullptr) {
      env["CONTENT_LENGTH"] = contentLength;
    } else if (body != nullptr) {
      env["CONTENT_LENGTH"] = std::to_string(body->size());
    }
    std::size_t at = 0;
    const KestrelRun run{memory_, sockets_,
                         [&env](const char* name) -> const char* {
                           const auto it = env.find(name);
                           return it == env.end() ? nullptr : it->second.c_str();
                         },
                         [&](char* buffer, std::size_t size) -> std::size_t {
                           if (body == nullptr) return 0;
                           const std::size_t n = std::min(size, body->size() - at);
                           std::memcpy(buffer, body->data() + at, n);
                           at += n;
                           return n;
                         },
                         folder_.string() + "/"};
    std::string response;
    const int exitStatus = runKestrel(run, &response);
    if (status != nullptr) *status = exitStatus;
    return response;
  }
  std::string get(const std::string& query) { return run("GET", query); }
  std::string post(const std::string& query, const std::string& body) {
    return run("POST", query, &body);
  }

  // The datagrams sent from the sent()[from] on, as "port:command,argument"
  // separated by blanks; each to 127.0.0.1 or it reads "elsewhere".
  std::string datagramsSince(std::size_t from) const {
    std::string out;
    const auto sent = sockets_.sent();
    for (std::size_t i = from; i < sent.size(); ++i) {
      ControlDatagram d;
      if (sent[i].to.address != kLoopbackIpv4 ||
          decodeControlDatagram(sent[i].bytes.data(), sent[i].bytes.size(), &d) != 0) {
        out += " elsewhere";
        continue;
      }
      out += (out.empty() ? "" : " ") + std::to_string(sent[i].to.port) + ":" +
             std::to_string(d.command) + "," + std::to_string(d.argument);
    }
    return out;
  }

  void writeFile(const std::string& name, const std::string& text) {
    std::ofstream(folder_ / name, std::ios::binary) << text;
  }

  // More CGI variables for every request, as HTTP_ORIGIN.
  std::map<std::string, std::string> headers_;
  FakeSharedMemory memory_;
  FakeSockets sockets_;
  std::unique_ptr<RecordMapping> service_;
  std::filesystem::path folder_;
};

// True when text holds piece.
inline bool has(const std::string& text, const std::string& piece) {
  return text.find(piece) != std::string::npos;
}

}  // namespace orvik
