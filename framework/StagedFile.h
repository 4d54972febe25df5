// A file written under a hidden temporary name beside its target and put
// in the target's place only when every write succeeded (Commit), so that
// a failed, cancelled or killed run leaves the target as it was. Caught
// signals remove the temporary (TemporaryFiles.h).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kvq {

// What a symbolic link at the target means.
enum class LinkPolicy {
  ReplaceTarget,  // a file the user named: the link stays, its target is replaced
  ReplaceLink,    // a file in a folder the converter owns: the link itself is replaced
};

// Why a target cannot be written; Ok when it can.
enum class TargetProblem { Ok, NotRegular, CannotCreate };

class StagedFile {
 public:
  StagedFile() = default;
  StagedFile(const StagedFile&) = delete;
  StagedFile& operator=(const StagedFile&) = delete;
  StagedFile(StagedFile&& other) noexcept;
  StagedFile& operator=(StagedFile&& other) noexcept;
  ~StagedFile() { Discard(); }

  // Creates the temporary beside the file that path names. A target that
  // exists and is no regular file (a directory, device, FIFO, socket) is
  // refused: errno is EISDIR for a directory, else EINVAL.
  bool Create(const std::string& path, LinkPolicy links);
  // Appends bytes; a failure is remembered and makes Commit fail.
  void Write(std::string_view bytes);
  // Replaces bytes written earlier, at offset from the file's start (a
  // label or a line of the same length settled later).
  void WriteAt(std::uint64_t offset, std::string_view bytes);
  // Closes the temporary; false (errno set, the temporary removed) when a
  // write or the close failed.
  // A run seals all its outputs before it renames any.
  bool Seal();
  // Seals the temporary when that is not done yet and renames it over the
  // target. False, with the target untouched and the temporary removed,
  // when any write, the close or the rename failed (errno set).
  bool Commit();
  // Removes the temporary; the target stays as it was.
  void Discard();

  bool IsOpen() const { return !temporary_.empty(); }
  bool Failed() const { return failed_; }
  // The file that Commit replaces (a link's target under ReplaceTarget).
  const std::string& Target() const { return target_; }

 private:
  void Put(std::string_view bytes, std::optional<std::uint64_t> offset);

  int fd_ = -1;
  bool sealed_ = false;
  int error_ = 0;  // errno of the first failed write
  bool failed_ = false;
  std::string temporary_;
  std::string target_;
};

// Whether the file at path may be replaced by a regular file: it does not
// exist, or it is a regular file (a link is followed unless links says the
// link itself is replaced; a link to nothing is refused when followed).
bool IsReplaceableTarget(const std::string& path, LinkPolicy links);

}  // namespace kvq
