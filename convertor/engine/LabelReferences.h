// Whether a statement refers to a statement label: the references that
// send control to a label (GOTO in all its forms, arithmetic IF, ASSIGN,
// ERR=, END=, EOR=, alternate returns). The converter notes them for the
// terminal labels of open DO loops while it streams through a loop's body.
#pragma once

#include <string>
#include <string_view>

namespace kvq {

// The statement field blank-free and in upper case, without the text of
// constants and without a trailing comment.
std::string LabelReferenceKey(std::string_view statementField);

// key as LabelReferenceKey builds it. A number that is no label (X=50,
// A(50)) does not count, unless it stands in a GOTO statement.
bool RefersToLabel(std::string_view key, int label);

}  // namespace kvq
