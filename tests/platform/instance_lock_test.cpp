#include "platform/instance_lock.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

#include "support/temp_dir.h"

extern char** environ;

namespace nimbrel {
namespace {

TEST(InstanceLockTest, LockPathIsInTheProgramFolder) {
    EXPECT_EQ(instanceLockPath("/opt/nimbrel/"), "/opt/nimbrel/nimbrel.lock");
    EXPECT_EQ(instanceLockPath("/opt/nimbrel"), "/opt/nimbrel/nimbrel.lock");
}

TEST(InstanceLockTest, ASecondHolderIsRefusedUntilTheFirstLetsGo) {
    TempDir dir;
    const std::string path = instanceLockPath(dir.folder());
    InstanceLock first;
    InstanceLock second;
    EXPECT_EQ(first.acquire(path).status, LockStatus::Acquired);
    // Asking again from the same holder is not another instance.
    EXPECT_EQ(first.acquire(path).status, LockStatus::Acquired);
    EXPECT_EQ(second.acquire(path).status, LockStatus::HeldElsewhere);
    EXPECT_FALSE(second.held());
    first.release();
    EXPECT_EQ(second.acquire(path).status, LockStatus::Acquired);
    EXPECT_EQ(first.acquire(path).status, LockStatus::HeldElsewhere);
}

TEST(InstanceLockTest, DifferentFoldersDoNotShareALock) {
    TempDir a;
    TempDir b;
    InstanceLock first;
    InstanceLock second;
    EXPECT_EQ(first.acquire(instanceLockPath(a.folder())).status, LockStatus::Acquired);
    EXPECT_EQ(second.acquire(instanceLockPath(b.folder())).status, LockStatus::Acquired);
}

TEST(InstanceLockTest, AFolderWithoutRoomForTheLockIsAnError) {
    TempDir dir;
    writeFileBytes(dir.file("plain"), "x");
    InstanceLock lock;
    const LockResult r = lock.acquire(instanceLockPath(dir.file("plain")));
    EXPECT_EQ(r.status, LockStatus::Error);
    EXPECT_NE(r.error, 0);
}

// The lock of a process that dies without cleaning up is free again.
TEST(InstanceLockTest, ALockHeldByAKilledProcessIsReleased) {
    TempDir dir;
    const std::string path = instanceLockPath(dir.folder());
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        InstanceLock held;
        const char c = held.acquire(path).status == LockStatus::Acquired ? 'y' : 'n';
        if (::write(ready[1], &c, 1) != 1) ::_exit(2);
        for (;;) ::pause();
    }
    ::close(ready[1]);
    char c = 0;
    ASSERT_EQ(::read(ready[0], &c, 1), 1);
    ::close(ready[0]);
    EXPECT_EQ(c, 'y');

    InstanceLock mine;
    EXPECT_EQ(mine.acquire(path).status, LockStatus::HeldElsewhere);
    ::kill(child, SIGKILL);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_EQ(mine.acquire(path).status, LockStatus::Acquired);
}

// A program started while we hold the lock (a browser, say) must not keep
// it after we let go.
TEST(InstanceLockTest, StartedProgramsDoNotInheritTheLock) {
    TempDir dir;
    const std::string path = instanceLockPath(dir.folder());
    InstanceLock first;
    ASSERT_EQ(first.acquire(path).status, LockStatus::Acquired);
    pid_t child = 0;
    char sleepArg0[] = "sleep";
    char sleepArg1[] = "30";
    char* argv[] = {sleepArg0, sleepArg1, nullptr};
    ASSERT_EQ(::posix_spawnp(&child, "sleep", nullptr, nullptr, argv, environ), 0);
    first.release();
    InstanceLock second;
    EXPECT_EQ(second.acquire(path).status, LockStatus::Acquired);
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
}

}  // namespace
}  // namespace nimbrel
