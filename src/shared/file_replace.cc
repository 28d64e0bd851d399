#include "shared/file_replace.h"

#include <cstdio>
#include <system_error>

namespace orvik {
namespace {

namespace fs = std::filesystem;

// The file a path names in the end: its links followed, also one that
// names a file still to be made.
fs::path finalFile(const std::string& path) {
  fs::path file(path);
  std::error_code error;
  for (int hops = 0; hops < 40 && fs::is_symlink(file, error); ++hops) {
    const fs::path target = fs::read_symlink(file, error);
    if (error) break;
    file = target.is_absolute() ? target : file.parent_path() / target;
  }
  return file;
}

bool writeAll(const fs::path& path, std::string_view contents, fs::perms perms) {
  std::FILE* file = std::fopen(path.string().c_str(), "wb");
  if (file == nullptr) return false;
  // Before any byte goes in: a password file is never readable by others,
  // not even while it is being written.
  std::error_code error;
  fs::permissions(path, perms, fs::perm_options::replace, error);
  bool ok = !error && std::fwrite(contents.data(), 1, contents.size(), file) == contents.size();
  ok = std::fflush(file) == 0 && ok;
  // A full disk may show only when the file is closed.
  ok = std::fclose(file) == 0 && ok;
  return ok;
}

}  // namespace

bool replaceFile(const std::string& path, const std::string& tempName, std::string_view contents,
                 FileSystem* files, fs::perms newFilePerms) {
  const fs::path target = finalFile(path);
  const fs::path folder = target.parent_path();
  const fs::path temp = folder / tempName;
  std::error_code error;
  const fs::file_status old = fs::status(target, error);
  const fs::perms perms =
      !error && fs::is_regular_file(old) ? old.permissions() & fs::perms::mask : newFilePerms;
  if (!writeAll(temp, contents, perms) || (files != nullptr && !files->syncFile(temp.string()))) {
    fs::remove(temp, error);
    return false;
  }
  fs::rename(temp, target, error);
  if (error) {
    fs::remove(temp, error);
    return false;
  }
  if (files != nullptr) files->syncDirectory(folder.empty() ? "." : folder.string());
  return true;
}

bool updateFile(
    const std::string& path, const std::string& tempName,
    const std::function<bool(const std::string* current, std::string* contents)>& change,
    FileSystem* files, fs::perms newFilePerms) {
  std::unique_ptr<DirectoryLock> lock;
  if (files != nullptr) {
    const fs::path folder = finalFile(path).parent_path();
    lock = files->lockDirectory(folder.empty() ? "." : folder.string(), kUpdateLockWaitMs);
    if (lock == nullptr) return false;
  }
  std::string current;
  const bool read = readWholeFile(path, &current);
  std::string contents;
  if (!change(read ? &current : nullptr, &contents)) return false;
  return replaceFile(path, tempName, contents, files, newFilePerms);
}

bool readWholeFile(const std::string& path, std::string* contents) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return false;
  contents->clear();
  char buffer[4096];
  std::size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) contents->append(buffer, n);
  const bool ok = std::ferror(file) == 0;
  std::fclose(file);
  return ok;
}

}  // namespace orvik
