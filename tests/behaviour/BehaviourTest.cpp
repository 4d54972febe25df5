// Converted programs behave like their originals. Each folder under
// programs/ holds a Fortran program (its "sources" file lists the sources,
// main program first), its standard input and its data files. The original
// is built with gfortran and run; the converted copy is built as a module
// with the run-time library Zentrix and run through zxrun (the MPI programs,
// "mpi-*", as MPI programs under mpirun with 2 processes). Standard output
// (without trailing blanks) and every file the runs create or change must
// be the same, unless the folder names a designed difference ("difference":
// the reason, "converted.stdout": what the converted program prints).
// "settings" holds further converter arguments, one a line.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <sstream>

#include "ProcessRunner.h"
#include "TempDirectory.h"

namespace fs = std::filesystem;
using kvq::test::ProcessResult;
using kvq::test::ReadBytes;
using kvq::test::RunProgram;

namespace {

// mpiOnly: only the programs meant for the MPI variant ("mpi-*").
std::vector<std::string> ProgramNames(bool mpiOnly) {
  std::vector<std::string> names;
  if (!fs::exists(PROGRAMS_DIR)) return names;
  for (const fs::directory_entry& entry : fs::directory_iterator(PROGRAMS_DIR)) {
    std::string name = entry.path().filename().string();
    if (entry.is_directory() && fs::exists(entry.path() / "sources") &&
        (!mpiOnly || name.starts_with("mpi-")))
      names.push_back(name);
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty()) lines.push_back(line);
  }
  return lines;
}

// The converted program's buffer loses trailing blanks; so do both sides.
// The lines of standard error that report a STOP.
std::string StopLines(const std::string& err) {
  std::string lines;
  std::size_t at = 0;
  while (at < err.size()) {
    std::size_t end = err.find('\n', at);
    if (end == std::string::npos) end = err.size();
    if (err.compare(at, 5, "STOP ") == 0) lines += err.substr(at, end - at) + "\n";
    at = end + 1;
  }
  return lines;
}

std::string WithoutTrailingBlanks(const std::string& text) {
  std::string out;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    line.erase(line.find_last_not_of(' ') + 1);
    out += line + "\n";
  }
  return out;
}

using Snapshot = std::map<std::string, std::string>;  // relative path -> bytes

// Every file under dir, by its path relative to dir, with the case of its
// name as created.
Snapshot TakeSnapshot(const fs::path& dir) {
  Snapshot files;
  for (const fs::directory_entry& entry : fs::recursive_directory_iterator(dir)) {
    if (!entry.is_regular_file()) continue;
    std::string name = fs::relative(entry.path(), dir).generic_string();
    if (name.starts_with("converted/")) continue;
    files[name] = ReadBytes(entry.path());
  }
  return files;
}

// Files the run created or changed.
Snapshot Written(const Snapshot& before, const Snapshot& after) {
  Snapshot written;
  for (const auto& [name, bytes] : after) {
    auto old = before.find(name);
    if (old == before.end() || old->second != bytes) written[name] = bytes;
  }
  return written;
}

struct RunOutput {
  ProcessResult result;
  Snapshot written;
};

class ProgramBehaviour : public testing::TestWithParam<std::string> {
 protected:
  void SetUp() override {
    source_ = fs::path(PROGRAMS_DIR) / GetParam();
    sources_ = Lines(ReadBytes(source_ / "sources"));
    if (fs::exists(source_ / "settings")) settings_ = Lines(ReadBytes(source_ / "settings"));
  }

  // A fresh copy of the program's folder.
  void Prepare(const fs::path& dir) { fs::copy(source_, dir, fs::copy_options::recursive); }

  RunOutput Run(const std::string& program, const std::vector<std::string>& args,
                const fs::path& dir) {
    Snapshot before = TakeSnapshot(dir);
    RunOutput run;
    run.result = RunProgram(program, args, dir.string(), (source_ / "input").string());
    run.written = Written(before, TakeSnapshot(dir));
    return run;
  }

  RunOutput RunOriginal(const fs::path& dir) {
    std::vector<std::string> args = {"-std=legacy", "-o", "original"};
    args.insert(args.end(), sources_.begin(), sources_.end());
    ProcessResult build = RunProgram(GFORTRAN, args, dir.string());
    EXPECT_EQ(build.exitStatus, 0) << build.err;
    RunOutput run = Run((dir / "original").string(), {}, dir);
    // STOP n ends the original with n; a crash is no behaviour to compare.
    EXPECT_GE(run.result.exitStatus, 0) << run.result.err;
    return run;
  }

  // Converts every source into converted/ and returns the converted names.
  std::vector<std::string> Convert(const fs::path& dir, const std::string& mode) {
    fs::create_directory(dir / "converted");
    std::vector<std::string> converted;
    for (const std::string& file : sources_) {
      std::string stem = fs::path(file).stem().string();
      // Free-form sources keep their extension, fixed-form ones become .f.
      std::string extension = fs::path(file).extension().string();
      bool free =
          extension == ".f90" || extension == ".f95" || extension == ".f03" || extension == ".f08";
      std::string out = "converted/" + stem + (free ? extension : ".f");
      std::vector<std::string> args = {"NAME=PROG", mode};
      args.insert(args.end(), settings_.begin(), settings_.end());
      args.insert(args.end(), {file, out});
      ProcessResult r = RunProgram(CONVERTOR_BINARY, args, dir.string());
      if (r.exitStatus != 0) Differs(file + " does not convert: " + r.err);
      converted.push_back(out);
    }
    return converted;
  }

  RunOutput RunConvertedModule(const fs::path& dir) {
    std::vector<std::string> args = {"-std=legacy",
                                     "-shared",
                                     "-fPIC",
                                     "-I",
                                     ZENTRIX_MODULE_DIR,
                                     "-J",
                                     (dir / "converted").string(),
                                     "-o",
                                     "module.so"};
    for (const std::string& file : Convert(dir, "MODE=DLL")) args.push_back(file);
    args.push_back(ZENTRIX_STATIC_LIBRARY);
    ProcessResult build = RunProgram(GFORTRAN, args, dir.string());
    if (build.exitStatus != 0) Differs("the converted module does not build: " + build.err);
    return Run(ZXRUN_BINARY, {"module.so", "PROG"}, dir);
  }

#ifdef MPIFORT
  RunOutput RunConvertedMpi(const fs::path& dir) {
    std::vector<std::string> args = {"-std=legacy", "-I", ZENTRIX_SOURCE_DIR, "-o", "mpi"};
    for (const std::string& file : Convert(dir, "MODE=MPI")) args.push_back(file);
    args.push_back(ZENTRIX_MPI_LIBRARY);
    ProcessResult build = RunProgram(MPIFORT, args, dir.string());
    if (build.exitStatus != 0) Differs("the MPI variant does not build: " + build.err);
    return Run(MPIRUN, {"--allow-run-as-root", "--oversubscribe", "-np", "2", "./mpi"}, dir);
  }
#endif

  void CompareBehaviour(const RunOutput& original, const RunOutput& converted) {
    std::string expected = WithoutTrailingBlanks(original.result.out);
    int expectedStatus = original.result.exitStatus;
    if (fs::exists(source_ / "difference")) {
      // A designed difference: the converted program's own expected output
      // and, when it ends in a handler, zxrun's status for it.
      expected = WithoutTrailingBlanks(ReadBytes(source_ / "converted.stdout"));
      if (fs::exists(source_ / "converted.exit"))
        expectedStatus = std::stoi(ReadBytes(source_ / "converted.exit"));
    }
    std::string out = WithoutTrailingBlanks(converted.result.out);
    if (converted.result.exitStatus != expectedStatus)
      Differs("exit status " + std::to_string(converted.result.exitStatus) + ", expected " +
              std::to_string(expectedStatus) + ": " + converted.result.err);
    if (out != expected)
      Differs("standard output differs\n--- expected\n" + expected + "--- converted\n" + out +
              "--- standard error\n" + converted.result.err);
    // STOP with a code or message reports it on standard error, as the
    // compiler's STOP does.
    if (StopLines(converted.result.err) != StopLines(original.result.err))
      Differs("the STOP report differs\n--- expected\n" + StopLines(original.result.err) +
              "--- converted\n" + StopLines(converted.result.err));
    for (const auto& [name, bytes] : original.written) {
      if (name == "original") continue;
      auto it = converted.written.find(name);
      if (it == converted.written.end())
        Differs(name + " was not written by the converted program");
      else if (it->second != bytes)
        Differs(name + " differs");
    }
    for (const auto& [name, bytes] : converted.written)
      if (name != "module.so" && name != "mpi" && !original.written.count(name))
        Differs(name + " was written only by the converted program");
  }

  void Differs(const std::string& what) {
    differences_.push_back(what);
  }

  // Fails on every difference.
  void Report() {
    for (const std::string& what : differences_) ADD_FAILURE() << what;
  }

  fs::path source_;
  std::vector<std::string> sources_;
  std::vector<std::string> settings_;     // further converter arguments
  std::vector<std::string> differences_;  // how the converted run differs
};

class MpiProgramBehaviour : public ProgramBehaviour {};

TEST_P(ProgramBehaviour, ConvertedModuleMatchesTheOriginal) {
  kvq::test::TempDirectory original, converted;
  Prepare(original.path());
  Prepare(converted.path());
  RunOutput expected = RunOriginal(original.path());
  CompareBehaviour(expected, RunConvertedModule(converted.path()));
  Report();
}

// Built with the MPI variant only (CONVERTOR_WITH_MPI).
#ifdef MPIFORT
TEST_P(MpiProgramBehaviour, MatchesTheOriginalOnTwoProcesses) {
  kvq::test::TempDirectory original, converted;
  Prepare(original.path());
  Prepare(converted.path());
  RunOutput expected = RunOriginal(original.path());
  CompareBehaviour(expected, RunConvertedMpi(converted.path()));
  Report();
}
#endif

std::string CaseName(const testing::TestParamInfo<std::string>& info) {
  std::string name = info.param;
  for (char& c : name)
    if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
  return name;
}

INSTANTIATE_TEST_SUITE_P(Programs, ProgramBehaviour, testing::ValuesIn(ProgramNames(false)),
                         CaseName);
INSTANTIATE_TEST_SUITE_P(Programs, MpiProgramBehaviour, testing::ValuesIn(ProgramNames(true)),
                         CaseName);
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(ProgramBehaviour);
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(MpiProgramBehaviour);

}  // namespace
