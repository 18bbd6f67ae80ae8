#include "cli/quorvel_cli.h"

#include <cstdio>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#include "cli/cli_front_end.h"
#include "cli/console_output.h"
#include "cli/help_formatter.h"
#include "cli/json_report.h"
#include "cli/terminal_text.h"
#include "pass/pass_guard.h"
#include "pass/pass_report.h"
#include "pass/passes.h"
#include "platform/stop_signals.h"
#include "platform/terminal.h"
#include "quorvel_version.h"

namespace {

enum ExitStatus {
  kAllHandled = 0,
  kSomeReported = 1,
  kNotCompleted = 2,  // the pass could not start, a file error ended it, or output was lost
  kUsage = 64,
};

struct Options {
  std::string folder;
  bool convert3DTo2D = false;
  bool json = false;
  bool quiet = false;
  WalkOptions walk;
};

void PrintJson(ConsoleOutput& console, const nlohmann::json& document) {
  console.Print(console.Out(), DumpJson(document) + "\n");
}

// The status of a walk that came to its end. One that Ctrl+C, SIGTERM or SIGHUP stopped ends as
// shells report a command the signal ended: 130, 143, 129.
int EndStatus(const CliFrontEnd& frontEnd) {
  if (const int signal = platform::StopSignal()) return platform::ExitStatusAfter(signal);
  return frontEnd.AnyFolderReported() ? kSomeReported : kAllHandled;
}

int RunPassCommand(const std::string& command, const Options& options, ConsoleOutput& console) {
  CliFrontEnd frontEnd(console, !options.quiet && platform::IsTerminal(console.Err()),
                       options.json);
  const bool modify = command == "modify";
  RunGuarded(frontEnd, [&] {
    if (modify) {
      RunModifyPass(options.folder, options.convert3DTo2D ? 1 : 0, frontEnd, options.walk);
    } else {
      RunRestorePass(options.folder, frontEnd, options.walk);
    }
  });
  frontEnd.EraseProgress();
  if (options.json) {
    nlohmann::json document = {{"command", command}, {"folder", PathJson(options.folder)}};
    if (modify) document["convert_3d_to_2d"] = options.convert3DTo2D;
    document.update(frontEnd.Json());
    PrintJson(console, document);
  }
  if (!frontEnd.ReachedSummary()) return kNotCompleted;
  return EndStatus(frontEnd);
}

std::string ScanLine(const std::string& path, const BdmvFolderState& state) {
  std::string line = path + ": index=" + (state.indexFile.empty() ? "none" : state.indexFile);
  if (!state.indexFile.empty()) {
    if (!state.indexReadable) {
      line += " patched=unknown flags=unknown";
    } else if (!state.isIndexTable) {
      line += " not-an-index";
    } else {
      char flags[8];
      std::snprintf(flags, sizeof flags, "0x%02X", state.flags);
      const char* patched = state.unfinished ? "unfinished" : state.patched ? "yes" : "no";
      line += std::string(" patched=") + patched + " flags=" + flags;
    }
  }
  return line + " backup=" + (state.backupFile.empty() ? "no" : "yes");
}

int RunScanCommand(const Options& options, ConsoleOutput& console) {
  CliFrontEnd frontEnd(console, !options.quiet && platform::IsTerminal(console.Err()),
                       options.json);
  nlohmann::json folders = nlohmann::json::array();
  PassMessage ending{PassMessage::Kind::kSummary, PassMessage::Icon::kWarning, {}, {}, {}};
  const bool entered = RunScan(
      options.folder, frontEnd,
      [&](const std::string& path, const BdmvFolderState& state) {
        if (options.json) {
          folders.push_back(ScanFolderJson(path, state));
        } else {
          frontEnd.EraseProgress();
          console.Print(console.Out(), TerminalText(ScanLine(path, state)) + "\n");
        }
      },
      options.walk, &ending);
  frontEnd.EraseProgress();
  // A stopped scan is told as a stopped pass is: its list is not the whole one.
  if (ending.stopped) console.Print(console.Err(), StoppedText(ending) + "\n");
  if (options.json) {
    const nlohmann::json report = frontEnd.Json();
    nlohmann::json document = {{"command", "scan"},
                               {"folder", PathJson(options.folder)},
                               {"folders", folders},
                               {"unreadable", report["unreadable"]},
                               {"error", report["error"]},
                               {"stopped", ending.stopped},
                               {"directories_visited", nullptr}};
    if (entered) document["directories_visited"] = ending.directoriesVisited;
    PrintJson(console, document);
  }
  if (!entered) return kNotCompleted;
  return EndStatus(frontEnd);
}

int Run(const std::vector<std::string>& arguments, ConsoleOutput& console) {
  CLI::App app{
      "Backs up and patches the index files of the Blu-ray disc folders below FOLDER, and of "
      "the discs kept as image files. FOLDER may also be a disc image, which is then handled "
      "alone.",
      "quorvel-cli"};
  app.formatter(std::make_shared<HelpFormatter>());
  app.set_help_flag("-h,--help", "show this help and exit");
  app.set_version_flag("--version", std::string("quorvel-cli ") + QUORVEL_VERSION_STRING,
                       "show the version and exit");
  app.require_subcommand(1, 1);
  // Options are "--name" everywhere: on Windows "/Movies" is a folder, not an option.
  app.allow_windows_style_options(false);
  Options options;
  app.add_flag("--json", options.json, "one JSON document on stdout instead of lines");
  app.add_flag("--quiet", options.quiet, "no progress display");
  constexpr unsigned kMaxThreads = 256;
  app.add_option("--threads", options.walk.threads,
                 "directories listed at once while looking for discs, and discs read ahead (1-" +
                     std::to_string(kMaxThreads) + ", default " +
                     std::to_string(CBdmvFolderWalker::kDefaultThreads) + ")")
      ->option_text("N")
      ->default_val(CBdmvFolderWalker::kDefaultThreads)
      ->check(CLI::Range(1u, kMaxThreads));
  app.add_flag("--images", options.walk.images,
               "also handle the disc images (*.iso) below FOLDER, each like a BDMV folder");
  app.footer("Example: quorvel-cli --images modify /media/movies");

  CLI::App* modify =
      app.add_subcommand("modify", "Modify pass: back up and patch every disc's index file");
  modify->add_flag("--2d", options.convert3DTo2D,
                   "Convert 3D to 2D: also clear the index files' 3D flags");
  modify->footer("Example: quorvel-cli modify --2d /media/movies");
  CLI::App* restore =
      app.add_subcommand("restore", "Restore pass: put the backed-up index files back");
  restore->footer("Example: quorvel-cli restore /media/movies");
  CLI::App* scan = app.add_subcommand(
      "scan", "change nothing: list every BDMV folder and image a pass would visit and its state");
  scan->footer("Example: quorvel-cli scan /media/movies/film.iso");
  for (CLI::App* command : {modify, restore, scan}) {
    command->fallthrough();
    command
        ->add_option("FOLDER", options.folder,
                     "the folder to walk, or a disc image to handle alone")
        ->required();
  }

  std::vector<char*> utf8Argv;
  for (const std::string& argument : arguments)
    utf8Argv.push_back(const_cast<char*>(argument.c_str()));
  try {
    app.parse(static_cast<int>(utf8Argv.size()), utf8Argv.data());
  } catch (const CLI::ParseError& error) {
    std::ostringstream out, err;
    const int status = app.exit(error, out, err);
    console.Print(console.Out(), out.str());
    console.Print(console.Err(), err.str());
    return status == 0 ? kAllHandled : kUsage;
  }
  platform::CatchStopSignals();
  if (scan->parsed()) return RunScanCommand(options, console);
  return RunPassCommand(modify->parsed() ? "modify" : "restore", options, console);
}

}  // namespace

int RunQuorvelCli(const std::vector<std::string>& arguments, std::FILE* out, std::FILE* err) {
  ConsoleOutput console(out, err);
  const int status = Run(arguments, console);
  // After a hang-up the terminal is gone with the summary: the signal's status still says why
  // the pass ended early.
  return console.AllOutputWritten() || platform::StopSignal() != 0 ? status : kNotCompleted;
}
