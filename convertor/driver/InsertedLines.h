// The lines a run inserts around program units: the main-program blocks in
// front of the replaced PROGRAM head, the declarations after each head, and
// the I/O handlers and the Free_Memory entry before a unit's END.
#pragma once

#include <string>
#include <string_view>

#include "engine/ConversionSettings.h"
#include "engine/HandlerLabels.h"
#include "engine/OutputChannel.h"
#include "engine/RunState.h"

namespace kvq {

inline constexpr std::string_view kFirstOutputLine = "!KVQ:NO_TOUCH!";
inline constexpr std::string_view kTouchLine = "!KVQ:TOUCH!";
inline constexpr std::string_view kUseZentrixLine = "      use Zentrix     ! KVQ";
inline constexpr std::string_view kIncludeZentrixLine = "      include 'zentrix.h'";
inline constexpr std::string_view kSaveLine = "      save            ! KVQ:strongly recommended!";
inline constexpr std::string_view kReturnLine = "      Return                    !  KVQ";
inline constexpr std::string_view kMpiUserMainHead =
    "      Subroutine User_Main       ! main User Routine";
inline constexpr std::string_view kConvertorVersion =
    "KVQ : Fortran to Fortran Convertor. Vers:25/12/2004.";

// The block written before the replaced PROGRAM head: the MPI main program,
// the console main program, or the DLL entry and signature routines.
void WriteMainProgramBlock(OutputChannel& output, const ConversionSettings& settings,
                           const std::string& dllName);

// The lines written before a unit's END line; its handlers take labels.
void WriteEndOfUnitLines(OutputChannel& output, const HandlerLabels& labels, UnitData& unit,
                         bool freeMemoryPresent);

}  // namespace kvq
