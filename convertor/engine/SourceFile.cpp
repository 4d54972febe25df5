#include "SourceFile.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "CharacterClass.h"
#include "RegularFile.h"

namespace kvq {

namespace {
constexpr std::size_t kBufferSize = 1 << 14;
}

bool SourceFile::Open(const std::string& path) {
  Close();
  // A FIFO or a device as source or INCLUDE file would block the open.
  fd_ = OpenRegularFile(path);
  if (fd_ < 0) return false;
  path_ = path;
  AllocateBuffer();
  return true;
}

void SourceFile::OpenText(std::string bytes) {
  Close();
  inMemory_ = true;
  memory_ = std::move(bytes);
  memoryAt_ = 0;
  path_.clear();
  AllocateBuffer();
}

void SourceFile::AllocateBuffer() {
  // Every byte is read into it before it is looked at: no need to clear it.
  if (!buffer_) buffer_ = std::make_unique_for_overwrite<char[]>(kBufferSize);
  begin_ = end_ = 0;
  ctrlZ_ = false;
}

void SourceFile::Close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  inMemory_ = false;
  memory_.clear();
}

bool SourceFile::Fill() {
  begin_ = 0;
  if (inMemory_) {
    end_ = std::min(kBufferSize, memory_.size() - memoryAt_);
    std::memcpy(buffer_.get(), memory_.data() + memoryAt_, end_);
    memoryAt_ += end_;
    return end_ > 0;
  }
  ssize_t got;
  do got = ::read(fd_, buffer_.get(), kBufferSize);
  while (got < 0 && errno == EINTR);
  if (got < 0) throw SourceReadError{path_};
  end_ = static_cast<std::size_t>(got);
  return end_ > 0;
}

bool SourceFile::AtEnd() {
  if (!IsOpen() || ctrlZ_) return true;
  if (begin_ == end_ && !Fill()) return true;
  if (buffer_[begin_] == kCtrlZ) ctrlZ_ = true;
  return ctrlZ_;
}

void SourceFile::ReadLine(std::string& line) {
  line.clear();
  for (;;) {
    if (begin_ == end_ && !Fill()) return;
    const char* start = buffer_.get() + begin_;
    std::size_t available = end_ - begin_;
    // Scan for the first CR or Ctrl-Z in the buffered bytes.
    // The line ends at the first CR (or LF, when accepted); a Ctrl-Z before
    // it ends the data.
    const void* cr = std::memchr(start, '\r', available);
    std::size_t n = cr ? static_cast<std::size_t>(static_cast<const char*>(cr) - start) : available;
    if (lineFeedEnds_)
      if (const void* lf = std::memchr(start, '\n', n))
        n = static_cast<std::size_t>(static_cast<const char*>(lf) - start);
    if (const void* z = std::memchr(start, kCtrlZ, n))
      n = static_cast<std::size_t>(static_cast<const char*>(z) - start);
    line.append(start, n);
    begin_ += n;
    if (line.size() > kMaxSourceLineBytes) throw SourceLineTooLong{path_};
    if (n == available) continue;
    if (start[n] == kCtrlZ) {
      ctrlZ_ = true;
      return;
    }
    if (start[n] == '\n') {
      ++begin_;  // a bare line feed, accepted as a line end
      return;
    }
    ++begin_;  // the carriage return
    if (begin_ == end_ && !Fill()) return;
    if (buffer_[begin_] == '\n') ++begin_;
    return;
  }
}

}  // namespace kvq
