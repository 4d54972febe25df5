// Recognisers of program units: heads (PROGRAM, SUBROUTINE, FUNCTION and
// typed FUNCTION heads), unit ends, and CHARACTER declarations, whose names
// tell internal files from console and file units.
#pragma once

#include <string>
#include <string_view>

#include "engine/OutputChannel.h"
#include "engine/SourceReader.h"

namespace kvq {

// The head that replaces a PROGRAM statement.
inline constexpr std::string_view kDllMainHead =
    "      SUBROUTINE DLL_MAIN                 !  KVQ : instead of PROGRAM";

enum class UnitHead { None, Procedure, MainProgram };

// Recognises a unit head. A SUBROUTINE or FUNCTION head leaves its name in
// procedureName; a PROGRAM head becomes kDllMainHead. The decision rests on
// the first word alone. None changes only ScanPos.
UnitHead RecogniseUnitHead(SourceReader& reader, std::string& procedureName);

// True for the END of a program unit: END, END FUNCTION..., END
// SUBROUTINE..., also with a statement label in front of it, and END PROGRAM,
// which is rewritten to a plain END (its head has become a subroutine head).
bool IsUnitEnd(SourceReader& reader);

// For a CHARACTER statement: writes it line for line as it stands, records
// the names it declares in CharacterNames and returns true (the statement is
// consumed). Otherwise false, Text unchanged.
bool CollectCharacterNames(SourceReader& reader, OutputChannel& output);

}  // namespace kvq
