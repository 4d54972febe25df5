// One conversion to do: which source, which destination, with which
// settings, and how to ask for a missing DLL name. The command line, the
// window and the whole-project conversion build jobs; RunConversionJob does
// them.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "RunObserver.h"
#include "StagedFile.h"
#include "engine/ConversionSettings.h"

namespace kvq {

struct ConversionJob {
  // The source as the file system names it, and as the run shows it (upper
  // case; INCLUDE names without a directory are looked for beside it).
  std::string source;
  std::string shownSource;
  // A source held in memory instead of the file (tests, fuzzing).
  std::optional<std::string> sourceText;
  // The destination as the file system names it, and as the run shows it.
  std::string destination;
  std::string shownDestination;
  // Both names as the user spelled them, for messages of our own.
  std::string givenSource;
  std::string givenDestination;
  ConversionSettings settings;
  // Free form: a .F90 name of either file, or the first statement line that
  // ends in "&".
  bool freeForm = false;
  // One source of a whole-project conversion: lines are not shown, and the
  // companion file is written when companionPath is set.
  bool projectRun = false;
  std::string companionPath;
  // An existing destination that is no converter output is refused: a
  // destination named on the command line may be a source given in the
  // wrong order.
  bool protectDestination = false;
  // A destination in a folder the converter owns (Converted_<project>) is
  // replaced itself when it is a link; one the user named keeps its link.
  LinkPolicy destinationLinks = LinkPolicy::ReplaceTarget;
  // --depfile: the Make rule is written there, together with the
  // destination and only when the destination is.
  std::string dependencyFile;
  // The destination (and the companion) is written out but not put in
  // place: the run hands it over in RunResult, so that a whole-project
  // conversion replaces all its files together or none.
  bool keepDestinationStaged = false;
  // How the user accepts bare line feeds where this job was started, named
  // in the refusal's hint.
  std::string acceptLineFeedsHint = "--accept-lf (setting ACCEPTLF=Y)";
  // Asked when a main program is met and settings.dllName is empty; gets the
  // current name, the main program's, and where its PROGRAM statement
  // stands (FILE:LINE); returns the new name.
  std::function<std::string(const std::string& current, const std::string& programName,
                            const std::string& where)>
      askDllName;
};

enum class RunOutcome {
  Converted,       // the output was written and the status line reports it
  Abandoned,       // a file was not found or not opened; the message tells why
  Cancelled,       // a dialog was cancelled, or the observer asked to stop
  NeedsFileNames,  // file names are missing and no dialog can ask for them
  NotAvailable,    // the requested kind of run is not part of this build
  Refused,         // the destination is no converter output and was kept
};

struct RunResult {
  RunOutcome outcome = RunOutcome::Abandoned;
  // For a message box when the run was abandoned; empty otherwise.
  std::string message;
  // Reported after the message: what the user can do about it.
  std::vector<Diagnostic> followUp;
  int inputLines = 0;
  int outputLines = 0;
  // The name the entry routine got (asked for, or from the settings).
  std::string dllName;
  // A main program was converted.
  bool mainProgramConverted = false;
  // The INCLUDE files the run expanded, as the file system opened them.
  std::vector<std::string> includedFiles;
  // The destination could not be written out (a full disk): no source
  // problem, so a project conversion writes none of its files.
  bool writeFailed = false;
  // A fault of the converter itself stopped the run; the message says so.
  bool internalFault = false;
  // With keepDestinationStaged: the written destination, to be committed,
  // and the companion file when the source held conditionals.
  StagedFile destination;
  StagedFile companion;
};

}  // namespace kvq
