#include "e2e_process.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace orvik::e2e {

namespace fs = std::filesystem;

ProgramInTempFolder::ProgramInTempFolder(const std::string& binary) {
  std::string pattern = (fs::temp_directory_path() / "orvik-e2e-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) return;
  folder_ = pattern;
  program_ = (fs::path(folder_) / fs::path(binary).filename()).string();
  fs::copy_file(binary, program_);
}

ProgramInTempFolder::~ProgramInTempFolder() {
  if (pid_ > 0) {
    int code = 0;
    kill(pid_, SIGTERM);
    if (!waitExit(5000, &code)) {
      kill(pid_, SIGKILL);
      waitExit(5000, &code);
    }
  }
  if (!folder_.empty()) {
    std::error_code ignored;
    fs::remove_all(folder_, ignored);
  }
}

bool ProgramInTempFolder::start() {
  if (program_.empty()) return false;
  const std::string out = folder_ + "/stdout.txt";
  const std::string err = folder_ + "/stderr.txt";
  pid_ = fork();
  if (pid_ < 0) return false;
  if (pid_ == 0) {
    if (chdir(folder_.c_str()) != 0) _exit(126);
    const int outFd = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const int errFd = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    dup2(outFd, 1);
    dup2(errFd, 2);
    execl(program_.c_str(), program_.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  return true;
}

bool ProgramInTempFolder::waitExit(int timeoutMs, int* exitCode) {
  if (pid_ <= 0) return false;
  int status = 0;
  const bool ended = waitUntil(timeoutMs, [&] { return waitpid(pid_, &status, WNOHANG) == pid_; });
  if (!ended) return false;
  pid_ = -1;
  *exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return true;
}

bool ProgramInTempFolder::running() {
  if (pid_ <= 0) return false;
  int status = 0;
  return waitpid(pid_, &status, WNOHANG) == 0;
}

std::string ProgramInTempFolder::standardError() const {
  std::ifstream in(folder_ + "/stderr.txt");
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

namespace {

// Lines look like "  12: 0100007F:2274 00000000:0000 07 ..."; addresses are
// the kernel's bytes in hex, so 127.0.0.1 reads 0100007F on little-endian.
std::vector<std::pair<std::string, uint16_t>> localEndpoints(const char* file) {
  std::vector<std::pair<std::string, uint16_t>> endpoints;
  std::ifstream in(file);
  std::string line;
  std::getline(in, line);  // header
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    std::string slot, local;
    fields >> slot >> local;
    const auto colon = local.rfind(':');
    if (colon == std::string::npos) continue;
    endpoints.emplace_back(local.substr(0, colon),
                           static_cast<uint16_t>(std::stoul(local.substr(colon + 1), nullptr, 16)));
  }
  return endpoints;
}

}  // namespace

std::vector<BoundUdp> boundUdpSockets(uint16_t port) {
  std::vector<BoundUdp> found;
  for (const auto& [hex, bound] : localEndpoints("/proc/net/udp")) {
    if (bound != port) continue;
    const uint32_t raw = static_cast<uint32_t>(std::stoul(hex, nullptr, 16));
    found.push_back({ntohl(raw), bound});
  }
  return found;
}

bool boundUdp6(uint16_t port) {
  for (const auto& endpoint : localEndpoints("/proc/net/udp6")) {
    if (endpoint.second == port) return true;
  }
  return false;
}

}  // namespace orvik::e2e
