#pragma once
// Why something failed, where the window shows only the program's own texts
// (or nothing): one line on standard error with the local time, the place
// and the reason, as a desktop session's journal shows a program's output.
// A person who starts the program from a terminal sees why a cycle failed.
#include <functional>
#include <string>

namespace nimbrel {

// place: what was being done, e.g. the address fetched or the file written.
void diagnose(const std::string& place, const std::string& reason);

// Diagnoses a result that failed (ok() false), by its reasonText().
template <class Result>
void diagnoseFailure(const std::string& place, const Result& result) {
    if (!result.ok()) diagnose(place, result.reasonText());
}

// The sink the lines go to instead (tests); an empty one restores standard
// error. Used on the window's thread and by the transfer threads.
using DiagnosticsSink = std::function<void(const std::string& place, const std::string& reason)>;
void setDiagnosticsSink(DiagnosticsSink sink);

// The line written to standard error.
std::string diagnosticLine(const std::string& time, const std::string& place,
                           const std::string& reason);

}  // namespace nimbrel
