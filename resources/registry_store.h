// The settings store: registry values kept in .reg text files (resources/reg_text.h),
// layered the XDG way. A value is looked up by key path and name in the user's file, then
// in quiet-highland/registry.reg of each system config folder, then in the installation's
// own file; the first file holding it wins. Only the user's file is ever written,
// atomically (resources/safe_file.h), keeping everything else in it.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "resources/reg_text.h"

namespace qh {

// The largest settings file read or written: a settings file is a few hundred bytes, and
// one rule for both keeps a save from writing a file the next read refuses.
constexpr size_t kMaxStoreFileBytes = 1 << 20;

// The layer files in lookup order: user, system folders, installation.
std::string UserStoreFile();  // "" when the user has no home folder
std::vector<std::string> StoreFiles();
// Tests point the installation's file elsewhere; nullptr restores the default
// (../share/quiet-highland/registry.reg beside the running executable).
void SetInstallationStoreFile(const char* path);
std::string InstallationStoreFile();

struct StoreHit {
  RegValue value;
  std::string file;    // the file that held it
  std::string folder;  // that file's folder, for resolving relative paths
};
// Searches the layers; a file that cannot be opened is skipped, a damaged one still
// gives the values of its readable lines.
bool LookupStoreValue(std::string_view keyPath, std::string_view name, StoreHit* hit);
// Writes into the user's file: a temporary file in the same folder, flushed, then renamed
// over it. A user file that cannot be parsed is first moved aside to registry.reg.bad
// (one line on stderr says so); its readable values are carried over. False (with a line
// on stderr) when the file could not be written; the user's file is then unchanged.
bool WriteUserStoreValue(std::string_view keyPath, const RegValue& value);

// The registry calls of the program; key paths are relative to HKEY_LOCAL_MACHINE.
// *size: on entry the expected size; on return the same when the binary value was read,
// 0 when it is absent, not binary, or of another size (the buffer is then untouched).
void ReadRegistryBlob(const char* keyPath, const char* name, void* buffer, uint32_t* size);
void WriteRegistryBlob(const char* keyPath, const char* name, const void* data, uint32_t size);
// A string value; false (and out emptied) when absent or not a string. folder receives the
// folder of the file that held it.
bool ReadRegistryString(const char* keyPath, const char* name, std::string* out, std::string* folder = nullptr);
bool WriteRegistryString(const char* keyPath, const char* name, const char* text);

}  // namespace qh
