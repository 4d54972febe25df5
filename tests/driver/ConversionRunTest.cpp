// The run driven as the window drives it: a single-source command through
// the user-interface seam (dialogs, the DLL-name question) and the run
// observer (list lines, status, diagnostics, cancel), and jobs run one after
// another in one process.
#include <gtest/gtest.h>

#include <deque>
#include <filesystem>

#include "FrontEndRuns.h"
#include "RunObserver.h"
#include "TempDirectory.h"
#include "UserInterface.h"
#include "driver/ConversionRun.h"
#include "driver/SingleSourceCommand.h"
#include "engine/TextUtilities.h"

namespace kvq {
namespace {

using test::CrLf;
using test::ReadBytes;
using test::WriteBytes;

// A window stand-in that records what the run shows and answers its
// dialogs from a script.
class ScriptedWindow : public UserInterface, public RunObserver {
 public:
  void ShowMessage(const std::string& text) override { messages.push_back(text); }
  void SetStatusLine(const std::string& text) override { status = text; }
  void SetCaption(const std::string& text) override { caption = text; }
  void Report(const Diagnostic& diagnostic) override {
    diagnostics.push_back(FormatDiagnostic(diagnostic));
  }
  bool WantsLines() const override { return true; }
  void ClearLists() override {
    inputList.clear();
    outputList.clear();
  }
  void AddInputLines(const std::vector<std::string>& lines) override {
    inputList.insert(inputList.end(), lines.begin(), lines.end());
    ++batches;
  }
  void AddOutputLines(const std::vector<std::string>& lines) override {
    outputList.insert(outputList.end(), lines.begin(), lines.end());
    ++batches;
  }
  void AddReportLine(const std::string& line) override { outputList.push_back(line); }
  bool CancelRequested() const override { return cancel; }
  std::string InputQuery(const std::string& caption, const std::string& prompt,
                         const std::string& initial, const QueryFallback&) override {
    queries.push_back(caption + "|" + prompt + "|" + initial);
    if (!answers.empty()) {
      std::string next = answers.front();
      answers.pop_front();
      return next.empty() ? initial : next;  // "": Cancel
    }
    return answer.empty() ? initial : answer;
  }
  bool CanShowDialogs() const override { return true; }
  std::optional<std::string> OpenFileDialog(const FileDialogRequest& request) override {
    openRequests.push_back(request);
    return Next();
  }
  std::optional<std::string> SaveFileDialog(const FileDialogRequest& request) override {
    saveRequests.push_back(request);
    return Next();
  }
  void SetBusyCursor(bool) override {}
  void ShowWindow() override { shown = true; }
  void CloseWindow() override { closed = true; }

  std::optional<std::string> Next() {
    if (files.empty()) return std::nullopt;
    std::string name = files.front();
    files.pop_front();
    return name;
  }

  std::vector<std::string> messages, inputList, outputList, queries, diagnostics;
  int batches = 0;
  bool cancel = false;
  std::vector<FileDialogRequest> openRequests, saveRequests;
  std::deque<std::string> files;
  std::deque<std::string> answers;  // answered in turn before answer
  std::string status, caption, answer;
  bool shown = false, closed = false;
};

class ConversionRunTest : public ::testing::Test {
 protected:
  std::string Path(const std::string& name) { return dir.File(name); }
  RunOutcome Run(std::vector<std::string> arguments,
                 ConversionMode mode = ConversionMode::SingleSource) {
    state.paramList.Assign(arguments);
    return ConvertSingleSource(state, window, window, mode, nullptr).outcome;
  }
  // A job on a source held in memory, as the window runs many in turn.
  RunResult RunText(const std::string& source, const std::string& destination,
                    ConversionSettings settings = {}) {
    ConversionJob job;
    job.sourceText = source;
    job.shownSource = "MEM.FOR";
    job.destination = Path(destination);
    job.shownDestination = destination;
    job.settings = std::move(settings);
    return RunConversionJob(job, state.carry, window);
  }
  test::TempDirectory dir;
  ProgramState state;
  ScriptedWindow window;
};

TEST_F(ConversionRunTest, ListBoxesShowTheSourceAndTheOutput) {
  WriteBytes(Path("A.FOR"), CrLf({"! X=1", "", "      END"}));
  ASSERT_EQ(Run({Path("A.FOR"), Path("A.OUT")}), RunOutcome::Converted);
  EXPECT_EQ(window.inputList, (std::vector<std::string>{"! X=1", "", "      END"}));
  EXPECT_EQ(window.outputList, (std::vector<std::string>{"!KVQ:NO_TOUCH!", "! X=1", "      END"}));
  EXPECT_EQ(window.status,
            UpperCase(Path("A.FOR")) + "    Input Lines:2     Output Lines:3     - ready !");
}

TEST_F(ConversionRunTest, MissingDllNameIsAskedForAndUpperCased) {
  WriteBytes(Path("P.FOR"), CrLf({"      PROGRAM P", "      END"}));
  window.answer = "mine";
  ASSERT_EQ(Run({Path("P.FOR"), Path("P.OUT")}), RunOutcome::Converted);
  EXPECT_EQ(window.queries,
            (std::vector<std::string>{"Enter DLL Name|Needed only for main file|"}));
  EXPECT_EQ(state.settings.dllName, "MINE");
  EXPECT_NE(
      ReadBytes(Path("P.OUT")).find("      SUBROUTINE MINE(job)        !  main DLL routine\r\n"),
      std::string::npos);
}

// A DLL name that is no Fortran name is refused and asked for again,
// offering the main program's name, which Cancel then takes.
TEST_F(ConversionRunTest, ADllNameThatIsNoFortranNameIsAskedForAgain) {
  WriteBytes(Path("P.FOR"), CrLf({"      PROGRAM HELLO", "      END"}));
  window.answers = {"my-prog", "", ""};
  ASSERT_EQ(Run({Path("P.FOR"), Path("P.OUT")}), RunOutcome::Converted);
  EXPECT_EQ(window.queries,
            (std::vector<std::string>{"Enter DLL Name|Needed only for main file|",
                                      "Enter DLL Name|Needed only for main file|HELLO"}));
  EXPECT_EQ(window.messages,
            (std::vector<std::string>{"\"my-prog\" is no Fortran name: the DLL name begins with a "
                                      "letter and holds only letters, digits and _ (at most 63)"}));
  EXPECT_NE(ReadBytes(Path("P.OUT")).find("      SUBROUTINE HELLO(job)"), std::string::npos);
  // Cancel at the first question leaves no name: that is asked again too.
  state.settings.dllName.clear();
  window.answers = {"", "Mine"};
  ASSERT_EQ(Run({Path("P.FOR"), Path("P.OUT")}), RunOutcome::Converted);
  EXPECT_EQ(state.settings.dllName, "MINE");
}

TEST_F(ConversionRunTest, ConsoleMainProgramStaysSelectedForSingleSourceRuns) {
  state.settings.consoleMain = true;  // as a Console Application project conversion leaves it
  WriteBytes(Path("P.FOR"), CrLf({"      PROGRAM P", "      END"}));
  ASSERT_EQ(Run({"NAME=dbg", Path("P.FOR"), Path("P.OUT")}), RunOutcome::Converted);
  EXPECT_EQ(
      ReadBytes(Path("P.OUT")),
      CrLf({"!KVQ:NO_TOUCH!", "      Program DBG         !  Console Application for Debugging",
            "      use Zentrix", "      integer*4 job(10000)", "      character*256 ProjectName",
            "      Equivalence(ProjectName,job(4))",
            "      job(1)=-1                    ! Console I/O regime",
            "      call GetArg(1,ProjectName)   ! from command line",
            "      if(Init_zx(job).eq.0) Call DLL_Main", "      Pause", "      end", "!",
            "      SUBROUTINE DLL_MAIN                 !  KVQ : instead of PROGRAM",
            "      use Zentrix     ! KVQ", "      save            ! KVQ:strongly recommended!", "!",
            "      Entry Free_Memory   ! needed for InsteadOfStop !",
            "      Return                    !  KVQ", "      END"}));
}

TEST_F(ConversionRunTest, MpiStartCommandWritesTheMpiMainProgram) {
  WriteBytes(Path("P.FOR"), CrLf({"      PROGRAM P", "      INTEGER I", "      END"}));
  ASSERT_EQ(Run({Path("P.FOR"), Path("P.OUT")}, ConversionMode::SingleForMpi),
            RunOutcome::Converted);
  EXPECT_EQ(
      ReadBytes(Path("P.OUT")),
      CrLf({"!KVQ:NO_TOUCH!", "      Program MPI", "      include 'zentrix.h'",
            "      zx_DLLName='PROGRAM'", "      call MPI_Start",
            "      call RandomInitiate(zx_MyProcess,zx_MyProcess)     ! to not forget!",
            "      Call User_Main    !  Instead of Program", "      call MPI_FINALIZE(zx_ierr)",
            "      end", "!", "      Subroutine User_Main       ! main User Routine",
            "      include 'zentrix.h'", "      save            ! KVQ:strongly recommended!",
            "      INTEGER I", "!", "      Entry Free_Memory   ! needed for InsteadOfStop !",
            "      Return                    !  KVQ", "      END"}));
  EXPECT_TRUE(window.queries.empty());  // the MPI program needs no DLL name
}

TEST_F(ConversionRunTest, DialogsAskForMissingFileNames) {
  WriteBytes(Path("PROG.FOR"), CrLf({"! X=1"}));
  window.files = {Path("prog.for"), Path("prog.out")};
  state.batchMode = true;
  ASSERT_EQ(Run({"SAVE=N", "TRACE=N"}), RunOutcome::Converted);
  EXPECT_FALSE(state.batchMode);
  EXPECT_TRUE(window.shown);
  ASSERT_EQ(window.openRequests.size(), 1u);
  EXPECT_EQ(window.openRequests[0].title, "KVQ :  Select Source file");
  ASSERT_EQ(window.saveRequests.size(), 1u);
  EXPECT_EQ(window.saveRequests[0].title, "KVQ :  Specify Destination file");
  EXPECT_EQ(window.saveRequests[0].fileName, UpperCase(Path("prog.F")));  // .FOR proposes .F
  EXPECT_EQ(window.caption, "KVQ : Fortran to Fortran Convertor. Vers:25/12/2004.   " +
                                UpperCase(Path("prog.for")) + " -> " + UpperCase(Path("prog.out")));
  EXPECT_EQ(ReadBytes(Path("prog.out")), CrLf({"!KVQ:NO_TOUCH!", "! X=1"}));
}

TEST_F(ConversionRunTest, ASourceInAConvertedDirectoryIsRefusedAndAskedAgain) {
  std::filesystem::create_directory(dir.path() / "Converted_X");
  WriteBytes(Path("Converted_X/A.FOR"), CrLf({"      X=1"}));
  WriteBytes(Path("B.F90"), CrLf({"! x=1"}));
  window.files = {Path("Converted_X/A.FOR"), Path("B.F90"), Path("B.OUT")};
  ASSERT_EQ(Run({}), RunOutcome::Converted);
  EXPECT_EQ(window.messages, (std::vector<std::string>{UpperCase(Path("Converted_X/A.FOR")) +
                                                       "  is converted yet !"}));
  ASSERT_EQ(window.openRequests.size(), 2u);
  EXPECT_EQ(window.openRequests[1].initialDirectory, dir.path().string());
  EXPECT_EQ(window.saveRequests[0].fileName, UpperCase(Path("B.FOR")));
}

TEST_F(ConversionRunTest, CancellingADialogEndsTheRun) {
  WriteBytes(Path("A.FOR"), CrLf({"      X=1"}));
  window.files = {Path("A.FOR")};  // the destination dialog is cancelled
  EXPECT_EQ(Run({}), RunOutcome::Cancelled);
  EXPECT_TRUE(window.status.empty());
}

TEST_F(ConversionRunTest, ProjectRunKeepsTheCompanionFileOnlyWithConditionals) {
  WriteBytes(Path("A.FOR"), CrLf({"      X=1"}));
  WriteBytes(Path("B.FOR"), CrLf({"*$IFNDEF DBG", "      X=1", "*$ENDIF"}));
  auto runProjectJob = [&](const std::string& name) {
    ConversionJob job;
    job.source = Path(name + ".FOR");
    job.shownSource = UpperCase(job.source);
    job.destination = Path(name + ".OUT");
    job.projectRun = true;
    job.companionPath = Path(name + ".WatCom");
    return RunConversionJob(job, state.carry, window).outcome;
  };
  ASSERT_EQ(runProjectJob("A"), RunOutcome::Converted);
  EXPECT_FALSE(std::filesystem::exists(Path("A.WatCom")));
  ASSERT_EQ(runProjectJob("B"), RunOutcome::Converted);
  EXPECT_EQ(ReadBytes(Path("B.WatCom")),
            CrLf({"!DEC$ IF DEFINED (__DBG__)", "!DEC$ ELSE", "      X=1", "!DEC$ ENDIF"}));
  EXPECT_TRUE(window.inputList.empty());  // project runs do not echo
  EXPECT_TRUE(window.outputList.empty());
  EXPECT_FALSE(window.closed);
}

TEST_F(ConversionRunTest, SingleSourceRunCreatesNoCompanionFile) {
  WriteBytes(Path("A.FOR"), CrLf({"*$IFDEF X", "      X=1", "*$ENDIF"}));
  ASSERT_EQ(Run({Path("A.FOR"), Path("A.OUT")}), RunOutcome::Converted);
  EXPECT_FALSE(std::filesystem::exists(Path("A.WatCom")));
}

TEST_F(ConversionRunTest, ConditionalRecordOutlivesTheRun) {
  // An unbalanced IF DEFINED block stays open for the next run.
  WriteBytes(Path("A.FOR"), CrLf({"!DEC$ IF DEFINED (X)"}));
  WriteBytes(Path("B.FOR"), CrLf({"      SUBROUTINE S", "      PRINT *, 1", "      END"}));
  ASSERT_EQ(Run({Path("A.FOR"), Path("A.OUT")}), RunOutcome::Converted);
  ASSERT_EQ(Run({Path("B.FOR"), Path("B.OUT")}), RunOutcome::Converted);
  // Every line lies in the switched-off branch and is copied unchanged.
  EXPECT_EQ(ReadBytes(Path("B.OUT")),
            CrLf({"!KVQ:NO_TOUCH!", "      SUBROUTINE S", "      PRINT *, 1", "      END"}));
}

TEST_F(ConversionRunTest, JobsInOneProcessStartFromTheirOwnSettings) {
  // A directive of the first run changes its own console units only; its
  // redirection carries over; free form does not leak into the next run.
  ConversionSettings settings;
  RunResult first = RunText(
      CrLf({"!KVQ:CONSOLE 7", "!KVQ:READ=44", "subroutine s &", "  (x)", "write(7,*) x", "end"}),
      "ONE.OUT", settings);
  ASSERT_EQ(first.outcome, RunOutcome::Converted);
  EXPECT_NE(ReadBytes(Path("ONE.OUT")).find("zx_BufIO"), std::string::npos);
  EXPECT_TRUE(state.carry.read.redirected);
  EXPECT_EQ(state.carry.read.unit, "44");
  RunResult second =
      RunText(CrLf({"      SUBROUTINE T", "      WRITE(7,*) X", "C comment", "      END"}),
              "TWO.OUT", settings);
  ASSERT_EQ(second.outcome, RunOutcome::Converted);
  std::string two = ReadBytes(Path("TWO.OUT"));
  EXPECT_NE(two.find("      WRITE(7,*,ERR=9470) X"), std::string::npos) << two;
  EXPECT_NE(two.find("! comment"), std::string::npos) << "fixed form again: C is a comment";
  EXPECT_EQ(settings.consoleUnits, ",*,5,6,DEBUG,");
}

TEST_F(ConversionRunTest, ObserverGetsLinesInBatchesAndWarningsWithTheirPlace) {
  std::vector<std::string> source{"      SUBROUTINE S"};
  for (int i = 0; i < 600; ++i) source.push_back("      X=1");
  source.push_back("      DO 10 I=1,2");
  source.push_back("      IF (I .EQ. 2) GOTO 10");
  source.push_back("   10 WRITE(*,*) I");
  source.push_back("      END");
  ASSERT_EQ(RunText(CrLf(source), "B.OUT").outcome, RunOutcome::Converted);
  EXPECT_EQ(window.inputList.size(), source.size());
  EXPECT_EQ(window.inputList.back(), "      END");
  EXPECT_EQ(window.outputList.front(), "!KVQ:NO_TOUCH!");
  EXPECT_GT(window.batches, 2);
  EXPECT_LT(window.batches, 10) << "lines come several at a time";
  EXPECT_EQ(window.diagnostics,
            (std::vector<std::string>{
                "MEM.FOR:604: warning: Could not correctly convert:    10 WRITE(*,*) I"}));
}

// A unit that defines the default handler labels after its first jumps to
// them: the jumps written before (also those already on disk, and a label
// cut by the split at column 72) and the handlers take the next free
// labels. Labels chosen with ERRLAB= stay, with the duplicate reported.
TEST_F(ConversionRunTest, HandlerLabelsTheUnitDefinesGiveWayToFreeOnes) {
  std::vector<std::string> source{
      "      SUBROUTINE S",
      "      IF(N.GT.0) WRITE(6,'(1X,''Energy of the system'',F9.4,'' eV'')') E"};
  for (int i = 0; i < 20000; ++i) source.push_back("      WRITE(*,*) I");
  source.insert(source.end(), {" 9470 CONTINUE", " 9471 CONTINUE", "      END"});
  ASSERT_EQ(RunText(CrLf(source), "L.OUT").outcome, RunOutcome::Converted);
  std::string out = ReadBytes(Path("L.OUT"));
  EXPECT_GT(out.size(), std::size_t{2} << 20) << "the first jumps were on disk";
  EXPECT_EQ(out.find("ERR=9470"), std::string::npos);
  EXPECT_NE(out.find(",ERR=94\r\n     -   72)"), std::string::npos) << "the cut label";
  std::size_t jumps = 0;
  for (std::size_t at = out.find("ERR=9472)"); at != std::string::npos;
       at = out.find("ERR=9472)", at + 1))
    ++jumps;
  EXPECT_EQ(jumps, 20000u);
  EXPECT_NE(out.find(" 9472 CALL zx_IO_ERROR"), std::string::npos);
  EXPECT_NE(out.find("99472 CALL zx_Eof_Read"), std::string::npos);
  EXPECT_EQ(window.diagnostics,
            (std::vector<std::string>{"MEM.FOR:20003: warning: label 9470 is also the default "
                                      "label of the I/O error handler; this unit's handlers "
                                      "take labels 9472 and 99472"}));

  ConversionSettings given;
  given.errorLabel = "9470";
  given.errorLabelGiven = true;
  ASSERT_EQ(
      RunText(CrLf({"      SUBROUTINE S", "      WRITE(*,*) I", " 9470 CONTINUE", "      END"}),
              "G.OUT", given)
          .outcome,
      RunOutcome::Converted);
  EXPECT_NE(ReadBytes(Path("G.OUT")).find(" 9470 CALL zx_IO_ERROR"), std::string::npos);
  EXPECT_TRUE(
      window.diagnostics.back().ends_with("choose other handler labels with the "
                                          "ERRLAB setting"));
}

TEST_F(ConversionRunTest, IncludeThatCannotBeOpenedIsReported) {
  std::string out = Path("I.OUT");
  ConversionJob job;
  job.sourceText = CrLf({"      SUBROUTINE S", "      INCLUDE 'NONE.INC'", "      END"});
  job.source = Path("MAIN.FOR");
  job.shownSource = "MAIN.FOR";
  job.destination = out;
  ASSERT_EQ(RunConversionJob(job, state.carry, window).outcome, RunOutcome::Converted);
  EXPECT_NE(ReadBytes(out).find("      INCLUDE 'NONE.INC'\r\n"), std::string::npos);
  EXPECT_EQ(window.diagnostics,
            (std::vector<std::string>{"MAIN.FOR:2: warning: INCLUDE 'NONE.INC' cannot be opened; "
                                      "the line is kept as it is"}));
}

TEST_F(ConversionRunTest, CancelEndsTheRunAndLeavesTheDestinationAsItWas) {
  window.cancel = true;
  RunResult result = RunText(CrLf({"      X=1", "      Y=2"}), "C.OUT");
  EXPECT_EQ(result.outcome, RunOutcome::Cancelled);
  EXPECT_FALSE(std::filesystem::exists(Path("C.OUT")));
  WriteBytes(Path("C.OUT"), CrLf({"!KVQ:NO_TOUCH!", "      OLD=1"}));
  RunText(CrLf({"      X=1", "      Y=2"}), "C.OUT");
  EXPECT_EQ(ReadBytes(Path("C.OUT")), CrLf({"!KVQ:NO_TOUCH!", "      OLD=1"}));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()),
                          std::filesystem::directory_iterator()),
            1)
      << "a temporary file was left behind";
  EXPECT_NE(window.status.find("cancelled"), std::string::npos);
}

}  // namespace
}  // namespace kvq
