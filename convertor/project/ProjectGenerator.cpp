#include "project/ProjectGenerator.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>
#include <vector>

#include "OutputConflicts.h"
#include "PathLookup.h"
#include "ProcessLauncher.h"
#include "RegularFile.h"
#include "StagedFile.h"
#include "engine/TextUtilities.h"
#include "project/ProjectNames.h"
#include "project/ProjectText.h"

namespace kvq {

namespace {

constexpr std::size_t kMaxNameLength = 18;
constexpr std::size_t kMaxListWords = 999;
constexpr std::size_t kBlockSize = 10000;
constexpr std::string_view kMarker = "ETALONETALONETALON";
constexpr std::string_view kTemplateName = "ETALON.PRJ";
constexpr std::string_view kUsage = "Usage: Tarvik <Project Name> [<ext dll>]";
// Bounds on what is read: a name list of 999 names of 18 characters is far
// smaller, and so is any prepared console program.
constexpr std::size_t kMaxNameListBytes = std::size_t{1} << 20;
constexpr std::size_t kMaxConsoleProgramBytes = std::size_t{64} << 20;

void LogLine(RunObserver& observer, const std::string& text) {
  observer.AddReportLine("! ***  " + text);
}

// A word of the name list that begins with "." switches the extension.
bool IsExtensionSwitch(const std::string& word) {
  return !word.empty() && word[0] == '.';
}

enum class Mode { Full, LibraryOnly, ConsoleOnly };

// A file the generation writes, held until every one is complete: all are
// checked and written out before any replaces a file.
struct GeneratedFile {
  std::string name;
  std::string bytes;
};

struct Generation {
  std::string projectName;
  std::vector<std::string> sourceNames;
  std::string extraDlls, extraLibs;
  std::string fileVersion, productVersion;
  Mode mode = Mode::Full;
  // The extension of Fortran source names, changed by the extension
  // switches of the name list.
  std::string sourceExtension = "for";
};

void ApplyExtensionSwitch(Generation& generation, const std::string& word) {
  generation.sourceExtension = word.substr(1, 3);
}

class Generator {
 public:
  Generator(const GenerationRequest& request, UserInterface& ui, RunObserver& observer)
      : request_(request), ui_(ui), observer_(observer) {}
  bool Run(const std::string* outputPath);

 private:
  bool TakeProjectName(const std::string* outputPath);
  bool ReadNameList(const std::string& file, std::string& name);
  bool CheckNameList(const std::vector<std::string>& words);
  bool TakeExtraArguments();
  bool WriteTemplateFiles();
  void SubstituteLine(std::string& line);
  void OpenSection(const std::string& line);
  void CloseSection();
  void WriteLine(const std::string& line);
  bool WriteTestProgram();
  bool AppendTestProject();
  GeneratedFile* Generated(const std::string& name);
  bool CommitFiles();
  void RemoveTestOptions();
  void StartWorkspace();

  const GenerationRequest& request_;
  UserInterface& ui_;
  RunObserver& observer_;
  Generation g_;
  std::vector<GeneratedFile> files_;
  // The files read, which no generated file may replace.
  std::vector<RunFile> inputs_;
  // Reported once the files are in place.
  std::vector<std::string> report_;
  // Template pass.
  std::string outputName_ = "?";
  std::optional<std::size_t> output_;  // the section being written, in files_
  std::optional<std::string> heldLine_;
  bool inTargetFile_ = false;
  bool lineSubstituted_ = false;
};

// file: the name as given, for opening; the message shows it upper-cased
// like every name of the argument list.
bool Generator::ReadNameList(const std::string& file, std::string& name) {
  std::string path = ResolvePath(file);
  std::optional<std::string> bytes = ReadRegularFile(path, kMaxNameListBytes);
  if (!bytes) {
    ui_.ShowMessage("Cannot open ProjectNameList file " + UpperCase(file));
    if (errno == EINVAL || errno == EFBIG)
      ui_.ShowMessage("convertor: " + file + ": " + ReadProblemText(errno));
    return false;
  }
  inputs_.push_back({path, file, "the name list"});
  std::vector<std::string> words;
  std::string word;
  bool tooLong = false;
  auto finishWord = [&] {
    if (word.empty()) return;
    words.push_back(word);
    tooLong = word.size() > kMaxNameLength || words.size() > kMaxListWords;
    word.clear();
  };
  for (std::size_t i = 0; !tooLong && i < bytes->size(); ++i) {
    char c = (*bytes)[i];
    if (static_cast<unsigned char>(c) <= 32)
      finishWord();
    else
      word.push_back(c);
  }
  if (!tooLong) finishWord();
  if (tooLong) {
    ui_.ShowMessage(words.back() + " - too long name or too many names in list !");
    return false;
  }
  if (!CheckNameList(words)) return false;
  std::size_t next = 0;
  if (next < words.size() && IsExtensionSwitch(words[next]))
    ApplyExtensionSwitch(g_, words[next++]);
  name = next < words.size() ? words[next++] : std::string();
  g_.sourceNames.assign(words.begin() + static_cast<std::ptrdiff_t>(next), words.end());
  return true;
}

// Names of the list go into file names and generated project files.
bool Generator::CheckNameList(const std::vector<std::string>& words) {
  for (const std::string& word : words) {
    if (IsExtensionSwitch(word) ? IsExtensionSwitchText(word) : IsPlainName(word)) continue;
    ui_.ShowMessage("convertor: " + word +
                    ": a name list holds only plain names (letters, digits, _ and -) and extension "
                    "switches (.f90)");
    return false;
  }
  return true;
}

bool Generator::TakeProjectName(const std::string* outputPath) {
  const ParamList& params = request_.arguments;
  std::string name;
  std::string original;
  if (outputPath) {
    name = UpperCase(FileNamePart(ReplaceExtension(*outputPath, "")));
  } else if (params.size() > 1) {
    name = params[1];
    original = params.Original(1);
  }
  if (name.empty()) {
    ui_.ShowMessage(std::string(kUsage));
    return false;
  }
  if (name[0] == '@') {
    std::string file = (original.empty() ? name : original).substr(1);
    if (!ReadNameList(file, name)) return false;
    if (name.empty()) {
      ui_.ShowMessage(std::string(kUsage));
      return false;
    }
  }
  name = UpperCase(name);
  if (name.size() > kMaxNameLength) {
    ui_.ShowMessage("Project Name cannot be longer than 18 chars!");
    return false;
  }
  // The name makes file names and goes into batch files and scripts.
  if (!IsPlainName(name)) {
    ui_.ShowMessage("convertor: " + name + ": a project name holds only letters, digits, _ and -");
    return false;
  }
  g_.projectName = name;
  return true;
}

bool Generator::TakeExtraArguments() {
  const ParamList& params = request_.arguments;
  for (std::size_t i = 2; i < params.size(); ++i) {
    const std::string& entry = params[i];
    if (std::size_t equals = entry.find('='); params.IsSetting(i)) {
      std::string version = entry.substr(equals + 1);
      if (version.empty()) continue;
      // A version stands inside the strings of resource scripts.
      if (!IsVersionText(version)) {
        ui_.ShowMessage("convertor: " + params.Original(i) +
                        ": a version holds only letters, digits, dots, commas and blanks");
        return false;
      }
      (entry[0] == 'P' ? g_.productVersion : g_.fileVersion) = version;
      continue;
    }
    if (entry != "-" && !IsPlainName(entry)) {
      ui_.ShowMessage("convertor: " + params.Original(i) +
                      ": a library name holds only letters, digits, _ and -");
      return false;
    }
    if (!g_.extraDlls.empty()) {
      g_.extraDlls += " ";
      g_.extraLibs += " ";
    }
    g_.extraDlls += entry;
    g_.extraLibs += entry + ".lib";
  }
  if (g_.fileVersion.empty()) g_.fileVersion = "3.1.0.99";
  if (g_.productVersion.empty()) g_.productVersion = "2.0.0.0";
  if (g_.extraDlls == "console" || g_.extraDlls == "CONSOLE") {
    g_.mode = Mode::ConsoleOnly;
    g_.extraDlls.clear();
    g_.extraLibs.clear();
  } else if (g_.extraDlls == "-") {
    g_.mode = Mode::LibraryOnly;
  }
  return true;
}

void ReplaceFirst(std::string& line, std::string_view from, const std::string& to) {
  std::size_t at = line.find(from);
  if (at != std::string::npos) line.replace(at, from.size(), to);
}

void Generator::SubstituteLine(std::string& line) {
  // The extension of the project's Fortran sources.
  if (std::size_t at = line.find("DLLNAM.for"); at != std::string::npos) {
    const std::string& extension = g_.sourceExtension;
    if (extension.size() >= 3)
      line.replace(at + 8, 2, extension.substr(1, 2));
    else
      line.replace(at + 7, 3, extension);
  }
  if (line.size() >= 13 && line.compare(1, 12, "file:DLLNAM.") == 0) {
    std::string kind = line.substr(13, 3);
    inTargetFile_ = kind == "WPJ" || kind == "TGT";
  }
  std::size_t from = 0;
  for (;;) {
    ReplaceFirst(line, "DLLFILEVERSION", g_.fileVersion);
    ReplaceFirst(line, "DLLPRODUCTVERSION", g_.productVersion);
    std::size_t at = line.find("DLLNAM", from);
    if (at == std::string::npos) break;
    line.replace(at, 6, g_.projectName);
    from = at + g_.projectName.size();  // inserted text is not searched again
    lineSubstituted_ = true;
    if (g_.mode == Mode::LibraryOnly) {
      std::size_t killer = line.find("SelfKiller");
      if (killer != std::string::npos) {
        line.resize(killer == 0 ? 0 : killer - 1);
        from = std::min(from, line.size());
      }
    }
  }
  if (std::size_t at = line.find("EXTLIB"); at != std::string::npos) {
    line.erase(at, 6);
    lineSubstituted_ = true;
    if (!g_.extraDlls.empty() && g_.extraDlls != "-")
      line.insert(at, inTargetFile_ ? g_.extraDlls : g_.extraLibs);
    if (!line.empty() && line.back() == ',') line.pop_back();
  }
}

void Generator::WriteLine(const std::string& line) {
  if (!output_) return;
  files_[*output_].bytes.append(line).append("\r\n");
}

void Generator::CloseSection() {
  if (output_) {
    WriteLine(heldLine_.value_or(""));
    output_.reset();
    report_.push_back("file  " + outputName_ + "   created.");
  }
  heldLine_.reset();
  inTargetFile_ = false;
  outputName_ = "?";
}

void Generator::OpenSection(const std::string& line) {
  // A section that is still open ends here as if its end line had come.
  bool targetFile = inTargetFile_;
  if (output_) CloseSection();
  inTargetFile_ = targetFile;
  heldLine_.reset();
  std::string name;
  for (char c :
       line.substr(6, line.find('#') == std::string::npos ? std::string::npos : line.find('#') - 6))
    if (c != ' ') name.push_back(c);
  bool test = name.starts_with("TEST");
  bool resourceScript =
      line.find(".rc") != std::string::npos || line.find(".RC") != std::string::npos;
  if (g_.mode == Mode::LibraryOnly && test) name = "?";
  if (g_.mode == Mode::ConsoleOnly && !test && !resourceScript) name = "?";
  outputName_ = name;
  if (name == "?" || name.empty()) {
    outputName_ = "?";
    return;
  }
  if (HasDirectoryPart(name) || name.find("..") != std::string::npos) {
    report_.push_back("file  " + name +
                      "   not written: a template writes only into its own directory.");
    outputName_ = "?";
    return;
  }
  files_.push_back({name, {}});
  output_ = files_.size() - 1;
}

bool Generator::WriteTemplateFiles() {
  std::string path = ResolvePath(std::string(kTemplateName));
  std::optional<ProjectLines> lines = ReadProjectLines(path);
  if (!lines) {
    int error = errno;
    ui_.ShowMessage("No template for Project!");
    if (error == EINVAL || error == EFBIG)
      ui_.ShowMessage("convertor: " + std::string(kTemplateName) + ": " + ReadProblemText(error));
    return false;
  }
  inputs_.push_back({path, std::string(kTemplateName), "the template"});
  for (std::string line : *lines) {
    lineSubstituted_ = false;
    SubstituteLine(line);
    if (line.starts_with("# End Target") && output_) {
      for (const std::string& source : g_.sourceNames) {
        if (IsExtensionSwitch(source)) {
          ApplyExtensionSwitch(g_, source);
          continue;
        }
        WriteLine("# Begin Source File");
        WriteLine("SOURCE=.\\" + source + "." + g_.sourceExtension);
        WriteLine("# End Source File");
      }
    }
    if (line.starts_with("<file:")) {
      OpenSection(line);
    } else if (line.starts_with(">file:")) {
      CloseSection();
    } else {
      // A WatCom length line before a substituted line gets its new length.
      if (lineSubstituted_ && inTargetFile_ && heldLine_ &&
          (heldLine_->size() == 1 || heldLine_->size() == 2))
        heldLine_ = std::to_string(line.size());
      if (heldLine_ && !heldLine_->empty()) WriteLine(*heldLine_);
      heldLine_ = line;
    }
  }
  if (output_) CloseSection();  // a section left open at the end is closed
  return true;
}

bool Generator::WriteTestProgram() {
  std::string exe = g_.projectName + ".exe";
  std::string path = ResolvePath("console.exe");
  std::optional<std::string> program = ReadRegularFile(path, kMaxConsoleProgramBytes);
  if (!program) {
    ui_.ShowMessage("convertor: console.exe: cannot be opened (" + ReadProblemText(errno) + ")");
    return false;
  }
  inputs_.push_back({path, "console.exe", "the prepared console program"});
  // The marker is looked for block by block, as the blocks are copied.
  std::string patched;
  patched.reserve(program->size());
  for (std::size_t at = 0; at < program->size(); at += kBlockSize) {
    std::string block = program->substr(at, kBlockSize);
    PatchConsoleBlock(block, g_.projectName);
    patched += block;
  }
  files_.push_back({exe, std::move(patched)});
  report_.push_back("Console Application " + g_.projectName + ".exe   created.");
  report_.push_back("It uses " + g_.projectName + ".DLL");
  return true;
}

GeneratedFile* Generator::Generated(const std::string& name) {
  for (GeneratedFile& file : files_)
    if (UpperCase(file.name) == UpperCase(name)) return &file;
  return nullptr;
}

// The project file, as generated in this run or as found, completes the
// test project from its first source entry on.
bool Generator::AppendTestProject() {
  std::string projectName = g_.projectName + ".dsp";
  std::optional<ProjectLines> project;
  if (const GeneratedFile* generated = Generated(projectName)) {
    project = SplitProjectLines(generated->bytes);
  } else {
    std::string path = ResolvePath(projectName);
    project = ReadProjectLines(path);
    if (!project) return false;
    inputs_.push_back({path, projectName, "the project file"});
  }
  GeneratedFile* test = Generated("TEST.dsp");
  if (!test) {
    std::string path = ResolvePath("TEST.dsp");
    std::optional<std::string> old = ReadRegularFile(path, kMaxProjectFileBytes);
    if (!old && errno != ENOENT) return false;
    files_.push_back({PathExists(path) ? path : std::string("TEST.dsp"), old.value_or("")});
    test = &files_.back();
  }
  auto first = std::find_if(project->begin(), project->end(), [](const std::string& line) {
    return line.starts_with("# Begin Source");
  });
  test->bytes += JoinProjectLines(ProjectLines(first, project->end()));
  report_.push_back("Project \"Test\" for Console debugging completely created.");
  return true;
}

// Every generated file is checked against the files read and against the
// others, and written out beside its name, before any replaces a file.
bool Generator::CommitFiles() {
  std::vector<RunFile> outputs;
  for (const GeneratedFile& file : files_) outputs.push_back({file.name, file.name, "a file"});
  if (std::string conflict = FindOutputConflict(outputs, inputs_); !conflict.empty()) {
    ui_.ShowMessage("convertor: " + conflict);
    return false;
  }
  std::vector<StagedFile> staged(files_.size());
  for (std::size_t i = 0; i < files_.size(); ++i) {
    // A link in the folder is replaced, never the file it points to.
    bool ok = staged[i].Create(files_[i].name, LinkPolicy::ReplaceLink);
    if (ok) staged[i].Write(files_[i].bytes);
    if (!ok || !staged[i].Seal()) {
      ui_.ShowMessage("convertor: " + files_[i].name + ": cannot be written (" +
                      std::strerror(errno) + "); no file of the project was written");
      return false;
    }
  }
  for (std::size_t i = 0; i < files_.size(); ++i) {
    if (!staged[i].Commit()) {
      ui_.ShowMessage("convertor: " + files_[i].name + ": cannot be written (" +
                      std::strerror(errno) + ")");
      return false;
    }
  }
  for (const std::string& line : report_) LogLine(observer_, line);
  report_.clear();
  return true;
}

// The test project's options file belongs to the old test project; it
// goes, and the report says so.
void Generator::RemoveTestOptions() {
  std::string path = ResolvePath("test.opt");
  if (!IsExistingFile(path) || ::unlink(path.c_str()) != 0) return;
  LogLine(observer_, "file  " + FileNamePart(path) + "   deleted.");
}

void Generator::StartWorkspace() {
  std::string parameters = "/max " + g_.projectName + ".dsw";
  StartResult start = StartProgram("start.exe", parameters, "");
  if (!start.started) {
    std::string message = "Ошибка " + std::to_string(start.errorCode) + "  при попытке\r" +
                          "выполнить  start.exe  " + parameters;
    char cwd[4096];
    if (::getcwd(cwd, sizeof cwd) && std::strlen(cwd) > 20)
      message += "\rА не длинноваты ли пути к файлам?";
    ui_.ShowMessage(message);
  }
}

bool Generator::Run(const std::string* outputPath) {
  if (!TakeProjectName(outputPath) || !TakeExtraArguments() || !WriteTemplateFiles()) return false;
  if (g_.mode == Mode::LibraryOnly) return CommitFiles();
  // Without the test program the files of the template are still written.
  if (!WriteTestProgram()) {
    CommitFiles();
    return false;
  }
  bool testProject = AppendTestProject();
  if (!CommitFiles()) return false;
  RemoveTestOptions();
  if (testProject) StartWorkspace();
  return true;
}

}  // namespace

void PatchConsoleBlock(std::string& block, const std::string& projectName) {
  std::size_t i = 0;
  while (i + kMarker.size() <= block.size()) {
    bool match = true;
    for (std::size_t k = 0; k < kMarker.size() && match; ++k) {
      char c = block[i + k];
      if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
      match = c == kMarker[k];
    }
    if (!match) {
      ++i;
      continue;
    }
    // The text after the marker, up to and including its zero byte (or the
    // block's end), moves to follow the name directly.
    std::size_t tailStart = i + kMarker.size();
    std::size_t zero = block.find('\0', tailStart);
    std::size_t tailEnd = zero == std::string::npos ? block.size() : zero + 1;
    std::string tail = block.substr(tailStart, tailEnd - tailStart);
    std::fill(block.begin() + static_cast<std::ptrdiff_t>(i),
              block.begin() + static_cast<std::ptrdiff_t>(tailEnd), '\0');
    block.replace(i, projectName.size(), projectName);
    block.replace(i + projectName.size(), tail.size(), tail);
    i += projectName.size() + tail.size();
  }
}

RunOutcome GenerateProject(const GenerationRequest& request, UserInterface& ui,
                           RunObserver& observer) {
  Generator generator(request, ui, observer);
  const std::string* outputPath = request.outputPath ? &*request.outputPath : nullptr;
  return generator.Run(outputPath) ? RunOutcome::Converted : RunOutcome::Abandoned;
}

}  // namespace kvq
