#include "project/ProjectConversion.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "OutputConflicts.h"
#include "PathLookup.h"
#include "RegularFile.h"
#include "StagedFile.h"
#include "driver/ConversionRun.h"
#include "engine/TextUtilities.h"
#include "project/ProjectText.h"

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
// The defined symbols of a /DEFINE: option are taken up to this length.
constexpr std::size_t kSymbolsLimit = 255;
// The definitions inserted where a project line has none: "/define:\"" and
// the main-program mark, cut to this length.
constexpr std::size_t kDefineHeadLength = 15;
// "SOURCE=.\": the file name of a source line starts after it.
constexpr std::size_t kSourcePrefixLength = 9;
// "SOURCE=": a quote after it is dropped, and "." inserted there makes a
// name refer to the project directory.
constexpr std::size_t kSourceKeyLength = 7;

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
  ProjectConversion(const ProjectRequest& request, CarryOver& carry, UserInterface& ui,
                    RunObserver& observer, const ProjectGeneration& generate)
      : carry_(carry), ui_(ui), observer_(observer, report_.diagnostics), generate_(generate) {
    settings_ = request.settings;
    settings_.conversionMode = request.mode;
    settings_.consoleMain = request.mode == ConversionMode::ConsoleApplication;
  }

  RunReport Run(const std::string& shownProject, const std::string& project);

 private:
  bool CopyProjectFile(const std::string& source, const std::string& destination, bool writeCopy);
  bool Stage(const std::string& path, const std::string& bytes);
  bool CommitStaged();
  void CopyHeaderFile();
  void RewriteTargetType(std::string& line) const;
  void RewriteAsConsoleProgram(std::string& line) const;
  void RewriteAsLibrary(std::string& line) const;
  void NoteDefinitions(const std::string& line);
  void HandleSourceLine(std::size_t& index);
  bool ConvertSource(const std::string& fileName);
  bool HasOnlyRealDirectories(const std::string& name) const;
  void ReportEnd();
  void AddDefinitions();

  RunReport report_;
  CarryOver& carry_;
  UserInterface& ui_;
  RecordingObserver observer_;
  const ProjectGeneration& generate_;
  // The settings of the project's jobs; the definitions follow the .dsp.
  ConversionSettings settings_;
  bool mainProgramConverted_ = false;
  ProjectLines text_;
  std::string textPath_;
  std::string projectName_;
  std::string projectDirectory_;    // as the file system has it
  std::string convertedDirectory_;  // project directory + "/Converted_" + name
  bool librarySourcesInserted_ = false;
  // The Fortran sources of the project, and those left unconverted.
  int fortranSources_ = 0;
  std::vector<std::string> unconverted_;
  // The files written out and waiting to be put in place together.
  std::vector<StagedFile> staged_;
  bool writeFailed_ = false;
  // What the conversion read (project files, sources, INCLUDE files): none
  // of its outputs may replace one of them.
  std::vector<RunFile> inputs_;
};

// The copy is written out now and put in place with the project's other
// files at the end; the project file itself only in its rewritten form.
bool ProjectConversion::CopyProjectFile(const std::string& source, const std::string& destination,
                                        bool writeCopy) {
  std::string path = ResolvePath(source);
  std::optional<ProjectLines> lines = ReadProjectLines(path);
  if (!lines) {
    int error = errno;
    ui_.ShowMessage("Cannot find file " + source);
    if (error == EINVAL || error == EFBIG)
      ui_.ShowMessage("convertor: " + source + ": " + ReadProblemText(error));
    text_.clear();
    return false;
  }
  inputs_.push_back({path, source, "a file the project conversion read"});
  if (writeCopy && !Stage(destination, JoinProjectLines(*lines))) {
    text_.clear();
    return false;
  }
  text_ = std::move(*lines);
  textPath_ = destination;
  return true;
}

// The folder is the converter's: a link planted there is replaced.
bool ProjectConversion::Stage(const std::string& path, const std::string& bytes) {
  StagedFile file;
  bool ok = file.Create(path, LinkPolicy::ReplaceLink);
  if (ok) file.Write(bytes);
  if (!ok || !file.Seal()) {
    ui_.ShowMessage("convertor: " + path + ": cannot be written (" + std::strerror(errno) + ")");
    writeFailed_ = true;
    return false;
  }
  staged_.push_back(std::move(file));
  return true;
}

// Every file of the project is put in place together, or none when one
// could not be written out.
// A converted copy may not replace a file another source's run read (a
// source listed in Converted_<name>), nor two entries the same copy.
bool ProjectConversion::CommitStaged() {
  if (writeFailed_) {
    staged_.clear();
    ui_.ShowMessage("convertor: " + projectName_ + ": no file in " + convertedDirectory_ +
                    kPathSeparator + " was replaced, since not all could be written");
    return false;
  }
  std::vector<RunFile> outputs;
  for (const StagedFile& file : staged_)
    outputs.push_back({file.Target(), file.Target(), "a file"});
  if (std::string conflict = FindOutputConflict(outputs, inputs_); !conflict.empty()) {
    staged_.clear();
    ui_.ShowMessage("convertor: " + conflict);
    return false;
  }
  bool ok = true;
  for (StagedFile& file : staged_) {
    if (file.Commit()) continue;
    ui_.ShowMessage("convertor: " + file.Target() + ": cannot be written (" + std::strerror(errno) +
                    ")");
    ok = false;
  }
  staged_.clear();
  return ok;
}

void ProjectConversion::CopyHeaderFile() {
  std::string header = JoinPath(convertedDirectory_, "Resource.h");
  if (PathExists(ResolvePath(header))) return;
  if (CopyProjectFile(JoinPath(projectDirectory_, "Resource.h"), header, true)) return;
  if (CopyProjectFile(JoinPath(projectDirectory_, "Resource.zul"), header, true)) return;
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
  if (settings_.consoleMain)
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
  settings_.definedSymbols = "KVQ " + symbols;
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
  if (upper.size() > kSourceKeyLength && upper[kSourceKeyLength] == '"') {
    line = upper.substr(0, kSourceKeyLength) + upper.substr(kSourceKeyLength + 1);
    line.pop_back();
  }
  std::string fileName =
      line.size() > kSourcePrefixLength ? line.substr(kSourcePrefixLength) : std::string();
  std::string extension = UpperCase(FileNamePart(fileName));
  std::size_t dot = extension.rfind('.');
  extension = dot == std::string::npos ? std::string() : extension.substr(dot);
  if (extension != ".F" && extension != ".FOR" && extension != ".F90") {
    line.insert(kSourceKeyLength, ".");  // refers to the file in the project directory
    return;
  }
  ++fortranSources_;
  if (!ConvertSource(fileName)) unconverted_.push_back(fileName);
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

// The folders between ConvertedDirectory and a converted copy: a link
// among them would take the copy outside the project.
bool ProjectConversion::HasOnlyRealDirectories(const std::string& name) const {
  std::string directory = convertedDirectory_;
  std::string rest = DirectoryPart(name);
  while (!rest.empty()) {
    std::size_t end = rest.find(kPathSeparator);
    directory = JoinPath(directory, rest.substr(0, end));
    rest = end == std::string::npos ? std::string() : rest.substr(end + 1);
    struct stat info;
    if (::lstat(ResolvePath(directory).c_str(), &info) == 0 && !S_ISDIR(info.st_mode)) return false;
  }
  return true;
}

bool ProjectConversion::ConvertSource(const std::string& fileName) {
  std::string name = fileName;
  for (char& c : name)
    if (c == '\\') c = kPathSeparator;
  if (!StaysInsideItsDirectory(name)) {
    ui_.ShowMessage("convertor: " + fileName +
                    ": a source outside the project directory is not converted");
    return false;
  }
  if (!HasOnlyRealDirectories(name)) {
    ui_.ShowMessage("convertor: " + fileName +
                    ": a folder of its converted copy is a link; the source is not converted");
    return false;
  }
  ConversionRequest request;
  request.mode = settings_.conversionMode;
  request.settings = settings_;
  request.settings.dllName = projectName_;
  request.files = {JoinPath(projectDirectory_, name), JoinPath(convertedDirectory_, name)};
  ConversionJob job;
  std::string message;
  observer_.ClearLists();
  if (!JobFromRequest(request, job, message)) {
    ui_.ShowMessage(message);
    return false;
  }
  job.projectRun = true;
  job.acceptLineFeedsHint = ui_.HowToAcceptLineFeeds();
  job.destinationLinks = LinkPolicy::ReplaceLink;
  job.keepDestinationStaged = true;
  job.freeForm = IsFreeFormName(job.shownSource) || IsFreeFormName(job.shownDestination);
  job.companionPath = ReplaceExtension(job.source, ".WatCom");
  ui_.SetBusyCursor(true);
  RunResult result = RunConversionJob(job, carry_, observer_);
  ui_.SetBusyCursor(false);
  if (!result.message.empty()) ui_.ShowMessage(result.message);
  for (const Diagnostic& followUp : result.followUp) observer_.Report(followUp);
  writeFailed_ = writeFailed_ || result.writeFailed;
  inputs_.push_back({job.source, job.shownSource, "a source of the project"});
  for (const std::string& include : result.includedFiles)
    inputs_.push_back({include, include, "an INCLUDE file of the project"});
  if (result.outcome != RunOutcome::Converted) return false;
  staged_.push_back(std::move(result.destination));
  if (result.companion.IsOpen()) staged_.push_back(std::move(result.companion));
  mainProgramConverted_ = mainProgramConverted_ || result.mainProgramConverted;
  if (job.settings.createProject) {
    if (generate_) generate_(job.destination);
    observer_.ScrollListsToEnd();
  }
  observer_.SetStatusLine(RunStatusLine(job.shownSource, result.inputLines, result.outputLines,
                                        std::string(kReadyMessage)));
  return true;
}

// One pass that builds the new text: inserting into the old one at each
// "# ADD F90" line would move every later line each time.
void ProjectConversion::AddDefinitions() {
  // "PIVOT " marks a project whose sources hold a main program.
  std::string mark = mainProgramConverted_ ? "PIVOT " : "";
  ProjectLines text;
  text.reserve(text_.size() + text_.size() / 4);
  for (std::string& line : text_) {
    std::string upper = UpperCase(line);
    if (!upper.starts_with("# ADD F90 ")) {
      text.push_back(std::move(line));
      continue;
    }
    std::size_t at = upper.find(kDefinitionsMarker);
    if (at != std::string::npos) {
      line.insert(at + kDefinitionsMarker.size(), mark + carry_.ownMacros + "KVQ ");
    } else {
      std::string head = ("/define:\"" + mark).substr(0, kDefineHeadLength);
      line.insert(std::string_view("# ADD F90 ").size(), head + carry_.ownMacros + "KVQ\" ");
    }
    text.push_back(std::move(line));
    text.push_back("# ADD CPP /nologo /c");
  }
  text_ = std::move(text);
}

// Says whether every Fortran source was converted: a project with a source
// left unconverted is no converted project.
void ProjectConversion::ReportEnd() {
  if (unconverted_.empty()) {
    ui_.ShowMessage("The converted project \"" + projectName_ + "\"\rYou can see in a directory\r" +
                    convertedDirectory_ + kPathSeparator);
    return;
  }
  std::string names;
  for (const std::string& name : unconverted_) names += (names.empty() ? "" : ", ") + name;
  ui_.ShowMessage("convertor: " + projectName_ + ": " + std::to_string(unconverted_.size()) +
                  " of " + std::to_string(fortranSources_) + " Fortran sources not converted (" +
                  names + "); the project in " + convertedDirectory_ + kPathSeparator +
                  " is incomplete");
}

RunReport ProjectConversion::Run(const std::string& shownProject, const std::string& project) {
  projectName_ = FileNamePart(ReplaceExtension(shownProject, ""));
  projectDirectory_ = DirectoryPart(project);
  carry_.ownMacros.clear();
  settings_.definedSymbols = "KVQ";

  convertedDirectory_ = JoinPath(projectDirectory_, "Converted_" + projectName_);
  ::mkdir(convertedDirectory_.c_str(), 0777);  // exists already, or the copies report it
  // Everything is written into this folder: a link there would take it
  // elsewhere.
  struct stat info;
  if (::lstat(convertedDirectory_.c_str(), &info) == 0 && !S_ISDIR(info.st_mode)) {
    ui_.ShowMessage("convertor: " + convertedDirectory_ +
                    ": is no directory (a link or a file); nothing was converted");
    return report_;
  }
  CopyHeaderFile();
  std::string base = JoinPath(convertedDirectory_, projectName_);
  RunOutcome outcome = RunOutcome::Abandoned;
  if (CopyProjectFile(ReplaceExtension(project, ".dsw"), base + ".dsw", true) &&
      CopyProjectFile(ReplaceExtension(project, ".dsp"), base + ".dsp", false)) {
    for (std::size_t i = 1; i < text_.size(); ++i) {
      RewriteTargetType(text_[i]);
      NoteDefinitions(text_[i]);
      if (IsSourceLine(text_[i]) || IsHandListedLibraryFile(text_[i])) HandleSourceLine(i);
    }
    AddDefinitions();
    Stage(textPath_, JoinProjectLines(text_));
    if (CommitStaged()) {
      ReportEnd();
      outcome = unconverted_.empty() ? RunOutcome::Converted : RunOutcome::Abandoned;
    }
  } else {
    CommitStaged();  // files copied before the failure stay
  }
  text_.clear();
  // The front end keeps what the project set, as after the menu command.
  report_.outcome = outcome;
  report_.dllName = projectName_;
  report_.definedSymbols = settings_.definedSymbols;
  report_.consoleMain = settings_.consoleMain;
  return report_;
}

}  // namespace

RunReport ConvertProject(const ProjectRequest& request, CarryOver& carry, UserInterface& ui,
                         RunObserver& observer, const ProjectGeneration& generate) {
  ProjectConversion conversion(request, carry, ui, observer, generate);
  return conversion.Run(request.shownProject, request.project);
}

}  // namespace kvq
