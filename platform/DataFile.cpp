#include "platform/DataFile.h"

namespace qs {

bool DataFile::Open(const std::string& path, const char* mode) {
  std::FILE* f = std::fopen(path.c_str(), mode);
  std::lock_guard lock(mutex_);
  if (file_ != nullptr) std::fclose(file_);
  file_ = f;
  path_ = f != nullptr ? path : std::string();
  if (f != nullptr) ++opens_;
  return f != nullptr;
}

unsigned DataFile::Opens() const {
  std::lock_guard lock(mutex_);
  return opens_;
}

void DataFile::Close() {
  std::lock_guard lock(mutex_);
  if (file_ == nullptr) return;
  std::fclose(file_);
  file_ = nullptr;
  path_.clear();
}

bool DataFile::IsOpen() const {
  std::lock_guard lock(mutex_);
  return file_ != nullptr;
}

std::string DataFile::Path() const {
  std::lock_guard lock(mutex_);
  return path_;
}

bool DataFile::Write(const void* data, std::size_t size) {
  std::lock_guard lock(mutex_);
  if (file_ == nullptr) return false;
  return std::fwrite(data, 1, size, file_) == size;
}

bool DataFile::Flush() {
  std::lock_guard lock(mutex_);
  return file_ != nullptr && std::fflush(file_) == 0;
}

bool DataFile::WriteAt(long offset, const void* data, std::size_t size) {
  std::lock_guard lock(mutex_);
  if (file_ == nullptr || std::fseek(file_, offset, SEEK_SET) != 0) return false;
  const bool ok = std::fwrite(data, 1, size, file_) == size;
  return std::fseek(file_, 0, SEEK_END) == 0 && ok;
}

bool DataFile::Skip(long bytes) {
  std::lock_guard lock(mutex_);
  return file_ != nullptr && std::fseek(file_, bytes, SEEK_CUR) == 0;
}

long DataFile::Length() {
  std::lock_guard lock(mutex_);
  if (file_ == nullptr) return -1;
  const long here = std::ftell(file_);
  if (std::fseek(file_, 0, SEEK_END) != 0) return -1;
  const long length = std::ftell(file_);
  std::fseek(file_, here, SEEK_SET);
  return length;
}

std::size_t DataFile::Read(void* data, std::size_t size) {
  std::lock_guard lock(mutex_);
  if (file_ == nullptr) return 0;
  return std::fread(data, 1, size, file_);
}

}  // namespace qs
