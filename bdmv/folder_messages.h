#pragma once

#include <cstddef>

// The texts a per-folder operation shows, exactly as users know them.
namespace folder_messages {

inline constexpr const char* kMemoryLeak = "Memory Leak";
inline constexpr const char* kPathTooLong = "BD Floder path is too long,please modify the location";
inline constexpr const char* kModifyNoIndex = "modify Fail,Please check if path is correct ";
inline constexpr const char* kModifyReadOnly = "Modify Fail,Please check if BDMV is ReadOnly";
inline constexpr const char* kModifyNoBackup = "Modify Fail,Can not create backup file";
inline constexpr const char* kModifyNotAnIndex = "Modify Fail,index file is not a BD index";
inline constexpr const char* kModifyTooLarge = "Modify Fail,index file is too large";
inline constexpr const char* kRestoreNoIndex = "modify Fail,Please check if path is correct";
inline constexpr const char* kRestoreNoBackup = "Resume fail,no used backup file is exist";
inline constexpr const char* kRestoreReadOnly = "Resume fail,Please check if BDMV is ReadOnly";
inline constexpr const char* kRestoreCopyFailed = "Resume fail,Can not copy backup file";

// Beyond the classic texts: what keeps a folder from a whole, undoable result.
inline constexpr const char* kModifyUnreadable = "Modify Fail,Can not read BDMV folder";
inline constexpr const char* kRestoreUnreadable = "Resume fail,Can not read BDMV folder";
inline constexpr const char* kModifyHalfPatched =
    "Modify Fail,index file is half patched and no backup matches it";
inline constexpr const char* kModifyBackupPatched = "Modify Fail,backup file is already patched";
inline constexpr const char* kRestoreBackupPatched = "Resume fail,backup file is already patched";
inline constexpr const char* kModifyHardLinked =
    "Modify Fail,index file has other names (hard links)";
inline constexpr const char* kRestoreHardLinked =
    "Resume fail,index file has other names (hard links)";
inline constexpr const char* kModifyModeNotKept =
    "Modify Fail,index file would lose its set-id bits";
inline constexpr const char* kRestoreModeNotKept =
    "Resume fail,index file would lose its set-id bits";

// Folder paths this long or longer are refused (in bytes).
inline constexpr std::size_t kMaxFolderPathLength = 487;

}  // namespace folder_messages
