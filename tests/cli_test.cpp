#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "tests/support/cli_runner.h"
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

  auto run = Cli({"modify", "--quiet", tree.Root().string()});
  EXPECT_EQ(run.exitStatus, 0) << run.err;
  EXPECT_EQ(run.out, "Modify 1 file successful\n");
  EXPECT_EQ(run.err, "");

  fs::create_directories(tree / "bad" / "BDMV");
  run = Cli({"restore", tree.Root().string()});
  EXPECT_EQ(run.exitStatus, 1);
  EXPECT_EQ(LastLine(run.out), "Resume  1 files successful");
  EXPECT_EQ(run.err, Bdmv("bad") + ": modify Fail,Please check if path is correct\n");

  run = Cli({"modify", (tree / "missing").string()});
  EXPECT_EQ(run.exitStatus, 2);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err, "Floder Path ERR.\n");

  fs::remove_all(tree / "bad");
  fs::remove_all(tree / "good" / "BDMV" / "BACKUP");
  SetReadOnly(tree / "good" / "BDMV" / "MovieObject.bdmv", true);
  fs::remove(tree / "good" / "BDMV" / "index.bdmv");
  WriteBytes(tree / "good" / "BDMV" / "index.bdmv", IndexBytes(64, 0x60));
  run = Cli({"modify", "--2d", tree.Root().string()});
  EXPECT_EQ(run.exitStatus, 2);
  EXPECT_EQ(run.out, "") << "no summary after a file error";
  EXPECT_EQ(run.err, "对 一未命名文件 的存取被拒绝。\n");
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
    const auto run = Cli(arguments);
    EXPECT_EQ(run.exitStatus, 64) << testing::PrintToString(arguments);
    EXPECT_NE(run.err, "");
  }
  auto help = Cli({"--help"});
  EXPECT_EQ(help.exitStatus, 0);
  EXPECT_NE(help.out.find("modify"), std::string::npos);
  auto version = Cli({"--version"});
  EXPECT_EQ(version.exitStatus, 0);
  EXPECT_EQ(version.out, "quorvel-cli 2.0.0.0\n");
}

TEST_F(CliTest, JsonReportsEveryFolderEvenWithNamesThatAreNotUtf8) {
  const std::string oddName = "disc-\xff\xfe";
  MakeBdmvFolder(tree / oddName, IndexBytes(64, 0x60));
  MakeBdmvFolder(tree / "done", IndexBytes(64, 0x60));
  ASSERT_EQ(Cli({"modify", (tree / "done").string()}).exitStatus, 0);
  fs::create_directories(tree / "empty" / "BDMV");

  const auto run = Cli({"--json", "modify", "--2d", tree.Root().string()});
  ASSERT_EQ(run.exitStatus, 1);
  const auto report = nlohmann::json::parse(run.out);
  EXPECT_EQ(report["command"], "modify");
  EXPECT_EQ(report["convert_3d_to_2d"], true);
  EXPECT_EQ(report["count"], 2);
  EXPECT_EQ(report["summary"], "Modify 2 file successful");
  EXPECT_TRUE(report["error"].is_null());
  std::map<std::string, std::string> results;
  for (const auto& folder : report["folders"]) {
    const std::string path = folder["path"];
    results[fs::path(path).parent_path().filename().string()] = folder["result"];
  }
  EXPECT_EQ(results,
            (std::map<std::string, std::string>{{"disc-\xef\xbf\xbd\xef\xbf\xbd", "patched"},
                                                {"done", "already-patched"},
                                                {"empty", "reported"}}));

  const auto scan = Cli({"scan", tree.Root().string(), "--json"});
  ASSERT_EQ(scan.exitStatus, 0);
  const auto scanned = nlohmann::json::parse(scan.out);
  ASSERT_EQ(scanned["folders"].size(), 3u);
  for (const auto& folder : scanned["folders"]) {
    if (folder["index_file"].is_null()) continue;
    EXPECT_EQ(folder["patched"], true);
    EXPECT_EQ(folder["backup"], true);
  }
}

TEST_F(CliTest, FileErrorInJsonNamesTheFolder) {
  MakeBdmvFolder(tree / "m", IndexBytes(64, 0x60));
  SetReadOnly(tree / "m" / "BDMV" / "MovieObject.bdmv", true);

  const auto run = Cli({"modify", "--json", tree.Root().string()});

  EXPECT_EQ(run.exitStatus, 2);
  const auto report = nlohmann::json::parse(run.out);
  EXPECT_TRUE(report["summary"].is_null());
  EXPECT_EQ(report["error"]["kind"], "file-error");
  EXPECT_EQ(report["error"]["text"], "对 一未命名文件 的存取被拒绝。");
  ASSERT_EQ(report["folders"].size(), 1u);
  EXPECT_EQ(report["folders"][0]["path"], Bdmv("m"));
  EXPECT_EQ(report["folders"][0]["result"], "file-error");
}

TEST_F(CliTest, ScanListsFoldersAndChangesNothing) {
  MakeBdmvFolder(tree / "a", IndexBytes(64, 0x60));
  fs::create_directories(tree / "b" / "BDMV");
  WriteBytes(tree / "b" / "BDMV" / "INDEX.BDM", Bytes(50, 'z'));

  const auto run = Cli({"scan", tree.Root().string()});

  ASSERT_EQ(run.exitStatus, 0);
  std::vector<std::string> lines;
  for (std::size_t start = 0, end; (end = run.out.find('\n', start)) != std::string::npos;
       start = end + 1) {
    lines.push_back(run.out.substr(start, end - start));
  }
  std::sort(lines.begin(), lines.end());
  EXPECT_EQ(lines, (std::vector<std::string>{
                       Bdmv("a") + ": index=index.bdmv patched=no flags=0x60 backup=no",
                       Bdmv("b") + ": index=INDEX.BDM not-an-index backup=no"}));
  EXPECT_EQ(Names(tree / "a" / "BDMV"),
            (std::vector<std::string>{"MovieObject.bdmv", "index.bdmv"}));
}

// An unreadable folder is skipped, named with the system's cause, and makes the exit status 1,
// in every command and in JSON; as root nothing is unreadable, so it runs as "nobody".
TEST_F(CliTest, UnreadableFoldersAreReportedAndThePassGoesOn) {
  MakeBdmvFolder(tree / "a", IndexBytes(64, 0x60));
  fs::create_directories(tree / "locked" / "BDMV");
  fs::permissions(tree.Root(), fs::perms::all);
  fs::permissions(tree / "locked", fs::perms::none);
  const std::string locked = (tree / "locked").string();
  auto asNobody = [&](std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), {"/usr/bin/setpriv", "--reuid=65534", "--regid=65534",
                                         "--clear-groups", QUORVEL_CLI_PATH});
    return RunProcess(arguments);
  };

  auto run = asNobody({"scan", tree.Root().string()});
  EXPECT_EQ(run.exitStatus, 1);
  EXPECT_EQ(run.out, Bdmv("a") + ": index=index.bdmv patched=no flags=0x60 backup=no\n");
  EXPECT_EQ(run.err, locked + ": cannot read this folder (Permission denied)\n");

  fs::remove_all(tree / "a");
  for (const char* command : {"modify", "restore"}) {
    run = asNobody({command, "--threads", "1", tree.Root().string()});
    EXPECT_EQ(run.exitStatus, 1) << command;
    EXPECT_EQ(LastLine(run.out), command == std::string("modify") ? "Modify 0 file successful"
                                                                  : "Resume  0 files successful");
    EXPECT_EQ(run.err, locked + ": cannot read this folder (Permission denied)\n");
  }

  for (const char* command : {"scan", "modify"}) {
    run = asNobody({"--json", command, tree.Root().string()});
    EXPECT_EQ(run.exitStatus, 1) << command;
    EXPECT_EQ(
        nlohmann::json::parse(run.out)["unreadable"],
        nlohmann::json::parse(R"([{"path": ")" + locked + R"(", "cause": "Permission denied"}])"))
        << command;
  }
  fs::permissions(tree / "locked", fs::perms::owner_all);
}

// Runs the command with its stderr on a terminal and returns what the terminal received.
std::string TerminalOutput(const std::vector<std::string>& arguments) {
  int master = -1;
  const pid_t child = forkpty(&master, nullptr, nullptr, nullptr);
  if (child == 0) {
    std::vector<char*> argv = {const_cast<char*>(QUORVEL_CLI_PATH)};
    for (const auto& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    freopen("/dev/null", "w", stdout);
    execv(argv[0], argv.data());
    _exit(127);
  }
  std::string received;
  char buffer[4096];
  for (ssize_t n; (n = read(master, buffer, sizeof buffer)) > 0;) received.append(buffer, n);
  waitpid(child, nullptr, 0);
  close(master);
  return received;
}

TEST_F(CliTest, ProgressShowsOnATerminalOnlyAndIsErasedAtTheEnd) {
  MakeBdmvFolder(tree / "a", IndexBytes(64, 0x60));

  const std::string shown = TerminalOutput({"modify", tree.Root().string()});
  EXPECT_NE(shown.find("1 directories, 0 BDMV found, 0 handled  " + tree.Root().string()),
            std::string::npos)
      << shown;
  ASSERT_GE(shown.size(), 4u);
  EXPECT_EQ(shown.substr(shown.size() - 4), "\r\x1b[K") << "the line is erased before the summary";

  EXPECT_EQ(TerminalOutput({"restore", "--quiet", tree.Root().string()}), "");
  EXPECT_EQ(Cli({"modify", tree.Root().string()}).err, "") << "no progress when not a terminal";
}

}  // namespace
