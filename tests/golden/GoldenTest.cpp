// Golden cases: each folder under cases/ is one run of the real convertor.
//   args    the arguments, one per line
//   in/     files copied into an empty working directory (the run's cwd)
//   expect/ files that must exist afterwards, compared byte for byte
//   stdout, stderr  optional exact texts; exit  optional status (default 0)
//   absent  optional names of files that must not exist afterwards
//   compile optional "<file> fixed|free" lines: outputs that gfortran must
//           accept (-fsyntax-only) against the run-time module Zentrix; with
//           places ("BAD.FOR:4:") after the form, gfortran must refuse the
//           file and begin a message at each place
// Nothing folds CR LF: line ends are part of what is compared.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <sstream>

#include "ProcessRunner.h"
#include "TempDirectory.h"

namespace fs = std::filesystem;
using kvq::test::ReadBytes;

namespace {

std::vector<std::string> CaseNames() {
  std::vector<std::string> names;
  for (const fs::directory_entry& entry : fs::directory_iterator(GOLDEN_CASES_DIR))
    if (entry.is_directory()) names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

std::vector<std::string> ReadLines(const fs::path& path) {
  std::vector<std::string> lines;
  std::istringstream text(ReadBytes(path));
  for (std::string line; std::getline(text, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

// Shows a line with its control bytes visible.
std::string Visible(const std::string& line) {
  std::string shown;
  for (unsigned char c : line) {
    if (c == '\r') {
      shown += "\\r";
    } else if (c == '\t') {
      shown += "\\t";
    } else if (c < 32 || c >= 127) {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02x", c);
      shown += hex;
    } else {
      shown.push_back(static_cast<char>(c));
    }
  }
  return shown;
}

// Describes the first difference line by line (lines split at LF, CR kept).
std::string FirstDifference(const std::string& expected, const std::string& actual) {
  std::istringstream e(expected), a(actual);
  std::string el, al;
  for (int line = 1;; ++line) {
    bool he = static_cast<bool>(std::getline(e, el));
    bool ha = static_cast<bool>(std::getline(a, al));
    if (!he && !ha) return "files differ only in the last line end";
    if (!he || !ha || el != al) {
      std::ostringstream out;
      out << "line " << line << ":\n  expected: " << (he ? "[" + Visible(el) + "]" : "(end)")
          << "\n  actual:   " << (ha ? "[" + Visible(al) + "]" : "(end)");
      return out.str();
    }
  }
}

// Each listed output is valid Fortran for gfortran: converted code builds.
void CheckCompiles(const std::vector<std::string>& entries, const fs::path& work) {
#ifdef FORTRAN_COMPILER
  for (const std::string& entry : entries) {
    std::istringstream fields(entry);
    std::string file, form;
    if (!(fields >> file >> form)) continue;
    std::vector<std::string> args = {"-fsyntax-only",    "-std=legacy", "-I",
                                     ZENTRIX_MODULE_DIR, "-J",          work.string()};
    if (form == "free") {
      args.insert(args.end(), {"-x", "f95", "-ffree-form"});
    } else {
      args.insert(args.end(), {"-x", "f77", "-ffixed-form", "-Werror=line-truncation"});
    }
    args.push_back(file);
    kvq::test::ProcessResult r = kvq::test::RunProgram(FORTRAN_COMPILER, args, work.string());
    std::vector<std::string> places;
    for (std::string place; fields >> place;) places.push_back(place);
    if (places.empty()) {
      EXPECT_EQ(r.exitStatus, 0) << file << " does not compile:\n" << r.err;
      continue;
    }
    EXPECT_NE(r.exitStatus, 0) << file << " compiles";
    for (const std::string& place : places)
      EXPECT_TRUE(r.err.starts_with(place) || r.err.find("\n" + place) != std::string::npos)
          << "no message at " << place << ":\n"
          << r.err;
  }
#else
  (void)entries;
  (void)work;
  GTEST_SKIP() << "built with CONVERTOR_WITH_FORTRAN=OFF: no compiler to check the output";
#endif
}

class GoldenCase : public testing::TestWithParam<std::string> {};

TEST_P(GoldenCase, RunMatchesExpectedFiles) {
  const fs::path dir = fs::path(GOLDEN_CASES_DIR) / GetParam();
  kvq::test::TempDirectory work;
  if (fs::exists(dir / "in")) fs::copy(dir / "in", work.path(), fs::copy_options::recursive);

  kvq::test::ProcessResult result =
      kvq::test::RunProgram(CONVERTOR_BINARY, ReadLines(dir / "args"), work.path().string());

  int expectedExit = 0;
  if (fs::exists(dir / "exit")) expectedExit = std::stoi(ReadBytes(dir / "exit"));
  EXPECT_EQ(result.exitStatus, expectedExit) << "stderr: " << result.err;
  if (fs::exists(dir / "stdout")) {
    std::string expected = ReadBytes(dir / "stdout");
    EXPECT_EQ(result.out, expected) << FirstDifference(expected, result.out);
  }
  if (fs::exists(dir / "stderr")) {
    std::string expected = ReadBytes(dir / "stderr");
    EXPECT_EQ(result.err, expected) << FirstDifference(expected, result.err);
  }
  if (fs::exists(dir / "expect")) {
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(dir / "expect")) {
      if (!entry.is_regular_file()) continue;
      fs::path relative = fs::relative(entry.path(), dir / "expect");
      fs::path produced = work.path() / relative;
      ASSERT_TRUE(fs::exists(produced)) << relative << " was not written";
      std::string expected = ReadBytes(entry.path());
      std::string actual = ReadBytes(produced);
      EXPECT_EQ(actual == expected, true)
          << relative << " differs at " << FirstDifference(expected, actual);
    }
  }
  if (fs::exists(dir / "compile")) CheckCompiles(ReadLines(dir / "compile"), work.path());
  if (fs::exists(dir / "absent"))
    for (const std::string& name : ReadLines(dir / "absent")) {
      if (!name.empty()) {
        EXPECT_FALSE(fs::exists(work.path() / name)) << name << " exists";
      }
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, GoldenCase, testing::ValuesIn(CaseNames()),
                         [](const testing::TestParamInfo<std::string>& info) {
                           std::string name = info.param;
                           for (char& c : name)
                             if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                           return name;
                         });

}  // namespace
