// Whole-file replacement for the small text files that the pages and the
// web server's helpers rewrite ("defaults.aut", "link.cfg", the SNMP
// agent's file, lighttpd's user file): a crash or kill at any moment leaves
// the old contents or the new, never an empty or partial file.
//
// Pure file work; any thread. replaceFile alone lets two writers of one file
// at the same time share one temporary file; updateFile makes them take
// turns, also across processes.
#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

#include "platform/file_system.h"

namespace orvik {

// Writes contents to tempName in the folder of path's final file (a
// symbolic link is followed, so the replacement lands beside the file it
// names and the link stays), makes it durable through files (when not
// null), and renames it over that file. The file keeps its permission
// bits; a new one gets newFilePerms. False, with the old file untouched
// and the temporary file removed, when any step fails.
bool replaceFile(const std::string& path, const std::string& tempName, std::string_view contents,
                 FileSystem* files,
                 std::filesystem::perms newFilePerms = std::filesystem::perms::owner_read |
                                                       std::filesystem::perms::owner_write |
                                                       std::filesystem::perms::group_read |
                                                       std::filesystem::perms::others_read);

// How long updateFile waits for another process's update of the folder.
inline constexpr int kUpdateLockWaitMs = 10000;

// Makes the new contents of path's file from its current ones and replaces
// it as replaceFile does, all under the lock of the folder the replacement
// is made in (files->lockDirectory): updates of one file by several
// processes at once take turns, so none loses another's change or writes
// into another's temporary file. change gets the current contents, null
// when the file cannot be read, and returns false to leave the file alone.
// False when the lock is not had within kUpdateLockWaitMs, change declines
// or the replacement fails. With files null nothing is locked or synced:
// for a file with one writer only.
bool updateFile(
    const std::string& path, const std::string& tempName,
    const std::function<bool(const std::string* current, std::string* contents)>& change,
    FileSystem* files,
    std::filesystem::perms newFilePerms = std::filesystem::perms::owner_read |
                                          std::filesystem::perms::owner_write |
                                          std::filesystem::perms::group_read |
                                          std::filesystem::perms::others_read);

// The whole file as bytes; false when it cannot be opened or read.
bool readWholeFile(const std::string& path, std::string* contents);

}  // namespace orvik
