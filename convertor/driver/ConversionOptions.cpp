#include "driver/ConversionOptions.h"

#include <algorithm>

#include "engine/CharacterClass.h"
#include "engine/TextUtilities.h"

namespace kvq {

bool ParamList::Assign(const std::vector<std::string>& arguments, std::size_t settingsEnd) {
  auto end = std::find(arguments.begin(), arguments.end(), std::string());
  if (static_cast<std::size_t>(end - arguments.begin()) > kMaxEntries) {
    Set({});
    return false;
  }
  Set(std::vector<std::string>(arguments.begin(), end), settingsEnd);
  return true;
}

bool ParamList::IsSetting(std::size_t i) const {
  return i < settingsEnd_ && upper_[i].find('=') != std::string::npos;
}

void ParamList::Set(std::vector<std::string> originals, std::size_t settingsEnd) {
  settingsEnd_ = settingsEnd;
  original_ = std::move(originals);
  upper_.clear();
  for (const std::string& entry : original_) upper_.push_back(UpperCase(entry));
}

namespace {

void ApplyDialect(ConversionSettings& options, std::string_view value) {
  // An empty value names no dialect and changes nothing.
  if (value.empty()) return;
  switch (value[0]) {
    case 'C':
    case 'c':
    case 'D':
    case 'd':
      options.dialect = Dialect::Compaq;
      break;
    case 'W':
    case 'w':
      options.dialect = Dialect::WatCom;
      break;
    default:
      break;
  }
}

// MODE=MPI starts a single-source run for MPI (the window's "Single for
// MPI"), MODE=SINGLE the plain run; MODE=CONSOLE makes the main program a
// console program (as a Console Application project conversion does) and
// MODE=DLL the DLL entry routine again. Other values change nothing.
void ApplyMode(ConversionSettings& options, std::string_view value) {
  if (value == "MPI")
    options.conversionMode = ConversionMode::SingleForMpi;
  else if (value == "SINGLE")
    options.conversionMode = ConversionMode::SingleSource;
  else if (value == "CONSOLE")
    options.consoleMain = true;
  else if (value == "DLL")
    options.consoleMain = false;
}

enum class SettingKey {
  Fortran,
  ErrLab,
  Units,
  HandleDriven,
  Save,
  Trace,
  Name,
  Read,
  Write,
  Mode,
  AcceptLf,
  Cards,
  Lines
};

struct SettingKeyword {
  std::string_view word;
  SettingKey key;
};

// Compared in this order; the first letters differ, so at most one applies.
constexpr SettingKeyword kSettingKeywords[] = {
    {"FORTRAN", SettingKey::Fortran},   {"ERRLAB", SettingKey::ErrLab},
    {"UNITS", SettingKey::Units},       {"HANDLEDRIVEN", SettingKey::HandleDriven},
    {"SAVE", SettingKey::Save},         {"TRACE", SettingKey::Trace},
    {"NAME", SettingKey::Name},         {"READ", SettingKey::Read},
    {"WRITE", SettingKey::Write},       {"MODE", SettingKey::Mode},
    {"ACCEPTLF", SettingKey::AcceptLf}, {"CARDS", SettingKey::Cards},
    {"LINES", SettingKey::Lines},
};

void ApplySetting(ConversionSettings& options, SettingKey key, const std::string& value) {
  switch (key) {
    case SettingKey::Fortran:
      ApplyDialect(options, value);
      break;
    case SettingKey::ErrLab:
      options.errorLabel = value;
      options.errorLabelGiven = true;
      break;
    case SettingKey::Units:
      options.consoleUnits = "," + value + ",";
      break;
    case SettingKey::HandleDriven:
      options.handleDrivenUnits = "," + value + ",";
      break;
    case SettingKey::Save:
      options.insertSave = value == "Y";
      break;
    case SettingKey::Trace:
      options.insertTrace = value == "Y";
      break;
    case SettingKey::Name:
      options.dllName = value;
      break;
    case SettingKey::Read:
      options.readGiven = true;
      options.read = ParseRedirection(value);
      break;
    case SettingKey::Write:
      options.writeGiven = true;
      options.write = ParseRedirection(value);
      break;
    case SettingKey::Mode:
      ApplyMode(options, value);
      break;
    case SettingKey::AcceptLf:
      options.acceptLineFeeds = value == "Y";
      break;
    case SettingKey::Cards:
      options.sequenceField = value == "Y";
      break;
    case SettingKey::Lines:
      options.lineMarkers = value == "Y";
      break;
  }
}

}  // namespace

void ApplySettingArgument(ConversionSettings& options, std::string_view argument) {
  std::size_t equals = argument.find('=');
  if (equals == std::string_view::npos) return;
  std::string_view key = argument.substr(0, equals);
  std::string value(argument.substr(equals + 1));
  TrimTrailingBlanks(value);
  if (key.empty()) return;
  for (const SettingKeyword& keyword : kSettingKeywords)
    if (keyword.word.starts_with(key)) ApplySetting(options, keyword.key, value);
}

namespace {

const SettingKeyword* SelectedKeyword(std::string_view key) {
  if (key.empty()) return nullptr;
  for (const SettingKeyword& keyword : kSettingKeywords)
    if (keyword.word.starts_with(UpperCase(key))) return &keyword;
  return nullptr;
}

// A statement label of 1 to 5 digits, not all zeros; the end-of-file
// handler's label is "9" and this one, so it takes at most 4.
std::string ErrorLabelProblem(std::string_view key, std::string_view value) {
  bool digits = !value.empty() && value.size() <= 5 &&
                value.find_first_not_of("0123456789") == std::string_view::npos &&
                value.find_first_not_of('0') != std::string_view::npos;
  std::string given = std::string(key) + "=" + std::string(value);
  if (!digits) return given + " is no statement label of 1 to 5 digits";
  if (value.size() == 5)
    return given + ": the end-of-file handler's label 9" + std::string(value) +
           " has more than 5 digits";
  return {};
}

}  // namespace

std::string DllNameProblem(std::string_view name) {
  if (IsFortranName(name)) return {};
  return "\"" + std::string(name) +
         "\" is no Fortran name: the DLL name begins with a letter and holds only letters, "
         "digits and _ (at most 63)";
}

std::string SettingError(std::string_view argument) {
  std::size_t equals = argument.find('=');
  if (equals == std::string_view::npos) return {};
  const SettingKeyword* keyword = SelectedKeyword(argument.substr(0, equals));
  std::string value(argument.substr(equals + 1));
  TrimTrailingBlanks(value);
  if (!keyword || keyword->key != SettingKey::Name || value.empty()) return {};
  std::string problem = DllNameProblem(value);
  return problem.empty() ? problem : std::string(argument) + ": " + problem;
}

std::string SettingProblem(std::string_view argument) {
  std::size_t equals = argument.find('=');
  if (equals == std::string_view::npos) return {};
  std::string_view key = argument.substr(0, equals);
  std::string value(argument.substr(equals + 1));
  TrimTrailingBlanks(value);
  const SettingKeyword* keyword = SelectedKeyword(key);
  if (!keyword) return "unknown setting " + std::string(key) + " is ignored";
  std::string upper = UpperCase(value);
  switch (keyword->key) {
    case SettingKey::ErrLab:
      return ErrorLabelProblem(key, value);
    case SettingKey::Mode:
      if (upper != "MPI" && upper != "SINGLE" && upper != "CONSOLE" && upper != "DLL")
        return std::string(key) + "=" + value +
               " names no mode (MPI, SINGLE, CONSOLE, DLL) and changes nothing";
      return {};
    case SettingKey::Fortran:
      if (upper.empty() || (upper[0] != 'C' && upper[0] != 'D' && upper[0] != 'W'))
        return std::string(key) + "=" + value + " names no dialect (C, D or W) and changes nothing";
      return {};
    case SettingKey::Name:  // a name that is none is a usage error (SettingError)
    case SettingKey::Units:
    case SettingKey::HandleDriven:
    case SettingKey::Save:
    case SettingKey::Trace:
    case SettingKey::Read:
    case SettingKey::Write:
    case SettingKey::AcceptLf:
    case SettingKey::Cards:
    case SettingKey::Lines:
      return {};
  }
  return {};
}

Redirection ParseRedirection(std::string_view value) {
  // A unit designator keeps at most its first four characters.
  constexpr std::size_t kUnitLength = 4;
  return Redirection{!(value.empty() || value == "0"), std::string(value.substr(0, kUnitLength))};
}

void SetRedirection(CarryOver& carry, IoDirection direction, std::string_view value) {
  carry.Of(direction) = ParseRedirection(value);
}

void ResetForRun(ConversionSettings& options, const OptionChecks& checks) {
  options.consoleUnits = std::string(kDefaultConsoleUnits);
  options.handleDrivenUnits.clear();
  options.insertSave = checks.insertSave;
  options.insertTrace = checks.insertTrace;
  options.createProject = checks.createProject;
  options.readGiven = options.writeGiven = false;
}

}  // namespace kvq
