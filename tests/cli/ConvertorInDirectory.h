// A fixture for tests of the real convertor binary: each test runs it in a
// fresh temporary directory, so names on its command line are relative.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ProcessRunner.h"
#include "TempDirectory.h"

namespace kvq::test {

class ConvertorInDirectory : public ::testing::Test {
 protected:
  ProcessResult Run(const std::vector<std::string>& arguments) {
    return RunProgram(CONVERTOR_BINARY, arguments, dir.path().string());
  }
  TempDirectory dir;
};

}  // namespace kvq::test
