// Whole-file replacement for the small text files that the pages and the
// web server's helpers rewrite ("defaults.aut", "link.cfg", the SNMP
// agent's file, lighttpd's user file): a crash or kill at any moment leaves
// the old contents or the new, never an empty or partial file.
//
// Pure file work; any thread, but two writers of one file at the same time
// share one temporary file, so callers write a given file from one place.
#pragma once

#include <filesystem>
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

// The whole file as bytes; false when it cannot be opened or read.
bool readWholeFile(const std::string& path, std::string* contents);

}  // namespace orvik
