#include "pass/passes.h"

#include <cstdio>
#include <utility>

#include "bdmv/modify_bdmv_folder.h"
#include "pass/bdmv_folder_walker.h"
#include "pass/disc_location.h"
#include "pass/pass_state.h"
#include "platform/stop_signals.h"

namespace {

constexpr const char* kPattern = "BDMV";
constexpr const char* kStartFolderError = "Floder Path ERR.";

void ApplyPassOperation(const DiscLocation& disc, PassFrontEnd& frontEnd) {
  if (g_passMode != PASS_MODIFY && g_passMode != PASS_RESTORE) return;
  const std::string& path = disc.Path();
  frontEnd.FolderStarted(path);
  const FolderOutcome outcome = [&] {
    const platform::FolderInHand inHand;
    return g_passMode == PASS_MODIFY ? disc.Modify(g_convert3DTo2D != 0) : disc.Restore();
  }();
  if (outcome.Counted()) ++g_passCount;
  if (outcome.kind == FolderOutcome::Kind::kReported) {
    frontEnd.ShowMessage({PassMessage::Kind::kFolder, PassMessage::Icon::kWarning, outcome.message,
                          path, outcome.cause});
  }
  frontEnd.FolderHandled(path, outcome);
}

// Opens the walker on the start folder, or tells the user why it cannot.
bool Enter(const CBdmvFolderWalker& walker, PassFrontEnd& frontEnd) {
  if (walker.Entered()) return true;
  frontEnd.ShowMessage(
      {PassMessage::Kind::kPassLevel, PassMessage::Icon::kWarning, kStartFolderError, {}});
  return false;
}

// A Modify reads each folder as the search lists it, and opens again only those it is to change;
// a Restore changes every one, so it reads them as their turns near.
CBdmvFolderWalker::Looks LooksOf(int mode) {
  if (mode == PASS_RESTORE) return {std::nullopt, LookDepth::kRestore, {}};
  return {LookDepth::kIndex, LookDepth::kIndexToChange,
          [](const FolderLook& look, const std::string& path) {
            return ModifyOutcomeOfLook(look, path).has_value();
          }};
}

// What a summary says of the walk: whether a stop ended it, and where.
PassMessage SummaryOf(const CBdmvFolderWalker& walker, std::string text) {
  return {PassMessage::Kind::kSummary,
          PassMessage::Icon::kWarning,
          std::move(text),
          {},
          {},
          walker.Stopped(),
          walker.DirectoriesVisited(),
          walker.StoppedSearching(),
          walker.TargetsFound(),
          walker.TargetsBegun()};
}

void RunPass(const std::string& folder, const char* summaryFormat, PassFrontEnd& frontEnd,
             const WalkOptions& options) {
  CBdmvFolderWalker walker(folder, kPattern, options.images);
  if (!Enter(walker, frontEnd)) return;
  walker.Walk([&](const DiscLocation& disc) { ApplyPassOperation(disc, frontEnd); }, &frontEnd,
              options.threads, LooksOf(g_passMode));
  char summary[64];
  std::snprintf(summary, sizeof summary, summaryFormat, g_passCount);
  frontEnd.ShowMessage(SummaryOf(walker, summary));
}

}  // namespace

void RunModifyPass(const std::string& folder, int convert3DTo2D, PassFrontEnd& frontEnd,
                   const WalkOptions& options) {
  g_passMode = PASS_MODIFY;
  g_passCount = 0;
  g_convert3DTo2D = convert3DTo2D;
  RunPass(folder, "Modify %d file successful", frontEnd, options);
}

void RunRestorePass(const std::string& folder, PassFrontEnd& frontEnd, const WalkOptions& options) {
  g_passMode = PASS_RESTORE;
  g_passCount = 0;
  RunPass(folder, "Resume  %d files successful", frontEnd, options);
}

bool RunScan(const std::string& folder, PassFrontEnd& frontEnd, const ScanReport& report,
             const WalkOptions& options, PassMessage* ending) {
  CBdmvFolderWalker walker(folder, kPattern, options.images);
  if (!Enter(walker, frontEnd)) return false;
  walker.Walk(
      [&](const DiscLocation& disc) {
        const std::string& path = disc.Path();
        const BdmvFolderState state = disc.ReadState();
        const UnreadableKind kind =
            disc.IsImage() ? UnreadableKind::kImage : UnreadableKind::kFolder;
        if (state.listError) {
          frontEnd.FolderUnreadable(path, state.listError->Description(), kind);
          return;
        }
        report(path, state);
        // Whether it is patched is unknown: the folder counts as one that could not be read.
        if (state.indexError) {
          frontEnd.FolderUnreadable(path, state.indexError->Description(), kind);
        }
      },
      &frontEnd, options.threads,
      {LookDepth::kIndex, std::nullopt,
       [](const FolderLook&, const std::string&) { return true; }});
  if (ending) *ending = SummaryOf(walker, {});
  return true;
}
