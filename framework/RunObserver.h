// What a conversion reports while it runs, apart from the questions it asks
// (UserInterface): the status line, diagnostics, the lines read and written
// in batches, the project generator's report lines, and a cancel flag it
// polls. Calls come from the thread that runs the job; a window that runs
// jobs off its own thread passes them over to it.
#pragma once

#include <string>
#include <vector>

namespace kvq {

enum class Severity { Note, Warning, Error };

// One finding about the source: where and what. line is 0 when the finding
// is about a whole file.
struct Diagnostic {
  Severity severity = Severity::Warning;
  std::string file;
  int line = 0;
  std::string text;
};

class RunObserver {
 public:
  virtual ~RunObserver() = default;

  // A single-source run begins: the lists of the previous run go.
  virtual void ClearLists() {}
  virtual void SetStatusLine(const std::string& text) = 0;
  virtual void Report(const Diagnostic& diagnostic) = 0;

  // False where nobody sees the lines, so runs skip collecting them.
  virtual bool WantsLines() const { return false; }
  // Lines of the main source as read, and converted lines as written, in
  // source order, several at a time.
  virtual void AddInputLines(const std::vector<std::string>& /*lines*/) {}
  virtual void AddOutputLines(const std::vector<std::string>& /*lines*/) {}
  // A report line of the project generator.
  virtual void AddReportLine(const std::string& line) = 0;
  virtual void ScrollListsToEnd() {}

  // Polled between lines: true ends the run as cancelled; the output
  // written so far stays.
  virtual bool CancelRequested() const { return false; }
};

// Passes everything on to the observer it wraps and keeps a copy of each
// diagnostic, for the report a driver returns.
class RecordingObserver : public RunObserver {
 public:
  RecordingObserver(RunObserver& inner, std::vector<Diagnostic>& record)
      : inner_(inner), record_(record) {}

  void ClearLists() override { inner_.ClearLists(); }
  void SetStatusLine(const std::string& text) override { inner_.SetStatusLine(text); }
  void Report(const Diagnostic& diagnostic) override {
    record_.push_back(diagnostic);
    inner_.Report(diagnostic);
  }
  bool WantsLines() const override { return inner_.WantsLines(); }
  void AddInputLines(const std::vector<std::string>& lines) override {
    inner_.AddInputLines(lines);
  }
  void AddOutputLines(const std::vector<std::string>& lines) override {
    inner_.AddOutputLines(lines);
  }
  void AddReportLine(const std::string& line) override { inner_.AddReportLine(line); }
  void ScrollListsToEnd() override { inner_.ScrollListsToEnd(); }
  bool CancelRequested() const override { return inner_.CancelRequested(); }

 private:
  RunObserver& inner_;
  std::vector<Diagnostic>& record_;
};

// Compiler style: "FILE:LINE: warning: TEXT" (no LINE when it is 0).
std::string FormatDiagnostic(const Diagnostic& diagnostic);

}  // namespace kvq
