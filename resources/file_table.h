// Whole-file loading through one cached table: a name asked for again returns the
// same buffer without touching the disk. Names are relative to the current directory
// (the data directory) and compare case-insensitively (ASCII and Windows-1251 letters).
// Every buffer carries one zero byte past its counted size, so text searches end.
// Loaders share what the table holds: every LoadFile that returns a buffer is a hold on it,
// every ReleaseFile lets one go, and the buffer is freed when its last holder lets it go. A
// loader that names another loader's file (a descriptor naming the catalogue as its mesh)
// so never frees the bytes the other is still reading.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

namespace qh {

struct FileEntry {
  char name[128] = {};   // upper-cased, at most 127 characters
  int32_t size = 0;
  uint8_t* data = nullptr;
  uint8_t owned = 0;     // 1: the table frees data when the entry is removed
  int32_t holds = 0;     // loaders that have it and have not let it go
};

constexpr int kMaxFiles = 1024;
constexpr int kMaxSearchName = 63;     // longest name FindFile compares
constexpr int kMaxRegisteredName = 127;
// The largest data file read: far above any picture or sound of a scene, far below the
// 32-bit sizes of the table.
constexpr size_t kMaxDataFileBytes = size_t{256} << 20;

struct FileTableState {
  FileEntry* entries[kMaxFiles] = {};
  int32_t count = 0;
};
extern FileTableState FileTable;

// Only regular files are read (a pipe, device or folder in a file's place counts as missing,
// and so does a file over kMaxDataFileBytes). With fatal set it never returns none: a
// missing file ends the program with
// "Can't load %s...\nProgram will now stop." (caption "Loading Error", exit code 1).
// Names longer than 63 characters are refused: none in quiet form, the message in fatal form.
// Every buffer returned is one hold, to be let go with ReleaseFile.
uint8_t* LoadFile(const char* name, int32_t* size, bool fatal);
// What LoadFile reads from the disk for a name the table does not hold, without touching
// the table (so any thread may call it): false where LoadFile would find the file missing.
bool ReadDataFile(const char* name, std::string* bytes);
// Returns false when the table is full or the name does not fit (nothing is registered).
// A registered file is held by nobody until a loader asks for it.
bool RegisterFile(const char* name, int32_t size, uint8_t* data, uint8_t owned);
FileEntry* FindFile(const char* name);
// Lets one hold go; the entry is removed (and its bytes freed) with the last one. False for
// data or a name the table does not hold.
bool ReleaseFile(const void* data);
bool ReleaseFileByName(const char* name);
void UppercaseName(char* text);
void ReleaseAllFiles();  // for tests: empties the table, whoever holds what

// The message of a missing file, formatted the one way the program shows it.
[[noreturn]] void FatalMissingFile(const char* name);

}  // namespace qh
