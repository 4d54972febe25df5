// A SourceReader over a source held in memory (INCLUDE files are looked for
// in a temporary directory), with the converted lines and warnings
// collected in memory.
#pragma once

#include <string>
#include <vector>

#include "TempDirectory.h"
#include "engine/ConversionSettings.h"
#include "engine/HandlerLabels.h"
#include "engine/RunState.h"
#include "engine/SourceReader.h"

namespace kvq::test {

class CollectedOutput : public OutputChannel {
 public:
  // Jumps to the handlers read as the default labels.
  void WriteOutputLine(std::string_view line) override {
    lines.emplace_back(line);
    marks.Fill(lines.back(), {"9470", "99470"});
  }
  void WriteCommentLine(std::string_view line) override { lines.emplace_back(line); }
  void ConvertingLine(const LinePlace&) override {}
  void Warn(const SourceLocation& where, std::string_view text) override {
    warnings.push_back(where.file + ":" + std::to_string(where.line) + ": " + std::string(text));
  }
  std::vector<std::string> lines;
  std::vector<std::string> warnings;
  MarkFiller marks;
};

class ReaderHarness {
 public:
  ReaderHarness() : run(settings), reader(settings, carry, run, output) {}

  // Opens the reader on the source (bytes as given); name is the source's
  // name in the temporary directory.
  void Start(const std::string& bytes, const std::string& name = "MAIN.FOR") {
    reader.OpenText(bytes, dir.File(name), name);
  }

  // The same on a file written into the temporary directory.
  void StartFile(const std::string& bytes, const std::string& name = "MAIN.FOR") {
    WriteBytes(dir.path() / name, bytes);
    reader.Open(dir.File(name), name);
  }

  // The lines of every remaining statement, as the run sees them.
  std::vector<std::string> RemainingLines() {
    std::vector<std::string> lines;
    while (!reader.EndOfInput()) {
      reader.ReadStatement();
      if (stmt().Kind() == StatementKind::Written) break;
      for (std::size_t i = 0; i < stmt().size(); ++i) lines.push_back(stmt().line(i).text);
    }
    return lines;
  }

  const Statement& stmt() const { return reader.statement(); }

  TempDirectory dir;
  ConversionSettings settings;
  CarryOver carry;
  RunState run;
  CollectedOutput output;
  SourceReader reader;
};

}  // namespace kvq::test
