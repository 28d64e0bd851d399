// Saves "kestrel.cfg" in FOLDER over and over, each save with every byte of
// every persistent block set from a counter that starts at FIRST, so that a
// file holding parts of two saves is recognisable. With COUNT it stops after
// that many saves; without, it runs until killed.
//
//   settings_save_loop FOLDER FIRST [COUNT]
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "platform/posix_backends.h"
#include "service/monitor/settings_file.h"
#include "shared/persisted_slices.h"

int main(int argc, char** argv) {
  using namespace orvik;
  if (argc < 3) return 2;
  auto record = std::make_unique<StatusRecord>();
  std::memset(record.get(), 0, sizeof *record);
  SettingsFile settings(*record, posixPlatform(), std::string(argv[1]) + "/kestrel.cfg");

  const uint32_t first = static_cast<uint32_t>(std::strtoul(argv[2], nullptr, 10));
  const long count = argc > 3 ? std::strtol(argv[3], nullptr, 10) : -1;
  auto* bytes = reinterpret_cast<unsigned char*>(record.get());
  for (uint32_t n = first; count < 0 || n - first < static_cast<uint32_t>(count); ++n) {
    for (const RecordSlice& slice : kPersistedSlices) {
      for (std::size_t i = 0; i < slice.size; ++i)
        bytes[slice.offset + i] = static_cast<unsigned char>(n >> (8 * (i % 4)));
    }
    if (settings.saveSettings() != 0) return 1;
  }
  return 0;
}
