// The one record of conversion settings, the program's argument list and the
// program-wide flags. They live as long as the program; runs read and change
// them, in-source directives change them in the middle of a run.
#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace kvq {

enum class ConversionMode { SingleSource, SingleForMpi, WholeProject, ConsoleApplication };
enum class Dialect { Compaq, WatCom };

inline constexpr std::string_view kDefaultConsoleUnits = ",*,5,6,DEBUG,";

struct ConversionOptions {
  ConversionMode conversionMode = ConversionMode::SingleSource;
  bool consoleMain = false;                        // main program becomes a console program
  Dialect dialect = Dialect::Compaq;               // "*$" directives become "!DEC$" lines
  std::string errorLabel = "9470";                 // label of the I/O error handler
  std::string consoleUnits{kDefaultConsoleUnits};  // comma-framed designators
  std::string handleDrivenUnits;                   // comma-framed designators
  bool insertSave = true;
  bool insertTrace = false;
  std::string dllName;  // name of the exported entry routine
  bool readRedirected = false;
  std::string readUnit = "91";
  bool writeRedirected = false;
  std::string writeUnit = "92";
  bool createProject = false;
  bool freeForm = false;       // source is free-form Fortran
  std::string definedSymbols;  // symbols of selected IF DEFINED branches
  std::string ownMacros;       // " NAME " of the last OWNMACRO directive
};

// The check items of the Option menu; a run takes them over at its start
// (save, trace) and end (create project). The console front end keeps the
// items' initial states.
struct OptionChecks {
  bool createProject = false;
  bool insertSave = true;
  bool insertTrace = false;
};

// The program's arguments, upper-cased, up to the first empty one. The
// original spelling is kept beside each entry because files are opened by the
// name as the user typed it on case-sensitive file systems.
class ParamList {
 public:
  static constexpr std::size_t kMaxEntries = 19;

  // Returns false when more than kMaxEntries arguments precede the first
  // empty one; the list then holds none of them.
  bool Assign(const std::vector<std::string>& arguments);
  void Set(std::vector<std::string> originals);

  std::size_t size() const { return upper_.size(); }
  bool empty() const { return upper_.empty(); }
  const std::string& operator[](std::size_t i) const { return upper_[i]; }
  const std::string& Original(std::size_t i) const { return original_[i]; }

 private:
  std::vector<std::string> upper_;
  std::vector<std::string> original_;
};

// Program-wide state of Convertor beside the options.
struct ProgramState {
  ConversionOptions options;
  OptionChecks checks;
  ParamList paramList;
  bool batchMode = false;   // started with arguments: window hidden, end after the work
  bool projectRun = false;  // the run converts one source of a whole project
  // "PIVOT " once a run converted a main program; a project conversion
  // empties it when it starts and puts it into the project's definitions.
  std::string mainProgramMark;
};

std::string UpperCase(std::string_view text);

// Applies one KEY=value argument: every keyword of which the key is a
// non-empty prefix (at most one, since their first letters differ).
void ApplySettingArgument(ConversionOptions& options, std::string_view argument);

// direction 0 is READ, 1 is WRITE.
void SetRedirection(ConversionOptions& options, int direction, std::string_view value);

// The per-run reset done before settings arguments are applied.
void ResetForRun(ConversionOptions& options, const OptionChecks& checks);

}  // namespace kvq
