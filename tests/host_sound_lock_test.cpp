// The per-user sound lock: of the savers a daemon starts (one per monitor), one plays.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <utility>
#include <vector>
#include <string>

#include "host/sound_lock.h"

using namespace qh;

namespace {
// Points the lock's folders at a fresh temporary folder and puts the environment back.
class SoundLockTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/qh-sound-lock.XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    folder_ = pattern;
    for (const char* name : {"XDG_RUNTIME_DIR", "XDG_CONFIG_HOME", "HOME"}) {
      const char* value = std::getenv(name);
      saved_.emplace_back(name, value != nullptr ? std::optional<std::string>(value) : std::nullopt);
    }
    setenv("XDG_RUNTIME_DIR", folder_.c_str(), 1);
  }
  void TearDown() override {
    ReleaseSoundLock();
    for (const auto& [name, value] : saved_) {
      if (value) {
        setenv(name.c_str(), value->c_str(), 1);
      } else {
        unsetenv(name.c_str());
      }
    }
    std::filesystem::remove_all(folder_);
  }

  // A second saver: takes the lock, says on `report` whether it got it ('1' or '0'), and
  // waits for a byte on `hold` (or for the end of that pipe) before it ends without
  // releasing anything, the way a crash would.
  pid_t StartOtherSaver(int* report, int* hold) {
    int reportPipe[2], holdPipe[2];
    if (pipe(reportPipe) != 0 || pipe(holdPipe) != 0) return -1;
    const pid_t pid = fork();
    if (pid == 0) {
      close(reportPipe[0]);
      close(holdPipe[1]);
      // Start as a fresh process would: drop the copy of this process's lock descriptor
      // that fork handed down. The parent's own descriptor keeps its lock.
      ReleaseSoundLock();
      const char got = TakeSoundLock() ? '1' : '0';
      if (write(reportPipe[1], &got, 1) != 1) _exit(3);
      char byte;
      if (read(holdPipe[0], &byte, 1) < 0) _exit(4);
      _exit(0);
    }
    close(reportPipe[1]);
    close(holdPipe[0]);
    *report = reportPipe[0];
    *hold = holdPipe[1];
    return pid;
  }

  std::string folder_;
  std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

char ReadReport(int fd) {
  char got = '?';
  if (read(fd, &got, 1) != 1) return '?';
  return got;
}
}  // namespace

TEST_F(SoundLockTest, OnlyOneOfTwoProcessesHoldsIt) {
  int report = -1, hold = -1;
  const pid_t other = StartOtherSaver(&report, &hold);
  ASSERT_GT(other, 0);
  ASSERT_EQ(ReadReport(report), '1') << "the first saver takes the lock";
  EXPECT_FALSE(TakeSoundLock()) << "a second saver must run silent";
  EXPECT_TRUE(std::filesystem::exists(folder_ + "/quiet-highland-sound.lock"));

  // The holder ends without a word (as in a crash): the lock goes with it.
  close(hold);
  int status = 0;
  ASSERT_EQ(waitpid(other, &status, 0), other);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  close(report);
  EXPECT_TRUE(TakeSoundLock());
  EXPECT_TRUE(TakeSoundLock()) << "asking again keeps it";

  // Now this process holds it and another gets nothing, even after being killed outright.
  const pid_t third = StartOtherSaver(&report, &hold);
  ASSERT_GT(third, 0);
  EXPECT_EQ(ReadReport(report), '0');
  kill(third, SIGKILL);
  waitpid(third, &status, 0);
  close(report);
  close(hold);
  EXPECT_TRUE(TakeSoundLock());
}

TEST_F(SoundLockTest, AKilledHolderFreesTheLock) {
  int report = -1, hold = -1;
  const pid_t other = StartOtherSaver(&report, &hold);
  ASSERT_GT(other, 0);
  ASSERT_EQ(ReadReport(report), '1');
  EXPECT_FALSE(TakeSoundLock());
  kill(other, SIGKILL);
  int status = 0;
  waitpid(other, &status, 0);
  close(report);
  close(hold);
  EXPECT_TRUE(TakeSoundLock());
}

TEST_F(SoundLockTest, ReleasedLockCanBeTakenByAnother) {
  ASSERT_TRUE(TakeSoundLock());
  ReleaseSoundLock();
  int report = -1, hold = -1;
  const pid_t other = StartOtherSaver(&report, &hold);
  ASSERT_GT(other, 0);
  EXPECT_EQ(ReadReport(report), '1');
  close(hold);
  int status = 0;
  waitpid(other, &status, 0);
  close(report);
}

TEST_F(SoundLockTest, LockFileFallsBackToTheConfigFolder) {
  EXPECT_EQ(SoundLockPath(), folder_ + "/quiet-highland-sound.lock");
  setenv("XDG_CONFIG_HOME", (folder_ + "/config").c_str(), 1);
  for (const char* unusable : {"", "relative/run"}) {
    setenv("XDG_RUNTIME_DIR", unusable, 1);
    EXPECT_EQ(SoundLockPath(), folder_ + "/config/quiet-highland/sound.lock") << unusable;
  }
  unsetenv("XDG_RUNTIME_DIR");
  EXPECT_EQ(SoundLockPath(), folder_ + "/config/quiet-highland/sound.lock");
  unsetenv("XDG_CONFIG_HOME");
  setenv("HOME", (folder_ + "/home").c_str(), 1);
  EXPECT_EQ(SoundLockPath(), folder_ + "/home/.config/quiet-highland/sound.lock");
  // The folder is made when missing, and the lock works there.
  EXPECT_TRUE(TakeSoundLock());
  EXPECT_TRUE(std::filesystem::exists(folder_ + "/home/.config/quiet-highland/sound.lock"));
}

TEST_F(SoundLockTest, NoLockWhereNoFileCanBeMade) {
  const std::string blocker = folder_ + "/file";
  FILE* f = std::fopen(blocker.c_str(), "w");
  ASSERT_NE(f, nullptr);
  std::fclose(f);
  setenv("XDG_RUNTIME_DIR", (blocker + "/inside").c_str(), 1);  // a folder under a plain file
  EXPECT_FALSE(TakeSoundLock());
}
