#include "cli/cli_front_end.h"

#include <cstdio>
#include <cstdlib>

#include <gtest/gtest.h>

namespace {

using namespace std::chrono_literals;
using Time = std::chrono::steady_clock::time_point;

constexpr const char* kErase = "\r\x1b[K";

// What a front end whose clock the test sets wrote to stderr, a terminal's.
class CliFrontEndTest : public ::testing::Test {
 protected:
  CliFrontEndTest() : m_err(open_memstream(&m_buffer, &m_size)) {}
  ~CliFrontEndTest() override {
    std::fclose(m_err);
    std::free(m_buffer);
  }

  std::string Written() {
    std::fflush(m_err);
    return std::string(m_buffer, m_size);
  }

  Time now{};

 private:
  char* m_buffer = nullptr;
  std::size_t m_size = 0;
  std::FILE* m_err;
  ConsoleOutput m_console{stdout, m_err};

 protected:
  CliFrontEnd frontEnd{m_console, true, true, [this] { return now; }};
};

// The terminal's line comes up a second into the pass, counts the search and then names each
// disc, and every message, an unreadable folder's included, takes its place; the JSON report
// lists what the pass did.
TEST_F(CliFrontEndTest, TheLineComesUpASecondInAndGivesWayToEveryMessage) {
  frontEnd.Searching(1, 0);
  now += 999ms;
  frontEnd.Searching(2, 1);
  EXPECT_EQ(Written(), "") << "not yet a second in";
  now += 50ms;
  frontEnd.Searching(1234, 2);
  std::string expected = std::string(kErase) + "Looking for discs: 1234 directories, 2 found";
  EXPECT_EQ(Written(), expected);
  frontEnd.FolderUnreadable("/m/b", "Permission denied", UnreadableKind::kFolder);
  expected += std::string(kErase) + "/m/b: cannot read this folder (Permission denied)\n";
  EXPECT_EQ(Written(), expected);
  now += 50ms;
  frontEnd.DiscsFound(2);
  frontEnd.FolderStarted("/m/a/BDMV");
  now += 50ms;
  frontEnd.FolderHandled("/m/a/BDMV", {FolderOutcome::Kind::kPatched, {}});
  expected += std::string(kErase) + "Disc 0 of 2  " + kErase + "Disc 1 of 2  /m/a/BDMV";
  EXPECT_EQ(Written(), expected);
  now += 50ms;
  frontEnd.FolderStarted("/m/c/BDMV");
  frontEnd.ShowMessage(
      {PassMessage::Kind::kFileError, PassMessage::Icon::kStop, "disk full", {}, "No space"});
  // The progress is brought up to date before the message, as for a folder's.
  expected += std::string(kErase) + "Disc 2 of 2  /m/c/BDMV" + kErase + "Disc 2 of 2  /m/c/BDMV" +
              kErase + "/m/c/BDMV: disk full (No space)\n";
  EXPECT_EQ(Written(), expected);

  EXPECT_EQ(frontEnd.Json(), nlohmann::json::parse(R"({
              "folders": [{"path": "/m/a/BDMV", "result": "patched"},
                          {"path": "/m/c/BDMV", "result": "file-error", "message": "disk full",
                           "cause": "No space"}],
              "unreadable": [{"path": "/m/b", "cause": "Permission denied"}],
              "count": 1, "summary": null, "stopped": false, "directories_visited": null,
              "error": {"kind": "file-error", "text": "disk full", "cause": "No space",
                        "folder": "/m/c/BDMV", "file": null}})"));
  EXPECT_FALSE(frontEnd.ReachedSummary());
  EXPECT_TRUE(frontEnd.AnyFolderReported());
}

}  // namespace
