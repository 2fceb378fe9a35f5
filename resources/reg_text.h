// The registry's own export format (.reg, "REGEDIT4"), UTF-8: parsing that keeps every
// line as read, lookup of a value under a key path, setting a value, and formatting back
// to text. Key paths and value names compare case-insensitively (ASCII letters).
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

}  // namespace qh
