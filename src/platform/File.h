// File: an owned operating-system file handle with unbuffered reads and writes,
// and the file-system operations the program needs (exists, create folders,
// delete, rename with or without replace, exclusive folders, current directory).
// Nothing here throws: every operation reports an errno value (0 = success),
// so that the callers can turn it into their own error codes and messages.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace platform {

class File {
 public:
  enum class OpenMode {
    kRead,     //!< existing file, reading from its start; a folder is refused (EISDIR)
    kRewrite,  //!< create the file empty, replacing an existing one
    kAppend,   //!< existing file, writes go to its end; a missing one gives ENOENT
    kCreateNew,  //!< a new file; an existing one (of any kind) gives EEXIST
    kAppendCreate,  //!< as kAppend; a missing file is created (never emptied)
  };

  File();
  File(const File&) = delete;
  File& operator=(const File&) = delete;
  File(File&& other) noexcept;
  File& operator=(File&& other) noexcept;
  ~File();  // closes without reporting

  // Opens name; an open handle is closed first. Returns 0 or an errno value.
  int Open(const std::string& name, OpenMode mode);
  bool IsOpen() const { return fd_ >= 0; }
  // Opens a new file without a name in folder for writing and reading (O_TMPFILE);
  // EOPNOTSUPP (or EISDIR, EINVAL) where the file system lacks that.
  int OpenUnnamed(const std::string& folder);
  // Gives the open unnamed file the name; EEXIST when it is taken.
  int LinkUnnamed(const std::string& name);

  // Reads up to capacity bytes; *got is 0 at end of file. Retries on EINTR.
  int Read(char* buffer, size_t capacity, size_t* got);
  // Writes all size bytes (retrying short writes and EINTR). Every few MB
  // the system is asked to start writing the data out, so that a later
  // Sync has little left to wait for. With DropBehind, a failure to make
  // the data written before durable (EIO) is reported here.
  int Write(const char* data, size_t size);
  // For a large file written once, from its start, that nothing reads back
  // soon: from now on, whenever the data 8 MB and more behind the last
  // write has grown by 8 MB, a thread of the file's own makes the data
  // written so far durable (fdatasync) and drops that part from the page
  // cache. The final Sync then has little left to wait for, the file
  // occupies a few MB of cache while it is written, and the pages come back
  // for the next writes instead of the system taking fresh memory for each
  // (dear on a virtual machine). Write does not wait for these syncs (each
  // takes milliseconds on a virtual disk); a failure one of them found
  // (EIO) is reported by the Write that hands over the next step, or by
  // Sync, which first waits for the sync under way. Set after each Open;
  // Close ends it.
  void DropBehind();
  // Size of the open file in bytes, or -1 when it cannot be determined.
  int64_t Size() const;
  // Writes the file's data through to the storage device (fsync); with
  // DropBehind, ends the step-wise syncs first and reports their failure.
  int Sync();
  // Waits for the exclusive lock on the file (flock); Close releases it.
  int Lock();
  // The next read starts at the beginning of the file.
  int Rewind();
  // Closes the handle; 0 also when it was not open.
  int Close();

 private:
  // Write-out of the written data (Write).
  struct tWriteOut {
    size_t Unstarted = 0;  // bytes written since write-out was last started
    int64_t Written = 0;   // bytes written since the file was opened
    int64_t Settled = 0;   // DropBehind: bytes from the start handed to the syncs
  };
  // DropBehind's thread; defined in the .cpp.
  class tStepSync;
  // After a write: starts the write-out, hands a step to the syncs.
  int WriteOut();
  // Ends the step-wise syncs (waiting for the one under way); their failure.
  int EndStepSync();

  int fd_ = -1;
  tWriteOut write_out_;
  std::unique_ptr<tStepSync> step_sync_;  // DropBehind set
};

// Plain file (or anything that is not a folder) at path.
bool FileExists(const std::string& path);
bool DirectoryExists(const std::string& path);
// Creates the folder with all missing parents; true when it exists afterwards.
bool ForceDirectories(const std::string& path);
// Deletes a file; 0 or an errno value.
int DeleteFile(const std::string& path);
// Renames a file; fails with EEXIST when to already exists.
int RenameFile(const std::string& from, const std::string& to);
// Renames a file, replacing an existing target atomically.
int ReplaceFile(const std::string& from, const std::string& to);
// Makes the folder's entries (a rename into it) durable; 0 or an errno value.
int SyncDirectory(const std::string& path);
// Creates the folder (its parent must exist); EEXIST when anything of that
// name exists.
int CreateNewDirectory(const std::string& path);
// Removes an empty folder; 0 or an errno value.
int RemoveDirectory(const std::string& path);
// Current working directory (no trailing "/" except for the root), and
// changing it; SetCurrentDir returns 0 or an errno value.
std::string GetCurrentDir();
int SetCurrentDir(const std::string& path);

}  // namespace platform
