#pragma once
// An output or input file of a run (record file, replay file, exports). The
// handle is guarded by its own mutex so that the thread that closes it (the
// user-interface thread at Stop) and the thread that writes it (a link or the
// calculation thread) never meet: a write after the close does nothing.
#include <cstddef>
#include <cstdio>
#include <mutex>
#include <string>

namespace qs {

class DataFile {
 public:
  DataFile() = default;
  DataFile(const DataFile&) = delete;
  DataFile& operator=(const DataFile&) = delete;
  ~DataFile() { Close(); }

  // mode as for fopen ("rb", "wb", "r+b"...). Closes a file already open.
  bool Open(const std::string& path, const char* mode);
  void Close();
  bool IsOpen() const;
  std::string Path() const;
  // How many times a file has been opened in this handle: a writer that
  // remembers the count notices when someone else has opened a new file in
  // its place (the record file chosen from the Save menu during a run).
  unsigned Opens() const;
  // Writes all bytes; false when the file is closed or the write fell short.
  bool Write(const void* data, std::size_t size);
  bool WriteText(const std::string& text) { return Write(text.data(), text.size()); }
  // Hands what was written to the operating system, so that a process that
  // is killed loses nothing written before the flush. False when closed.
  bool Flush();
  // Writes at a byte offset, then returns to the end of the file for the
  // appends that follow.
  bool WriteAt(long offset, const void* data, std::size_t size);
  // Reads up to size bytes; the count read (0 when closed or at the end).
  std::size_t Read(void* data, std::size_t size);
  // Moves the read position forward; false when closed or the seek failed.
  bool Skip(long bytes);
  // Bytes in the file, or -1 when closed.
  long Length();

 private:
  mutable std::mutex mutex_;
  std::FILE* file_ = nullptr;
  std::string path_;
  unsigned opens_ = 0;
};

}  // namespace qs
