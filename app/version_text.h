#pragma once
#include <string>

#include "version.h"

namespace nimbrel {
// "Ver. " + major + "." + minor + "." + revision of the program's version.
inline std::string versionText() {
    return "Ver. " + std::to_string(kVersionMajor) + "." + std::to_string(kVersionMinor) + "." +
           std::to_string(kVersionRevision);
}
}  // namespace nimbrel
