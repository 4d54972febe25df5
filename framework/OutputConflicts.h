// The rule every file the converter writes obeys: an output is never a
// file the same run reads (source, INCLUDE file, template, name list), and
// never another output of that run, under any spelling (a link, "./", a
// second name of the same file).
#pragma once

#include <string>
#include <vector>

namespace kvq {

struct RunFile {
  std::string path;   // as the file system names it
  std::string shown;  // as messages name it
  std::string role;   // "the source", "an INCLUDE file", "the template" ...
};

// True when both names reach the same file, or would once created.
bool NamesSameFile(const std::string& a, const std::string& b);

// The first output that is an input or an earlier output, as a message
// "OUTPUT: is ROLE (NAME); nothing was written"; empty when there is none.
std::string FindOutputConflict(const std::vector<RunFile>& outputs,
                               const std::vector<RunFile>& inputs);

}  // namespace kvq
