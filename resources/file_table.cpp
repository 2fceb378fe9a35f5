#include "resources/file_table.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "core/fatal.h"
#include "resources/safe_file.h"

namespace qh {

FileTableState FileTable;

void UppercaseName(char* text) {
  for (auto* p = reinterpret_cast<unsigned char*>(text); *p != 0; ++p) {
    if ((*p >= 'a' && *p <= 'z') || *p >= 0xE0) *p = static_cast<unsigned char>(*p - 32);
  }
}

void FatalMissingFile(const char* name) {
  char text[512];
  std::snprintf(text, sizeof text, "Can't load %s...\nProgram will now stop.", name);
  FatalError("Loading Error", text);
}

FileEntry* FindFile(const char* name) {
  if (std::strlen(name) > kMaxSearchName) return nullptr;
  char key[kMaxSearchName + 1];
  std::strcpy(key, name);
  UppercaseName(key);
  for (int32_t i = 0; i < FileTable.count; ++i) {
    if (std::strcmp(FileTable.entries[i]->name, key) == 0) return FileTable.entries[i];
  }
  return nullptr;
}

bool RegisterFile(const char* name, int32_t size, uint8_t* data, uint8_t owned) {
  if (FileTable.count >= kMaxFiles || std::strlen(name) > kMaxRegisteredName) return false;
  auto* entry = new FileEntry;
  std::strcpy(entry->name, name);
  UppercaseName(entry->name);
  entry->size = size;
  entry->data = data;
  entry->owned = owned;
  FileTable.entries[FileTable.count++] = entry;
  return true;
}

bool ReadDataFile(const char* name, std::string* bytes) {
  int error = 0;
  return std::strlen(name) <= kMaxSearchName && ReadRegularFile(name, kMaxDataFileBytes, bytes, &error);
}

namespace {
// Data files are read like the settings: a regular file only, opened without blocking, so
// a pipe, a device or a folder in a file's place is a missing file instead of a wait for
// ever; and no larger than the table's sizes and any scene's needs.
uint8_t* ReadWholeFile(const char* name, int32_t* sizeOut) {
  std::string bytes;
  if (!ReadDataFile(name, &bytes)) return nullptr;
  auto* buffer = static_cast<uint8_t*>(std::malloc(bytes.size() + 1));
  if (buffer == nullptr) return nullptr;
  if (!bytes.empty()) std::memcpy(buffer, bytes.data(), bytes.size());
  buffer[bytes.size()] = 0;  // the end mark past the counted size
  *sizeOut = static_cast<int32_t>(bytes.size());
  return buffer;
}

void RemoveAt(int32_t index) {
  FileEntry* entry = FileTable.entries[index];
  if (entry->owned) std::free(entry->data);
  delete entry;
  for (int32_t i = index; i + 1 < FileTable.count; ++i) FileTable.entries[i] = FileTable.entries[i + 1];
  FileTable.entries[--FileTable.count] = nullptr;
}
// One holder lets the entry go; the last one (or a registered file nobody asked for) removes it.
void LetGo(int32_t index) {
  FileEntry* entry = FileTable.entries[index];
  if (entry->holds > 1) {
    --entry->holds;
    return;
  }
  RemoveAt(index);
}
}  // namespace

uint8_t* LoadFile(const char* name, int32_t* size, bool fatal) {
  if (FileEntry* entry = FindFile(name)) {
    ++entry->holds;
    if (size != nullptr) *size = entry->size;
    return entry->data;
  }
  int32_t length = 0;
  uint8_t* buffer = ReadWholeFile(name, &length);
  if (buffer == nullptr) {
    if (fatal) FatalMissingFile(name);
    return nullptr;
  }
  if (!RegisterFile(name, length, buffer, 1)) {
    std::free(buffer);
    if (fatal) FatalMissingFile(name);
    return nullptr;
  }
  FileTable.entries[FileTable.count - 1]->holds = 1;
  if (size != nullptr) *size = length;
  return buffer;
}

bool ReleaseFile(const void* data) {
  for (int32_t i = 0; i < FileTable.count; ++i) {
    if (FileTable.entries[i]->data == data) {
      LetGo(i);
      return true;
    }
  }
  return false;
}

bool ReleaseFileByName(const char* name) {
  if (std::strlen(name) > kMaxRegisteredName) return false;
  char key[kMaxRegisteredName + 1];
  std::strcpy(key, name);
  UppercaseName(key);
  for (int32_t i = 0; i < FileTable.count; ++i) {
    if (std::strcmp(FileTable.entries[i]->name, key) == 0) {
      LetGo(i);
      return true;
    }
  }
  return false;
}

void ReleaseAllFiles() {
  while (FileTable.count > 0) RemoveAt(FileTable.count - 1);
}

}  // namespace qh
