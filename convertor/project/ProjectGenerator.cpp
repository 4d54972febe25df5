#include "project/ProjectGenerator.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>
#include <vector>

#include "PathLookup.h"
#include "ProcessLauncher.h"
#include "engine/TextUtilities.h"
#include "project/ProjectText.h"

namespace kvq {

namespace {

constexpr std::size_t kMaxNameLength = 18;
constexpr std::size_t kMaxListWords = 999;
constexpr std::size_t kBlockSize = 10000;
constexpr std::string_view kMarker = "ETALONETALONETALON";
constexpr std::string_view kTemplateName = "ETALON.PRJ";
constexpr std::string_view kUsage = "Usage: Tarvik <Project Name> [<ext dll>]";

void LogLine(RunObserver& observer, const std::string& text) {
  observer.AddReportLine("! ***  " + text);
}

// A word of the name list that begins with "." switches the extension.
bool IsExtensionSwitch(const std::string& word) {
  return !word.empty() && word[0] == '.';
}
void ApplyExtensionSwitch(ProgramState& state, const std::string& word) {
  state.sourceExtension = word.substr(1, 3);
}

enum class Mode { Full, LibraryOnly, ConsoleOnly };

struct Generation {
  std::string projectName;
  std::vector<std::string> sourceNames;
  std::string extraDlls, extraLibs;
  std::string fileVersion, productVersion;
  Mode mode = Mode::Full;
};

class Generator {
 public:
  Generator(ProgramState& state, UserInterface& ui, RunObserver& observer)
      : state_(state), ui_(ui), observer_(observer) {}
  bool Run(const std::string* outputPath);

 private:
  bool TakeProjectName(const std::string* outputPath);
  bool ReadNameList(const std::string& file, std::string& name);
  void TakeExtraArguments();
  bool WriteTemplateFiles();
  void SubstituteLine(std::string& line);
  void OpenSection(const std::string& line);
  void CloseSection();
  void WriteLine(const std::string& line);
  bool WriteTestProgram();
  void AppendTestProject();

  ProgramState& state_;
  UserInterface& ui_;
  RunObserver& observer_;
  Generation g_;
  // Template pass.
  std::string outputName_ = "?";
  std::FILE* output_ = nullptr;
  std::optional<std::string> heldLine_;
  bool inTargetFile_ = false;
  bool lineSubstituted_ = false;
};

// file: the name as given, for opening; the message shows it upper-cased
// like every name of the argument list.
bool Generator::ReadNameList(const std::string& file, std::string& name) {
  std::FILE* list = std::fopen(ResolvePath(file).c_str(), "rb");
  if (!list) {
    ui_.ShowMessage("Cannot open ProjectNameList file " + UpperCase(file));
    return false;
  }
  std::vector<std::string> words;
  std::string word;
  bool tooLong = false;
  auto finishWord = [&] {
    if (word.empty()) return;
    words.push_back(word);
    tooLong = word.size() > kMaxNameLength || words.size() > kMaxListWords;
    word.clear();
  };
  for (int c; !tooLong && (c = std::fgetc(list)) != EOF;) {
    if (static_cast<unsigned char>(c) <= 32)
      finishWord();
    else
      word.push_back(static_cast<char>(c));
  }
  if (!tooLong) finishWord();
  std::fclose(list);
  if (tooLong) {
    ui_.ShowMessage(words.back() + " - too long name or too many names in list !");
    return false;
  }
  std::size_t next = 0;
  if (next < words.size() && IsExtensionSwitch(words[next]))
    ApplyExtensionSwitch(state_, words[next++]);
  name = next < words.size() ? words[next++] : std::string();
  g_.sourceNames.assign(words.begin() + static_cast<std::ptrdiff_t>(next), words.end());
  return true;
}

bool Generator::TakeProjectName(const std::string* outputPath) {
  const ParamList& params = state_.paramList;
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
  g_.projectName = name;
  return true;
}

void Generator::TakeExtraArguments() {
  const ParamList& params = state_.paramList;
  for (std::size_t i = 2; i < params.size(); ++i) {
    const std::string& entry = params[i];
    if (std::size_t equals = entry.find('='); equals != std::string::npos) {
      std::string version = entry.substr(equals + 1);
      if (version.empty()) continue;
      (entry[0] == 'P' ? g_.productVersion : g_.fileVersion) = version;
      continue;
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
}

void ReplaceFirst(std::string& line, std::string_view from, const std::string& to) {
  std::size_t at = line.find(from);
  if (at != std::string::npos) line.replace(at, from.size(), to);
}

void Generator::SubstituteLine(std::string& line) {
  // The extension of the project's Fortran sources.
  if (std::size_t at = line.find("DLLNAM.for"); at != std::string::npos) {
    const std::string& extension = state_.sourceExtension;
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
  std::fwrite(line.data(), 1, line.size(), output_);
  std::fputs("\r\n", output_);
}

void Generator::CloseSection() {
  if (output_) {
    WriteLine(heldLine_.value_or(""));
    std::fclose(output_);
    output_ = nullptr;
    LogLine(observer_, "file  " + outputName_ + "   created.");
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
    LogLine(observer_,
            "file  " + name + "   not written: a template writes only into its own directory.");
    outputName_ = "?";
    return;
  }
  output_ = std::fopen(name.c_str(), "wb");
  if (!output_) {
    ui_.ShowMessage("convertor: " + name + ": cannot be created (" + std::strerror(errno) + ")");
    outputName_ = "?";
  }
}

bool Generator::WriteTemplateFiles() {
  std::optional<ProjectLines> lines = ReadProjectLines(ResolvePath(std::string(kTemplateName)));
  if (!lines) {
    ui_.ShowMessage("No template for Project!");
    return false;
  }
  for (std::string line : *lines) {
    lineSubstituted_ = false;
    SubstituteLine(line);
    if (line.starts_with("# End Target") && output_) {
      for (const std::string& source : g_.sourceNames) {
        if (IsExtensionSwitch(source)) {
          ApplyExtensionSwitch(state_, source);
          continue;
        }
        WriteLine("# Begin Source File");
        WriteLine("SOURCE=.\\" + source + "." + state_.sourceExtension);
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
  std::FILE* in = std::fopen(ResolvePath("console.exe").c_str(), "rb");
  if (!in) {
    ui_.ShowMessage("convertor: console.exe: cannot be opened (" +
                    std::string(std::strerror(errno)) + ")");
    return false;
  }
  std::FILE* out = std::fopen(exe.c_str(), "wb");
  if (!out) {
    ui_.ShowMessage("convertor: " + exe + ": cannot be created (" + std::strerror(errno) + ")");
    std::fclose(in);
    return false;
  }
  std::string block(kBlockSize, '\0');
  bool ok = true;
  for (;;) {
    std::size_t read = std::fread(block.data(), 1, kBlockSize, in);
    if (read == 0) break;
    std::string part = block.substr(0, read);
    PatchConsoleBlock(part, g_.projectName);
    if (std::fwrite(part.data(), 1, part.size(), out) != part.size()) {
      ok = false;
      break;
    }
  }
  if (std::ferror(in)) ok = false;
  std::fclose(in);
  ok = std::fclose(out) == 0 && ok;
  if (!ok) {
    ui_.ShowMessage("convertor: " + exe + ": input/output error while copying console.exe");
    return false;
  }
  LogLine(observer_, "Console Application " + g_.projectName + ".exe   created.");
  LogLine(observer_, "It uses " + g_.projectName + ".DLL");
  return true;
}

void Generator::AppendTestProject() {
  std::remove("test.opt");  // a failure is ignored
  std::optional<ProjectLines> project = ReadProjectLines(ResolvePath(g_.projectName + ".dsp"));
  if (!project) return;
  std::FILE* test = std::fopen(ResolvePath("TEST.dsp").c_str(), "ab");
  if (!test) return;
  bool copying = false;
  for (const std::string& line : *project) {
    copying = copying || line.starts_with("# Begin Source");
    if (!copying) continue;
    std::fwrite(line.data(), 1, line.size(), test);
    std::fputs("\r\n", test);
  }
  std::fclose(test);
  LogLine(observer_, "Project \"Test\" for Console debugging completely created.");

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
  if (!TakeProjectName(outputPath)) return false;
  TakeExtraArguments();
  if (!WriteTemplateFiles()) return false;
  if (g_.mode == Mode::LibraryOnly) return true;
  if (!WriteTestProgram()) return false;
  AppendTestProject();
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

RunOutcome GenerateProject(ProgramState& state, UserInterface& ui, RunObserver& observer,
                           const std::string* outputPath) {
  Generator generator(state, ui, observer);
  return generator.Run(outputPath) ? RunOutcome::Converted : RunOutcome::Abandoned;
}

}  // namespace kvq
