#include "sweep/display_posix.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <set>

#include "sweep/text.h"

namespace winsweep {

namespace {

std::string trim(const std::string& s) {
  const char* blanks = " \t\r\n";
  auto first = s.find_first_not_of(blanks);
  if (first == std::string::npos) return "";
  return s.substr(first, s.find_last_not_of(blanks) - first + 1);
}

// The same NAME=VALUE lines the service reads: names in any case, blanks
// dropped, "#" and ";" comments, a later line wins.
DisplayChoice fromPlatformIni(const std::string& path) {
  DisplayChoice choice;
  std::ifstream in(path);
  std::string line;
  while (std::getline(in, line)) {
    line = trim(line);
    auto equals = line.find('=');
    if (line.empty() || line[0] == '#' || line[0] == ';' || equals == std::string::npos) continue;
    std::string name = trim(line.substr(0, equals));
    std::string value = trim(line.substr(equals + 1));
    if (equalsIgnoringCase(name.c_str(), "Display")) choice.display = value;
    if (equalsIgnoringCase(name.c_str(), "XAuthority")) choice.xauthority = value;
  }
  return choice;
}

// Ordinary accounts start here; system accounts (display managers' greeters
// among them) have lower numbers.
constexpr uid_t kFirstUserId = 1000;

// A local display (":0", ":1.0") from the first process of an ordinary user,
// in process number order, whose environment names one; its cookie file
// comes with it.
DisplayChoice fromSessions(const std::string& procRoot) {
  std::set<long> pids;
  if (DIR* dir = opendir(procRoot.c_str())) {
    while (dirent* entry = readdir(dir)) {
      char* end;
      long pid = std::strtol(entry->d_name, &end, 10);
      if (*end == '\0' && pid > 0 && pid != getpid()) pids.insert(pid);
    }
    closedir(dir);
  }
  for (long pid : pids) {
    const std::string folder = procRoot + "/" + std::to_string(pid);
    struct stat owner;
    if (stat(folder.c_str(), &owner) != 0 || owner.st_uid < kFirstUserId) continue;
    std::ifstream in(folder + "/environ", std::ios::binary);
    std::string environ_((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    DisplayChoice choice;
    std::string home;
    for (size_t at = 0; at < environ_.size();) {
      size_t end = environ_.find('\0', at);
      if (end == std::string::npos) end = environ_.size();
      std::string entry = environ_.substr(at, end - at);
      if (entry.rfind("DISPLAY=:", 0) == 0) choice.display = entry.substr(8);
      if (entry.rfind("XAUTHORITY=", 0) == 0) choice.xauthority = entry.substr(11);
      if (entry.rfind("HOME=", 0) == 0) home = entry.substr(5);
      at = end + 1;
    }
    if (choice.display.empty()) continue;
    if (choice.xauthority.empty() && !home.empty() &&
        access((home + "/.Xauthority").c_str(), R_OK) == 0) {
      choice.xauthority = home + "/.Xauthority";
    }
    return choice;
  }
  return {};
}

}  // namespace

DisplayChoice findDisplay(const char* environmentDisplay, const std::string& programDir,
                          const std::string& procRoot) {
  if (environmentDisplay && *environmentDisplay) return {environmentDisplay, ""};
  DisplayChoice choice = fromPlatformIni(programDir + "/platform.ini");
  if (!choice.display.empty()) return choice;
  return fromSessions(procRoot);
}

}  // namespace winsweep
