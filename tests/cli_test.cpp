#include <fcntl.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <regex>
#include <thread>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "cli/progress_line.h"
#include "cli/utf8.h"
#include "platform/stop_signals.h"
#include "tests/support/cli_as_nobody.h"
#include "tests/support/cli_in_process.h"
#include "tests/support/cli_runner.h"
#include "tests/support/disc_row.h"
#include "tests/support/privileges.h"
#include "tests/support/temp_tree.h"

namespace fs = std::filesystem;
using namespace testing_support;

namespace {

std::string LastLine(const std::string& text) {
  const std::string trimmed = text.substr(0, text.find_last_not_of('\n') + 1);
  return trimmed.substr(trimmed.find_last_of('\n') + 1);
}

class CliTest : public ::testing::Test {
 protected:
  std::string Bdmv(const std::string& disc) const { return (tree / disc / "BDMV").string(); }
  TempTree tree;
};

TEST_F(CliTest, ExitStatusTellsHowThePassEnded) {
  MakeBdmvFolder(tree / "good", IndexBytes(64, 0x60));

  auto run = CliInProcess({"modify", "--quiet", tree.Root().string()});
  EXPECT_EQ(run.exitStatus, 0) << run.err;
  EXPECT_EQ(run.out, "Modify 1 file successful\n");
  EXPECT_EQ(run.err, "");

  fs::create_directories(tree / "bad" / "BDMV");
  run = CliInProcess({"restore", tree.Root().string()});
  EXPECT_EQ(run.exitStatus, 1);
  EXPECT_EQ(LastLine(run.out), "Resume  1 files successful");
  EXPECT_EQ(run.err, Bdmv("bad") + ": modify Fail,Please check if path is correct\n");

  for (const char* command : {"modify", "restore", "scan"}) {
    run = CliInProcess({command, (tree / "missing").string()});
    EXPECT_EQ(run.exitStatus, 2) << command;
    EXPECT_EQ(run.out, "") << command;
    EXPECT_EQ(run.err, "Floder Path ERR.\n") << command;
  }

  fs::remove_all(tree / "bad");
  fs::remove_all(tree / "good" / "BDMV" / "BACKUP");
  SetReadOnly(tree / "good" / "BDMV" / "MovieObject.bdmv", true);
  fs::remove(tree / "good" / "BDMV" / "index.bdmv");
  WriteBytes(tree / "good" / "BDMV" / "index.bdmv", IndexBytes(64, 0x60));
  run = CliInProcess({"modify", "--2d", tree.Root().string()});
  EXPECT_EQ(run.exitStatus, 2);
  EXPECT_EQ(run.out, "") << "no summary after a file error";
  EXPECT_EQ(run.err, Bdmv("good") + ": 对 一未命名文件 的存取被拒绝。 (Permission denied)\n")
      << "the folder where the pass stopped, and the system's own words";
}

// As `quorvel-cli ARGUMENTS REDIRECTION` in a shell.
ProcessResult CliRedirected(std::vector<std::string> arguments, const std::string& redirection) {
  arguments.insert(arguments.begin(),
                   {"/bin/sh", "-c", "exec \"$0\" \"$@\" " + redirection, QUORVEL_CLI_PATH});
  return RunProcess(arguments);
}

TEST_F(CliTest, OutputThatCannotBeWrittenEndsInStatus2) {
  MakeBdmvFolder(tree / "good", IndexBytes(64, 0x60));
  fs::create_directories(tree / "bad" / "BDMV");
  const std::string good = (tree / "good").string();
  const std::string lostStdout = "quorvel-cli: cannot write to stdout: No space left on device\n";
  struct Case {
    std::vector<std::string> arguments;
    CliStreams streams;
    std::string out, err;
  };
  for (const Case& c : std::vector<Case>{
           {{"modify", good}, {.outFull = true}, "", lostStdout},
           {{"--json", "restore", good}, {.outFull = true}, "", lostStdout},
           {{"scan", good}, {.outFull = true}, "", lostStdout},
           {{"--help"}, {.outFull = true}, "", lostStdout},
           {{"restore", (tree / "bad").string()},
            {.errFull = true},
            "Resume  0 files successful\n",
            ""},
       }) {
    const auto run = CliInProcess(c.arguments, c.streams);
    const std::string trace =
        testing::PrintToString(c.arguments) + (c.streams.outFull ? " >/dev/full" : " 2>/dev/full");
    EXPECT_EQ(run.exitStatus, 2) << trace;
    EXPECT_EQ(run.out, c.out) << trace;
    EXPECT_EQ(run.err, c.err) << trace;
  }
}

// The program itself: its arguments, its own stdout and stderr, and its exit status.
TEST_F(CliTest, TheProgramEndsInTheStatusOfItsRun) {
  MakeBdmvFolder(tree / "good", IndexBytes(64, 0x60));
  fs::create_directories(tree / "bad" / "BDMV");
  const std::string good = (tree / "good").string();
  const std::string bad = (tree / "bad").string();
  struct Case {
    std::vector<std::string> arguments;
    std::string redirection;
    int exitStatus;
    std::string out, err;
  };
  for (const Case& c : std::vector<Case>{
           {{"modify", "--quiet", good}, "", 0, "Modify 1 file successful\n", ""},
           {{"restore", bad},
            "",
            1,
            "Resume  0 files successful\n",
            Bdmv("bad") + ": modify Fail,Please check if path is correct\n"},
           {{"scan", (tree / "missing").string()}, "", 2, "", "Floder Path ERR.\n"},
           {{"--version"}, "", 0, "quorvel-cli 2.0.0.0\n", ""},
           {{"--help"},
            ">/dev/full",
            2,
            "",
            "quorvel-cli: cannot write to stdout: No space left on device\n"},
           {{"restore", bad}, "2>/dev/full", 2, "Resume  0 files successful\n", ""},
       }) {
    const auto run = CliRedirected(c.arguments, c.redirection);
    const std::string trace = testing::PrintToString(c.arguments) + " " + c.redirection;
    EXPECT_EQ(run.exitStatus, c.exitStatus) << trace;
    EXPECT_EQ(run.out, c.out) << trace;
    EXPECT_EQ(run.err, c.err) << trace;
  }
  const auto usage = Cli({"frobnicate", good});
  EXPECT_EQ(usage.exitStatus, 64);
  EXPECT_NE(usage.err, "");
}

// A name is shown as data: one message is one line, and nothing in it reaches the terminal as a
// command.
TEST_F(CliTest, NamesAreShownEscapedOneMessageALine) {
  const std::vector<std::pair<std::string, std::string>> names = {
      {"x\nModify 999 file successful", "x\\nModify 999 file successful"},
      {"\x1b]0;title\x07", "\\x1b]0;title\\a"},
      {"\x1b[31mred\x7f", "\\x1b[31mred\\x7f"},
      {"tab\tcr\r", "tab\\tcr\\r"},
      {"c1-\xc2\x9b"
       "2J",
       "c1-\\xc2\\x9b2J"},
      {"bytes-\xff\xfe", "bytes-\\xff\\xfe"},
      {"overlong-\xc0\xaf-\xe0\x80\xaf surrogate-\xed\xa0\x80 past-\xf4\x90\x80\x80",
       "overlong-\\xc0\\xaf-\\xe0\\x80\\xaf surrogate-\\xed\\xa0\\x80 past-\\xf4\\x90\\x80\\x80"},
      {"back\\slash", "back\\\\slash"},
      {"été 中文", "été 中文"},
  };
  std::vector<std::string> restoreLines, scanLines;
  for (const auto& [name, shown] : names) {
    fs::create_directories(tree / name / "BDMV");
    const std::string folder = tree.Root().string() + "/" + shown + "/BDMV";
    restoreLines.push_back(folder + ": modify Fail,Please check if path is correct");
    scanLines.push_back(folder + ": index=none backup=no");
  }
  const auto lines = [](const std::string& text) {
    std::vector<std::string> split;
    for (std::size_t start = 0, end; (end = text.find('\n', start)) != std::string::npos;
         start = end + 1) {
      split.push_back(text.substr(start, end - start));
    }
    std::sort(split.begin(), split.end());
    return split;
  };
  std::sort(restoreLines.begin(), restoreLines.end());
  std::sort(scanLines.begin(), scanLines.end());

  const auto restore = CliInProcess({"restore", tree.Root().string()});
  EXPECT_EQ(restore.out, "Resume  0 files successful\n");
  EXPECT_EQ(lines(restore.err), restoreLines);
  EXPECT_EQ(lines(CliInProcess({"scan", tree.Root().string()}).out), scanLines);
}

TEST_F(CliTest, UsageErrorsAndHelp) {
  for (const auto& arguments :
       std::vector<std::vector<std::string>>{{},
                                             {"modify"},
                                             {"frobnicate", "x"},
                                             {"modify", "--3d", "x"},
                                             {"restore", "--2d", "x"},
                                             {"scan", "a", "b"},
                                             {"scan", "--threads", "0", "x"}}) {
    const auto run = CliInProcess(arguments);
    EXPECT_EQ(run.exitStatus, 64) << testing::PrintToString(arguments);
    EXPECT_NE(run.err, "");
  }
  // Each help names a value as a person would, shows an example, and fits 80 columns; a
  // command's lists the options it takes from above.
  for (const auto& [arguments, shown] :
       std::vector<std::pair<std::vector<std::string>, std::string>>{
           {{"--help"}, "\n  modify [--2d] FOLDER  Modify pass"},
           {{"--help"}, "\n  --threads N           directories listed at once"},
           {{"--help"}, "\nExample: quorvel-cli --images modify /media/movies\n"},
           {{"--help"}, "\n  -h, --help            show this help and exit\n"},
           {{"scan", "--help"}, "\n  --json                one JSON document"},
           {{"modify", "--help"}, "\nArguments:\n  FOLDER "},
           {{"modify", "--help"}, "\nExample: quorvel-cli modify --2d /media/movies\n"}}) {
    const auto help = CliInProcess(arguments);
    EXPECT_EQ(help.exitStatus, 0);
    EXPECT_NE(help.out.find(shown), std::string::npos) << help.out;
    EXPECT_FALSE(std::regex_search(help.out, std::regex("[^\n]{80}"))) << help.out;
  }
  auto version = CliInProcess({"--version"});
  EXPECT_EQ(version.exitStatus, 0);
  EXPECT_EQ(version.out, "quorvel-cli 2.0.0.0\n");
}

// A path that is not UTF-8 as a script must find it: its bytes, in base64 by coreutils.
nlohmann::json PathBytes(const std::string& path) {
  return {{"bytes", RunProcess({"/bin/sh", "-c", "printf %s \"$0\" | base64 -w0", path}).out}};
}

// Each command's whole document, compared as a whole. The discs are nested, which fixes the order
// of the walk; the middle one's name is not UTF-8, and so are the paths below it.
TEST_F(CliTest, JsonDocumentsTellEverything) {
  const fs::path d1 = tree / "d1";
  const fs::path d2 = d1 / "d2-\xff";
  const fs::path d3 = d2 / "d3";
  MakeBdmvFolder(d1, IndexBytes(64, 0x60));
  fs::create_directories(d2 / "BDMV");
  MakeBdmvFolder(d3, IndexBytes(64, 0x60));
  ASSERT_EQ(CliInProcess({"modify", d3.string()}).exitStatus, 0);
  const std::string root = tree.Root().string();
  const nlohmann::json b1 = (d1 / "BDMV").string();
  const nlohmann::json b2 = PathBytes((d2 / "BDMV").string());
  const nlohmann::json b3 = PathBytes((d3 / "BDMV").string());
  const nlohmann::json noFolders = nlohmann::json::array();
  auto scanned = [](const nlohmann::json& path, const nlohmann::json& index, bool table,
                    bool patched, const nlohmann::json& flags, const nlohmann::json& backup) {
    return nlohmann::json{
        {"path", path},         {"index_file", index},         {"index_readable", !index.is_null()},
        {"index_table", table}, {"patched", patched},          {"unfinished", false},
        {"flags", flags},       {"backup", !backup.is_null()}, {"backup_file", backup}};
  };
  const std::string accessDenied = "对 一未命名文件 的存取被拒绝。";
  struct Case {
    std::vector<std::string> arguments;
    int exitStatus;
    nlohmann::json document;
    fs::path readOnlyBeforeRun = {};
  };
  const std::vector<Case> cases = {
      {{"--json", "modify", "--2d", root},
       1,
       {{"command", "modify"},
        {"folder", root},
        {"convert_3d_to_2d", true},
        {"folders",
         {{{"path", b1}, {"result", "patched"}},
          {{"path", b2},
           {"result", "reported"},
           {"message", "modify Fail,Please check if path is correct "},
           {"cause", nullptr}},
          {{"path", b3}, {"result", "already-patched"}}}},
        {"unreadable", noFolders},
        {"count", 2},
        {"summary", "Modify 2 file successful"},
        // The root, and each disc's directory, BDMV and BACKUP (d2 has none); the BACKUP this
        // pass makes in d1 is not walked.
        {"stopped", false},
        {"directories_visited", 8},
        {"error", nullptr}}},
      {{"--json", "restore", root},
       1,
       {{"command", "restore"},
        {"folder", root},
        {"folders",
         {{{"path", b1}, {"result", "restored"}},
          {{"path", b2},
           {"result", "reported"},
           {"message", "modify Fail,Please check if path is correct"},
           {"cause", nullptr}},
          {{"path", b3}, {"result", "restored"}}}},
        {"unreadable", noFolders},
        {"count", 2},
        {"summary", "Resume  2 files successful"},
        {"stopped", false},
        {"directories_visited", 9},
        {"error", nullptr}}},
      {{"--json", "scan", d2.string()},
       0,
       {{"command", "scan"},
        {"folder", PathBytes(d2.string())},
        {"folders",
         {scanned(b2, {}, false, false, {}, {}),
          scanned(b3, "index.bdmv", true, false, 0x60, "BACKUP/index.bdmv")}},
        {"unreadable", noFolders},
        {"error", nullptr},
        {"stopped", false},
        {"directories_visited", 5}}},
      {{"--json", "modify", root},
       2,
       {{"command", "modify"},
        {"folder", root},
        {"convert_3d_to_2d", false},
        {"folders",
         {{{"path", b1}, {"result", "patched"}},
          {{"path", b2},
           {"result", "reported"},
           {"message", "modify Fail,Please check if path is correct "},
           {"cause", nullptr}},
          {{"path", b3},
           {"result", "file-error"},
           {"message", accessDenied},
           {"cause", "Permission denied"}}}},
        {"unreadable", noFolders},
        {"count", 1},
        {"summary", nullptr},
        {"stopped", false},
        {"directories_visited", nullptr},
        {"error",
         {{"kind", "file-error"},
          {"text", accessDenied},
          {"cause", "Permission denied"},
          {"folder", b3},
          {"file", "MovieObject.bdmv"}}}},
       d3 / "BDMV" / "MovieObject.bdmv"},
      {{"--json", "restore", root + "/missing"},
       2,
       {{"command", "restore"},
        {"folder", root + "/missing"},
        {"folders", noFolders},
        {"unreadable", noFolders},
        {"count", 0},
        {"summary", nullptr},
        {"stopped", false},
        {"directories_visited", nullptr},
        {"error", {{"kind", "pass"}, {"text", "Floder Path ERR."}, {"cause", nullptr}}}}},
  };
  for (const Case& c : cases) {
    if (!c.readOnlyBeforeRun.empty()) SetReadOnly(c.readOnlyBeforeRun, true);
    const auto run = CliInProcess(c.arguments);
    EXPECT_EQ(run.exitStatus, c.exitStatus) << testing::PrintToString(c.arguments) << run.err;
    EXPECT_EQ(nlohmann::json::parse(run.out), c.document) << testing::PrintToString(c.arguments);
  }
}

TEST_F(CliTest, ScanListsFoldersAndChangesNothing) {
  MakeBdmvFolder(tree / "a", IndexBytes(64, 0x60));
  fs::create_directories(tree / "b" / "BDMV");
  WriteBytes(tree / "b" / "BDMV" / "INDEX.BDM", Bytes(50, 'z'));
  // A patch interrupted after its block, before its address; and a whole one.
  Bytes blockWithoutAddress = PatchedBytes(IndexBytes(64, 0x60), false);
  std::fill_n(blockWithoutAddress.begin() + 12, 4, 0);
  MakeBdmvFolder(tree / "c", blockWithoutAddress);
  WriteBytes(tree / "c" / "BDMV" / "BACKUP" / "index.bdmv", IndexBytes(64, 0x60));
  MakeBdmvFolder(tree / "d", PatchedBytes(IndexBytes(64, 0x60), true));

  const auto run = CliInProcess({"scan", tree.Root().string()});

  ASSERT_EQ(run.exitStatus, 0);
  std::vector<std::string> lines;
  for (std::size_t start = 0, end; (end = run.out.find('\n', start)) != std::string::npos;
       start = end + 1) {
    lines.push_back(run.out.substr(start, end - start));
  }
  std::sort(lines.begin(), lines.end());
  EXPECT_EQ(lines, (std::vector<std::string>{
                       Bdmv("a") + ": index=index.bdmv patched=no flags=0x60 backup=no",
                       Bdmv("b") + ": index=INDEX.BDM not-an-index backup=no",
                       Bdmv("c") + ": index=index.bdmv patched=unfinished flags=0x60 backup=yes",
                       Bdmv("d") + ": index=index.bdmv patched=yes flags=0x00 backup=no"}));
  EXPECT_EQ(Names(tree / "a" / "BDMV"),
            (std::vector<std::string>{"MovieObject.bdmv", "index.bdmv"}));
}

// An unreadable folder is skipped, named with the system's cause, and makes the exit status 1,
// in every command and in JSON; as root nothing is unreadable, so it runs as "nobody".
TEST_F(CliTest, UnreadableFoldersAreReportedAndThePassGoesOn) {
  MakeBdmvFolder(tree / "a", IndexBytes(64, 0x60));
  const fs::path lockedFolder = tree / "locked-\xff";
  fs::create_directories(lockedFolder / "BDMV");
  fs::permissions(tree.Root(), fs::perms::all);
  fs::permissions(lockedFolder, fs::perms::none);
  const std::string locked = tree.Root().string() + "/locked-\\xff";

  auto run = CliAsNobody({"scan", tree.Root().string()});
  EXPECT_EQ(run.exitStatus, 1);
  EXPECT_EQ(run.out, Bdmv("a") + ": index=index.bdmv patched=no flags=0x60 backup=no\n");
  EXPECT_EQ(run.err, locked + ": cannot read this folder (Permission denied)\n");

  fs::remove_all(tree / "a");
  for (const char* command : {"modify", "restore"}) {
    run = CliAsNobody({command, "--threads", "1", tree.Root().string()});
    EXPECT_EQ(run.exitStatus, 1) << command;
    EXPECT_EQ(LastLine(run.out), command == std::string("modify") ? "Modify 0 file successful"
                                                                  : "Resume  0 files successful");
    EXPECT_EQ(run.err, locked + ": cannot read this folder (Permission denied)\n");
  }

  for (const char* command : {"scan", "modify"}) {
    run = CliAsNobody({"--json", command, tree.Root().string()});
    EXPECT_EQ(run.exitStatus, 1) << command;
    EXPECT_EQ(nlohmann::json::parse(run.out)["unreadable"],
              nlohmann::json::array(
                  {{{"path", PathBytes(lockedFolder.string())}, {"cause", "Permission denied"}}}))
        << command;
  }
  fs::permissions(lockedFolder, fs::perms::all);

  // A BDMV folder that cannot be opened is reported with the cause of that, and the walk, which
  // cannot enter it either, says so too.
  fs::permissions(lockedFolder / "BDMV", fs::perms::none);
  const std::string bdmv = locked + "/BDMV";
  run = CliAsNobody({"modify", tree.Root().string()});
  EXPECT_EQ(run.err, bdmv + ": Modify Fail,Can not read BDMV folder (Permission denied)\n" + bdmv +
                         ": cannot read this folder (Permission denied)\n");
  fs::permissions(lockedFolder / "BDMV", fs::perms::owner_all);
}

// An index file this user cannot read leaves its state unknown, not "not patched": the scan
// says so, names the cause and ends in status 1, as for a folder it could not read.
TEST_F(CliTest, AnUnreadableIndexFileIsUnknownAndCounted) {
  MakeBdmvFolder(tree / "a", IndexBytes(64, 0x60));
  MakeBdmvFolder(tree / "b", PatchedBytes(IndexBytes(64, 0x60), false));
  fs::permissions(tree.Root(), fs::perms::all);
  fs::permissions(tree / "a" / "BDMV" / "index.bdmv", fs::perms::none);
  const std::string cause = "Permission denied";

  auto run = CliAsNobody({"--threads", "1", "scan", tree.Root().string()});
  EXPECT_EQ(run.exitStatus, 1);
  EXPECT_EQ(run.err, Bdmv("a") + ": cannot read this folder (" + cause + ")\n");
  std::vector<std::string> lines = {LastLine(run.out), run.out.substr(0, run.out.find('\n'))};
  std::sort(lines.begin(), lines.end());
  EXPECT_EQ(lines, (std::vector<std::string>{
                       Bdmv("a") + ": index=index.bdmv patched=unknown flags=unknown backup=no",
                       Bdmv("b") + ": index=index.bdmv patched=yes flags=0x60 backup=no"}));

  run = CliAsNobody({"--json", "scan", (tree / "a").string()});
  EXPECT_EQ(run.exitStatus, 1);
  const nlohmann::json document = nlohmann::json::parse(run.out);
  EXPECT_EQ(document["folders"], nlohmann::json::array({{{"path", Bdmv("a")},
                                                         {"index_file", "index.bdmv"},
                                                         {"index_readable", false},
                                                         {"index_table", nullptr},
                                                         {"patched", nullptr},
                                                         {"unfinished", nullptr},
                                                         {"flags", nullptr},
                                                         {"backup", false},
                                                         {"backup_file", nullptr}}}));
  EXPECT_EQ(document["unreadable"],
            nlohmann::json::array({{{"path", Bdmv("a")}, {"cause", cause}}}));
}

// A folder's message is followed by the system's own description of what failed, on stderr and
// in JSON: BACKUP cannot be made in a BDMV folder nobody may write. As an ordinary user, since
// root may write anywhere.
TEST_F(CliTest, AFolderMessageIsFollowedByTheSystemsOwnDescription) {
  MakeBdmvFolder(tree / "a", IndexBytes(64, 0x60));
  fs::permissions(tree.Root(), fs::perms::all);
  for (const char* file : {"index.bdmv", "MovieObject.bdmv"}) {
    fs::permissions(tree / "a" / "BDMV" / file, fs::perms::owner_all | fs::perms::others_all);
  }
  fs::permissions(tree / "a" / "BDMV", fs::perms::owner_read | fs::perms::owner_exec |
                                           fs::perms::others_read | fs::perms::others_exec);
  const std::string text = "Modify Fail,Can not create backup file";

  auto run = CliAsNobody({"modify", tree.Root().string()});
  EXPECT_EQ(run.exitStatus, 1);
  EXPECT_EQ(run.err, Bdmv("a") + ": " + text + " (Permission denied)\n");
  EXPECT_EQ(run.out, "Modify 0 file successful\n");

  run = CliAsNobody({"--json", "modify", tree.Root().string()});
  EXPECT_EQ(nlohmann::json::parse(run.out)["folders"],
            nlohmann::json::array({{{"path", Bdmv("a")},
                                    {"result", "reported"},
                                    {"message", text},
                                    {"cause", "Permission denied"}}}));
  EXPECT_FALSE(fs::exists(tree / "a" / "BDMV" / "BACKUP"));
}

// Runs the command with its stderr on a terminal and returns what the terminal received. The
// terminal takes nothing for `holdUp`: a pass that writes more than it holds waits that long.
std::string TerminalOutput(const std::vector<std::string>& arguments,
                           std::chrono::milliseconds holdUp = {}) {
  std::vector<std::string> command = {QUORVEL_CLI_PATH};
  command.insert(command.end(), arguments.begin(), arguments.end());
  int master = -1;
  const pid_t child = forkpty(&master, nullptr, nullptr, nullptr);
  if (child == 0) {
    std::vector<char*> argv;
    for (const auto& argument : command) argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    if (!freopen("/dev/null", "w", stdout)) _exit(127);
    execv(argv[0], argv.data());
    _exit(127);
  }
  std::this_thread::sleep_for(holdUp);
  std::string received;
  char buffer[4096];
  for (ssize_t n; (n = read(master, buffer, sizeof buffer)) > 0;) received.append(buffer, n);
  waitpid(child, nullptr, 0);
  close(master);
  return received;
}

TEST_F(CliTest, ProgressShowsOnATerminalASecondIntoAPassAndIsErasedBeforeEveryMessage) {
  // Each folder's message is a line on the terminal: far more than it holds unread.
  constexpr int kFolders = 500;
  for (int i = 0; i < kFolders; ++i) fs::create_directories(tree / std::to_string(i) / "BDMV");
  const std::string shown =
      TerminalOutput({"modify", tree.Root().string()}, std::chrono::milliseconds(1200));
  const std::regex erasedLine(
      "\\r\\x1b\\[KDisc [0-9]+ of 500  /[^\\r\\n]*"
      "\\r\\x1b\\[K/[^\\r\\n]*: modify Fail,Please check if path is correct");
  EXPECT_TRUE(std::regex_search(shown, erasedLine))
      << "a line drawn, then erased before a folder's message: " << shown.substr(0, 2000);

  EXPECT_EQ(
      TerminalOutput({"modify", "--quiet", tree.Root().string()}, std::chrono::milliseconds(1200))
          .find("\x1b[K"),
      std::string::npos)
      << "no progress when the user asks for quiet";
  MakeBdmvFolder(tree / "a", IndexBytes(64, 0x60));
  EXPECT_EQ(TerminalOutput({"modify", (tree / "a").string()}), "") << "nor for a short pass";
  EXPECT_EQ(Cli({"modify", (tree / "a").string()}).err, "") << "nor when not a terminal";
}

// A redraw begins by clearing the line as an erase does, so that a shorter line leaves nothing of
// a longer one; nothing in a folder's name reaches the terminal as a command; a long path keeps
// its end within the terminal's width (80 when it tells none).
TEST(ProgressLineTest, EveryDrawAndEraseClearsTheLine) {
  char* buffer = nullptr;
  std::size_t size = 0;
  std::FILE* out = open_memstream(&buffer, &size);
  ASSERT_NE(out, nullptr);
  const std::string longPath = "/" + std::string(100, 'x') + std::string(58, 'd') + "/BDMV";
  {
    ConsoleOutput console(stdout, out);
    ProgressLine line(true, console);
    line.Draw({true, 1234, 5, 0, 0, ""});
    line.Draw({false, 1234, 5, 1, 0, "/a/long/folder/name"});
    line.Draw({false, 1234, 5, 2, 1, "/b\x1b[2J\x1b]0;title\x07"});
    line.Draw({false, 1234, 5, 3, 2, longPath});
    line.Erase();
    line.Erase();
    ProgressLine quiet(false, console);
    quiet.Draw({false, 3, 1, 1, 1, "/c"});
    quiet.Erase();
  }
  std::fclose(out);
  const std::string shown(buffer, size);
  std::free(buffer);
  EXPECT_EQ(shown,
            "\r\x1b[KLooking for discs: 1234 directories, 5 found"
            "\r\x1b[KDisc 1 of 5  /a/long/folder/name"
            "\r\x1b[KDisc 2 of 5  /b\\x1b[2J\\x1b]0;title\\a"
            "\r\x1b[KDisc 3 of 5  ..." +
                std::string(58, 'd') + "/BDMV" + "\r\x1b[K");
}

// The length of the UTF-8 sequence at the start of `bytes`, decoded the plain way: the lead byte
// gives the length, every other byte must be 10xxxxxx, and the code point must need that length
// and be neither a surrogate nor past U+10FFFF. 0 when it is none.
std::size_t PlainSequenceLength(std::string_view bytes) {
  const auto lead = static_cast<unsigned char>(bytes[0]);
  std::size_t length = 0;
  char32_t code = 0;
  if (lead < 0x80) return 1;
  if ((lead & 0xE0) == 0xC0) {
    length = 2;
    code = lead & 0x1F;
  } else if ((lead & 0xF0) == 0xE0) {
    length = 3;
    code = lead & 0x0F;
  } else if ((lead & 0xF8) == 0xF0) {
    length = 4;
    code = lead & 0x07;
  } else {
    return 0;
  }
  if (bytes.size() < length) return 0;
  for (std::size_t i = 1; i < length; ++i) {
    const auto byte = static_cast<unsigned char>(bytes[i]);
    if ((byte & 0xC0) != 0x80) return 0;
    code = code << 6 | (byte & 0x3F);
  }
  constexpr char32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
  const bool scalar = code < 0xD800 || (code > 0xDFFF && code <= 0x10FFFF);
  return code >= kSmallest[length] && scalar ? length : 0;
}

bool PlainIsUtf8(std::string_view text) {
  for (std::size_t length; !text.empty(); text.remove_prefix(length)) {
    if ((length = PlainSequenceLength(text)) == 0) return false;
  }
  return true;
}

// Every pair of first bytes, followed by bytes on each side of the continuation range, whole
// and cut short, at the start of a text and after a character.
TEST(Utf8Test, AgreesWithAPlainDecoder) {
  const unsigned char kLater[] = {0x41, 0x80, 0xBF, 0xC0};
  int disagreements = 0;
  for (unsigned first = 0; first < 0x10000; ++first) {
    for (const unsigned char third : kLater) {
      for (const unsigned char fourth : kLater) {
        const char full[] = {'x', static_cast<char>(first >> 8), static_cast<char>(first & 0xFF),
                             static_cast<char>(third), static_cast<char>(fourth)};
        for (std::size_t size = 2; size <= std::size(full); ++size) {
          const std::string_view text(full, size);
          const std::size_t expected = PlainSequenceLength(text.substr(1));
          const bool agrees = Utf8SequenceLength(text, 1) == expected &&
                              Utf8SequenceLength(text.substr(1), 0) == expected &&
                              IsUtf8(text) == PlainIsUtf8(text);
          if (!agrees && ++disagreements <= 5) {
            ADD_FAILURE() << "disagree on " << testing::PrintToString(std::string(text.substr(1)));
          }
        }
      }
    }
  }
  EXPECT_EQ(disagreements, 0);
}

// The path shown is the folder that was changed: ".." after a link leads to the parent of the
// link's target, so only "." and a ".." after a real directory are spelled out of it.
TEST_F(CliTest, ThePathShownLeadsWhereTheSystemWent) {
  fs::create_directories(tree / "real" / "inner");
  fs::create_directories(tree / "real" / "c" / "BDMV");
  fs::create_directories(tree / "c" / "BDMV");  // where ".." after the link would lead as text
  fs::create_directory_symlink("real/inner", tree / "s");
  const std::string root = tree.Root().string();
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{root + "/s/../c"}, root + "/s/../c"},
      {{root + "/s/../c/../c/"}, root + "/s/../c"},
      {{root + "/s/../../c"}, root + "/s/../../c"},
      {{root + "/real/./inner/..//c/."}, root + "/real/c"},
      {{"/usr/bin/env", "-C", root + "/real", QUORVEL_CLI_PATH, "scan", "../s/../c"},
       root + "/s/../c"},
      {{"/usr/bin/env", "-C", root + "/real/inner", QUORVEL_CLI_PATH, "scan", "./../c"},
       root + "/real/c"},
  };
  for (const auto& [arguments, shown] : cases) {
    const auto run =
        arguments.size() == 1 ? CliInProcess({"scan", arguments[0]}) : RunProcess(arguments);
    EXPECT_EQ(run.out, shown + "/BDMV: index=none backup=no\n") << arguments.back();
  }
}

}  // namespace

namespace {

struct Stopped {
  int status = 0;  // as waitpid gives it
  std::string out, err;
};

// Runs a Modify pass over the discs and sends `signals`, one right after the other, once the
// pass is under way (a backup exists, well before its end: each disc is flushed).
// `output` is "--json", "--quiet", or "/dev/full" for a stdout that takes nothing; "nohup" is
// "--quiet" with SIGHUP ignored from the start, as nohup starts a program.
Stopped StopMidPass(const fs::path& root, const DiscRow& discs, const std::vector<int>& signals,
                    const std::string& output) {
  int out[2], err[2];
  if (pipe(out) != 0 || pipe(err) != 0) return {};
  const pid_t child = fork();
  if (child == 0) {
    dup2(output == "/dev/full" ? open("/dev/full", O_WRONLY) : out[1], 1);
    dup2(err[1], 2);
    close(out[0]);
    close(err[0]);
    if (output == "nohup") signal(SIGHUP, SIG_IGN);
    const char* format = output == "--json" ? "--json" : "--quiet";
    execl(QUORVEL_CLI_PATH, QUORVEL_CLI_PATH, "--threads", "1", format, "modify", root.c_str(),
          static_cast<char*>(nullptr));
    _exit(127);
  }
  close(out[1]);
  close(err[1]);
  while (!discs.AnyBackup()) usleep(1000);
  for (const int signal : signals) kill(child, signal);
  Stopped stopped;
  char buffer[4096];
  for (ssize_t n; (n = read(out[0], buffer, sizeof buffer)) > 0;) stopped.out.append(buffer, n);
  for (ssize_t n; (n = read(err[0], buffer, sizeof buffer)) > 0;) stopped.err.append(buffer, n);
  close(out[0]);
  close(err[0]);
  waitpid(child, &stopped.status, 0);
  return stopped;
}

// A scan that a signal stops says so as a pass does: on stderr, in its JSON and in its status.
// The signal comes before the program starts (in a child, so that it stops nothing else), and
// the search ends after the start folder.
TEST_F(CliTest, AStoppedScanSaysWhereItStopped) {
  MakeBdmvFolder(tree / "a", IndexBytes(64, 0x60));
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    platform::CatchStopSignals();
    raise(SIGTERM);
    const auto text = CliInProcess({"scan", tree.Root().string()});
    const auto json = CliInProcess({"--json", "scan", tree.Root().string()});
    const auto document = nlohmann::json::parse(json.out);
    const bool told = text.exitStatus == 143 && text.out.empty() &&
                      text.err == "Stopped after visiting 1 directories.\n" &&
                      json.exitStatus == 143 && document["stopped"] == true &&
                      document["directories_visited"] == 1 && document["folders"].empty();
    _exit(told ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
}

// Ctrl+C, a service manager's or `timeout`'s SIGTERM and a closed terminal's SIGHUP let the
// folder in hand finish, print the summary of what was done with a line that says the pass was
// stopped, and end in 128 and the signal's number, even when the summary cannot be written. No
// disc is left half done, and no temporary file is left behind. A second signal ends the program
// at once; a signal ignored from the start stays ignored.
TEST_F(CliTest, StopSignalsFinishTheFolderInHandAndSayWhatWasDone) {
  constexpr int kDiscs = 200;
  const DiscRow discs(tree.Root(), kDiscs, IndexBytes(64, 0x60));
  struct Case {
    std::vector<int> signals;
    std::string output;
    int exitStatus;  // -1: ended by a signal
  };
  for (const Case& c : std::vector<Case>{{{SIGINT}, "--quiet", 130},
                                         {{SIGTERM}, "--quiet", 143},
                                         {{SIGHUP}, "--quiet", 129},
                                         {{SIGTERM}, "--json", 143},
                                         {{SIGHUP}, "/dev/full", 129},
                                         {{SIGTERM, SIGHUP}, "--quiet", -1},
                                         {{SIGHUP}, "nohup", 0}}) {
    const std::string trace = testing::PrintToString(c.signals) + " " + c.output;
    discs.Make();
    const Stopped run = StopMidPass(tree.Root(), discs, c.signals, c.output);

    // A kill may leave a temporary file, for the next pass to remove.
    const DiscRow::Left left = discs.Check(c.exitStatus == -1);
    EXPECT_EQ(left.faults, std::vector<std::string>{}) << trace;
    if (c.exitStatus == 0) {
      EXPECT_TRUE(WIFEXITED(run.status) && WEXITSTATUS(run.status) == 0) << run.status << trace;
      EXPECT_EQ(left.patched, kDiscs) << trace;
      EXPECT_EQ(run.err, "") << trace;
      EXPECT_EQ(run.out, "Modify 200 file successful\n") << trace;
      continue;
    }
    EXPECT_LT(left.patched, kDiscs) << "the pass stopped: " << trace;
    if (c.exitStatus == -1) {
      // Both are pending at once: the system takes them in either order.
      EXPECT_TRUE(WIFSIGNALED(run.status)) << "status " << run.status << trace;
      EXPECT_NE(std::count(c.signals.begin(), c.signals.end(), WTERMSIG(run.status)), 0) << trace;
      continue;
    }
    ASSERT_TRUE(WIFEXITED(run.status)) << "ended by signal " << WTERMSIG(run.status) << trace;
    EXPECT_EQ(WEXITSTATUS(run.status), c.exitStatus) << trace;
    EXPECT_GT(left.patched, 0) << trace;

    // The discs handled, each finished, of all those found.
    std::smatch stop;
    const std::regex stopLine(
        "Stopped after ([0-9]+) of 200 discs\\.\n"
        "(quorvel-cli: cannot write to stdout: No space left on device\n)?");
    ASSERT_TRUE(std::regex_match(run.err, stop, stopLine)) << run.err << trace;
    EXPECT_EQ(stop[2].matched, c.output == "/dev/full") << trace;
    EXPECT_EQ(std::stoi(stop[1]), left.patched) << trace;
    const std::string summary = "Modify " + std::to_string(left.patched) + " file successful";
    if (c.output != "--json") {
      EXPECT_EQ(run.out, c.output == "/dev/full" ? "" : summary + "\n") << trace;
      continue;
    }
    const nlohmann::json document = nlohmann::json::parse(run.out);
    EXPECT_EQ(document["summary"], summary);
    EXPECT_EQ(document["stopped"], true);
    EXPECT_EQ(document["count"], left.patched);
  }
}

}  // namespace
