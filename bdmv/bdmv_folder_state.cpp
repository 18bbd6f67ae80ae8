#include "bdmv/bdmv_folder_state.h"

BdmvFolderState ReadBdmvFolderState(const platform::Directory& folder) {
  return BdmvFolderStateOf(LookAtFolder(folder, LookDepth::kIndex));
}

BdmvFolderState BdmvFolderStateOf(const FolderLook& look) {
  BdmvFolderState state;
  state.listError = look.listError;
  if (state.listError) return state;
  state.backupFile = look.backupFile;
  state.indexFile = look.indexName;
  if (look.indexError) {
    // Nothing read before the failure is told.
    state.indexError = look.indexError;
    return state;
  }
  state.indexReadable = !look.indexName.empty();  // and read, as it has no error
  state.isIndexTable = look.header.isIndexTable;
  state.flags = look.header.flags;
  if (!state.isIndexTable) return state;
  // Judged against the backup a Modify would complete it from.
  const patch_progress::Stage stage = look.progress.stage;
  state.patched = stage == patch_progress::Stage::kPatched;
  state.unfinished =
      stage == patch_progress::Stage::kUnfinished || stage == patch_progress::Stage::kBroken;
  return state;
}
