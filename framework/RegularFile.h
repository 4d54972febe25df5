// Reading the files a run takes as input: only regular files, opened
// without waiting (a FIFO or a terminal would block the open), and never
// more than a stated number of bytes (a link to /dev/zero never ends).
#pragma once

#include <cstddef>
#include <optional>
#include <string>

namespace kvq {

// A descriptor for reading path, or -1 with errno set; EINVAL when path
// names a directory, device, FIFO or socket.
int OpenRegularFile(const std::string& path);

// The whole content of a regular file of at most limit bytes; nothing,
// with errno set (EFBIG when it is larger), when it cannot be read.
std::optional<std::string> ReadRegularFile(const std::string& path, std::size_t limit);

// What errno says about a file that cannot be read, for messages.
std::string ReadProblemText(int error);

}  // namespace kvq
