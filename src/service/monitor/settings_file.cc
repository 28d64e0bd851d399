#include "service/monitor/settings_file.h"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <utility>
#include <vector>

#include "service/monitor/record_startup.h"
#include "shared/persisted_slices.h"
#include "shared/record_access.h"

namespace orvik {
namespace {

// Other threads write the record while it is saved or loaded; copying in
// aligned 4- and 2-byte atomic steps keeps every field whole and the copy
// free of data races.
template <class T>
T* at(StatusRecord& record, std::size_t offset) {
  return reinterpret_cast<T*>(reinterpret_cast<unsigned char*>(&record) + offset);
}

template <class T>
void copyOut(StatusRecord& record, std::size_t offset, unsigned char* out) {
  const T value = std::atomic_ref<T>(*at<T>(record, offset)).load(std::memory_order_relaxed);
  std::memcpy(out, &value, sizeof value);
}

template <class T>
void copyIn(StatusRecord& record, std::size_t offset, const unsigned char* in) {
  T value;
  std::memcpy(&value, in, sizeof value);
  std::atomic_ref<T>(*at<T>(record, offset)).store(value, std::memory_order_relaxed);
}

std::size_t stepAt(std::size_t offset, std::size_t remaining) {
  if (offset % 4 == 0 && remaining >= 4) return 4;
  if (offset % 2 == 0 && remaining >= 2) return 2;
  return 1;
}

void readRecordBytes(StatusRecord& record, std::size_t offset, std::size_t size,
                     unsigned char* out) {
  for (std::size_t done = 0; done < size;) {
    const std::size_t step = stepAt(offset + done, size - done);
    if (step == 4) copyOut<uint32_t>(record, offset + done, out + done);
    if (step == 2) copyOut<uint16_t>(record, offset + done, out + done);
    if (step == 1) copyOut<unsigned char>(record, offset + done, out + done);
    done += step;
  }
}

void writeRecordBytes(StatusRecord& record, std::size_t offset, std::size_t size,
                      const unsigned char* in) {
  for (std::size_t done = 0; done < size;) {
    const std::size_t step = stepAt(offset + done, size - done);
    if (step == 4) copyIn<uint32_t>(record, offset + done, in + done);
    if (step == 2) copyIn<uint16_t>(record, offset + done, in + done);
    if (step == 1) copyIn<unsigned char>(record, offset + done, in + done);
    done += step;
  }
}

bool writeWhole(const std::string& path, const std::vector<unsigned char>& bytes) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  ok = std::fflush(file) == 0 && ok;
  // A full disk may show only when the buffer is flushed or the file closed.
  ok = std::fclose(file) == 0 && ok;
  return ok;
}

}  // namespace

SettingsFile::SettingsFile(StatusRecord& record, Platform platform, std::string path)
    : record_(record), platform_(platform), path_(std::move(path)) {}

int SettingsFile::saveSettings() {
  std::lock_guard<std::mutex> lock(mutex_);
  const std::string& path = path_;
  if (path.empty()) return -1;

  std::vector<unsigned char> image(persistedSize());
  std::size_t filled = 0;
  for (const RecordSlice& slice : kPersistedSlices) {
    readRecordBytes(record_, slice.offset, slice.size, image.data() + filled);
    filled += slice.size;
  }

  const std::string replacement = path + kSettingsReplacementSuffix;
  std::error_code error;
  if (!writeWhole(replacement, image) || !platform_.files->syncFile(replacement)) {
    std::filesystem::remove(replacement, error);
    return -1;
  }
  std::filesystem::rename(replacement, path, error);
  if (error) {
    std::filesystem::remove(replacement, error);
    return -1;
  }
  platform_.files->syncDirectory(std::filesystem::path(path).parent_path().string());
  return 0;
}

int SettingsFile::loadSettings() {
  std::lock_guard<std::mutex> lock(mutex_);
  std::FILE* file = path_.empty() ? nullptr : std::fopen(path_.c_str(), "rb");
  if (file == nullptr) return -1;
  std::vector<unsigned char> image(persistedSize());
  const std::size_t length = std::fread(image.data(), 1, image.size(), file);
  std::fclose(file);

  std::size_t filled = 0;
  for (const RecordSlice& slice : kPersistedSlices) {
    if (filled >= length) break;
    const std::size_t part = std::min(slice.size, length - filled);
    writeRecordBytes(record_, slice.offset, part, image.data() + filled);
    filled += part;
  }
  applyRunTimeFields(record_, gatherRecordFacts(platform_));
  return 0;
}

}  // namespace orvik
