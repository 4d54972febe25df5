// A request in, a report out: a front end (the command line, the window,
// the window opened for a missing file name) describes the run it wants in
// one request, which the driver takes as it is, and gets back a report of
// what happened. The driver keeps nothing: the front end decides what of
// the report it keeps (the DLL name chosen, the defined symbols of a
// project) and how it shows the rest.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "RunObserver.h"
#include "driver/ConversionJob.h"
#include "driver/ConversionOptions.h"
#include "engine/ConversionSettings.h"

namespace kvq {

// A single-source conversion.
struct ConversionRequest {
  ConversionMode mode = ConversionMode::SingleSource;
  // Complete for this run: the per-run reset, the check items and the
  // KEY=value settings are applied (mode aside, which is the field above).
  ConversionSettings settings;
  // Source, then destination, as the user named them; fewer when they are
  // still to be asked for.
  std::vector<std::string> files;
  // A source named on the command line is replaced by its .SRT or .SRC
  // variant when one exists; one chosen in a dialog is taken as chosen.
  bool sourceVariants = true;
  // An existing destination that is no converter output is refused (a
  // destination typed on the command line may be a source in the wrong
  // place; a dialog asks the user instead).
  bool protectDestination = false;
  // --depfile: where the Make rule goes.
  std::string dependencyFile;
};

// A whole-project conversion (Whole Project, Console Application).
struct ProjectRequest {
  ConversionMode mode = ConversionMode::WholeProject;
  ConversionSettings settings;  // reset for a run; the project sets its symbols
  std::string project;          // the .dsp or .dsw as the file system names it
  std::string shownProject;     // as messages show it
};

// A project generation from the template (TARVIK, or Create Project after a
// converted source).
struct GenerationRequest {
  // TARVIK NAME [extra ...]: the project name (or @LISTFILE) and extras.
  ParamList arguments;
  // Create Project: the converted source names the project instead.
  std::optional<std::string> outputPath;
};

struct RunReport {
  // With Create Project, the outcome of the generation after a converted
  // source: sourceConverted tells the two apart.
  RunOutcome outcome = RunOutcome::Abandoned;
  bool sourceConverted = false;
  // The message shown in a message box when the run failed; empty otherwise.
  std::string message;
  // Everything the run reported (FILE:LINE findings, the hints after a
  // refusal), in order.
  std::vector<Diagnostic> diagnostics;
  // The source as shown, as diagnostics name it (the name the user gave),
  // and the line counts of a single-source run.
  std::string shownSource;
  std::string givenSource;
  int inputLines = 0;
  int outputLines = 0;
  // The entry routine's name: asked for or given (single source), the
  // project's name (project conversion); empty when the run chose none.
  std::string dllName;
  // The INCLUDE files the run expanded, as the file system opened them.
  std::vector<std::string> includedFiles;
  // A project conversion: the symbols its .dsp defines, and whether its
  // main program became a console program.
  std::string definedSymbols;
  bool consoleMain = false;
};

// The request of a single source: settings are those given (already reset
// for a run), mode is theirs; the arguments add KEY=value settings and the
// file names (further names are ignored).
ConversionRequest SingleSourceRequest(ConversionSettings settings, const ParamList& arguments);

// The same request with the file names completed in dialogs.
ConversionRequest WithChosenFiles(const ConversionRequest& request, std::vector<std::string> files);

}  // namespace kvq
