// A SourceReader over a source written into a temporary directory, with
// the converted lines collected in memory.
#pragma once

#include <string>
#include <vector>

#include "ConsoleUserInterface.h"
#include "ConversionOptions.h"
#include "SourceReader.h"
#include "TempDirectory.h"

namespace kvq::test {

class CollectedOutput : public OutputChannel {
 public:
  void WriteOutputLine(std::string_view line) override { lines.emplace_back(line); }
  void WriteCommentLine(std::string_view line) override { lines.emplace_back(line); }
  std::vector<std::string> lines;
};

class ReaderHarness {
 public:
  ReaderHarness() : ui(sink(), sink(), stdin, false), reader(options, projectRun, output, ui) {}

  // Writes the source (bytes as given) and primes the reader on it.
  void Start(const std::string& bytes, const std::string& name = "MAIN.FOR") {
    WriteBytes(dir.path() / name, bytes);
    reader.Open(dir.File(name), name);
    reader.ReadStatement();
  }

  // Delivers every remaining line as the run would see it.
  std::vector<std::string> RemainingLines() {
    std::vector<std::string> lines;
    while (!reader.EndOfInput()) {
      reader.ReadStatement();
      lines.push_back(reader.statement().Text);
    }
    return lines;
  }

  Statement& stmt() { return reader.statement(); }

  static std::FILE* sink() {
    static std::FILE* devnull = std::fopen("/dev/null", "w");
    return devnull;
  }

  TempDirectory dir;
  ConversionOptions options;
  bool projectRun = false;
  CollectedOutput output;
  ConsoleUserInterface ui;
  SourceReader reader;
};

}  // namespace kvq::test
