#include "RegularFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace kvq {

int OpenRegularFile(const std::string& path) {
  int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return -1;
  struct stat info;
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    ::close(fd);
    errno = EINVAL;
    return -1;
  }
  // Reads of a regular file never wait; the flag only guarded the open.
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  return fd;
}

std::optional<std::string> ReadRegularFile(const std::string& path, std::size_t limit) {
  int fd = OpenRegularFile(path);
  if (fd < 0) return std::nullopt;
  std::string bytes;
  char block[1 << 16];
  for (;;) {
    ssize_t got = ::read(fd, block, sizeof block);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0 || bytes.size() + static_cast<std::size_t>(got) > limit) {
      int error = got < 0 ? errno : EFBIG;
      ::close(fd);
      errno = error;
      return std::nullopt;
    }
    if (got == 0) break;
    bytes.append(block, static_cast<std::size_t>(got));
  }
  ::close(fd);
  return bytes;
}

std::string ReadProblemText(int error) {
  if (error == EINVAL) return "not a regular file";
  if (error == EFBIG) return "too large";
  return std::strerror(error);
}

}  // namespace kvq
