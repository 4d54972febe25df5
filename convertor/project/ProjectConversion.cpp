#include "ProjectConversion.h"

#include <sys/stat.h>

#include "PathLookup.h"
#include "ProjectText.h"
#include "UserInterface.h"

namespace kvq {

namespace {

constexpr std::string_view kDefinitionsMarker = "/DEFINE:\"";
constexpr std::string_view kConsoleLinkOptions =
    "kernel32.lib user32.lib gdi32.lib winspool.lib comdlg32.lib advapi32.lib shell32.lib "
    "ole32.lib oleaut32.lib uuid.lib odbc32.lib odbccp32.lib /nologo /subsystem:console /debug "
    "/machine:I386 /pdbtype:sept";
constexpr std::string_view kDirectoryLines[] = {"# PROP BASE Output_Dir",
                                                "# PROP BASE Intermediate_Dir", "# PROP Output_Dir",
                                                "# PROP Intermediate_Dir"};
const char* const kLibraryEntries[] = {"SOURCE=..\\Zentrix.F90", "# End Source File",
                                       "# Begin Source File",    "SOURCE=..\\_Zentrix.c",
                                       "# End Source File",      "# Begin Source File"};
constexpr std::string_view kHandListedLibraryFiles[] = {
    "SOURCE=.\\LONGJUMP.F90", "SOURCE=.\\ZENTRIX.F90", "SOURCE=.\\_ZENTRIX.C"};
constexpr std::size_t kSymbolsLimit = 255;

bool Contains(std::string_view text, std::string_view part) {
  return text.find(part) != std::string_view::npos;
}

void ReplaceFirst(std::string& line, std::string_view from, std::string_view to) {
  std::size_t at = line.find(from);
  if (at != std::string::npos) line.replace(at, from.size(), to);
}

bool IsSourceLine(const std::string& line) {
  std::string upper = UpperCase(line);
  return upper.starts_with("SOURCE=.\\") || upper.starts_with("SOURCE=\".\\");
}

bool IsHandListedLibraryFile(const std::string& line) {
  std::string upper = UpperCase(line);
  for (std::string_view name : kHandListedLibraryFiles)
    if (upper == name) return true;
  return false;
}

// One project conversion: the project text and the names it works with.
class ProjectConversion {
 public:
  ProjectConversion(ProgramState& state, UserInterface& ui, ConversionDriver& driver)
      : state_(state), options_(state.options), ui_(ui), driver_(driver) {}

  RunOutcome Run(const std::string& shownProject, const std::string& project);

 private:
  bool CopyProjectFile(const std::string& source, const std::string& destination);
  void CopyHeaderFile();
  void RewriteTargetType(std::string& line) const;
  void RewriteAsConsoleProgram(std::string& line) const;
  void RewriteAsLibrary(std::string& line) const;
  void NoteDefinitions(const std::string& line);
  void HandleSourceLine(std::size_t& index);
  void ConvertSource(const std::string& fileName);
  void AddDefinitions();

  ProgramState& state_;
  ConversionOptions& options_;
  UserInterface& ui_;
  ConversionDriver& driver_;
  ProjectLines text_;
  std::string textPath_;
  std::string projectName_;
  std::string projectDirectory_;    // as the file system has it
  std::string convertedDirectory_;  // project directory + "/Converted_" + name
  bool librarySourcesInserted_ = false;
};

bool ProjectConversion::CopyProjectFile(const std::string& source, const std::string& destination) {
  std::optional<ProjectLines> lines = ReadProjectLines(ResolvePath(source));
  if (!lines || !WriteProjectLines(destination, *lines)) {
    ui_.ShowMessage("Cannot find file " + source);
    text_.clear();
    return false;
  }
  text_ = std::move(*lines);
  textPath_ = destination;
  return true;
}

void ProjectConversion::CopyHeaderFile() {
  std::string header = JoinPath(convertedDirectory_, "Resource.h");
  if (PathExists(ResolvePath(header))) return;
  if (CopyProjectFile(JoinPath(projectDirectory_, "Resource.h"), header)) return;
  if (CopyProjectFile(JoinPath(projectDirectory_, "Resource.zul"), header)) return;
  ui_.ShowMessage("I'm afraid You stay without Resource.h Header File !!!");
}

void ProjectConversion::RewriteAsConsoleProgram(std::string& line) const {
  ReplaceFirst(line, "Dynamic-Link Library", "Console Application");
  if (std::size_t at = line.find("0x0102"); at != std::string::npos) line[at + 5] = '3';
  for (std::string_view link :
       {std::string_view("ADD BASE LINK32"), std::string_view("ADD LINK32")}) {
    std::size_t at = line.find(link);
    if (at == std::string::npos) continue;
    // The options of a console program replace the library's.
    line = line.substr(0, std::min(line.size(), at + link.size() + 1)) +
           std::string(kConsoleLinkOptions);
    break;
  }
  ReplaceFirst(line, "/dll", "");
}

void ProjectConversion::RewriteAsLibrary(std::string& line) const {
  bool hadDll = Contains(line, "/dll");
  ReplaceFirst(line, "Console Application", "Dynamic-Link Library");
  if (std::size_t at = line.find("0x0103"); at != std::string::npos) line[at + 5] = '2';
  for (std::string_view directory : kDirectoryLines) {
    if (line.starts_with(directory)) {
      line = std::string(directory) + " \"\"";  // the library is built beside the project
      break;
    }
  }
  if (hadDll) return;
  if (Contains(line, "ADD BASE LINK32"))
    line += " /dll";
  else if (Contains(line, "ADD LINK32"))
    line += " /dll";
  else if (Contains(line, "ADD BASE F90"))
    line += " /dll";
  else if (Contains(line, "ADD F90"))
    line += " /dll /threads";
}

void ProjectConversion::RewriteTargetType(std::string& line) const {
  if (options_.consoleMain)
    RewriteAsConsoleProgram(line);
  else
    RewriteAsLibrary(line);
}

void ProjectConversion::NoteDefinitions(const std::string& line) {
  std::string upper = UpperCase(line);
  std::size_t at = upper.find(kDefinitionsMarker);
  if (at == std::string::npos) return;
  std::string symbols = upper.substr(at + kDefinitionsMarker.size());
  symbols = symbols.substr(0, std::min(symbols.find('"'), kSymbolsLimit));
  options_.definedSymbols = "KVQ " + symbols;
}

void ProjectConversion::HandleSourceLine(std::size_t& index) {
  if (!librarySourcesInserted_) {
    // The "# Begin Source File" before the first source now opens the
    // entry of the library's Fortran source.
    text_.insert(text_.begin() + static_cast<std::ptrdiff_t>(index), std::begin(kLibraryEntries),
                 std::end(kLibraryEntries));
    index += std::size(kLibraryEntries);
    librarySourcesInserted_ = true;
  }
  // Library sources a hand-prepared project lists already go, with their
  // entry lines up to the next source line.
  while (index < text_.size() && IsHandListedLibraryFile(text_[index])) {
    // The next source line ends the deletion, in its quoted form too: a
    // quoted source after a library file stays in the project.
    std::size_t next = index + 1;
    while (next < text_.size() && !text_[next].starts_with("SOURCE=.\\") &&
           !text_[next].starts_with("SOURCE=\".\\"))
      ++next;
    if (next < text_.size()) {
      text_.erase(text_.begin() + static_cast<std::ptrdiff_t>(index),
                  text_.begin() + static_cast<std::ptrdiff_t>(next));
      continue;
    }
    // The last source entry: only its own frame goes.
    std::size_t first = index, last = index + 1;
    if (first > 0 && text_[first - 1] == "# Begin Source File") --first;
    if (last < text_.size() && text_[last] == "# End Source File") ++last;
    text_.erase(text_.begin() + static_cast<std::ptrdiff_t>(first),
                text_.begin() + static_cast<std::ptrdiff_t>(last));
    index = first;
    return;
  }
  if (index >= text_.size() || !IsSourceLine(text_[index])) return;
  std::string& line = text_[index];
  std::string upper = UpperCase(line);
  if (upper.size() > 7 && upper[7] == '"') {
    line = upper.substr(0, 7) + upper.substr(8);
    line.pop_back();
  }
  std::string fileName = line.size() > 9 ? line.substr(9) : std::string();
  std::string extension = UpperCase(FileNamePart(fileName));
  std::size_t dot = extension.rfind('.');
  extension = dot == std::string::npos ? std::string() : extension.substr(dot);
  if (extension != ".F" && extension != ".FOR" && extension != ".F90") {
    line.insert(7, ".");  // refers to the file in the project directory
    return;
  }
  ConvertSource(fileName);
}

// A name that climbs out of the project directory ("..") or is absolute
// would have its converted copy written outside ConvertedDirectory.
bool StaysInsideItsDirectory(const std::string& name) {
  if (name.empty() || IsPathSeparator(name[0]) || name.find(':') != std::string::npos) return false;
  std::size_t start = 0;
  while (start <= name.size()) {
    std::size_t end = name.find(kPathSeparator, start);
    if (end == std::string::npos) end = name.size();
    if (name.compare(start, end - start, "..") == 0) return false;
    start = end + 1;
  }
  return true;
}

void ProjectConversion::ConvertSource(const std::string& fileName) {
  std::string name = fileName;
  for (char& c : name)
    if (c == '\\') c = kPathSeparator;
  if (!StaysInsideItsDirectory(name)) {
    ui_.ShowMessage("convertor: " + fileName +
                    ": a source outside the project directory is not converted");
    return;
  }
  state_.paramList.Set({JoinPath(projectDirectory_, name), JoinPath(convertedDirectory_, name)});
  options_.dllName = projectName_;
  driver_.RunConversion();
}

void ProjectConversion::AddDefinitions() {
  std::size_t count = text_.size();
  for (std::size_t i = 0; i < text_.size() && count > 0; ++i, --count) {
    std::string upper = UpperCase(text_[i]);
    if (!upper.starts_with("# ADD F90 ")) continue;
    std::string& line = text_[i];
    std::size_t at = upper.find(kDefinitionsMarker);
    std::string mark = state_.mainProgramMark;
    if (at != std::string::npos) {
      line.insert(at + kDefinitionsMarker.size(), mark + options_.ownMacros + "KVQ ");
    } else {
      std::string head = ("/define:\"" + mark).substr(0, 15);
      line.insert(10, head + options_.ownMacros + "KVQ\" ");
    }
    text_.insert(text_.begin() + static_cast<std::ptrdiff_t>(i) + 1, "# ADD CPP /nologo /c");
    ++i;  // the inserted line is no line of the project as it was
  }
}

RunOutcome ProjectConversion::Run(const std::string& shownProject, const std::string& project) {
  projectName_ = FileNamePart(ReplaceExtension(shownProject, ""));
  projectDirectory_ = DirectoryPart(project);
  state_.projectRun = true;
  state_.mainProgramMark.clear();
  options_.ownMacros.clear();
  options_.definedSymbols = "KVQ";

  convertedDirectory_ = JoinPath(projectDirectory_, "Converted_" + projectName_);
  ::mkdir(convertedDirectory_.c_str(), 0777);  // exists already, or the copies report it
  CopyHeaderFile();
  std::string base = JoinPath(convertedDirectory_, projectName_);
  RunOutcome outcome = RunOutcome::Abandoned;
  if (CopyProjectFile(ReplaceExtension(project, ".dsw"), base + ".dsw") &&
      CopyProjectFile(ReplaceExtension(project, ".dsp"), base + ".dsp")) {
    for (std::size_t i = 1; i < text_.size(); ++i) {
      RewriteTargetType(text_[i]);
      NoteDefinitions(text_[i]);
      if (IsSourceLine(text_[i]) || IsHandListedLibraryFile(text_[i])) HandleSourceLine(i);
    }
    AddDefinitions();
    if (WriteProjectLines(textPath_, text_)) {
      ui_.ShowMessage("The converted project \"" + projectName_ +
                      "\"\rYou can see in a directory\r" + convertedDirectory_ + kPathSeparator);
      outcome = RunOutcome::Converted;
    } else {
      ui_.ShowMessage("convertor: " + textPath_ + ": the project file could not be written");
    }
  }
  text_.clear();
  state_.projectRun = false;
  state_.paramList.Set({});
  state_.batchMode = false;
  return outcome;
}

}  // namespace

RunOutcome ConvertProject(ProgramState& state, UserInterface& ui, ConversionDriver& driver,
                          const StartCommand* command) {
  state.options.consoleMain = command && command->caption == "Console Application";
  std::string project, shown;
  if (command) {
    FileDialogRequest request{"KVQ :  Select Source Project",
                              "Fortran Project(*.dsp;*.dsw)|*.dsp;*.dsw", ".", ""};
    std::optional<std::string> chosen = ui.OpenFileDialog(request);
    if (!chosen) return RunOutcome::Cancelled;
    project = *chosen;
    shown = *chosen;
  } else {
    project = state.paramList.Original(0);
    shown = state.paramList[0];
  }
  ProjectConversion conversion(state, ui, driver);
  return conversion.Run(shown, project);
}

}  // namespace kvq
