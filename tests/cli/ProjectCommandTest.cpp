// Project conversion and generation from the command line: never a write
// outside the folder they work in, never a file they read replaced, never
// a failure reported as success.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <map>

#include "ProcessRunner.h"
#include "TempDirectory.h"

namespace kvq {
namespace {

namespace fs = std::filesystem;
using test::CrLf;
using test::ReadBytes;
using test::WriteBytes;

// Runs the converter with writes of files beyond a size failing as on a
// full disk (RLIMIT_FSIZE needs no privileges, unlike a full file system;
// the converter ignores SIGXFSZ itself).
test::ProcessResult RunOnFullDisk(const std::vector<std::string>& arguments,
                                  const std::string& directory, int blocksOf512) {
  std::vector<std::string> shell{
      "-c", "ulimit -f " + std::to_string(blocksOf512) + "; exec \"$0\" \"$@\"", CONVERTOR_BINARY};
  shell.insert(shell.end(), arguments.begin(), arguments.end());
  return test::RunProgram("/bin/sh", shell, directory);
}

// A project CALC with one source A.FOR beside it.
void WriteProject(const fs::path& dir) {
  WriteBytes(dir / "CALC.dsw", CrLf({"Project: \"CALC\"=.\\CALC.dsp"}));
  WriteBytes(dir / "CALC.dsp",
             CrLf({"# Microsoft Developer Studio Project File", "# ADD F90 /nologo",
                   "# Begin Source File", "SOURCE=.\\A.FOR", "# End Source File"}));
  WriteBytes(dir / "A.FOR", CrLf({"C     A"}));
}

TEST(ProjectCommand, SourcesOutsideTheProjectDirectoryAreNotConverted) {
  test::TempDirectory dir;
  std::filesystem::create_directories(dir.path() / "proj");
  WriteBytes(dir.path() / "ESCAPE.FOR", CrLf({"      X=1"}));
  WriteBytes(dir.path() / "proj" / "P.dsw", CrLf({"Project: \"P\"=.\\P.dsp"}));
  WriteBytes(dir.path() / "proj" / "P.dsp",
             CrLf({"# Microsoft Developer Studio Project File", "# Begin Source File",
                   "SOURCE=.\\..\\ESCAPE.FOR", "# End Source File", "# Begin Source File",
                   "SOURCE=.\\A.FOR", "# End Source File"}));
  WriteBytes(dir.path() / "proj" / "A.FOR", CrLf({"      Y=1"}));
  test::ProcessResult r =
      test::RunProgram(CONVERTOR_BINARY, {"P.dsp"}, (dir.path() / "proj").string());
  // A source left unconverted makes the project conversion fail.
  EXPECT_EQ(r.exitStatus, 1) << r.err;
  EXPECT_NE(r.err.find(": ..\\ESCAPE.FOR: a source outside the project directory is not converted"),
            std::string::npos)
      << r.err;
  EXPECT_NE(r.err.find("P: 1 of 2 Fortran sources not converted (..\\ESCAPE.FOR)"),
            std::string::npos)
      << r.err;
  EXPECT_EQ(r.err.find("The converted project"), std::string::npos) << r.err;
  EXPECT_TRUE(std::filesystem::exists(dir.path() / "proj" / "Converted_P" / "A.FOR"));
  // The converted copy would have replaced the original one level up.
  EXPECT_EQ(test::ReadBytes(dir.path() / "ESCAPE.FOR"), CrLf({"      X=1"}));
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "proj" / "ESCAPE.FOR"));
}

// Links planted in the folder the converter owns are replaced, not
// followed; a companion name beside the source is left alone when the
// source has no conditionals.
TEST(ProjectCommand, LinksAreReplacedAndUserFilesKept) {
  test::TempDirectory dir;
  fs::path project = dir.path() / "w" / "proj";
  fs::create_directories(project / "Converted_CALC");
  fs::create_directories(dir.path() / "victim");
  WriteProject(project);
  WriteBytes(dir.path() / "victim" / "a.txt", "victim a");
  WriteBytes(dir.path() / "victim" / "b.txt", "victim b");
  fs::create_symlink("../../../victim/a.txt", project / "Converted_CALC" / "A.FOR");
  fs::create_symlink("../../victim/b.txt", project / "A.WatCom");
  test::ProcessResult r = test::RunProgram(CONVERTOR_BINARY, {"CALC.dsp"}, project.string());
  EXPECT_EQ(r.exitStatus, 0) << r.err;
  EXPECT_EQ(ReadBytes(dir.path() / "victim" / "a.txt"), "victim a");
  EXPECT_EQ(ReadBytes(dir.path() / "victim" / "b.txt"), "victim b");
  EXPECT_FALSE(fs::is_symlink(project / "Converted_CALC" / "A.FOR"));
  EXPECT_EQ(ReadBytes(project / "Converted_CALC" / "A.FOR"), CrLf({"!KVQ:NO_TOUCH!", "!     A"}));

  fs::remove(project / "A.WatCom");
  WriteBytes(project / "A.WatCom", "the user's");
  EXPECT_EQ(test::RunProgram(CONVERTOR_BINARY, {"CALC.dsp"}, project.string()).exitStatus, 0);
  EXPECT_EQ(ReadBytes(project / "A.WatCom"), "the user's");

  // The folder itself a link: nothing is converted into it.
  fs::remove_all(project / "Converted_CALC");
  fs::create_symlink("../../victim", project / "Converted_CALC");
  r = test::RunProgram(CONVERTOR_BINARY, {"CALC.dsp"}, project.string());
  EXPECT_EQ(r.exitStatus, 1);
  EXPECT_NE(r.err.find("Converted_CALC: is no directory"), std::string::npos) << r.err;
  EXPECT_EQ(fs::directory_iterator(dir.path() / "victim")->path().filename().string().size(), 5u);
  EXPECT_FALSE(fs::exists(dir.path() / "victim" / "A.FOR"));
}

TEST(ProjectCommand, SourcesThatAreNotConvertedFailTheConversion) {
  test::TempDirectory dir;
  WriteProject(dir.path());
  WriteBytes(dir.path() / "A.FOR", "      X=1\n");  // LF line ends
  test::ProcessResult lf = test::RunProgram(CONVERTOR_BINARY, {"CALC.dsp"}, dir.path().string());
  EXPECT_EQ(lf.exitStatus, 1);
  EXPECT_NE(lf.err.find("CALC: 1 of 1 Fortran sources not converted (A.FOR)"), std::string::npos)
      << lf.err;
  EXPECT_EQ(lf.err.find("The converted project"), std::string::npos) << lf.err;
  // A project file with a line of 2 MB is no project file.
  WriteBytes(dir.path() / "A.FOR", CrLf({"      X=1"}));
  WriteBytes(dir.path() / "CALC.dsp", std::string(2 << 20, '\0'));
  test::ProcessResult huge = test::RunProgram(CONVERTOR_BINARY, {"CALC.dsp"}, dir.path().string());
  EXPECT_EQ(huge.exitStatus, 1);
  EXPECT_NE(huge.err.find("CALC.dsp: too large"), std::string::npos) << huge.err;
  WriteProject(dir.path());
  fs::remove(dir.path() / "A.FOR");
  test::ProcessResult missing =
      test::RunProgram(CONVERTOR_BINARY, {"CALC.dsp"}, dir.path().string());
  EXPECT_EQ(missing.exitStatus, 1);
  EXPECT_NE(missing.err.find("Cannot find file"), std::string::npos) << missing.err;
  // Writes that fail: the project's files are replaced all together or not
  // at all; the project file keeps its old text, no converted copy comes.
  WriteProject(dir.path());
  std::vector<std::string> longProject(100, "# a line of the project that makes it long");
  longProject.insert(longProject.end(), {"# Begin Source File", "SOURCE=.\\A.FOR"});
  WriteBytes(dir.path() / "CALC.dsp", CrLf(longProject));
  fs::path converted = dir.path() / "Converted_CALC";
  std::string oldProject(4000, 'p');
  WriteBytes(converted / "CALC.dsp", oldProject);
  test::ProcessResult full = RunOnFullDisk({"CALC.dsp"}, dir.path().string(), 1);
  EXPECT_EQ(full.exitStatus, 1);
  EXPECT_NE(full.err.find("CALC.dsp: cannot be written (File too large)"), std::string::npos)
      << full.err;
  EXPECT_EQ(ReadBytes(converted / "CALC.dsp"), oldProject);
  EXPECT_NE(full.err.find("CALC: no file in"), std::string::npos) << full.err;
  EXPECT_FALSE(fs::exists(converted / "A.FOR"));
  for (const fs::directory_entry& entry : fs::directory_iterator(converted))
    EXPECT_NE(entry.path().filename().string()[0], '.') << "a temporary stayed";
}

// One source's converted copy would replace another source of the same
// project: nothing of the project is replaced.
TEST(ProjectCommand, CopyThatWouldReplaceAnotherSourceStopsTheProject) {
  test::TempDirectory dir;
  WriteProject(dir.path());
  WriteBytes(dir.path() / "CALC.dsp",
             CrLf({"# Microsoft Developer Studio Project File", "# Begin Source File",
                   "SOURCE=.\\Converted_CALC\\A.FOR", "# End Source File", "# Begin Source File",
                   "SOURCE=.\\A.FOR", "# End Source File"}));
  fs::create_directories(dir.path() / "Converted_CALC" / "Converted_CALC");
  const std::string inner = CrLf({"      Y=2"});
  WriteBytes(dir.path() / "Converted_CALC" / "A.FOR", inner);
  test::ProcessResult r = test::RunProgram(CONVERTOR_BINARY, {"CALC.dsp"}, dir.path().string());
  EXPECT_EQ(r.exitStatus, 1);
  EXPECT_NE(r.err.find("is a source of the project"), std::string::npos) << r.err;
  EXPECT_EQ(ReadBytes(dir.path() / "Converted_CALC" / "A.FOR"), inner);
  EXPECT_FALSE(fs::exists(dir.path() / "Converted_CALC" / "CALC.dsp"));
}

// 200 000 "# ADD F90" lines took 21 s when each insertion moved the lines
// after it; in one pass they take well under a second.
TEST(ProjectCommand, LongProjectFileTakesLinearTime) {
  test::TempDirectory dir;
  std::vector<std::string> lines{"# Microsoft Developer Studio Project File"};
  lines.insert(lines.end(), 200000, "# ADD F90 /nologo");
  WriteBytes(dir.path() / "P.dsw", CrLf({"x"}));
  WriteBytes(dir.path() / "P.dsp", CrLf(lines));
  auto start = std::chrono::steady_clock::now();
  test::ProcessResult r = test::RunProgram(CONVERTOR_BINARY, {"P.dsp"}, dir.path().string());
  EXPECT_EQ(r.exitStatus, 0) << r.err;
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
  std::string converted = ReadBytes(dir.path() / "Converted_P" / "P.dsp");
  std::size_t added = 0;
  for (std::size_t at = converted.find("# ADD CPP /nologo /c\r\n"); at != std::string::npos;
       at = converted.find("# ADD CPP /nologo /c\r\n", at + 1))
    ++added;
  EXPECT_EQ(added, 200000u);
}

// Project generation in a folder with a small template and console.exe.
class ProjectGeneration : public ::testing::Test {
 protected:
  void SetUp() override {
    WriteBytes(
        dir.path() / "ETALON.PRJ",
        CrLf({"<file:DLLNAM.dsp", "# Begin Source File", "SOURCE=.\\DLLNAM.for", "# End Target",
              ">file:", "<file:DLLNAM.rc", "VALUE \"FileVersion\", \"DLLFILEVERSION\"",
              ">file:", "<file:TEST.dsp", "# Microsoft Developer Studio Project File",
              ">file:", "<file:DLLNAM.bat", "copy DLLNAM.dll ..\\bin", ">file:"}));
    WriteBytes(dir.path() / "console.exe", std::string("MZ") + std::string(3000, '.') +
                                               "ETALONETALONETALON.DLL" + std::string(1, '\0') +
                                               std::string(3000, '.'));
  }
  test::ProcessResult Run(const std::vector<std::string>& arguments) {
    return test::RunProgram(CONVERTOR_BINARY, arguments, dir.path().string());
  }
  // Every file of the folder with its bytes (links as "-> target").
  std::map<std::string, std::string> Files() {
    std::map<std::string, std::string> files;
    for (const fs::directory_entry& entry : fs::directory_iterator(dir.path()))
      files[entry.path().filename().string()] =
          entry.is_symlink()        ? "-> " + fs::read_symlink(entry.path()).string()
          : entry.is_regular_file() ? ReadBytes(entry.path())
                                    : "(special)";
    return files;
  }
  test::TempDirectory dir;
};

TEST_F(ProjectGeneration, WritesEveryFileOrNone) {
  ASSERT_EQ(Run({"TARVIK", "CALC"}).exitStatus, 0);
  std::map<std::string, std::string> generated = Files();
  for (const char* name : {"CALC.dsp", "CALC.rc", "CALC.bat", "CALC.exe", "TEST.dsp"})
    ASSERT_TRUE(generated.count(name)) << name;
  EXPECT_EQ(generated["CALC.bat"], CrLf({"copy CALC.dll ..\\bin"}));

  // A full disk: the second generation cannot write CALC.exe, so no file
  // is replaced, nothing is reported as created, no temporary stays.
  for (const char* name : {"CALC.dsp", "CALC.rc", "CALC.bat", "CALC.exe", "TEST.dsp"})
    WriteBytes(dir.path() / name, std::string("old ") + name);
  std::map<std::string, std::string> before = Files();
  test::ProcessResult full = RunOnFullDisk({"TARVIK", "CALC"}, dir.path().string(), 1);
  EXPECT_EQ(full.exitStatus, 1);
  EXPECT_EQ(full.out, "");
  EXPECT_NE(full.err.find("no file of the project was written"), std::string::npos) << full.err;
  EXPECT_EQ(Files(), before);
}

TEST_F(ProjectGeneration, NeverReplacesAFileItReads) {
  // The project CONSOLE would make CONSOLE.exe from the console program
  // found as CONSOLE.exe.
  fs::rename(dir.path() / "console.exe", dir.path() / "CONSOLE.exe");
  std::map<std::string, std::string> before = Files();
  test::ProcessResult console = Run({"TARVIK", "console"});
  EXPECT_EQ(console.exitStatus, 1);
  EXPECT_NE(console.err.find("CONSOLE.exe: is the prepared console program"), std::string::npos)
      << console.err;
  EXPECT_EQ(Files(), before);
  // A template that writes itself, or the same file twice.
  for (std::string section : {"ETALON.PRJ", "DLLNAM.rc"}) {
    std::string etalon =
        ReadBytes(dir.path() / "ETALON.PRJ") + CrLf({"<file:" + section, "overwritten", ">file:"});
    WriteBytes(dir.path() / "ETALON.PRJ", etalon);
    before = Files();
    test::ProcessResult r = Run({"TARVIK", "CALC", "-"});
    EXPECT_EQ(r.exitStatus, 1) << section;
    EXPECT_NE(r.err.find("of the same run; nothing was written"), std::string::npos) << r.err;
    EXPECT_EQ(Files(), before);
  }
}

// Names go into file names, batch files and resource scripts: only plain
// names and versions are taken, and nothing is written outside the folder.
TEST_F(ProjectGeneration, NamesThatAreNoPlainNamesAreRefused) {
  fs::path work = dir.path() / "a" / "b";
  fs::create_directories(work);
  for (const auto& entry : fs::directory_iterator(dir.path()))
    if (entry.is_regular_file()) fs::rename(entry.path(), work / entry.path().filename());
  WriteBytes(work / "ESCAPE.LST", "SUB/../../../ESC A\n");
  WriteBytes(work / "AMP.LST", "CALC A&calc&REM\n");
  for (std::vector<std::string> arguments : {std::vector<std::string>{"TARVIK", "../../ESC"},
                                             {"TARVIK", "@ESCAPE.LST"},
                                             {"TARVIK", "@AMP.LST"},
                                             {"TARVIK", "CALC", "VER=1\",EVIL\"\""},
                                             {"TARVIK", "CALC", "LIB&calc"}}) {
    test::ProcessResult r = test::RunProgram(CONVERTOR_BINARY, arguments, work.string());
    EXPECT_EQ(r.exitStatus, 1) << arguments[1];
    EXPECT_NE(r.err.find("holds only"), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(work / "CALC.bat")) << arguments[1];
  }
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);
}

// Inputs that never end or never open are refused at once.
TEST_F(ProjectGeneration, InputsThatAreNoRegularFilesAreRefused) {
  ::mkfifo((dir.path() / "names").c_str(), 0644);
  for (const char* list : {"@/dev/zero", "@names"}) {
    test::ProcessResult r = Run({"TARVIK", list});
    EXPECT_EQ(r.exitStatus, 1) << list;
    EXPECT_NE(r.err.find("not a regular file"), std::string::npos) << r.err;
  }
  fs::remove(dir.path() / "ETALON.PRJ");
  fs::create_symlink("/dev/zero", dir.path() / "ETALON.PRJ");
  test::ProcessResult r = Run({"TARVIK", "CALC"});
  EXPECT_EQ(r.exitStatus, 1);
  EXPECT_NE(r.err.find("No template for Project!"), std::string::npos) << r.err;
}

// A link among the generated names is replaced; a start.exe in the folder
// is never started; -q leaves out the report lines.
TEST_F(ProjectGeneration, WorkingFolderIsNoPlaceToRunFrom) {
  fs::create_directory(dir.path() / "victim");
  WriteBytes(dir.path() / "victim" / "v.txt", "victim");
  fs::create_symlink("victim/v.txt", dir.path() / "CALC.rc");
  WriteBytes(dir.path() / "start.exe", "#!/bin/sh\ntouch STARTED\n");
  ::chmod((dir.path() / "start.exe").c_str(), 0755);
  test::ProcessResult r = Run({"-q", "TARVIK", "CALC"});
  EXPECT_EQ(r.exitStatus, 0) << r.err;
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(ReadBytes(dir.path() / "victim" / "v.txt"), "victim");
  EXPECT_FALSE(fs::is_symlink(dir.path() / "CALC.rc"));
  EXPECT_FALSE(fs::exists(dir.path() / "STARTED"));
}

}  // namespace
}  // namespace kvq
