// What the page write tests share: page_write_loop started as a process of
// its own, and the shapes of the files it writes.
#pragma once

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <string>
#include <vector>

extern char** environ;

namespace page_write {

namespace fs = std::filesystem;

inline pid_t spawnWriteLoop(const fs::path& folder, const char* kind, long first,
                            const char* count = nullptr) {
  std::vector<std::string> words = {WRITE_LOOP_PATH, folder.string(), kind, std::to_string(first)};
  if (count != nullptr) words.push_back(count);
  std::vector<char*> args;
  for (std::string& word : words) args.push_back(word.data());
  args.push_back(nullptr);
  pid_t pid = -1;
  if (posix_spawn(&pid, WRITE_LOOP_PATH, nullptr, nullptr, args.data(), environ) != 0) return -1;
  return pid;
}

inline int waitFor(pid_t pid) {
  int status = 0;
  waitpid(pid, &status, 0);
  return status;
}

inline std::string read(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return in ? std::string((std::istreambuf_iterator<char>(in)), {}) : "(missing)";
}

inline std::string padded(const std::string& text) {
  return text + std::string(63 - text.size(), 'x');
}

// A long block of the agent's own lines, so that a kill or a second writer
// can land inside a write.
inline std::string agentLines() {
  std::string lines = "agentaddress udp:127.0.0.1:1161\n";
  for (int i = 0; i < 3000; ++i) lines += "# the agent's own line " + std::to_string(i) + "\n";
  return lines;
}

// The file a kind of loop writes, in folder.
inline fs::path pageFile(const fs::path& folder, const std::string& kind) {
  return folder / (kind == "access" ? "defaults.aut" : kind == "links" ? "link.cfg" : "snmpd.conf");
}

// A fresh folder for the loop: the SNMP agent's file holds agentLines().
inline fs::path makeFolder(const std::string& name) {
  const fs::path folder = fs::temp_directory_path() / (name + std::to_string(getpid()));
  fs::remove_all(folder);
  fs::create_directories(folder);
  std::ofstream(folder / "platform.ini")
      << "SnmpdConf=" << (folder / "snmpd.conf").string() << "\n";
  std::ofstream(folder / "snmpd.conf") << agentLines();
  return folder;
}

// True when text is one whole write of the loop.
inline bool whole(const std::string& kind, const std::string& text) {
  if (kind == "access") {
    static const std::regex access(
        "\\[/\\]\nu([0-9]+)=p\\1\n\\[/java\\]\nall=\\*\n\\[/help\\]\nall=\\*\n");
    return std::regex_match(text, access);
  }
  if (kind == "links") {
    const std::string n = text.substr(0, text.find('-'));
    std::string expected;
    for (int i = 1; i <= 6; ++i) expected += padded(n + "-" + std::to_string(i)) + "\n";
    return !n.empty() && text == expected;
  }
  static const std::string lines = agentLines();
  if (text.compare(0, lines.size(), lines) != 0) return false;
  // A kill between an add and its removal leaves that community behind.
  static const std::regex community("(rwcommunity c[0-9]+\n)*");
  return std::regex_match(text.substr(lines.size()), community);
}

}  // namespace page_write
