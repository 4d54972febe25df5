// Fuzzes a complete single-source run: the input's first part holds
// settings arguments (one per line; the line "F90" asks for a free-form
// destination), the second the main source, the third an INCLUDE file that
// the source can name as 'INC.INC' (or 'inc.inc').
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "ConsoleUserInterface.h"
#include "ConversionRun.h"
#include "FuzzInput.h"

namespace {

std::filesystem::path WorkDirectory() {
  static std::filesystem::path dir = [] {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "convertor-fuzz-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) std::abort();
    return std::filesystem::path(pattern);
  }();
  return dir;
}

void Write(const std::filesystem::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size) {
  std::vector<std::string> parts = kvq::fuzz::SplitParts(data, size);
  std::filesystem::path dir = WorkDirectory();
  Write(dir / "MAIN.FOR", parts[1]);
  Write(dir / "INC.INC", parts[2]);

  std::vector<std::string> arguments;
  bool freeForm = false;
  for (const std::string& line : kvq::fuzz::TextLines(parts[0])) {
    if (line == "F90")
      freeForm = true;
    else if (line.find('=') != std::string::npos && arguments.size() < 16)
      arguments.push_back(line);
  }
  arguments.push_back((dir / "MAIN.FOR").string());
  arguments.push_back((dir / (freeForm ? "OUT.F90" : "OUT.FOR")).string());

  static std::FILE* devnull = std::fopen("/dev/null", "w");
  kvq::ConsoleUserInterface ui(devnull, devnull, stdin, false);
  kvq::ProgramState state;
  state.batchMode = true;
  if (!state.paramList.Assign(arguments)) return 0;
  kvq::ConversionDriver driver(state, ui);
  driver.RunConversion();
  return 0;
}
