// The settings store: registry values kept in the registry's own export format (.reg,
// "REGEDIT4"), UTF-8, in layered files the XDG way. A value is looked up by key path and
// name in the user's file, then in quiet-highland/registry.reg of each system config
// folder, then in the installation's own file; the first file holding it wins. Key paths
// and value names compare case-insensitively (ASCII letters), as the registry does.
// Only the user's file is ever written, atomically, keeping everything else in it.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qh {

enum class RegValueType : uint8_t {
  String,   // "text"            (UTF-8, \\ and \" escaped)
  Binary,   // hex:00,01,...     (also hex(3):)
  Dword,    // dword:0000002a    (data holds 4 little-endian bytes)
  Other,    // hex(N):...        (any other registry type, kept as bytes)
  Deleted,  // "name"=-          (an instruction to remove; reads as absent)
};

struct RegValue {
  std::string name;  // "" is the key's default value, written @
  RegValueType type = RegValueType::String;
  uint32_t typeCode = 1;  // the hex(N) number of Other values
  std::string data;       // the text of strings, the bytes of everything else
};

// One logical line of a .reg file: a value line together with its continuation lines.
struct RegItem {
  enum Kind : uint8_t { Blank, Comment, Header, Key, Value, Damaged } kind = Blank;
  std::string text;     // the physical lines as read, joined with '\n', no line end
  std::string keyPath;  // Key: the path inside the brackets (without a leading '-')
  bool deletedKey = false;  // Key: a "[-path]" line
  RegValue value;           // Value
};

// A parsed file. Lines are kept as read, so a rewrite changes only the value it sets.
struct RegDocument {
  std::vector<RegItem> items;
  bool clean = true;   // false: a line could not be read (wrong syntax, cut off, no header)
  bool crlf = false;   // the file's lines end in CR LF; a rewrite keeps that
};

// Never fails: lines that cannot be read become Damaged items and clear `clean`.
// An empty text is a clean, empty document; any other text must start with the
// "REGEDIT4" (or "Windows Registry Editor Version 5.00") header. A UTF-8 byte-order
// mark is skipped.
RegDocument ParseRegText(std::string_view text);
// The value's last occurrence under the key path (earlier duplicates lose); nullptr when
// absent. Values under "[-path]" keys and "=-" values count as absent.
const RegValue* FindRegValue(const RegDocument& doc, std::string_view keyPath, std::string_view name);
// Replaces the value (removing duplicates) or adds it under its key, creating the key at
// the end when needed; Damaged lines are dropped. False when the value cannot be written
// in this format (a line break in a name or string, a bracket or line break in the path).
bool SetRegValue(RegDocument* doc, std::string_view keyPath, const RegValue& value);
std::string FormatRegDocument(const RegDocument& doc);
bool SameRegName(std::string_view a, std::string_view b);  // ASCII case-insensitive

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
