// Recognisers of program units: heads (PROGRAM, SUBROUTINE, FUNCTION and
// typed FUNCTION heads), unit ends, and CHARACTER declarations, whose names
// tell internal files from console and file units.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "engine/OutputChannel.h"
#include "engine/Statement.h"

namespace kvq {

// The head that replaces a PROGRAM statement.
inline constexpr std::string_view kDllMainHead =
    "      SUBROUTINE DLL_MAIN                 !  KVQ : instead of PROGRAM";

enum class UnitHead { None, Procedure, MainProgram };

// Recognises a unit head in text. A SUBROUTINE or FUNCTION head leaves its
// name in procedureName; a PROGRAM head makes text kDllMainHead. The
// decision rests on the first word alone. None leaves text as it is.
UnitHead RecogniseUnitHead(std::string& text, bool freeForm, std::string& procedureName);

// What a procedure head tells the rest of its unit.
struct ProcedureTraits {
  // A CHARACTER function's result (its name, or the one RESULT gives),
  // which internal READ and WRITE statements may use as their file.
  std::string characterResult;
  // RECURSIVE: each call has its own locals; PURE or ELEMENTAL: no local
  // may be saved. Either way the unit gets no save line.
  bool takesNoSave = false;
};
ProcedureTraits ReadProcedureTraits(const std::string& text, bool freeForm);

// True for the END of a program unit: END, END FUNCTION..., END
// SUBROUTINE..., also with a statement label in front of it, and END PROGRAM,
// which is rewritten to a plain END (its head has become a subroutine head).
bool IsUnitEnd(std::string& text, bool freeForm);

// Whether a statement (its key) declares an ALLOCATABLE entity that is no
// dummy argument of the unit whose head key is given: such a local is
// deallocated at RETURN unless the unit saves it.
bool DeclaresAllocatableLocal(std::string_view key, std::string_view headKey);

// For a CHARACTER statement starting at line first: writes its lines as they
// stand, records the names it declares in names and returns the number of
// lines it took. Otherwise 0.
std::size_t CollectCharacterNames(const Statement& statement, std::size_t first,
                                  OutputChannel& output, std::vector<std::string>& names);

}  // namespace kvq
