// The options of a run: the argument list, the Option menu's check items,
// and the functions that turn KEY=value arguments into the settings of a
// job.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "engine/ConversionSettings.h"

namespace kvq {

// The check items of the Option menu; a job takes them over (save, trace,
// create project). The console front end keeps the items' initial states.
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

  static constexpr std::size_t kNoEnd = static_cast<std::size_t>(-1);

  // Returns false when more than kMaxEntries arguments precede the first
  // empty one; the list then holds none of them. Entries from settingsEnd
  // on (those after "--") are file names even when they hold "=".
  bool Assign(const std::vector<std::string>& arguments, std::size_t settingsEnd = kNoEnd);
  void Set(std::vector<std::string> originals, std::size_t settingsEnd = kNoEnd);
  // A KEY=value entry; file names may hold "=" too (a folder a=b) once
  // settings have ended.
  bool IsSetting(std::size_t i) const;

  std::size_t size() const { return upper_.size(); }
  bool empty() const { return upper_.empty(); }
  const std::string& operator[](std::size_t i) const { return upper_[i]; }
  const std::string& Original(std::size_t i) const { return original_[i]; }

 private:
  std::vector<std::string> upper_;
  std::vector<std::string> original_;
  std::size_t settingsEnd_ = kNoEnd;
};

// Applies one KEY=value argument: every keyword of which the key is a
// non-empty prefix (at most one, since their first letters differ).
void ApplySettingArgument(ConversionSettings& settings, std::string_view argument);

// What is wrong with a KEY=value argument, naming the key as given: a key
// that selects no keyword, or a value its keyword cannot take. Empty when
// nothing is; the argument is applied (or ignored) all the same.
std::string SettingProblem(std::string_view argument);
// Why a KEY=value argument cannot be taken at all (a NAME= that is no
// Fortran name); empty when it can.
std::string SettingError(std::string_view argument);
// Why a DLL name cannot name the entry routine; empty when it can.
std::string DllNameProblem(std::string_view name);

// A redirection from a READ= or WRITE= value ("" and "0": off).
Redirection ParseRedirection(std::string_view value);

// The redirection menus of the window change the carried-over state.
void SetRedirection(CarryOver& carry, IoDirection direction, std::string_view value);

// The settings of a single-source job start from the program's with the
// unit lists at their defaults and the check items taken over.
void ResetForRun(ConversionSettings& settings, const OptionChecks& checks);

}  // namespace kvq
