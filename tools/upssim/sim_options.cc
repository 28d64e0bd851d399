#include "sim_options.h"

namespace orvik::upssim {
namespace {

// args[0] is "ctl": --socket PATH, then the command's words.
bool parseClientOptions(const std::vector<std::string>& args, SimOptions* o, std::string* error) {
  size_t i = 1;
  for (; i < args.size() && args[i].rfind("--", 0) == 0; ++i) {
    if (args[i] == "--socket" && i + 1 < args.size()) {
      o->clientSocket = args[++i];
    } else if (args[i] == "--help") {
      o->help = true;
      return true;
    } else {
      *error = "ctl: unknown or incomplete option " + args[i];
      return false;
    }
  }
  for (; i < args.size(); ++i) {
    if (!o->clientCommand.empty()) o->clientCommand += ' ';
    o->clientCommand += args[i];
  }
  if (o->clientSocket.empty()) {
    *error = "ctl: --socket PATH is required";
    return false;
  }
  if (o->clientCommand.empty()) {
    *error = "ctl: no command given";
    return false;
  }
  return true;
}

}  // namespace

bool parseSimOptions(const std::vector<std::string>& args, SimOptions* o, const OwnOption& own,
                     std::string* error) {
  if (!args.empty() && args[0] == "ctl") {
    o->client = true;
    return parseClientOptions(args, o, error);
  }
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--help" || a == "-h") {
      o->help = true;
      return true;
    }
    if (a == "--quiet") {
      o->quiet = true;
      continue;
    }
    if (own && own(a, nullptr, error)) continue;
    if (i + 1 >= args.size()) {
      *error = "unknown or incomplete option " + a;
      return false;
    }
    const std::string& value = args[++i];
    if (a == "--link") {
      o->linkPath = value;
    } else if (a == "--ctl") {
      o->controlPath = value;
    } else if (a == "--log") {
      o->logPath = value;
    } else if (a == "--set") {
      if (value.find('=') == std::string::npos) {
        *error = "--set takes NAME=VALUE, not " + value;
        return false;
      }
      o->settings.push_back(value);
    } else if (!own || !own(a, &value, error)) {
      if (error->empty()) *error = "unknown option " + a;
      return false;
    }
  }
  return true;
}

}  // namespace orvik::upssim
