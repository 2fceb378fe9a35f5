// A private world for settings tests: a fresh temporary folder holding HOME, the XDG
// folders and the installation's store, with the environment restored afterwards.
#pragma once
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "resources/registry_store.h"

namespace qh::test {

class StoreWorld : public ::testing::Test {
 protected:
  void SetUp() override {
    for (int i = 0; i < 3; ++i) {
      const char* value = std::getenv(kVars[i]);
      hadVar_[i] = value != nullptr;
      savedVar_[i] = value != nullptr ? value : "";
    }
    ASSERT_NE(getcwd(savedCwd_, sizeof savedCwd_), nullptr);
    char pattern[] = "/tmp/qh-store.XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    root_ = pattern;
    MakeDir(root_ + "/home");
    setenv("HOME", (root_ + "/home").c_str(), 1);
    setenv("XDG_CONFIG_HOME", (root_ + "/config").c_str(), 1);
    setenv("XDG_CONFIG_DIRS", (root_ + "/xdg1:" + root_ + "/xdg2").c_str(), 1);
    SetInstallationStoreFile((root_ + "/install/share/quiet-highland/registry.reg").c_str());
  }
  void TearDown() override {
    SetInstallationStoreFile(nullptr);
    for (int i = 0; i < 3; ++i) {
      if (hadVar_[i]) {
        setenv(kVars[i], savedVar_[i].c_str(), 1);
      } else {
        unsetenv(kVars[i]);
      }
    }
    ASSERT_EQ(chdir(savedCwd_), 0);
    const std::string command = "rm -rf '" + root_ + "'";
    ASSERT_EQ(std::system(command.c_str()), 0);
  }

  std::string UserFile() const { return root_ + "/config/quiet-highland/registry.reg"; }
  std::string SystemFile(int n) const { return root_ + "/xdg" + std::to_string(n) + "/quiet-highland/registry.reg"; }
  std::string InstallFile() const { return root_ + "/install/share/quiet-highland/registry.reg"; }

  static void MakeDir(const std::string& path) {
    const std::string command = "mkdir -p '" + path + "'";
    ASSERT_EQ(std::system(command.c_str()), 0);
  }
  static void WriteFile(const std::string& path, const std::string& text) {
    MakeDir(path.substr(0, path.find_last_of('/')));
    std::ofstream out(path, std::ios::binary);
    out << text;
  }
  static std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }
  static bool Exists(const std::string& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0;
  }

  static constexpr const char* kKeyLine = "[HKEY_LOCAL_MACHINE\\software\\quorvale\\screensavers\\Quiet Highland]";
  static constexpr const char* kKeyPath = "software\\quorvale\\screensavers\\Quiet Highland";
  static std::string Store(const std::string& values) { return std::string("REGEDIT4\n\n") + kKeyLine + "\n" + values; }

  std::string root_;

 private:
  static constexpr const char* kVars[3] = {"HOME", "XDG_CONFIG_HOME", "XDG_CONFIG_DIRS"};
  bool hadVar_[3] = {};
  std::string savedVar_[3];
  char savedCwd_[PATH_MAX] = {};
};

}  // namespace qh::test
