// Fuzzes a complete single-source run: the input's first part holds
// settings arguments (one per line; the line "F90" asks for a free-form
// destination), the second the main source, the third an INCLUDE file that
// the source can name as 'INC.INC' (or 'inc.inc').
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "ConsoleUserInterface.h"
#include "FuzzInput.h"
#include "driver/ConversionOptions.h"
#include "driver/ConversionRun.h"
#include "engine/TextUtilities.h"

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
  // The source is read from memory; an INCLUDE finds INC.INC beside it.
  Write(dir / "INC.INC", parts[2]);

  kvq::ConversionJob job;
  job.sourceText = parts[1];
  job.source = (dir / "MAIN.FOR").string();
  job.shownSource = "MAIN.FOR";
  int settings = 0;
  for (const std::string& line : kvq::fuzz::TextLines(parts[0])) {
    if (line == "F90")
      job.freeForm = true;
    else if (line.find('=') != std::string::npos && ++settings <= 16)
      kvq::ApplySettingArgument(job.settings, kvq::UpperCase(line));
  }
  job.destination = (dir / (job.freeForm ? "OUT.F90" : "OUT.FOR")).string();

  static std::FILE* devnull = std::fopen("/dev/null", "w");
  kvq::ConsoleUserInterface ui(devnull, devnull, stdin, false);
  kvq::CarryOver carry;
  // The run turns an exception into a message; here it is a finding.
  if (kvq::RunConversionJob(job, carry, ui).internalFault) std::abort();
  return 0;
}
