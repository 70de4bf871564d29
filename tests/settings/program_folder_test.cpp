#include "settings/program_folder.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "support/temp_dir.h"

using namespace nimbrel;
namespace fs = std::filesystem;

namespace {

// An installation under root: usr/bin for the executable and
// usr/share/nimbrel with the delivered files, each holding its own name.
struct Installation {
    TempDir root{"nimbrel-install"};
    std::string bin = root.file("usr/bin");
    std::string share = root.file("usr/share/nimbrel");
    std::string home = root.file("home");
    FolderEnvironment env{home, "", ""};
    std::string user = home + "/.local/share/nimbrel/";

    Installation() {
        fs::create_directories(bin);
        fs::create_directories(share);
        fs::create_directories(home);
        for (const char* f : kDeliveredTables) writeFileBytes(share + "/" + f, f);
        for (const char* f : kDeliveredSounds) writeFileBytes(share + "/" + f, f);
    }
};

}  // namespace

TEST(ProgramFolder, UserFoldersFollowTheBaseDirectoryRules) {
    struct Case {
        FolderEnvironment env;
        std::string data, config;
    };
    const Case cases[] = {
        {{"/home/a", "", ""}, "/home/a/.local/share/nimbrel/", "/home/a/.config/nimbrel/"},
        {{"/home/a/", "/x/data", "/x/conf/"}, "/x/data/nimbrel/", "/x/conf/nimbrel/"},
        // Relative values are not allowed and fall back to HOME.
        {{"/home/a", "rel/data", "rel"},
         "/home/a/.local/share/nimbrel/",
         "/home/a/.config/nimbrel/"},
        {{"", "", ""}, "", ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(userDataFolder(c.env), c.data);
        EXPECT_EQ(userConfigFolder(c.env), c.config);
    }
}

TEST(ProgramFolder, TablesBesideTheExecutableKeepThatFolder) {
    Installation i;
    for (const char* f : kDeliveredTables) writeFileBytes(i.bin + "/" + f, f);
    const ProgramFolderResult r = resolveProgramFolder(i.bin, i.env);
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(r.mode, FolderMode::Portable);
    EXPECT_EQ(r.folder, i.bin + "/");
    EXPECT_FALSE(fs::exists(i.user));

    // One table alone is not a portable folder.
    fs::remove(i.bin + "/toshi.ini");
    EXPECT_EQ(resolveProgramFolder(i.bin, i.env).mode, FolderMode::Installed);
}

TEST(ProgramFolder, DeliveredTablesAreReadBesideTheExecutableElseFromTheShareFolder) {
    Installation i;
    EXPECT_EQ(shareFolder(i.bin), i.share + "/");
    EXPECT_EQ(shareFolder(i.bin + "/"), i.share + "/");
    EXPECT_EQ(deliveredTablesFolder(i.bin), i.share + "/");
    writeFileBytes(i.bin + "/area_map.ini", "area_map.ini");
    EXPECT_EQ(deliveredTablesFolder(i.bin), i.share + "/") << "one table alone is not enough";
    writeFileBytes(i.bin + "/toshi.ini", "toshi.ini");
    EXPECT_EQ(deliveredTablesFolder(i.bin), i.bin + "/");
    EXPECT_FALSE(fs::exists(i.home + "/.local")) << "finding the tables makes no folder";
}

TEST(ProgramFolder, InstalledProgramSeedsThePerUserFolderOnce) {
    Installation i;
    ProgramFolderResult r = resolveProgramFolder(i.bin, i.env);
    ASSERT_TRUE(r.ok()) << programFolderErrorText(r);
    EXPECT_EQ(r.mode, FolderMode::Installed);
    EXPECT_EQ(r.folder, i.user);
    EXPECT_EQ(r.seeded.size(), std::size(kDeliveredTables) + std::size(kDeliveredSounds));
    for (const char* f : kDeliveredSounds) EXPECT_EQ(readFileBytes(i.user + f), f);
    for (const char* f : kDeliveredTables) EXPECT_EQ(readFileBytes(i.user + f), f);
    size_t files = 0;
    for (auto& e : fs::directory_iterator(i.user)) files += e.is_regular_file();
    EXPECT_EQ(files, r.seeded.size()) << "no temporary file is left behind";

    // The second start copies nothing.
    r = resolveProgramFolder(i.bin, i.env);
    ASSERT_TRUE(r.ok());
    EXPECT_TRUE(r.seeded.empty());
}

TEST(ProgramFolder, SeedingKeepsTheUsersOwnFiles) {
    Installation i;
    fs::create_directories(i.user);
    writeFileBytes(i.user + "vesk.ini", "6,\"35.6895\",\"139.6917\",,,0,0,0,0\r\n");
    writeFileBytes(i.user + "toshi.ini", "my own cities");
    writeFileBytes(i.user + "RING3.WAV", "my own ring");
    const ProgramFolderResult r = resolveProgramFolder(i.bin, i.env);
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(readFileBytes(i.user + "vesk.ini"), "6,\"35.6895\",\"139.6917\",,,0,0,0,0\r\n");
    EXPECT_EQ(readFileBytes(i.user + "toshi.ini"), "my own cities");
    EXPECT_EQ(readFileBytes(i.user + "RING3.WAV"), "my own ring");
    EXPECT_EQ(readFileBytes(i.user + "area_map.ini"), "area_map.ini");
}

TEST(ProgramFolder, XdgDataHomeIsUsedWhenSet) {
    Installation i;
    i.env.xdgDataHome = i.root.file("data");
    const ProgramFolderResult r = resolveProgramFolder(i.bin, i.env);
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(r.folder, i.root.file("data") + "/nimbrel/");
    EXPECT_TRUE(fs::exists(r.folder + "area_map.ini"));
}

TEST(ProgramFolder, FailuresGiveAReasonAndTouchNothing) {
    {
        SCOPED_TRACE("a file where the folder should be");
        Installation i;
        fs::create_directories(i.home + "/.local/share");
        writeFileBytes(i.home + "/.local/share/nimbrel", "not a folder");
        const ProgramFolderResult r = resolveProgramFolder(i.bin, i.env);
        EXPECT_EQ(r.problem, FolderProblem::CannotCreate);
        EXPECT_TRUE(r.folder.empty());
        EXPECT_EQ(readFileBytes(i.home + "/.local/share/nimbrel"), "not a folder");
        EXPECT_NE(programFolderErrorText(r).find(i.user), std::string::npos);
    }
    {
        SCOPED_TRACE("no share folder");
        Installation i;
        fs::remove_all(i.share);
        const ProgramFolderResult r = resolveProgramFolder(i.bin, i.env);
        EXPECT_EQ(r.problem, FolderProblem::ShareMissing);
        EXPECT_NE(programFolderErrorText(r).find("share/nimbrel/area_map.ini"), std::string::npos);
        // Once seeded, the share folder is no longer needed.
        Installation j;
        ASSERT_TRUE(resolveProgramFolder(j.bin, j.env).ok());
        fs::remove_all(j.share);
        EXPECT_TRUE(resolveProgramFolder(j.bin, j.env).ok());
    }
    {
        SCOPED_TRACE("no home");
        Installation i;
        const ProgramFolderResult r = resolveProgramFolder(i.bin, {});
        EXPECT_EQ(r.problem, FolderProblem::NoHome);
        EXPECT_FALSE(programFolderErrorText(r).empty());
    }
}

TEST(ProgramFolder, UnwritablePerUserFolderIsReportedAndKept) {
    if (::geteuid() == 0) GTEST_SKIP() << "root writes into any folder; the mode cannot stop it";
    Installation i;
    fs::create_directories(i.user);
    writeFileBytes(i.user + "vesk.ini", "saved");
    ::chmod(i.user.c_str(), 0555);
    const ProgramFolderResult r = resolveProgramFolder(i.bin, i.env);
    ::chmod(i.user.c_str(), 0755);
    EXPECT_EQ(r.problem, FolderProblem::NotWritable);
    EXPECT_EQ(readFileBytes(i.user + "vesk.ini"), "saved");
    EXPECT_FALSE(fs::exists(i.user + "area_map.ini"));

    // A portable copy whose folder cannot be written says so at start-up,
    // rather than failing every download.
    for (const char* f : kDeliveredTables) writeFileBytes(i.bin + "/" + f, f);
    ::chmod(i.bin.c_str(), 0555);
    const ProgramFolderResult portable = resolveProgramFolder(i.bin, i.env);
    ::chmod(i.bin.c_str(), 0755);
    EXPECT_EQ(portable.problem, FolderProblem::NotWritable);
    EXPECT_EQ(programFolderErrorText(portable).rfind("プログラムのフォルダに書き込めません。", 0),
              0u);
}
