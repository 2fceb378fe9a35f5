// The settings store: layer order, and atomic writes that never lose the user's file.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>

#include <string>

#include "resources/registry_store.h"
#include "store_test_support.h"

using namespace qh;
using qh::test::StoreWorld;

namespace {
constexpr const char* kRel = "software\\quorvale\\screensavers\\Quiet Highland";

RegValue Binary(const char* name, const std::string& bytes) {
  RegValue v;
  v.name = name;
  v.type = RegValueType::Binary;
  v.typeCode = 3;
  v.data = bytes;
  return v;
}
}  // namespace

using StoreLayersTest = StoreWorld;

TEST_F(StoreLayersTest, FilesInLookupOrder) {
  const std::vector<std::string> files = StoreFiles();
  ASSERT_EQ(files.size(), 4u);
  EXPECT_EQ(files[0], UserFile());
  EXPECT_EQ(files[1], SystemFile(1));
  EXPECT_EQ(files[2], SystemFile(2));
  EXPECT_EQ(files[3], InstallFile());
}

TEST_F(StoreLayersTest, FirstFileHoldingTheValueWins) {
  WriteFile(InstallFile(), Store("\"v\"=\"install\"\n\"only-install\"=\"i\"\n"));
  WriteFile(SystemFile(2), Store("\"v\"=\"system2\"\n"));
  WriteFile(SystemFile(1), Store("\"v\"=\"system1\"\n"));
  WriteFile(UserFile(), Store("\"v\"=\"user\"\n"));
  std::string value;
  ASSERT_TRUE(ReadRegistryString(kRel, "v", &value));
  EXPECT_EQ(value, "user");
  ASSERT_EQ(unlink(UserFile().c_str()), 0);
  ReadRegistryString(kRel, "v", &value);
  EXPECT_EQ(value, "system1");
  ASSERT_EQ(unlink(SystemFile(1).c_str()), 0);
  ReadRegistryString(kRel, "v", &value);
  EXPECT_EQ(value, "system2");
  ASSERT_EQ(unlink(SystemFile(2).c_str()), 0);
  std::string folder;
  ReadRegistryString(kRel, "v", &value, &folder);
  EXPECT_EQ(value, "install");
  EXPECT_EQ(folder, root_ + "/install/share/quiet-highland");
  ASSERT_TRUE(ReadRegistryString(kRel, "ONLY-INSTALL", &value));
  EXPECT_EQ(value, "i");
}

TEST_F(StoreLayersTest, AValueOfTheWrongTypeDoesNotFallThrough) {
  WriteFile(UserFile(), Store("\"settings\"=\"text\"\n\"dir\"=hex:2f\n"));
  WriteFile(InstallFile(), Store("\"settings\"=hex:01\n\"dir\"=\"/x\"\n"));
  uint8_t buffer[1] = {0x77};
  uint32_t size = 1;
  ReadRegistryBlob(kRel, "settings", buffer, &size);
  EXPECT_EQ(size, 0u);
  EXPECT_EQ(buffer[0], 0x77);
  std::string value = "stale";
  EXPECT_FALSE(ReadRegistryString(kRel, "dir", &value));
  EXPECT_EQ(value, "");
}

TEST_F(StoreLayersTest, BlobSizesMustMatch) {
  WriteFile(UserFile(), Store("\"twenty\"=hex:01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,12,13,14\n"));
  uint8_t buffer[21] = {};
  for (const uint32_t wrong : {19u, 21u, 0u}) {
    uint32_t size = wrong;
    ReadRegistryBlob(kRel, "twenty", buffer, &size);
    EXPECT_EQ(size, 0u) << wrong;
    EXPECT_EQ(buffer[0], 0) << "the buffer stays untouched";
  }
  uint32_t size = 20;
  ReadRegistryBlob(kRel, "twenty", buffer, &size);
  EXPECT_EQ(size, 20u);
  EXPECT_EQ(buffer[0], 1);
  EXPECT_EQ(buffer[19], 0x14);
  size = 20;
  ReadRegistryBlob(kRel, "absent", buffer, &size);
  EXPECT_EQ(size, 0u);
  size = 0;
  ReadRegistryBlob("software\\nothing", "x", nullptr, &size);
  EXPECT_EQ(size, 0u);
}

TEST_F(StoreLayersTest, ConfigHomeUnsetEmptyOrRelativeMeansDotConfig) {
  const std::string dotConfig = root_ + "/home/.config/quiet-highland/registry.reg";
  for (const char* value : {"", "relative/path", "./config"}) {
    setenv("XDG_CONFIG_HOME", value, 1);
    EXPECT_EQ(UserStoreFile(), dotConfig) << value;
  }
  unsetenv("XDG_CONFIG_HOME");
  EXPECT_EQ(UserStoreFile(), dotConfig);
  // And a save then lands there.
  WriteRegistryBlob(kRel, "settings", "\x01", 1);
  EXPECT_TRUE(Exists(dotConfig));
  // Without HOME the account's home folder is asked for.
  unsetenv("HOME");
  const std::string fallback = UserStoreFile();
  EXPECT_FALSE(fallback.empty());
  EXPECT_EQ(fallback.rfind("/.config/quiet-highland/registry.reg"), fallback.size() - 36);
}

TEST_F(StoreLayersTest, SystemFoldersDefaultToEtcXdgAndSkipRelativeEntries) {
  unsetenv("XDG_CONFIG_DIRS");
  std::vector<std::string> files = StoreFiles();
  ASSERT_EQ(files.size(), 3u);
  EXPECT_EQ(files[1], "/etc/xdg/quiet-highland/registry.reg");
  setenv("XDG_CONFIG_DIRS", "", 1);
  EXPECT_EQ(StoreFiles()[1], "/etc/xdg/quiet-highland/registry.reg");
  setenv("XDG_CONFIG_DIRS", ("relative::" + root_ + "/xdg2:").c_str(), 1);
  files = StoreFiles();
  ASSERT_EQ(files.size(), 3u);
  EXPECT_EQ(files[1], SystemFile(2));
}

TEST_F(StoreLayersTest, DefaultInstallationFileSitsBesideTheExecutable) {
  SetInstallationStoreFile(nullptr);
  const std::string file = InstallationStoreFile();
  EXPECT_EQ(file.rfind("/share/quiet-highland/registry.reg"), file.size() - 34);
  EXPECT_EQ(file.find("/bin/"), std::string::npos);
}

TEST_F(StoreLayersTest, WritesGoToTheUserFileOnlyAndKeepItsOtherLines) {
  const std::string user = "REGEDIT4\n\n; mine\n[HKEY_CURRENT_USER\\keep]\n\"x\"=\"y\"\n\n" + std::string(kKeyLine) +
                           "\n\"dir\"=\"/mine\"\n\"settings\"=hex:00\n";
  WriteFile(UserFile(), user);
  const std::string install = Store("\"settings\"=hex:05\n");
  WriteFile(InstallFile(), install);
  WriteRegistryBlob(kRel, "settings", "\x07\x08", 2);
  EXPECT_EQ(ReadFile(UserFile()), "REGEDIT4\n\n; mine\n[HKEY_CURRENT_USER\\keep]\n\"x\"=\"y\"\n\n" +
                                      std::string(kKeyLine) + "\n\"dir\"=\"/mine\"\n\"settings\"=hex:07,08\n");
  EXPECT_EQ(ReadFile(InstallFile()), install);
  EXPECT_TRUE(WriteRegistryString(kRel, "namerus", "Тихое \"нагорье\""));
  std::string value;
  ReadRegistryString(kRel, "namerus", &value);
  EXPECT_EQ(value, "Тихое \"нагорье\"");
}

TEST_F(StoreLayersTest, MissingFoldersAreCreated) {
  ASSERT_FALSE(Exists(root_ + "/config"));
  WriteRegistryBlob(kRel, "settings", "\x01\x02", 2);
  EXPECT_EQ(ReadFile(UserFile()), Store("\"settings\"=hex:01,02\n"));
  struct stat info;
  ASSERT_EQ(stat(UserFile().c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);
}

TEST_F(StoreLayersTest, AWriteKeepsTheFilesPermissions) {
  WriteFile(UserFile(), Store(""));
  ASSERT_EQ(chmod(UserFile().c_str(), 0644), 0);
  WriteRegistryBlob(kRel, "settings", "\x01", 1);
  struct stat info;
  ASSERT_EQ(stat(UserFile().c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0644u);
}

TEST_F(StoreLayersTest, StaleTemporaryFilesAreRemovedByTheNextSave) {
  WriteFile(UserFile(), Store("\"v\"=\"real\"\n"));
  // What interrupted writes leave behind: temporary files never renamed, of a process that
  // has ended (and of the earlier name form without a process number).
  const pid_t gone = fork();
  ASSERT_GE(gone, 0);
  if (gone == 0) _exit(0);
  ASSERT_EQ(waitpid(gone, nullptr, 0), gone);
  const std::string stale = UserFile() + ".tmp-" + std::to_string(gone) + "-AbC123";
  const std::string older = UserFile() + ".tmp-XyZ789";
  WriteFile(stale, Store("\"v\"=\"half-writ"));
  WriteFile(older, Store("\"v\"=\"half"));
  // Kept: a live process's write in progress, and files that are not ours.
  const std::string live = UserFile() + ".tmp-" + std::to_string(getppid()) + "-LiVe01";
  const std::string notOurs = UserFile() + ".tmp-notes.txt";
  WriteFile(live, "in progress");
  WriteFile(notOurs, "mine");
  std::string value;
  ReadRegistryString(kRel, "v", &value);
  EXPECT_EQ(value, "real");
  EXPECT_TRUE(WriteRegistryString(kRel, "w", "new"));
  ReadRegistryString(kRel, "v", &value);
  EXPECT_EQ(value, "real");
  EXPECT_FALSE(Exists(stale));
  EXPECT_FALSE(Exists(older));
  EXPECT_TRUE(Exists(live));
  EXPECT_TRUE(Exists(notOurs));
  // The write left no temporary file of its own.
  const std::string command = "test $(ls -a '" + root_ + "/config/quiet-highland' | grep -c tmp) -eq 2";
  EXPECT_EQ(std::system(command.c_str()), 0);
}

// A full disk while the new file is written: the damaged file the user had stays where it
// was (it is kept aside only once its replacement is safely on disk).
TEST_F(StoreLayersTest, AFailedWriteLeavesTheDamagedFileInPlace) {
  const std::string damaged = Store("\"dir\"=\"/" + std::string(4000, 'm') + "\"\nrandom garbage line\n");
  WriteFile(UserFile(), damaged);
  struct rlimit saved;
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
  struct rlimit tiny = saved;
  tiny.rlim_cur = 2000;  // the new file's write fails, as on a full disk; stderr's capture fits
  std::signal(SIGXFSZ, SIG_IGN);
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &tiny), 0);
  testing::internal::CaptureStderr();
  const bool written = WriteUserStoreValue(kRel, Binary("settings", "\x01"));
  const std::string message = testing::internal::GetCapturedStderr();
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &saved), 0);
  std::signal(SIGXFSZ, SIG_DFL);
  EXPECT_FALSE(written);
  EXPECT_NE(message.find("can't save"), std::string::npos) << message;
  EXPECT_EQ(ReadFile(UserFile()), damaged);
  EXPECT_FALSE(Exists(UserFile() + ".bad"));
  const std::string command = "test $(ls -a '" + root_ + "/config/quiet-highland' | grep -c tmp) -eq 0";
  EXPECT_EQ(std::system(command.c_str()), 0);
}

TEST_F(StoreLayersTest, AnUnparseableUserFileIsMovedAsideNotLost) {
  const std::string damaged = Store("\"dir\"=\"/mine\"\nrandom garbage line\n\"settings\"=hex:01,0");
  WriteFile(UserFile(), damaged);
  testing::internal::CaptureStderr();
  WriteRegistryBlob(kRel, "settings", "\x09", 1);
  const std::string message = testing::internal::GetCapturedStderr();
  EXPECT_NE(message.find("registry.reg.bad"), std::string::npos) << message;
  EXPECT_EQ(ReadFile(UserFile() + ".bad"), damaged);
  // The new file holds the readable values and the new one.
  EXPECT_EQ(ReadFile(UserFile()), Store("\"dir\"=\"/mine\"\n\"settings\"=hex:09\n"));
  // A second damaged file does not replace the first one kept aside.
  WriteFile(UserFile(), "\xFF\xFE garbage");
  testing::internal::CaptureStderr();
  WriteRegistryBlob(kRel, "settings", "\x0a", 1);
  testing::internal::GetCapturedStderr();
  EXPECT_EQ(ReadFile(UserFile() + ".bad"), damaged);
  EXPECT_EQ(ReadFile(UserFile() + ".bad.1"), "\xFF\xFE garbage");
  EXPECT_EQ(ReadFile(UserFile()), Store("\"settings\"=hex:0a\n"));
}

TEST_F(StoreLayersTest, AnUnreadableUserFileIsLeftAlone) {
  MakeDir(UserFile());  // a folder where the file should be
  testing::internal::CaptureStderr();
  EXPECT_FALSE(WriteUserStoreValue(kRel, Binary("settings", "\x01")));
  const std::string message = testing::internal::GetCapturedStderr();
  EXPECT_NE(message.find("can't"), std::string::npos) << message;
  struct stat info;
  ASSERT_EQ(stat(UserFile().c_str(), &info), 0);
  EXPECT_TRUE(S_ISDIR(info.st_mode));
  // Reads skip it and go on to the next layer.
  WriteFile(InstallFile(), Store("\"v\"=\"install\"\n"));
  std::string value;
  EXPECT_TRUE(ReadRegistryString(kRel, "v", &value));
  EXPECT_EQ(value, "install");
}

TEST_F(StoreLayersTest, APipeInPlaceOfTheFileDoesNotHang) {
  MakeDir(root_ + "/config/quiet-highland");
  ASSERT_EQ(mkfifo(UserFile().c_str(), 0600), 0);
  WriteFile(InstallFile(), Store("\"v\"=\"install\"\n"));
  std::string value;
  EXPECT_TRUE(ReadRegistryString(kRel, "v", &value));
  EXPECT_EQ(value, "install");
  testing::internal::CaptureStderr();
  EXPECT_FALSE(WriteUserStoreValue(kRel, Binary("settings", "\x01")));
  testing::internal::GetCapturedStderr();
  struct stat info;
  ASSERT_EQ(lstat(UserFile().c_str(), &info), 0);
  EXPECT_TRUE(S_ISFIFO(info.st_mode));
}

TEST_F(StoreLayersTest, AFileLinkedFromElsewhereIsWrittenThrough) {
  const std::string target = root_ + "/dotfiles/registry.reg";
  WriteFile(target, Store("\"dir\"=\"/mine\"\n"));
  MakeDir(root_ + "/config/quiet-highland");
  ASSERT_EQ(symlink(target.c_str(), UserFile().c_str()), 0);
  WriteRegistryBlob(kRel, "settings", "\x03", 1);
  struct stat info;
  ASSERT_EQ(lstat(UserFile().c_str(), &info), 0);
  EXPECT_TRUE(S_ISLNK(info.st_mode));
  EXPECT_EQ(ReadFile(target), Store("\"dir\"=\"/mine\"\n\"settings\"=hex:03\n"));
}

// A link to something that is not a clean settings file (here a copy of /etc/passwd, or a
// file that does not exist) is never renamed, replaced or created.
TEST_F(StoreLayersTest, ALinkToAnythingButACleanSettingsFileIsLeftAlone) {
  const std::string passwd = "root:x:0:0:root:/root:/bin/bash\ndaemon:x:1:1::/:/usr/sbin/nologin\n";
  const std::string target = root_ + "/etc/passwd";
  WriteFile(target, passwd);
  MakeDir(root_ + "/config/quiet-highland");
  ASSERT_EQ(symlink(target.c_str(), UserFile().c_str()), 0);
  testing::internal::CaptureStderr();
  EXPECT_FALSE(WriteUserStoreValue(kRel, Binary("settings", "\x01")));
  std::string message = testing::internal::GetCapturedStderr();
  EXPECT_NE(message.find(target), std::string::npos) << message;
  EXPECT_EQ(ReadFile(target), passwd);
  const std::string onlyPasswd = "test \"$(ls -A '" + root_ + "/etc')\" = passwd";
  EXPECT_EQ(std::system(onlyPasswd.c_str()), 0);
  struct stat info;
  ASSERT_EQ(lstat(UserFile().c_str(), &info), 0);
  EXPECT_TRUE(S_ISLNK(info.st_mode));

  ASSERT_EQ(unlink(UserFile().c_str()), 0);
  const std::string missing = root_ + "/etc/shadow";
  ASSERT_EQ(symlink(missing.c_str(), UserFile().c_str()), 0);
  testing::internal::CaptureStderr();
  EXPECT_FALSE(WriteUserStoreValue(kRel, Binary("settings", "\x01")));
  message = testing::internal::GetCapturedStderr();
  EXPECT_NE(message.find(missing), std::string::npos) << message;
  EXPECT_FALSE(Exists(missing));
}

TEST_F(StoreLayersTest, AHugeUserFileIsSkippedAndKeptAside) {
  WriteFile(UserFile(), Store("\"v\"=\"" + std::string(1 << 21, 'a') + "\"\n"));
  WriteFile(InstallFile(), Store("\"v\"=\"install\"\n"));
  std::string value;
  ReadRegistryString(kRel, "v", &value);
  EXPECT_EQ(value, "install");
  testing::internal::CaptureStderr();
  WriteRegistryBlob(kRel, "settings", "\x01", 1);
  testing::internal::GetCapturedStderr();
  EXPECT_TRUE(Exists(UserFile() + ".bad"));
  EXPECT_EQ(ReadFile(UserFile()), Store("\"settings\"=hex:01\n"));
}

// One size limit for reading and writing: a clean file of exactly the limit is read, and a
// save that would make it larger is refused instead of writing a file the next read refuses.
TEST_F(StoreLayersTest, OneSizeLimitForReadingAndWriting) {
  const std::string head = Store("\"v\"=\"");
  const std::string tail = "\"\n";
  const size_t pad = kMaxStoreFileBytes - head.size() - tail.size();
  const std::string full = head + std::string(pad, 'a') + tail;
  ASSERT_EQ(full.size(), kMaxStoreFileBytes);
  WriteFile(UserFile(), full);
  std::string value;
  ASSERT_TRUE(ReadRegistryString(kRel, "v", &value));
  EXPECT_EQ(value.size(), pad);
  for (int save = 0; save < 2; ++save) {
    testing::internal::CaptureStderr();
    EXPECT_FALSE(WriteUserStoreValue(kRel, Binary("settings", "\x01"))) << save;
    const std::string message = testing::internal::GetCapturedStderr();
    EXPECT_NE(message.find("too large"), std::string::npos) << message;
    EXPECT_EQ(ReadFile(UserFile()), full) << save;
    EXPECT_FALSE(Exists(UserFile() + ".bad")) << save;
  }
  // One byte over the limit is too large to read: kept aside at the next save.
  WriteFile(UserFile(), full + "\n");
  EXPECT_FALSE(ReadRegistryString(kRel, "v", &value));
  testing::internal::CaptureStderr();
  EXPECT_TRUE(WriteUserStoreValue(kRel, Binary("settings", "\x01")));
  testing::internal::GetCapturedStderr();
  EXPECT_TRUE(Exists(UserFile() + ".bad"));
}

// SIGKILL at any moment of a save, of a clean file or of a damaged one: what is left is
// always a settings file that reads back whole, the one before or the one after; never a
// missing file, never half of one. Half of the trials are killed inside the pause
// between the finished write and the renames (QH_TEST_SAVE_PAUSE_MS); the rest at random
// moments of a run of saves. QH_KILL_TRIALS asks for more trials than the usual 40.
TEST_F(StoreLayersTest, AKilledSaveLeavesAFileThatReadsBack) {
  const char* asked = std::getenv("QH_KILL_TRIALS");
  const int trials = asked != nullptr && std::atoi(asked) > 0 ? std::atoi(asked) : 40;
  const std::string folder = root_ + "/config/quiet-highland";
  const std::string damaged = Store("\"dir\"=\"/mine\"\ngarbage that is not a value\n");
  auto temporaryFiles = [&] {
    const std::string command = "ls -a '" + folder + "' | grep -c tmp- >/dev/null";
    return std::system(command.c_str()) == 0;
  };
  unsigned seed = 12345;
  int lost = 0, killedInPause = 0, pauseTrials = 0;
  for (int trial = 0; trial < trials; ++trial) {
    const bool startDamaged = trial % 2 == 1;
    const bool inPause = trial % 4 < 2;
    ASSERT_EQ(std::system(("rm -rf '" + folder + "'").c_str()), 0);
    if (startDamaged) {
      WriteFile(UserFile(), damaged);
    } else {
      WriteRegistryBlob(kRel, "settings", std::string(20, '\x01').data(), 20);
    }
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      if (inPause) setenv("QH_TEST_SAVE_PAUSE_MS", "5000", 1);
      if (std::freopen("/dev/null", "w", stderr) == nullptr) _exit(3);  // the moved-aside lines
      for (int n = 2;; n = n % 200 + 2) {
        const std::string value(20, static_cast<char>(n));
        WriteRegistryBlob(kRel, "settings", value.data(), 20);
      }
    }
    if (inPause) {
      ++pauseTrials;
      for (int wait = 0; wait < 500 && !temporaryFiles(); ++wait) usleep(10000);
      killedInPause += temporaryFiles() ? 1 : 0;
    } else {
      seed = seed * 1103515245u + 12345u;
      usleep((seed >> 8) % 20000);
    }
    kill(child, SIGKILL);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << "the saving process ended on its own";

    const std::string text = ReadFile(UserFile());
    bool readsBack = Exists(UserFile());
    if (readsBack && !(startDamaged && text == damaged)) {
      const RegDocument doc = ParseRegText(text);
      const RegValue* v = FindRegValue(doc, std::string("HKEY_LOCAL_MACHINE\\") + kRel, "settings");
      readsBack = doc.clean && v != nullptr && v->data.size() == 20 && v->data == std::string(20, v->data[0]);
      if (startDamaged) readsBack = readsBack && FindRegValue(doc, std::string("HKEY_LOCAL_MACHINE\\") + kRel, "dir");
    }
    if (!readsBack) {
      ++lost;
      ADD_FAILURE() << "trial " << trial << " left: " << (Exists(UserFile()) ? text : "no file");
    }
  }
  std::printf("kill trials: %d (%d inside the pause before the renames), settings files lost: %d\n", trials,
              killedInPause, lost);
  EXPECT_EQ(lost, 0);
  EXPECT_EQ(killedInPause, pauseTrials);
}
