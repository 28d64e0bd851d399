#include "cli/cli.h"

#include <optional>

#include "cli/cli_options.h"
#include "cli/control_commands.h"
#include "cli/log_follower.h"
#include "cli/log_lines.h"
#include "cli/record_source.h"
#include "cli/status_format.h"
#include "shared/clean_text.h"
#include "shared/metrics_text.h"
#include "shared/record_access.h"
#include "shared/status_snapshot.h"

namespace orvik {
namespace {

constexpr int kFollowLookMs = 200;

void complain(CliEnvironment& env, const std::string& message) {
  env.err("orvik: " + message + "\n");
}

int status(const CliOptions& options, CliEnvironment& env) {
  std::string error;
  int exitStatus = kExitOk;
  const std::unique_ptr<LiveRecord> live = LiveRecord::open(env.memory, &error, &exitStatus);
  if (!live) {
    // Scripts that parse the output get an object either way.
    if (options.json && exitStatus == kExitNotRunning) env.out("{\"service_running\": false}\n");
    complain(env, error);
    return exitStatus;
  }
  const StatusSnapshot snapshot = takeSnapshot(live->record());
  env.out(options.json ? statusJson(snapshot) : statusText(snapshot, env.clock));
  return snapshot.link == LinkState::kLost ? kExitLinkLost : kExitOk;
}

int metrics(CliEnvironment& env) {
  std::string error;
  int exitStatus = kExitOk;
  const std::unique_ptr<LiveRecord> live = LiveRecord::open(env.memory, &error, &exitStatus);
  env.out(metricsText(live ? &live->record() : nullptr));
  if (!live) complain(env, error);
  return exitStatus;
}

// The log's path, and what to add to an error about it: where the running
// service says it logs, when that is elsewhere. The record's path is only
// shown, never read: the record is writable by the pages' group.
std::string logPath(const CliOptions& options, CliEnvironment& env, bool events,
                    std::string* hint) {
  std::string folder = options.dir.empty() ? env.programFolder : options.dir;
  if (!folder.empty() && folder.back() != '/') folder += '/';
  const std::string path = folder + (events ? "kestrel.log" : "kestrel.dat");
  std::string ignored;
  int exitStatus = 0;
  if (const auto live = LiveRecord::open(env.memory, &ignored, &exitStatus)) {
    const std::string serviceLog =
        cleanText(readText(events ? live->record().eventLogPath : live->record().dataLogPath));
    if (!serviceLog.empty() && serviceLog != path) {
      *hint = " (the service logs to " + serviceLog + "; see --dir)";
    }
  }
  return path;
}

// Shows the lines that parse; complains only when none does.
template <class Parse, class Format>
int showLines(CliEnvironment& env, const std::string& path, const std::vector<std::string>& lines,
              int count, Parse parse, Format format, const char* kind, std::string out = "") {
  std::vector<std::string> shown;
  for (const std::string& line : lines) {
    if (const auto parsed = parse(line)) shown.push_back(format(*parsed));
  }
  bool anyText = false;
  for (const std::string& line : lines) anyText = anyText || !line.empty();
  if (shown.empty() && anyText) {
    complain(env, path + " holds no " + kind + " lines");
    return kExitError;
  }
  for (const std::string& line : lastLines(shown, count)) out += line + "\n";
  env.out(out);
  return kExitOk;
}

int events(const CliOptions& options, CliEnvironment& env) {
  std::string hint;
  const std::string path = logPath(options, env, true, &hint);
  LogFollower follower(path);
  std::vector<std::string> lines;
  std::string error;
  if (!follower.start(&lines, &error)) {
    if (!options.follow || !follower.missing()) {
      complain(env, "cannot read " + path + ": " + error + hint);
      return kExitError;
    }
    complain(env, path + " is not there yet; waiting for it" + hint);
  }
  const auto format = [](const EventLine& line) { return formatEventLine(line); };
  if (!lines.empty()) {
    const int status = showLines(env, path, lines, options.lines, parseEventLine, format, "event");
    if (status != kExitOk && !options.follow) return status;
  }
  if (!options.follow) return kExitOk;
  while (!env.stopFollowing || !env.stopFollowing()) {
    std::string out;
    for (const std::string& line : follower.look()) {
      if (const auto parsed = parseEventLine(line)) out += formatEventLine(*parsed) + "\n";
    }
    if (!out.empty()) env.out(out);
    env.clock.sleepMs(kFollowLookMs);
  }
  return kExitOk;
}

int data(const CliOptions& options, CliEnvironment& env) {
  std::string hint;
  const std::string path = logPath(options, env, false, &hint);
  LogFollower reader(path);
  std::vector<std::string> lines;
  std::string error;
  if (!reader.start(&lines, &error)) {
    complain(env, "cannot read " + path + ": " + error + hint);
    return kExitError;
  }
  const auto format = [](const DataLine& line) { return formatDataLine(line); };
  return showLines(env, path, lines, options.lines, parseDataLine, format, "data",
                   dataHeader() + "\n");
}

}  // namespace

int runOrvik(const std::vector<std::string>& args, CliEnvironment& env) {
  CliOptions options;
  const std::string problem = parseOptions(args, &options);
  if (!problem.empty()) {
    complain(env, problem);
    return kExitError;
  }
  if (options.command == CliCommand::kOverview || options.help) {
    env.out(helpText(options.command));
    return kExitOk;
  }
  switch (options.command) {
    case CliCommand::kStatus:
      return status(options, env);
    case CliCommand::kMetrics:
      return metrics(env);
    case CliCommand::kEvents:
      return events(options, env);
    case CliCommand::kData:
      return data(options, env);
    default:
      break;
  }
  std::string error;
  int exitStatus = kExitOk;
  const std::unique_ptr<LiveRecord> live = LiveRecord::open(env.memory, &error, &exitStatus);
  if (!live) {
    complain(env, error);
    return exitStatus;
  }
  return runControlCommand(options, *live, env);
}

}  // namespace orvik
