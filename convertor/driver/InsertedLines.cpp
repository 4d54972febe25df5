#include "driver/InsertedLines.h"

namespace kvq {

namespace {

void WriteMpiMainProgram(OutputChannel& out) {
  out.WriteOutputLine("      Program MPI");
  out.WriteOutputLine("      include 'zentrix.h'");
  out.WriteOutputLine("      zx_DLLName='PROGRAM'");
  out.WriteOutputLine("      call MPI_Start");
  out.WriteOutputLine("      call RandomInitiate(zx_MyProcess,zx_MyProcess)     ! to not forget!");
  out.WriteOutputLine("      Call User_Main    !  Instead of Program");
  out.WriteOutputLine("      call MPI_FINALIZE(zx_ierr)");
  out.WriteOutputLine("      end");
  out.WriteOutputLine("!");
}

void WriteConsoleMainProgram(OutputChannel& out, const std::string& name) {
  out.WriteOutputLine("      Program " + name + "         !  Console Application for Debugging");
  out.WriteOutputLine("      use Zentrix");
  out.WriteOutputLine("      integer*4 job(10000)");
  out.WriteOutputLine("      character*256 ProjectName");
  out.WriteOutputLine("      Equivalence(ProjectName,job(4))");
  out.WriteOutputLine("      job(1)=-1                    ! Console I/O regime");
  out.WriteOutputLine("      call GetArg(1,ProjectName)   ! from command line");
  out.WriteOutputLine("      if(Init_zx(job).eq.0) Call DLL_Main");
  out.WriteOutputLine("      Pause");
  out.WriteOutputLine("      end");
  out.WriteOutputLine("!");
}

void WriteDllEntryRoutines(OutputChannel& out, const std::string& name) {
  out.WriteOutputLine("      SUBROUTINE " + name + "(job)        !  main DLL routine");
  out.WriteOutputLine("      use Zentrix");
  out.WriteOutputLine("!DEC$   ATTRIBUTES DLLEXPORT :: " + name);
  out.WriteOutputLine("!DEC$   ATTRIBUTES ALIAS : '" + name + "' :: " + name);
  out.WriteOutputLine("      integer*4 job(*)        ! parameters passed from main Thread");
  out.WriteOutputLine("      zx_DLLName='" + name + "'");
  out.WriteOutputLine("      if(Init_zx(job).eq.0) Call DLL_Main    !  Instead of Program");
  out.WriteOutputLine("      Return");
  out.WriteOutputLine("      end");
  out.WriteOutputLine("      SUBROUTINE Convertor_Signature(Mark)   !  Version of KVQ convertor");
  out.WriteOutputLine("!DEC$   ATTRIBUTES DLLEXPORT :: Convertor_Signature");
  out.WriteOutputLine("!DEC$   ATTRIBUTES ALIAS : 'Convertor_Signature' :: Convertor_Signature");
  out.WriteOutputLine("      Character*80 Mark");
  out.WriteOutputLine("      Mark='" + std::string(kConvertorVersion) + "'");
  out.WriteOutputLine("      Return");
  out.WriteOutputLine("      end");
  out.WriteOutputLine("!");
}

// Columns 1 to 6 of a handler line: the text cut or padded to 6 characters.
std::string HandlerLabelField(const std::string& label) {
  std::string field = label + "     ";
  field.resize(6, ' ');
  return field;
}

// The error handler's label stands after a blank, unless it has five
// characters: column 6 must stay blank.
std::string ErrorLabelText(const std::string& label) {
  return label.size() >= 5 ? label : " " + label;
}

}  // namespace

void WriteMainProgramBlock(OutputChannel& output, const ConversionSettings& settings,
                           const std::string& dllName) {
  if (settings.conversionMode == ConversionMode::SingleForMpi)
    WriteMpiMainProgram(output);
  else if (settings.consoleMain)
    WriteConsoleMainProgram(output, dllName);
  else
    WriteDllEntryRoutines(output, dllName);
}

void WriteEndOfUnitLines(OutputChannel& output, const HandlerLabels& labels, UnitData& unit,
                         bool freeMemoryPresent) {
  bool mainProgram = !unit.procedure;
  if (unit.ioHandlersNeeded) {
    if (!unit.lastWasReturn) output.WriteOutputLine(kReturnLine);
    output.WriteOutputLine(HandlerLabelField(ErrorLabelText(labels.error)) +
                           "CALL zx_IO_ERROR        " + "  !  KVQ");
    output.WriteOutputLine(kReturnLine);
    output.WriteOutputLine(HandlerLabelField(labels.endOfFile) + "CALL zx_Eof_Read        " +
                           "  !  KVQ");
    output.WriteOutputLine(kReturnLine);
    if (!unit.consoleFormatLabels.empty()) {
      std::string formats = " ! *** see Formats:";
      for (const std::string& label : unit.consoleFormatLabels) formats += " " + label;
      output.WriteOutputLine(formats);
      unit.consoleFormatLabels.clear();
    }
  }
  if (mainProgram && !freeMemoryPresent) {
    output.WriteOutputLine("!");
    output.WriteOutputLine("      Entry Free_Memory   ! needed for InsteadOfStop !");
    output.WriteOutputLine(kReturnLine);
  }
}

}  // namespace kvq
