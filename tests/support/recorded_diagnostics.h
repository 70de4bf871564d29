#pragma once
// Catches the program's diagnostics lines for a test ("place: reason"), so
// they can be asserted and do not clutter the test's output.
#include <string>
#include <vector>

#include "base/diagnostics.h"

namespace nimbrel {

struct RecordedDiagnostics {
    RecordedDiagnostics() {
        setDiagnosticsSink([this](const std::string& place, const std::string& reason) {
            lines.push_back(place + ": " + reason);
        });
    }
    ~RecordedDiagnostics() { setDiagnosticsSink({}); }
    RecordedDiagnostics(const RecordedDiagnostics&) = delete;
    RecordedDiagnostics& operator=(const RecordedDiagnostics&) = delete;

    // The lines that hold text.
    std::vector<std::string> about(const std::string& text) const {
        std::vector<std::string> out;
        for (const std::string& l : lines)
            if (l.find(text) != std::string::npos) out.push_back(l);
        return out;
    }
    std::vector<std::string> lines;
};

}  // namespace nimbrel
