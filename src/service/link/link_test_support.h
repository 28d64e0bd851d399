// What the decoder and command tests share: a record with the service's
// start-up values, a fake clock, a LinkContext over them with the tables of
// one protocol, and a reply buffer sized exactly to the reply, so that a
// read past its end shows up under the address sanitizer. Tests only.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>

#include "platform/fake_clock.h"
#include "service/link/link_context.h"
#include "service/link/protocol_tables.h"
#include "service/link/reply_decoder.h"
#include "service/monitor/record_startup.h"
#include "shared/record_access.h"
#include "shared/status_record.h"

namespace orvik::link_test {

// A file of the checkout by its path from the top. Builds through ccache
// name this header relative to the build folder, which a running test does
// not know; the checkout is then found from the working folder upward.
inline std::string repositoryFile(const std::string& relative) {
  namespace fs = std::filesystem;
  const fs::path here = __FILE__;  // <top>/src/service/link/link_test_support.h
  fs::path top = here.parent_path().parent_path().parent_path().parent_path();
  if (here.is_relative()) {
    top = fs::current_path();
    while (!fs::exists(top / "src/service/link/link_test_support.h") && top.has_relative_path()) {
      top = top.parent_path();
    }
  }
  return (top / relative).string();
}

// A reply in a heap block of exactly its own length.
class ExactReply {
 public:
  explicit ExactReply(std::string_view bytes)
      : size_(bytes.size()), data_(new char[bytes.empty() ? 1 : bytes.size()]) {
    std::memcpy(data_.get(), bytes.data(), bytes.size());
  }
  std::string_view view() const { return {data_.get(), size_}; }

 private:
  std::size_t size_;
  std::unique_ptr<char[]> data_;
};

// Record fields against their expected values, several to a line.
struct FieldIs {
  const char* name;
  int actual;
  int expected;
};
inline void expectFields(std::initializer_list<FieldIs> fields) {
  for (const FieldIs& f : fields) EXPECT_EQ(f.actual, f.expected) << f.name;
}

struct LinkFixture {
  std::unique_ptr<StatusRecord> owned = std::make_unique<StatusRecord>();
  StatusRecord& record = *owned;
  FakeClock clock;
  ProtocolTables tables;
  LinkContext ctx;

  explicit LinkFixture(int protocol) {
    std::memset(&record, 0, sizeof record);
    applyUpsStartValues(record);
    ctx.record = &record;
    ctx.clock = &clock;
    ctx.identPath = repositoryFile("data/ident.ini");
    buildProtocolTables(protocol, tables, ctx.protocolFamily, ctx.protocolVariant, &record);
  }

  // The command of groups 1 to 3 with this command text.
  const CommandRecord& command(std::string_view text) const {
    for (int g = 1; g <= 3; ++g) {
      for (int i = 1; const CommandRecord* c = tables.group(g).command(i); ++i) {
        if (text == c->commandText) return *c;
      }
    }
    ADD_FAILURE() << "no command " << text;
    return tables.groups[0].commands[0];
  }

  int decode(const CommandRecord& command, std::string_view bytes) {
    ExactReply reply(bytes);
    return decodeReply(ctx, reply.view().substr(command.startColumn - 1), command, reply.view());
  }
  int decode(std::string_view commandText, std::string_view bytes) {
    return decode(command(commandText), bytes);
  }

  bool alarmBit(unsigned bit) const { return (record.alarmFlags >> bit) & 1; }
};

}  // namespace orvik::link_test
