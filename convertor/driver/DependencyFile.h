// The dependency file of a single-source run (--depfile): one Make rule
// whose target is the destination and whose prerequisites are the source
// and the INCLUDE files the run expanded, so that make, Ninja and CMake
// convert the source again when one of them changes.
#pragma once

#include <string>
#include <vector>

namespace kvq {

// The rule's text: "TARGET: SOURCE INCLUDE...", each INCLUDE file once,
// followed by an empty rule per INCLUDE file, so that a build does not stop
// when one of them is deleted. Names are escaped for Make.
std::string DependencyRule(const std::string& target, const std::string& source,
                           const std::vector<std::string>& includedFiles);

// The first name that no rule can hold so that make, Ninja and CMake all
// read it back as written: one with ";" or "%" (a recipe or a pattern to
// make, plain characters to Ninja, so no escape suits both) or a line end.
// Empty when there is none.
std::string NameNoRuleCanHold(const std::string& target, const std::string& source,
                              const std::vector<std::string>& includedFiles);

// Writes DependencyRule into path; false with message when it cannot.
bool WriteDependencyFile(const std::string& path, const std::string& target,
                         const std::string& source, const std::vector<std::string>& includedFiles,
                         std::string& message);

}  // namespace kvq
