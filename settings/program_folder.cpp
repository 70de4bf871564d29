#include "settings/program_folder.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>

namespace nimbrel {

namespace fs = std::filesystem;

namespace {

std::string withSlash(std::string s) {
    if (!s.empty() && s.back() != '/') s += '/';
    return s;
}

std::string envValue(const char* name) {
    const char* v = std::getenv(name);
    return v ? std::string(v) : std::string();
}

std::string xdgFolder(const std::string& xdg, const std::string& home, const char* fallback) {
    if (!xdg.empty() && xdg[0] == '/') return withSlash(xdg) + "nimbrel/";
    if (home.empty()) return {};
    return withSlash(home) + fallback + "nimbrel/";
}

bool isFile(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool isFolder(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// A file made and removed again: the only sure test of writing, as modes
// do not tell (root, read-only mounts, access lists).
int probeWrite(const std::string& folder) {
    std::string probe = folder + ".nimbrel-probe-XXXXXX";
    const int fd = ::mkstemp(probe.data());
    if (fd < 0) return errno;
    ::close(fd);
    ::unlink(probe.c_str());
    return 0;
}

// Copies from into the new file to, which must not exist yet: the bytes go
// to a temporary file that is then linked under the final name, and link
// refuses to replace a file, so a user's file made meanwhile is kept.
// Returns 0, or the errno of the failing step.
int copyNew(const std::string& from, const std::string& to) {
    const int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) return errno;
    std::string temp = to + ".XXXXXX";
    const int out = ::mkstemp(temp.data());
    if (out < 0) {
        const int err = errno;
        ::close(in);
        return err;
    }
    ::fchmod(out, 0644);
    int err = 0;
    char buf[64 * 1024];
    for (;;) {
        const ssize_t n = ::read(in, buf, sizeof buf);
        if (n == 0) break;
        if (n < 0) {
            if (errno == EINTR) continue;
            err = errno;
            break;
        }
        for (ssize_t done = 0; done < n && !err;) {
            const ssize_t w = ::write(out, buf + done, static_cast<size_t>(n - done));
            if (w < 0 && errno != EINTR) err = errno;
            if (w > 0) done += w;
        }
        if (err) break;
    }
    ::close(in);
    if (!err && ::fsync(out) != 0) err = errno;
    if (::close(out) != 0 && !err) err = errno;
    if (!err && ::link(temp.c_str(), to.c_str()) != 0 && errno != EEXIST) err = errno;
    ::unlink(temp.c_str());
    return err;
}

ProgramFolderResult failed(ProgramFolderResult r, FolderProblem problem, std::string path,
                           int err) {
    r.folder.clear();
    r.problem = problem;
    r.path = std::move(path);
    if (err) r.detail = std::strerror(err);
    return r;
}

}  // namespace

FolderEnvironment processFolderEnvironment() {
    return {envValue("HOME"), envValue("XDG_DATA_HOME"), envValue("XDG_CONFIG_HOME")};
}

std::string userDataFolder(const FolderEnvironment& env) {
    return xdgFolder(env.xdgDataHome, env.home, ".local/share/");
}

std::string userConfigFolder(const FolderEnvironment& env) {
    return xdgFolder(env.xdgConfigHome, env.home, ".config/");
}

std::string shareFolder(const std::string& exeDir) {
    const std::string share = fs::path(withSlash(exeDir)).parent_path().parent_path().string();
    return withSlash(share) + "share/nimbrel/";
}

std::string deliveredTablesFolder(const std::string& exeDir) {
    const std::string exe = withSlash(exeDir);
    bool portable = true;
    for (const char* table : kDeliveredTables) portable = portable && isFile(exe + table);
    return portable ? exe : shareFolder(exe);
}

ProgramFolderResult resolveProgramFolder(const std::string& exeDir, const FolderEnvironment& env) {
    ProgramFolderResult r;
    const std::string exe = withSlash(exeDir);
    const std::string share = shareFolder(exe);
    if (deliveredTablesFolder(exe) == exe) {
        // A copy on a read-only medium could fetch no image at all.
        if (const int err = probeWrite(exe)) return failed(r, FolderProblem::NotWritable, exe, err);
        r.folder = exe;
        return r;
    }

    r.mode = FolderMode::Installed;
    const std::string user = userDataFolder(env);
    if (user.empty()) return failed(r, FolderProblem::NoHome, {}, 0);
    std::error_code ec;
    fs::create_directories(user, ec);
    if (!isFolder(user))
        return failed(r, FolderProblem::CannotCreate, user, ec ? ec.value() : ENOTDIR);
    if (const int err = probeWrite(user)) return failed(r, FolderProblem::NotWritable, user, err);

    for (const char* table : kDeliveredTables) {
        if (isFile(user + table)) continue;
        if (!isFile(share + table)) return failed(r, FolderProblem::ShareMissing, share + table, 0);
    }
    auto seed = [&](const char* name, bool required) -> bool {
        if (isFile(user + name)) return true;
        if (!isFile(share + name)) return !required;
        if (const int err = copyNew(share + name, user + name)) {
            r = failed(r, FolderProblem::SeedFailed, user + name, err);
            return false;
        }
        r.seeded.push_back(name);
        return true;
    };
    for (const char* table : kDeliveredTables)
        if (!seed(table, true)) return r;
    for (const char* sound : kDeliveredSounds)
        if (!seed(sound, false)) return r;
    r.folder = user;
    return r;
}

std::string programFolderErrorText(const ProgramFolderResult& result) {
    const std::string reason = result.detail.empty() ? "" : "\n（" + result.detail + "）";
    switch (result.problem) {
        case FolderProblem::None:
            return {};
        case FolderProblem::NoHome:
            return "ファイルを置くフォルダが決められません。\n環境変数 HOME が設定されていません。";
        case FolderProblem::CannotCreate:
            return "ユーザーフォルダを作成できません。\n" + result.path + reason +
                   "\n\n既存のファイルには手を付けずに終了します。";
        case FolderProblem::NotWritable:
            return std::string(result.mode == FolderMode::Installed ? "ユーザーフォルダ"
                                                                    : "プログラムのフォルダ") +
                   "に書き込めません。\n" + result.path + reason +
                   "\n\n既存のファイルには手を付けずに終了します。";
        case FolderProblem::ShareMissing:
            return "配布ファイルが見つかりません。\n" + result.path +
                   "\n\nインストールが壊れています。パッケージを入れ直してください。";
        case FolderProblem::SeedFailed:
            return "配布ファイルをユーザーフォルダにコピーできません。\n" + result.path + reason +
                   "\n\n既存のファイルには手を付けずに終了します。";
    }
    return {};
}

}  // namespace nimbrel
