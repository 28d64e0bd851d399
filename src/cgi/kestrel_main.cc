// kestrel, the management pages' CGI program: the web server runs it once
// per request from the service's cgi-bin folder.
#include <cstdio>
#include <cstdlib>

#include "cgi/kestrel.h"
#include "platform/native_backends.h"

int main() {
  using namespace orvik;
  useBinaryStandardStreams();
  const KestrelRun run{
      nativeSharedMemory(),
      nativeSockets(),
      [](const char* name) -> const char* { return std::getenv(name); },
      [](char* buffer, std::size_t size) { return std::fread(buffer, 1, size, stdin); },
      "../",
      &nativeFileSystem(),
  };
  std::string response;
  const int status = runKestrel(run, &response);
  std::fwrite(response.data(), 1, response.size(), stdout);
  std::fflush(stdout);
  return status;
}
