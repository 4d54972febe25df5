// Fuzzes the project subsystem: the input's first part is a .dsp project
// file (converted beside a .dsw and two small sources), the second the
// template ETALON.PRJ, the third a name list, the fourth console.exe; the
// generator runs on them with the name list as its project name.
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "ConsoleUserInterface.h"
#include "FrontEndRuns.h"
#include "FuzzInput.h"

namespace fs = std::filesystem;

namespace {

void Write(const fs::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
}

fs::path FreshDirectory() {
  static fs::path base = [] {
    std::string pattern = (fs::temp_directory_path() / "convertor-fuzz-project-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) std::abort();
    return fs::path(pattern);
  }();
  std::error_code ignored;
  fs::remove_all(base / "work", ignored);
  fs::create_directories(base / "work");
  return base / "work";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size) {
  std::vector<std::string> parts = kvq::fuzz::SplitParts(data, size);
  fs::path dir = FreshDirectory();
  Write(dir / "P.dsp", parts[0]);
  Write(dir / "P.dsw", "Project: \"P\"=.\\P.dsp\r\n");
  Write(dir / "A.FOR", "      PROGRAM A\r\n      WRITE(*,*) 1\r\n      END\r\n");
  Write(dir / "B.F90", "subroutine b\r\nprint *, 2\r\nend\r\n");
  Write(dir / "ETALON.PRJ", parts[1]);
  Write(dir / "LIST", parts[2]);
  Write(dir / "console.exe", parts[3]);

  static std::FILE* devnull = std::fopen("/dev/null", "w");
  kvq::ConsoleUserInterface ui(devnull, devnull, stdin, false);
  fs::path previous = fs::current_path();
  fs::current_path(dir);
  {
    kvq::ProgramState state;
    state.batchMode = true;
    state.paramList.Assign({(dir / "P.dsp").string()});
    kvq::ProjectGeneration generate = [&](const std::string& path) {
      return kvq::GenerateProjectFiles(state, ui, ui, path);
    };
    kvq::ConvertWholeProject(state, ui, ui, kvq::ConversionMode::WholeProject,
                             (dir / "P.dsp").string(), generate);
    state.paramList.Assign({"TARVIK", "@LIST", "LIBA", "VER=1.2"});
    kvq::GenerateProjectFiles(state, ui, ui, std::nullopt);
    state.paramList.Assign({"TARVIK", "@LIST", "-"});
    kvq::GenerateProjectFiles(state, ui, ui, std::nullopt);
  }
  fs::current_path(previous);
  return 0;
}
