#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "platform/directory.h"

namespace platform {

// An existing file of a disc folder; never reached through a link, and never waited on: a FIFO
// or a device in a file's place opens without blocking (IsRegular tells it apart). Every failure
// throws FileError: an open names the file within its directory, a write the name given to it,
// and other calls on the open file none.
class File {
 public:
  File(File&& other) noexcept;
  File& operator=(File&&) = delete;
  File(const File&) = delete;
  File& operator=(const File&) = delete;
  ~File();

  static File OpenForReading(const Directory& dir, const std::string& name);

  // Opens a file that is to change, for reading, while others may go on reading it; while it is
  // held, another Quorvel opening the same file this way fails. On Windows a program that writes
  // the file, or that lets no one read it, makes the open fail with a sharing violation.
  static File OpenExclusive(const Directory& dir, const std::string& name);

  // Opens the same way, without holding it yet: Hold does, at the moment the file is to change,
  // so that a file opened ahead of its turn keeps no other pass away; LetGo lets others in again
  // before the handle is closed, which on a share may be a while. `name` names it in errors.
  static File OpenToChange(const Directory& dir, const std::string& name);
  void Hold(const std::string& name);
  void LetGo() noexcept;

  // Opens for reading and writing while others may go on reading: on Windows a program that
  // writes the file, or that will not let it be written, makes the open fail with a sharing
  // violation; a read-only file fails with access denied.
  static File OpenForUpdate(const Directory& dir, const std::string& name);

  // Opens for reading and writing in place, held against another Quorvel as OpenExclusive. On
  // Windows, readers that let the file be written may go on reading; a program that writes it,
  // or will not let it be written, makes the open fail with a sharing violation.
  static File OpenForWriting(const Directory& dir, const std::string& name);

  // A plain file, not a FIFO, socket or device.
  bool IsRegular() const;

  std::uint64_t Size() const;

  // Which file this is and how it was when asked: two handles with the same stamp show the same
  // content, unless a write kept both the size and the modification time.
  struct Stamp {
    FileIdentity identity;
    std::uint64_t size = 0;
    std::int64_t modified = 0;  // in the system's own units
    bool readOnly = false;      // as IsReadOnly tells it by the file's name
    bool regular = false;       // as IsRegular tells it
    bool operator==(const Stamp&) const = default;
  };
  Stamp StampNow() const;
  // The stamp of the file `name` leads to now, which is this one while its identity is; none when
  // the name leads nowhere. Opened to change, a file keeps its name on Windows, which lets no
  // one rename or delete it meanwhile; elsewhere another file may have taken the name.
  Stamp StampByName(const Directory& dir, const std::string& name) const;

  // How many names the file has: a write in place changes the file under every one of them.
  std::uint64_t LinkCount() const;

  // Whether this process keeps the file's mode through a write in place: the system drops the
  // set-user-id and set-group-id bits when others write, and only the owner may set them again.
  bool KeepsModeThroughWrite() const;
  // The permission bits as they are now, and setting them again after a write in place dropped
  // some (only where KeepsModeThroughWrite); 0 and nothing to do on Windows.
  std::uint32_t Mode() const;
  void RestoreMode(std::uint32_t mode);

  // Reads at most buffer.size() bytes from offset; fewer only at the end of the file.
  std::size_t ReadAt(std::uint64_t offset, std::span<std::uint8_t> buffer) const;

  // The modification time becomes now, in whole seconds; the access time (and on Windows the
  // creation time) is kept, cut to whole seconds. On Windows the attributes above the low seven
  // bits (temporary, not content indexed and the like) are cleared.
  void SetModificationTimeToNow();

  // Writes every byte at offset; a write that stores fewer bytes than asked fails with the
  // disk-full cause. displayName is the name a failed write reports.
  void WriteAt(std::uint64_t offset, std::span<const std::uint8_t> bytes,
               const std::string& displayName);
  void Truncate(std::uint64_t length);
  void Flush();

  // Lets go of the file before the destructor would; nothing may be asked of it afterwards.
  void Close();

  std::intptr_t NativeHandle() const { return m_handle; }

 private:
  explicit File(std::intptr_t handle) : m_handle(handle) {}
  std::intptr_t m_handle;
};

// Removes the file's name from the directory and makes the removal durable. On Windows another
// program's short hold on the file is waited out for about a second, as a rename's is.
void RemoveFile(const Directory& dir, const std::string& name);

// A name that exists as a file (not a link) whose read-only attribute is set.
bool IsReadOnly(const Directory& dir, const std::string& name);

// Removes the temporary files that an interrupted Quorvel left among `entries`: those whose
// process is gone, or that are more than a day old. Nothing else is touched.
void RemoveAbandonedTemporaries(const Directory& dir, const std::vector<DirEntry>& entries);

// A file written under a hidden temporary name beside its final name and published by a rename,
// so that the final name holds either its old content or the whole new one, whatever interrupts.
class NewFile {
 public:
  // displayName is the name a failed write reports.
  NewFile(const Directory& dir, std::string finalName, std::string displayName);
  NewFile(const NewFile&) = delete;
  NewFile& operator=(const NewFile&) = delete;
  // Removes the temporary file unless it was published.
  ~NewFile();

  // A write that stores fewer bytes than asked fails with the disk-full cause.
  void Write(std::span<const std::uint8_t> bytes);

  // Gives the new file the owner, group and permission bits of `original` (on Windows its owner
  // and access list, and, once published, its attributes and creation time). False where the
  // system will not let it keep them all: it may then not take the original's place.
  bool KeepPermissionsOf(const File& original);

  // The published file stays hidden on Windows, where a leading dot hides nothing; elsewhere
  // the final name alone decides, as it is given.
  void KeepHidden();

  // Flushes the file, renames it to its final name and flushes the directory. Without
  // replaceExisting an existing file of the final name is never replaced: the rename fails.
  // On Windows the file stays hidden until it has its final name.
  void Publish(bool replaceExisting);

 private:
  const Directory& m_dir;
  std::string m_finalName;
  std::string m_displayName;
  std::string m_tempName;
  std::intptr_t m_handle = -1;      // a file descriptor, or a Windows handle
  std::uint32_t m_attributes = 0;   // Windows: what the file shows once published; 0 for normal
  std::int64_t m_creationTime = 0;  // Windows: the original's, once published; 0 to leave it
  bool m_published = false;
};

}  // namespace platform
