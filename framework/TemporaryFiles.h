// Temporary files that a caught signal removes. A signal handler can reach
// nothing but process-wide data, so this is the one registry of the
// program: a fixed table of names, filled and cleared by StagedFile, that
// the handler walks without allocating (it only reads the names) before it
// lets the signal end the process as it would have.
#pragma once

#include <string>

namespace kvq {

// Installs the handler for SIGINT, SIGTERM, SIGHUP and SIGQUIT; call once
// at the program's start. Signals left at "ignore" stay ignored. SIGXFSZ
// is ignored: a file-size limit then fails the write like a full disk,
// which the run reports, instead of ending the process midway.
void RemoveTemporariesOnSignals();

// Notes a temporary file; false when the table is full (the file is then
// not removed by a signal, but is still removed by its owner).
bool NoteTemporary(const std::string& path);
// Forgets a temporary that was renamed or removed.
void ForgetTemporary(const std::string& path);

}  // namespace kvq
