// Helpers shared by the monitor's tests: a scratch folder per test, a record
// pointed at it, and a message catalogue read from a file written there.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "platform/fake_platform.h"
#include "service/actions/message_catalogue.h"
#include "service/monitor/record_startup.h"
#include "shared/record_access.h"
#include "shared/status_record.h"

namespace orvik {

class ScratchFolder {
 public:
  ScratchFolder() {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    path_ = std::filesystem::temp_directory_path() / (std::string("orvik_monitor_") + info->name() +
                                                      "_" + std::to_string(std::random_device()()));
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
  }
  ~ScratchFolder() { std::filesystem::remove_all(path_); }

  // With the trailing separator, as programDirectory has it.
  std::string directory() const { return path_.string() + "/"; }
  std::string file(const std::string& name) const { return (path_ / name).string(); }
  void write(const std::string& name, const std::string& bytes) const {
    std::ofstream(path_ / name, std::ios::binary) << bytes;
  }
  std::string read(const std::string& name) const {
    std::ifstream in(path_ / name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  bool exists(const std::string& name) const { return std::filesystem::exists(path_ / name); }

 private:
  std::filesystem::path path_;
};

// A zeroed record, owned by the test, and the service's files in the folder;
// the record's path fields name them, as at start-up.
struct TestRecord {
  explicit TestRecord(const ScratchFolder& folder)
      : files(startupFilesIn(folder.directory())), bytes(sizeof(StatusRecord)) {
    setText(record().dataLogPath, files.logs.dataLog);
    setText(record().eventLogPath, files.logs.eventLog);
    setText(record().configPath, files.configPath);
    setText(record().tempPath, files.logs.temp);
  }
  StatusRecord& record() { return *reinterpret_cast<StatusRecord*>(bytes.data()); }
  unsigned char* raw() { return bytes.data(); }

  StartupFiles files;
  std::vector<unsigned char> bytes;
};

// Loads a catalogue from the given msg.en contents.
inline void loadTestCatalogue(const ScratchFolder& folder, const std::string& contents,
                              MessageCatalogue& catalogue) {
  folder.write("msg.en", contents);
  ASSERT_EQ(catalogue.loadCatalogue(folder.directory().c_str(), "English"), 1);
}

}  // namespace orvik
