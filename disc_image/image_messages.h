#pragma once

// What refuses a disc image, and what an image's operations meet that no folder's text fits;
// the other texts are the folder's (bdmv/folder_messages.h), so that an image reports as a folder
// does.
namespace image_messages {

inline constexpr const char* kModifyNotUdf = "Modify Fail,file is not a UDF disc image";
inline constexpr const char* kModifyDamaged = "Modify Fail,disc image is damaged";
inline constexpr const char* kModifyBlockSize =
    "Modify Fail,disc image's blocks are not 2048 bytes";
inline constexpr const char* kModifyPartitionKind =
    "Modify Fail,disc image has a virtual or sparable partition";
inline constexpr const char* kModifyExtendedAllocation =
    "Modify Fail,disc image uses extended allocation descriptors";
inline constexpr const char* kModifyUnsupportedLayout =
    "Modify Fail,disc image is laid out in a way that cannot be patched in place";
inline constexpr const char* kModifyNoRoom =
    "Modify Fail,index file's last block has no room for the extension data";
inline constexpr const char* kModifySharedData =
    "Modify Fail,index file shares its data with another file";
inline constexpr const char* kModifyIsoCopy =
    "Modify Fail,the ISO 9660 view keeps its own copy of the index file";

// The file beside an image, or the image against it.
inline constexpr const char* kModifyBackupUnusable =
    "Modify Fail,backup file beside the disc image can not be used";
inline constexpr const char* kRestoreBackupUnusable =
    "Resume fail,backup file beside the disc image can not be used";
inline constexpr const char* kModifyImageDiffers =
    "Modify Fail,disc image differs from its backup file";
inline constexpr const char* kRestoreImageDiffers =
    "Resume fail,disc image differs from its backup file";
inline constexpr const char* kRestoreNotTaken =
    "Resume fail,disc image did not take back its original bytes";
// Restored, but the backup file stays: a later Restore finds the image original and removes it.
inline constexpr const char* kRestoreBackupHeld =
    "Resume fail,disc image is restored but another program holds the backup file beside it";
// An image is only ever written in place, which would change it under its other names too.
inline constexpr const char* kModifyHardLinked =
    "Modify Fail,disc image has other names (hard links)";
inline constexpr const char* kRestoreHardLinked =
    "Resume fail,disc image has other names (hard links)";

}  // namespace image_messages
