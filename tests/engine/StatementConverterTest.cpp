// The statement rules on single statements: what a rule writes before the
// line and what the line becomes, for the cases where a golden file would
// hide the point of the test.
#include <gtest/gtest.h>

#include "ReaderHarness.h"
#include "engine/StatementConverter.h"

namespace kvq {
namespace {

using Lines = std::vector<std::string>;

class StatementConverterTest : public ::testing::Test {
 protected:
  StatementConverterTest() : converter(h.output, h.settings, h.carry, h.run) {
    h.run.sourceFileName = "T.FOR";
  }

  // Converts the first statement of the source as the run does: the lines
  // the rules write, then the current line as the run writes it.
  Lines Convert(std::initializer_list<std::string> source) {
    std::string bytes;
    for (const std::string& line : source) bytes += line + "\r\n";
    bytes += "      END\r\n";
    h.Start(bytes);
    h.reader.ReadStatement();
    h.run.unit.procedure = true;
    h.run.unit.unitName = "SUB";
    h.run.unit.characterNames = {"OUTSTR", "STR"};
    h.output.lines.clear();
    text = h.stmt().Text();
    taken = converter.ConvertStatement(h.stmt(), 0, text);
    h.output.WriteOutputLine(text);  // as the run writes it
    return h.output.lines;
  }

  test::ReaderHarness h;
  std::string text;       // the converted line
  std::size_t taken = 0;  // lines the rule took
  UnitData& engine = h.run.unit;
  StatementConverter converter;
};

TEST_F(StatementConverterTest, StopBecomesTheLibraryCall) {
  EXPECT_EQ(Convert({"      STOP"}), (Lines{"      CALL zx_Instead_of_STOP     !  KVQ"}));
  EXPECT_TRUE(engine.lastWasReturn);
  // The code or message goes along; a comment after it does not.
  EXPECT_EQ(Convert({"      STOP 'done, ! really' ! comment"}),
            (Lines{"      CALL zx_Instead_of_STOP('done, ! really')  !  KVQ"}));
  EXPECT_EQ(Convert({"      STOP   7   "}), (Lines{"      CALL zx_Instead_of_STOP(7)  !  KVQ"}));
  EXPECT_EQ(Convert({"   10 IF(N.GT.0) STOP"}),
            (Lines{"   10 IF(N.GT.0)CALL zx_Instead_of_STOP     !  KVQ"}));
  EXPECT_FALSE(engine.lastWasReturn) << "a guarded STOP is no last statement";
  EXPECT_EQ(Convert({"      IF(ISTOP.EQ.1) X=1"}), (Lines{"      IF(ISTOP.EQ.1) X=1"}));
  EXPECT_EQ(Convert({"      XSTOP = 1"}), (Lines{"      XSTOP = 1"}));
  EXPECT_EQ(Convert({"      IF(X.GT.0) XSTOP = 1"}), (Lines{"      IF(X.GT.0) XSTOP = 1"}));
}

TEST_F(StatementConverterTest, LongStopLineSplitsAtTheCall) {
  std::string condition = "      IF(ALPHA.GT.BETA .AND. GAMMA.LT.DELTA .AND. N.EQ.1)";
  EXPECT_EQ(Convert({condition + " STOP"}),
            (Lines{condition, "     - CALL zx_Instead_of_STOP     !  KVQ"}));
  // A message too long for one line goes on over continuation lines; its
  // constant goes on in column 7.
  std::string message(60, 'M');
  EXPECT_EQ(
      Convert({condition + " STOP '" + message.substr(0, 8), "     1" + message.substr(8) + "'"}),
      (Lines{condition, "     - CALL zx_Instead_of_STOP('" + message.substr(0, 40),
             "     -" + message.substr(40) + "')  !  KVQ"}));
}

TEST_F(StatementConverterTest, PauseBecomesContinue) {
  EXPECT_EQ(Convert({"   20 PAUSE 'wait'"}), (Lines{"   20 Continue   ! instead of PAUSE !"}));
  EXPECT_EQ(Convert({"      IF(X) PAUSE"}), (Lines{"      Continue   ! instead of PAUSE !"}));
  EXPECT_EQ(Convert({"      IF(PAUSE1.GT.0) X=1"}),
            (Lines{"      Continue   ! instead of PAUSE !"}));
}

TEST_F(StatementConverterTest, ReturnIsNotedOnlyUnguarded) {
  Convert({"      RETURN"});
  EXPECT_TRUE(engine.lastWasReturn);
  Convert({"      RETURNS = 1"});
  EXPECT_FALSE(engine.lastWasReturn);
  Convert({"      IF(X.GT.0) RETURN"});
  EXPECT_FALSE(engine.lastWasReturn);
  Convert({"      RETURN"});
  Convert({"  100 FORMAT(I5)"});  // a FORMAT keeps what the RETURN before it said
  EXPECT_TRUE(engine.lastWasReturn);
}

TEST_F(StatementConverterTest, LabelledDoLoopsAreTracked) {
  Convert({"      DO 10, I=1,N"});
  Convert({"      DO I=1,N"});
  Convert({"      DOUBLE PRECISION D"});
  EXPECT_EQ(engine.doLabelStack, (std::vector<int>{10}));
  for (int i = 0; i < 120; ++i) Convert({"      DO 20 J=1,N"});
  EXPECT_EQ(engine.doLabelStack.size(), UnitData::kMaxDoLabels);
  engine.PopDoLabel(20);
  EXPECT_EQ(engine.doLabelStack.size(), UnitData::kMaxDoLabels - 1);
  engine.PopDoLabel(10);  // only the top is compared
  EXPECT_EQ(engine.doLabelStack.size(), UnitData::kMaxDoLabels - 1);
}

TEST_F(StatementConverterTest, LabelledEnddoGetsItsOwnContinue) {
  EXPECT_EQ(Convert({"   10 ENDDO"}),
            (Lines{"   10   continue  ! ZUL:this label was glued to next line!", "      ENDDO"}));
  EXPECT_EQ(Convert({"      END DO"}), (Lines{"      END DO"}));
  // The END DO of a DO that names its label stays the loop's end.
  Convert({"      DO 40 I=1,N"});
  EXPECT_EQ(Convert({"   40 END DO"}), (Lines{"   40 END DO"}));
}

TEST_F(StatementConverterTest, TraceLinesBeforeCall) {
  h.settings.insertTrace = true;
  EXPECT_EQ(Convert({"   30 CALL SOLVE('it''s', X)"}),
            (Lines{"   30 zx_BufIO='Trace> SUB:    30 CALL SOLVE( it  s , X)'",
                   "      call zx_NewRecord(0) ", "      call Interface_IO(5)   ! Write",
                   "      CALL SOLVE('it''s', X)"}));
  Lines longCall = Convert({"      CALL A_ROUTINE_WITH_A_LONG_NAME(ARGUMENT1, ARGUMENT2)"});
  EXPECT_EQ(longCall[0], "      zx_BufIO='Trace> SUB:       CALL A_ROUTINE_WITH_A_LONG_NA ...'");
  EXPECT_EQ(Convert({"      IF(X) CALL S"}), (Lines{"      IF(X) CALL S"}));
}

TEST_F(StatementConverterTest, KeywordValueKeepsSubscriptsAndQuotedCommas) {
  Lines open = Convert({"      OPEN(10,FILE=NAMES(I,J),STATUS='OLD')"});
  EXPECT_EQ(open[2], "      CALL Open_File(10,NAMES(I,J),'OLD','formatted')");
  open = Convert({"      OPEN(11,FILE='a,b.dat')"});
  EXPECT_EQ(open[2], "      CALL Open_File(11,'a,b.dat','unknown','formatted')");
}

// What Open_File cannot take is changed by an OPEN of the connected unit;
// FORM='FORMATTED' of a direct-access OPEN on a continuation line counts.
TEST_F(StatementConverterTest, OpenKeepsItsBlankPadDelimAndDirectForm) {
  Lines open = Convert({"      OPEN(12,FILE='N.TXT',BLANK='ZERO',", "     &PAD='NO',IOSTAT=IOS)"});
  EXPECT_EQ(Lines(open.begin() + 2, open.end()),
            (Lines{"      CALL Open_File(12,'N.TXT','unknown','formatted')",
                   "      if(fo_Error.eq.0) OPEN(12,BLANK='ZERO',PAD='NO',IOSTAT=fo_Error)",
                   "      IOS=fo_Error"}));
  open =
      Convert({"      OPEN(21,FILE='D.DAT',ACCESS='DIRECT',RECL=20,", "     &FORM='FORMATTED')"});
  EXPECT_EQ(open[2], "      Write(zx_EBuf(201:207),'(1HF,i6)',err=9470) 20");
  // A sequential OPEN with RECL= stays sequential.
  EXPECT_EQ(Convert({"      OPEN(22,FILE='S.DAT',RECL=80)"})[2],
            "      Write(zx_EBuf(201:207),'(1HS,i6)',err=9470) 80");
  EXPECT_EQ(Convert({"      OPEN(23,FILE='U.DAT',FORM='UNFORMATTED',RECL=8)"})[2],
            "      Write(zx_EBuf(201:207),'(1HU,i6)',err=9470) 8");
}

TEST_F(StatementConverterTest, OpenJoinsItsContinuationLinesAndKeepsItsLabel) {
  Lines open = Convert({"   40 OPEN(10,", "     &FILE='A.DAT',", "     &STATUS='NEW')"});
  EXPECT_EQ(open,
            (Lines{"!Converted:    40 OPEN(10, ...", " 40   zx_Ebuf='T.FOR(1) SUB: 40OPEN(10, ...'",
                   "      CALL Open_File(10,'A.DAT','NEW','formatted')",
                   "      if(fo_Error.ne.0) goto 9470"}));
  EXPECT_EQ(h.stmt().Label(), 40);
  EXPECT_EQ(taken, 3u);
  EXPECT_TRUE(engine.ioHandlersNeeded);
}

TEST_F(StatementConverterTest, OpenWithIostatAndErrStoresTheCode) {
  Lines open = Convert({"      OPEN(10,FILE='X',IOSTAT=IOS,ERR=99)"});
  EXPECT_EQ(open.back(), "      IOS=fo_Error");
  EXPECT_FALSE(engine.ioHandlersNeeded);
}

TEST_F(StatementConverterTest, CloseDeletesWithTheUnitNegated) {
  EXPECT_EQ(Convert({"      CLOSE(LU,STATUS='delete')"}).back(), "      CALL Close_File(-LU)");
  EXPECT_EQ(Convert({"      CLOSE(IU+1,STATUS='DELETE')"}).back(),
            "      CALL Close_File(-(IU+1))");
  EXPECT_EQ(Convert({"      CLOSE(10,", "     &      STATUS='DELETE')"}),
            (Lines{"!Converted:       CLOSE(10, ...", "      CALL Close_File(-10)"}));
  EXPECT_FALSE(engine.ioHandlersNeeded);
}

TEST_F(StatementConverterTest, ContinuedControlListIsJoined) {
  Lines write = Convert({"      WRITE(6,", "     &      100) A,", "     &  B"});
  EXPECT_EQ(write,
            (Lines{"!Converted:       WRITE(6, ...", "      zx_Ebuf='T.FOR(1) SUB: WRITE(6, ...'",
                   "      Call zx_NewRecord(6)", "      Write(zx_BufIO,100,ERR=9470) A,",
                   "     &  B", "      CALL Interface_IO(5)    ! Write"}));
  EXPECT_EQ(engine.consoleFormatLabels, (std::vector<std::string>{"100"}));
}

TEST_F(StatementConverterTest, ControlRestKeepsParenthesisedValues) {
  Lines read = Convert({"      READ(10,100,REC=(K+1),ERR=5) A"});
  EXPECT_EQ(read.back(), "      READ(10,100,REC=(K+1),ERR=5) A");
  read = Convert({"      READ(10,100,REC=(K+1)) A"});
  EXPECT_EQ(read.back(), "      READ(10,100,ERR=9470,REC=(K+1)) A");
}

TEST_F(StatementConverterTest, IostatKeepsTheStatementsOwnErrorHandling) {
  EXPECT_EQ(Convert({"      READ(11,'(A)',IOSTAT=IOS) LINE"}).back(),
            "      READ(11,'(A)',IOSTAT=IOS) LINE");
  EXPECT_EQ(Convert({"      WRITE(11,100,IOSTAT=IOS) X"}).back(),
            "      WRITE(11,100,IOSTAT=IOS) X");
  EXPECT_EQ(Convert({"      READ(11,100) X"}).back(), "      READ(11,100,ERR=9470,END=99470) X");
}

TEST_F(StatementConverterTest, LongHeadSplitsAndKeepsItsConstant) {
  std::string format = "'(1X,''A LONG FORMAT TEXT THAT RUNS FAR BEYOND COLUMN SEVENTY-TWO'',I5)'";
  Lines write = Convert({"      WRITE(6," + format + ") N"});
  std::string head = "      Write(zx_BufIO," + format + ",ERR=9470)";
  ASSERT_GE(write.size(), 6u);
  EXPECT_EQ(write[3], head.substr(0, 72));
  EXPECT_EQ(write[4], "     -" + head.substr(72));  // inside the constant: no blanks added
  // The line passes column 72, so its list keeps the column it stood in.
  std::string list = "     -";
  list.resize(std::string("      WRITE(6," + format + ")").size(), ' ');
  EXPECT_EQ(write[5], list + " N");
  EXPECT_EQ(Convert({"      WRITE(6,'(I5)') N"}).at(3), "      Write(zx_BufIO,'(I5)',ERR=9470) N");
}

TEST_F(StatementConverterTest, InterfaceCallOfALongLogicalIfStaysWithinColumn72) {
  Lines write = Convert({"      IF(ALPHA.GT.BETA .AND. GAMMA.LT.DELTA .AND. N.EQ.1) WRITE(6,*) X"});
  ASSERT_GE(write.size(), 3u);
  EXPECT_EQ(write[write.size() - 2], "      CALL Interface_IO(5)    ! Write");
  write = Convert({"      IF(N.GT.1) WRITE(6,*) X"});
  EXPECT_EQ(write[write.size() - 2], "                CALL Interface_IO(5)    ! Write");
  std::string condition =
      "      IF(ALPHA.GT.BETA.AND.GAMMA.LT.DELTA.AND.EPSILON.LT.ZETA.AND.N1.EQ.1)";
  write = Convert({condition + " PRINT *, X"});
  EXPECT_EQ(write[0], condition);
  EXPECT_EQ(write[1], "     -  then");
}

TEST_F(StatementConverterTest, HandleDrivenWriteGoesThroughTheBufferEvenWhenRedirected) {
  h.run.handleDrivenUnits = ",7,";
  h.carry.write = Redirection{true, "92"};
  Lines write = Convert({"      WRITE(7,*) X"});
  EXPECT_EQ(write,
            (Lines{"!Converted:       WRITE(7,*) X", "      zx_Ebuf='T.FOR(1) SUB: WRITE(7,*)X'",
                   "      Call zx_NewRecord(7)", "      Write(zx_BufIO,*,ERR=9470) X",
                   "      call zx_WriteByHandle(7,zx_BufIO)  ! maybe handle driven"}));
}

class MpiConverterTest : public StatementConverterTest {
 protected:
  MpiConverterTest() { h.settings.conversionMode = ConversionMode::SingleForMpi; }
};

TEST_F(MpiConverterTest, ReadWithoutFormatIsGuardedAndClosed) {
  Lines read = Convert({"      READ(10) A"});
  EXPECT_EQ(
      Lines(read.begin() + 2, read.end()),
      (Lines{"      Call zx_NewRecord(10)", "      if(zx_MyProcess.eq.0) then",
             "      READ(10,ERR=9470,END=99470) A", "      endif",
             "      Call MPI_BCast(..., ..., ..., 0,zx_MPIcommunicator,zx_ierr) ! - Sorry !!!"}));
}

TEST_F(MpiConverterTest, FormattedReadGoesThroughTheBufferWithoutGuard) {
  Lines read = Convert({"      READ(10,*) A"});
  EXPECT_EQ(Lines(read.begin() + 2, read.end()),
            (Lines{"      Call zx_NewRecord(10)", "      CALL Interface_IO(3)   ! Read ",
                   "      if(Ichar(zx_BufIO(1:1)).eq.0) goto 99470    ! EOF checking",
                   "      Read(zx_BufIO,*,ERR=9470,END=99470) A"}));
}

TEST_F(MpiConverterTest, InternalReadHasNeitherGuardNorEndif) {
  Lines read = Convert({"      READ(STR,FMTVAR) A"});
  EXPECT_EQ(Lines(read.begin() + 2, read.end()),
            (Lines{"      Call zx_NewRecord(0)", "      READ(STR,FMTVAR,ERR=9470,END=99470) A"}));
}

TEST_F(MpiConverterTest, UnformattedWriteIsGuarded) {
  Lines write = Convert({"      WRITE(10) A"});
  EXPECT_EQ(Lines(write.begin() + 2, write.end()),
            (Lines{"      Call zx_NewRecord(10)", "      if(zx_MyProcess.eq.0) then",
                   "      WRITE(10,ERR=9470) A", "      endif"}));
}

// A FORMAT keeps its "/": the console buffer has a record for each, as a
// file has. Its continuation lines go with it unscanned.
TEST_F(StatementConverterTest, FormatStatementsStayAsWritten) {
  engine.consoleFormatLabels = {"100"};
  std::vector<std::string> source = {"  100 FORMAT(1X,'A'/"};
  for (int i = 0; i < 30; ++i) source.push_back("     &1X,'B'/");
  source.push_back("     &STOP)");
  std::string bytes = test::CrLf(source);
  h.Start(bytes);
  h.reader.ReadStatement();
  text = h.stmt().Text();
  EXPECT_EQ(converter.ConvertStatement(h.stmt(), 0, text), 32u);
  h.output.lines.push_back(text);
  EXPECT_EQ(h.output.lines, source);
  EXPECT_TRUE(h.reader.EndOfInput());
  EXPECT_EQ(Convert({"  100 FORMAT(1X,'A'//1X,'B')"}), (Lines{"  100 FORMAT(1X,'A'//1X,'B')"}));
}

TEST_F(StatementConverterTest, QuotedFormatsThroughTheBufferKeepTheirSlashes) {
  EXPECT_EQ(Convert({"      WRITE(*,'(1X,I3/1X,I3)') I, J"}).at(3),
            "      Write(zx_BufIO,'(1X,I3/1X,I3)',ERR=9470) I, J");
  EXPECT_EQ(Convert({"      PRINT '(/A)', T"}).at(3), "      Write(zx_BufIO,'(/A)',ERR=9470)  T");
  EXPECT_EQ(Convert({"      WRITE(11,'(I3/I3)') I, J"}).back(),
            "      WRITE(11,'(I3/I3)',ERR=9470) I, J");
}

TEST_F(StatementConverterTest, ConsoleFormatLabelTableKeepsItsLastEntryWhenFull) {
  for (int i = 0; i < 1005; ++i) Convert({"      WRITE(6," + std::to_string(1000 + i) + ") X"});
  ASSERT_EQ(engine.consoleFormatLabels.size(), UnitData::kMaxConsoleFormatLabels);
  EXPECT_EQ(engine.consoleFormatLabels.front(), "1000");
  EXPECT_EQ(engine.consoleFormatLabels.back(), "2004");
}

class FreeFormConverterTest : public StatementConverterTest {
 protected:
  FreeFormConverterTest() { h.run.freeForm = true; }
};

TEST_F(FreeFormConverterTest, GeneratedLinesKeepIndentationAndLabels) {
  EXPECT_EQ(Convert({"stop"}), (Lines{"      CALL zx_Instead_of_STOP     !  KVQ"}));
  EXPECT_EQ(Convert({"   stop 1"}), (Lines{"   CALL zx_Instead_of_STOP(1)  !  KVQ"}));
  EXPECT_EQ(Convert({"10 stop"}), (Lines{"10 CALL zx_Instead_of_STOP     !  KVQ"}));
  EXPECT_EQ(Convert({"  pause"}), (Lines{"  Continue   ! instead of PAUSE !"}));
}

TEST_F(FreeFormConverterTest, LabelledWriteMovesItsLabel) {
  Lines write = Convert({"  20 write(*,*) x"});
  EXPECT_EQ(write,
            (Lines{"!Converted:   20 write(*,*) x", " 20   zx_Ebuf='T.FOR(1) SUB: 20write(*,*)x'",
                   "      Call zx_NewRecord(0)", "      Write(zx_BufIO,*,ERR=9470) x",
                   "      CALL Interface_IO(5)    ! Write"}));
}

TEST_F(FreeFormConverterTest, IndentedLabelMovesToTheDescriptionLine) {
  Lines write = Convert({"        120 write(*,*) x"});
  EXPECT_EQ(write[1], " 120  zx_Ebuf='T.FOR(1) SUB: 120write(*,*)x'");
  EXPECT_EQ(h.stmt().Label(), 120);
}

TEST_F(FreeFormConverterTest, FormatStatementsStayAsWritten) {
  engine.consoleFormatLabels = {"100"};
  EXPECT_EQ(Convert({"100 format(1x,'a'/1x,'b',//)"}), (Lines{"100 format(1x,'a'/1x,'b',//)"}));
  EXPECT_EQ(Convert({"100 format(1x, &", "  /1x)"}), (Lines{"100 format(1x, &", "  /1x)"}));
}

TEST_F(StatementConverterTest, FiveDigitLabelLeavesColumn6Blank) {
  Lines write = Convert({"12345 WRITE(6,*) X"});
  EXPECT_EQ(write[1], "12345 zx_Ebuf='T.FOR(1) SUB: 12345WRITE(6,*)X'");
}

TEST_F(FreeFormConverterTest, SemicolonInAConstantOrCommentIsNoSecondStatement) {
  Lines write = Convert({"write(*,'(a)') 'x = 1; y = 2' ! a; b"});
  EXPECT_EQ(write[0], "!Converted: write(*,'(a)') 'x = 1; y = 2' ! a; b");
}

// The continuation mark is the last "&" outside constants and comments.
TEST_F(FreeFormConverterTest, AmpersandInAConstantIsNoContinuationMark) {
  Lines open = Convert({"open(10, file='a&b.dat', &", "     status='old')"});
  EXPECT_EQ(open[2], "      CALL Open_File(10,'a&b.dat','OLD','formatted')");
  open = Convert({"open(11, file='x.dat', & ! the data", "  & status='new')"});
  EXPECT_EQ(open[2], "      CALL Open_File(11,'x.dat','NEW','formatted')");
  // A constant continued across lines keeps its text.
  open = Convert({"open(12, file='long&", "&name.dat')"});
  EXPECT_EQ(open[2], "      CALL Open_File(12,'longname.dat','unknown','formatted')");
}

TEST_F(FreeFormConverterTest, ControlListJoinStopsAtTheMarkBeforeAComment) {
  Lines write = Convert({"write(*, &  ! unit and format", "  '(a)') 'x&y'"});
  EXPECT_EQ(write[3], "      Write(zx_BufIO,'(a)',ERR=9470) 'x&y'");
}

}  // namespace
}  // namespace kvq
