// One Fortran source file read line by line. A line ends at a carriage
// return, and a line feed right after it belongs to that line end. A bare
// line feed stays part of the line text (the reader refuses it) unless
// line-feed line ends are accepted. A Ctrl-Z ends the file's data.
#pragma once

#include <memory>
#include <string>

namespace kvq {

class SourceFile {
 public:
  SourceFile() = default;
  SourceFile(const SourceFile&) = delete;
  SourceFile& operator=(const SourceFile&) = delete;
  ~SourceFile() { Close(); }

  // Opens a regular file for reading; directories and devices are refused.
  bool Open(const std::string& path);
  // Reads the given bytes instead of a file.
  void OpenText(std::string bytes);
  void Close();
  bool IsOpen() const { return fd_ >= 0 || inMemory_; }
  // A bare line feed ends a line too (sources written on Unix).
  void AcceptLineFeedEnds(bool accept) { lineFeedEnds_ = accept; }

  // True when no more data follows: end of file, or a Ctrl-Z next.
  // Throws SourceReadError when the file cannot be read.
  bool AtEnd();
  // Reads the next line without its terminator. Call only when !AtEnd().
  // Throws SourceLineTooLong for a line longer than kMaxSourceLineBytes.
  void ReadLine(std::string& line);

 private:
  void AllocateBuffer();  // once per reader; the read position starts again
  bool Fill();            // refills the buffer; false at end of file

  int fd_ = -1;
  std::string path_;
  std::unique_ptr<char[]> buffer_;
  std::size_t begin_ = 0;
  std::size_t end_ = 0;
  bool ctrlZ_ = false;  // a Ctrl-Z was met: no more data
  bool lineFeedEnds_ = false;
  bool inMemory_ = false;
  std::string memory_;        // the bytes of an in-memory source
  std::size_t memoryAt_ = 0;  // the next byte of memory_ to buffer
};

// A source that cannot be read any further; it ends the run.
struct SourceReadError {
  std::string path;
};

// No Fortran line comes near this length; a longer one (a file of NULs, a
// binary taken for a source) ends the run before it takes the memory.
inline constexpr std::size_t kMaxSourceLineBytes = std::size_t{1} << 20;

// A line longer than kMaxSourceLineBytes; it ends the run.
struct SourceLineTooLong {
  std::string path;
};

}  // namespace kvq
