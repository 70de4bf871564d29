#pragma once
// Where the program keeps its files. Run from a folder that holds the
// delivered tables (the build folder, a portable copy), that folder is the
// program folder, as it always was. Installed, the executable's folder is
// not ours to write: the program folder is then the per-user folder
// $XDG_DATA_HOME/nimbrel, made on first start and seeded from the share
// folder <exe dir>/../share/nimbrel.
#include <string>
#include <vector>

#include "settings/program_files.h"

namespace nimbrel {

// The files delivered with the program: the tables it cannot run without,
// and the warning sounds, which it can (a missing sound plays nothing).
using files::kDeliveredSounds;
using files::kDeliveredTables;

// The parts of the environment the folders depend on, passed in so tests
// need not change the process's own.
struct FolderEnvironment {
    std::string home;
    std::string xdgDataHome;
    std::string xdgConfigHome;
};
FolderEnvironment processFolderEnvironment();

// Both end in '/'; empty when neither the XDG variable (absolute paths
// only, as the base directory rules say) nor HOME gives one.
std::string userDataFolder(const FolderEnvironment& env);
std::string userConfigFolder(const FolderEnvironment& env);

// Where the delivered tables are read from: the executable's folder when
// it holds them all (the build folder, a portable copy), else the share
// folder of an installation, <exe dir>/../share/nimbrel/. Both end in '/'.
std::string shareFolder(const std::string& exeDir);
std::string deliveredTablesFolder(const std::string& exeDir);

enum class FolderMode { Portable, Installed };

enum class FolderProblem {
    None,
    NoHome,        // no HOME and no XDG_DATA_HOME: nowhere to keep files
    CannotCreate,  // the per-user folder could not be made
    NotWritable,   // it exists but no file can be made in it
    ShareMissing,  // a table is missing from both the per-user and share folders
    SeedFailed,    // copying a delivered file failed
};

struct ProgramFolderResult {
    std::string folder;  // the program folder, ending in '/'; empty on failure
    FolderMode mode = FolderMode::Portable;
    FolderProblem problem = FolderProblem::None;
    std::string path;                 // the folder or file the problem concerns
    std::string detail;               // the system's reason, when there is one
    std::vector<std::string> seeded;  // names copied in on this start
    bool ok() const { return problem == FolderProblem::None; }
};

// Seeding never replaces a file the per-user folder already holds, and a
// failure leaves every file that was there as it was.
ProgramFolderResult resolveProgramFolder(const std::string& exeDir, const FolderEnvironment& env);

// The message box text for a failed resolution.
std::string programFolderErrorText(const ProgramFolderResult& result);

}  // namespace nimbrel
