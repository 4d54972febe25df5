#include "StagedFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <memory>
#include <optional>
#include <utility>

#include "PathLookup.h"
#include "TemporaryFiles.h"

namespace kvq {

namespace {

// The file a link names, so that the link stays and its target is replaced.
std::string FollowLink(const std::string& path) {
  struct stat info;
  if (::lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return path;
  std::unique_ptr<char, decltype(&std::free)> target(::realpath(path.c_str(), nullptr), &std::free);
  return target ? std::string(target.get()) : path;
}

// Creates ".NAME.PID.N" beside path, with the mode of the file it replaces
// when that is a regular file (else the mode a new file gets under the
// umask). The name is noted before the file exists, so that no signal
// between the two leaves it behind.
int CreateTemporaryBeside(const std::string& path, std::string& temporary) {
  static unsigned counter = 0;
  std::string directory = DirectoryPart(path);
  std::string stem = "." + FileNamePart(path) + "." + std::to_string(::getpid()) + ".";
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string name = stem + std::to_string(++counter);
    temporary = directory.empty() ? name : JoinPath(directory, name);
    bool noted = NoteTemporary(temporary);
    int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
    if (fd >= 0) {
      struct stat info;
      if (::lstat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode))
        ::fchmod(fd, info.st_mode & 07777);
      return fd;
    }
    int error = errno;
    if (noted) ForgetTemporary(temporary);
    errno = error;
    if (error != EEXIST) break;
  }
  temporary.clear();
  return -1;
}

}  // namespace

bool IsReplaceableTarget(const std::string& path, LinkPolicy links) {
  struct stat info;
  int found =
      links == LinkPolicy::ReplaceLink ? ::lstat(path.c_str(), &info) : ::stat(path.c_str(), &info);
  // A link to nothing would have its target created wherever it points.
  if (found != 0) return errno == ENOENT && ::lstat(path.c_str(), &info) != 0;
  if (links == LinkPolicy::ReplaceLink && S_ISLNK(info.st_mode)) return true;
  return S_ISREG(info.st_mode);
}

StagedFile::StagedFile(StagedFile&& other) noexcept {
  *this = std::move(other);
}

StagedFile& StagedFile::operator=(StagedFile&& other) noexcept {
  if (this == &other) return *this;
  Discard();
  fd_ = std::exchange(other.fd_, -1);
  sealed_ = std::exchange(other.sealed_, false);
  error_ = other.error_;
  failed_ = other.failed_;
  temporary_ = std::move(other.temporary_);
  target_ = std::move(other.target_);
  other.temporary_.clear();
  return *this;
}

bool StagedFile::Create(const std::string& path, LinkPolicy links) {
  Discard();
  target_ = links == LinkPolicy::ReplaceTarget ? FollowLink(path) : path;
  struct stat info;
  if (::lstat(target_.c_str(), &info) == 0 && !S_ISREG(info.st_mode) &&
      !(links == LinkPolicy::ReplaceLink && S_ISLNK(info.st_mode))) {
    errno = S_ISDIR(info.st_mode) ? EISDIR : EINVAL;
    return false;
  }
  fd_ = CreateTemporaryBeside(target_, temporary_);
  failed_ = false;
  sealed_ = false;
  error_ = 0;
  return fd_ >= 0;
}

void StagedFile::Write(std::string_view bytes) {
  Put(bytes, std::nullopt);
}

void StagedFile::WriteAt(std::uint64_t offset, std::string_view bytes) {
  Put(bytes, offset);
}

// Writes all of bytes, at the end or at offset; the first failure is kept.
void StagedFile::Put(std::string_view bytes, std::optional<std::uint64_t> offset) {
  while (fd_ >= 0 && !failed_ && !bytes.empty()) {
    ssize_t written = offset
                          ? ::pwrite(fd_, bytes.data(), bytes.size(), static_cast<off_t>(*offset))
                          : ::write(fd_, bytes.data(), bytes.size());
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) {
      failed_ = true;
      error_ = written < 0 ? errno : ENOSPC;
      return;
    }
    bytes.remove_prefix(static_cast<std::size_t>(written));
    if (offset) *offset += static_cast<std::uint64_t>(written);
  }
}

bool StagedFile::Seal() {
  if (sealed_) return true;
  if (temporary_.empty()) return false;
  int error = error_;
  bool ok = !failed_;
  // No fsync: every output is made from files the run leaves as they were,
  // as a compiler's are. After a power failure right behind the rename some
  // file systems may show an empty target, which the next run writes again;
  // the sync took longer than converting a 1 000-line source.
  if (::close(fd_) != 0 && ok) {
    ok = false;
    error = errno;
  }
  fd_ = -1;
  if (!ok) {
    Discard();
    errno = error;
    return false;
  }
  sealed_ = true;
  return true;
}

bool StagedFile::Commit() {
  if (!Seal()) return false;
  bool ok = ::rename(temporary_.c_str(), target_.c_str()) == 0;
  int error = errno;
  if (!ok) ::unlink(temporary_.c_str());
  ForgetTemporary(temporary_);
  temporary_.clear();
  sealed_ = false;
  errno = error;
  return ok;
}

void StagedFile::Discard() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  sealed_ = false;
  if (temporary_.empty()) return;
  ::unlink(temporary_.c_str());
  ForgetTemporary(temporary_);
  temporary_.clear();
}

}  // namespace kvq
