// Continuation lines: where a line says that its statement goes on, and how
// the lines of one statement are joined. Every rule that reads a statement
// across its lines joins them here.
//
// Free form: the continuation mark is the last "&" outside character
// constants, with nothing after it but blanks and a trailing "!" comment; a
// constant still open at the end of the line ends in its mark. The next
// line continues after its own leading "&", when it has one, else after its
// leading blanks. Fixed form: a line with a blank column 1 and a non-blank
// column 6 continues the statement from column 7 to column 72; a joined
// statement never takes what stands beyond column 72.
#pragma once

#include <string>
#include <string_view>

namespace kvq {

// 0-based position of the free-form continuation mark of a statement text
// (all its lines joined so far, so that constants are tracked from the
// statement's start); npos when the text does not go on.
std::size_t FreeFormContinuationMark(std::string_view text);

// Free form: where the code of a line ends, before its continuation mark
// and a trailing comment; the line's size when it has neither.
std::size_t FreeFormCodeEnd(std::string_view text);

// True for a fixed-form continuation line.
bool IsFixedFormContinuation(std::string_view line);

// The part of a line that a joined statement takes: in fixed form columns
// 1 to 72 without trailing blanks (what stands beyond is no part of the
// statement), in free form the whole line.
std::string_view StatementField(std::string_view line, bool freeForm);

// The text of a continuation line that the statement takes.
std::string_view ContinuationText(std::string_view line, bool freeForm);

// Appends a continuation line to the statement joined so far; in free form
// the joined text is first cut at its continuation mark.
void AppendContinuation(std::string& joined, std::string_view line, bool freeForm);

}  // namespace kvq
