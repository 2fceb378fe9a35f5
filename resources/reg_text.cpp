#include "resources/reg_text.h"

#include <algorithm>
#include <cstdio>

#include "core/hex_digit.h"

namespace qh {

namespace {

constexpr std::string_view kHeader4 = "REGEDIT4";
constexpr std::string_view kHeader5 = "Windows Registry Editor Version 5.00";
constexpr size_t kHexBytesPerLine = 25;  // the registry editor's own wrapping

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }

bool IsBlankChar(char c) { return c == ' ' || c == '\t'; }

std::string_view TrimLeft(std::string_view s) {
  while (!s.empty() && IsBlankChar(s.front())) s.remove_prefix(1);
  return s;
}

std::string_view TrimRight(std::string_view s) {
  while (!s.empty() && IsBlankChar(s.back())) s.remove_suffix(1);
  return s;
}

// Strict UTF-8: no overlong forms, no surrogates, nothing past U+10FFFF.
bool IsValidUtf8(std::string_view s) {
  size_t i = 0;
  while (i < s.size()) {
    const auto c = static_cast<unsigned char>(s[i]);
    size_t extra = 0;
    uint32_t cp = 0;
    if (c < 0x80) {
      ++i;
      continue;
    } else if (c >= 0xC2 && c <= 0xDF) {
      extra = 1;
      cp = c & 0x1F;
    } else if (c >= 0xE0 && c <= 0xEF) {
      extra = 2;
      cp = c & 0x0F;
    } else if (c >= 0xF0 && c <= 0xF4) {
      extra = 3;
      cp = c & 0x07;
    } else {
      return false;
    }
    if (i + extra >= s.size()) return false;
    for (size_t k = 1; k <= extra; ++k) {
      const auto d = static_cast<unsigned char>(s[i + k]);
      if ((d & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (d & 0x3F);
    }
    if ((extra == 2 && (cp < 0x800 || (cp >= 0xD800 && cp <= 0xDFFF))) || (extra == 3 && (cp < 0x10000 || cp > 0x10FFFF))) {
      return false;
    }
    i += extra + 1;
  }
  return true;
}

// A quoted name or string at the start of s: "..." with \\ and \" escapes (any other
// backslash stays as written). Returns the characters consumed, 0 when not well formed.
size_t ParseQuoted(std::string_view s, std::string* out) {
  if (s.empty() || s[0] != '"') return 0;
  out->clear();
  for (size_t i = 1; i < s.size(); ++i) {
    const char c = s[i];
    if (c == '"') return i + 1;
    if (c == '\\' && i + 1 < s.size() && (s[i + 1] == '\\' || s[i + 1] == '"')) {
      out->push_back(s[++i]);
    } else {
      out->push_back(c);
    }
  }
  return 0;  // no closing quote: cut off
}

// "00,01,ff" with blanks allowed around the bytes; an empty list is zero bytes.
bool ParseHexList(std::string_view s, std::string* out) {
  out->clear();
  s = TrimRight(TrimLeft(s));
  if (s.empty()) return true;
  while (true) {
    s = TrimLeft(s);
    size_t digits = 0;
    int value = 0;
    // A third digit is looked at only to refuse it: the number never grows past 0xfff.
    while (digits < s.size() && digits < 3 && HexDigitValue(s[digits]) >= 0) {
      value = value * 16 + HexDigitValue(s[digits++]);
    }
    if (digits == 0 || digits > 2) return false;
    out->push_back(static_cast<char>(value));
    s = TrimLeft(s.substr(digits));
    if (s.empty()) return true;
    if (s[0] != ',') return false;
    s.remove_prefix(1);
  }
}

// The data after "=", continuation lines already joined. False when not well formed.
bool ParseValueData(std::string_view data, RegValue* value) {
  data = TrimRight(TrimLeft(data));
  if (data == "-") {
    value->type = RegValueType::Deleted;
    value->data.clear();
    return true;
  }
  if (!data.empty() && data[0] == '"') {
    const size_t used = ParseQuoted(data, &value->data);
    if (used == 0 || !TrimLeft(data.substr(used)).empty() || !IsValidUtf8(value->data)) return false;
    value->type = RegValueType::String;
    value->typeCode = 1;
    return true;
  }
  auto startsWithNoCase = [&](std::string_view prefix) {
    if (data.size() < prefix.size()) return false;
    for (size_t i = 0; i < prefix.size(); ++i) {
      if (LowerAscii(data[i]) != prefix[i]) return false;
    }
    return true;
  };
  if (startsWithNoCase("dword:")) {
    const std::string_view digits = data.substr(6);
    if (digits.empty() || digits.size() > 8) return false;
    uint32_t number = 0;
    for (const char c : digits) {
      if (HexDigitValue(c) < 0) return false;
      number = number * 16 + static_cast<uint32_t>(HexDigitValue(c));
    }
    value->type = RegValueType::Dword;
    value->typeCode = 4;
    value->data.clear();
    for (int i = 0; i < 4; ++i) value->data.push_back(static_cast<char>((number >> (8 * i)) & 0xFF));
    return true;
  }
  if (startsWithNoCase("hex:")) {
    value->type = RegValueType::Binary;
    value->typeCode = 3;
    return ParseHexList(data.substr(4), &value->data);
  }
  if (startsWithNoCase("hex(")) {
    const size_t close = data.find("):");
    if (close == std::string_view::npos || close == 4 || close > 12) return false;
    uint32_t code = 0;
    for (const char c : data.substr(4, close - 4)) {
      if (HexDigitValue(c) < 0) return false;
      code = code * 16 + static_cast<uint32_t>(HexDigitValue(c));
    }
    value->type = code == 3 ? RegValueType::Binary : RegValueType::Other;
    value->typeCode = code;
    return ParseHexList(data.substr(close + 2), &value->data);
  }
  return false;
}

// `"name"=data` or `@=data`, blanks allowed around "=".
bool ParseValueLine(std::string_view line, RegValue* value) {
  line = TrimLeft(line);
  size_t used = 0;
  if (!line.empty() && line[0] == '@') {
    value->name.clear();
    used = 1;
  } else {
    used = ParseQuoted(line, &value->name);
    if (used == 0 || !IsValidUtf8(value->name)) return false;
  }
  std::string_view rest = TrimLeft(line.substr(used));
  if (rest.empty() || rest[0] != '=') return false;
  return ParseValueData(rest.substr(1), value);
}

// Only binary lists go on over several lines; a string ending in a backslash does not.
bool IsHexValueLine(std::string_view line) {
  RegValue scratch;
  size_t used = 1;
  if (line[0] != '@') used = ParseQuoted(line, &scratch.name);
  if (used == 0) return false;
  std::string_view rest = TrimLeft(line.substr(used));
  if (rest.empty() || rest[0] != '=') return false;
  rest = TrimLeft(rest.substr(1));
  return rest.size() >= 3 && LowerAscii(rest[0]) == 'h' && LowerAscii(rest[1]) == 'e' && LowerAscii(rest[2]) == 'x';
}

bool IsHeader(std::string_view line) {
  line = TrimRight(line);
  return line == kHeader4 || line == kHeader5;
}

bool SamePath(std::string_view a, std::string_view b) {
  // Trailing backslashes do not name another key.
  while (!a.empty() && a.back() == '\\') a.remove_suffix(1);
  while (!b.empty() && b.back() == '\\') b.remove_suffix(1);
  return SameRegName(a, b);
}

std::string EscapeQuoted(std::string_view text) {
  std::string out = "\"";
  for (const char c : text) {
    if (c == '\\' || c == '"') out.push_back('\\');
    out.push_back(c);
  }
  out.push_back('"');
  return out;
}

bool HasLineBreak(std::string_view s) { return s.find_first_of("\r\n") != std::string_view::npos; }

std::string FormatValue(const RegValue& value) {
  std::string line = value.name.empty() ? "@" : EscapeQuoted(value.name);
  line.push_back('=');
  char hex[4];
  switch (value.type) {
    case RegValueType::String:
      line += EscapeQuoted(value.data);
      return line;
    case RegValueType::Deleted:
      line += "-";
      return line;
    case RegValueType::Dword: {
      uint32_t number = 0;
      for (size_t i = 0; i < 4 && i < value.data.size(); ++i) {
        number |= static_cast<uint32_t>(static_cast<unsigned char>(value.data[i])) << (8 * i);
      }
      char text[16];
      std::snprintf(text, sizeof text, "dword:%08x", number);
      line += text;
      return line;
    }
    case RegValueType::Binary:
      line += "hex:";
      break;
    case RegValueType::Other: {
      char text[24];
      std::snprintf(text, sizeof text, "hex(%x):", value.typeCode);
      line += text;
      break;
    }
  }
  for (size_t i = 0; i < value.data.size(); ++i) {
    std::snprintf(hex, sizeof hex, "%02x", static_cast<unsigned char>(value.data[i]));
    line += hex;
    if (i + 1 < value.data.size()) {
      line.push_back(',');
      if ((i + 1) % kHexBytesPerLine == 0) line += "\\\n  ";
    }
  }
  return line;
}

}  // namespace

bool SameRegName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
  }
  return true;
}

RegDocument ParseRegText(std::string_view text) {
  RegDocument doc;
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
  // Split into physical lines; CR LF and LF both end a line.
  std::vector<std::string_view> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    const bool last = end == std::string_view::npos;
    if (last) end = text.size();
    std::string_view line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') {
      line.remove_suffix(1);
      if (lines.empty()) doc.crlf = true;
    }
    lines.push_back(line);
    start = last ? text.size() : end + 1;
  }

  bool headerSeen = false;
  bool inKey = false;
  for (size_t i = 0; i < lines.size(); ++i) {
    RegItem item;
    item.text = std::string(lines[i]);
    const std::string_view line = TrimRight(TrimLeft(lines[i]));
    const bool firstLine = !line.empty() && !headerSeen;
    if (firstLine) {
      headerSeen = true;
      // Without the header the file is not one of ours as written; its lines still read.
      if (!IsHeader(line)) doc.clean = false;
    }
    if (line.empty()) {
      item.kind = RegItem::Blank;
    } else if (firstLine && IsHeader(line)) {
      item.kind = RegItem::Header;
    } else if (line[0] == ';') {
      item.kind = RegItem::Comment;
    } else if (line[0] == '[') {
      if (line.back() != ']' || line.size() < 3) {
        item.kind = RegItem::Damaged;
        inKey = false;  // the values that follow belong to a key we cannot name
      } else {
        std::string_view path = line.substr(1, line.size() - 2);
        item.deletedKey = path[0] == '-';
        if (item.deletedKey) path.remove_prefix(1);
        item.keyPath = std::string(path);
        item.kind = path.empty() || !IsValidUtf8(path) ? RegItem::Damaged : RegItem::Key;
        inKey = item.kind == RegItem::Key;
      }
    } else if (line[0] == '"' || line[0] == '@') {
      // Continuation: a line ending in a backslash goes on in the next line.
      std::string joined(line);
      bool cutOff = false;
      const bool hexList = IsHexValueLine(line);
      while (hexList && !joined.empty() && joined.back() == '\\') {
        joined.pop_back();
        if (i + 1 >= lines.size()) {
          cutOff = true;
          break;
        }
        ++i;
        item.text += "\n";
        item.text += lines[i];
        joined += TrimRight(TrimLeft(lines[i]));
      }
      item.kind = !cutOff && inKey && ParseValueLine(joined, &item.value) ? RegItem::Value : RegItem::Damaged;
    } else {
      item.kind = RegItem::Damaged;
    }
    if (item.kind == RegItem::Damaged) doc.clean = false;
    doc.items.push_back(std::move(item));
  }
  return doc;
}

const RegValue* FindRegValue(const RegDocument& doc, std::string_view keyPath, std::string_view name) {
  const RegValue* found = nullptr;
  bool inKey = false;
  for (const RegItem& item : doc.items) {
    if (item.kind == RegItem::Key) {
      inKey = !item.deletedKey && SamePath(item.keyPath, keyPath);
    } else if (item.kind == RegItem::Value && inKey && SameRegName(item.value.name, name)) {
      found = &item.value;
    }
  }
  return found != nullptr && found->type != RegValueType::Deleted ? found : nullptr;
}

bool SetRegValue(RegDocument* doc, std::string_view keyPath, const RegValue& value) {
  if (HasLineBreak(keyPath) || keyPath.find_first_of("[]") != std::string_view::npos || keyPath.empty() ||
      HasLineBreak(value.name) || (value.type == RegValueType::String && HasLineBreak(value.data)) ||
      !IsValidUtf8(keyPath) || !IsValidUtf8(value.name) ||
      (value.type == RegValueType::String && !IsValidUtf8(value.data))) {
    return false;
  }
  std::vector<RegItem>& items = doc->items;
  std::erase_if(items, [](const RegItem& item) { return item.kind == RegItem::Damaged; });
  // Blank lines may stand before the header; a second header would damage the file.
  const auto firstLine = std::find_if(items.begin(), items.end(),
                                      [](const RegItem& item) { return item.kind != RegItem::Blank; });
  if (firstLine == items.end() || firstLine->kind != RegItem::Header) {
    RegItem header;
    header.kind = RegItem::Header;
    header.text = std::string(kHeader4);
    RegItem blank;
    items.insert(items.begin(), {header, blank});
  }

  RegItem newItem;
  newItem.kind = RegItem::Value;
  newItem.value = value;
  newItem.text = FormatValue(value);

  // Drop every occurrence but the last, which is replaced in place.
  bool inKey = false;
  int last = -1;
  int lastKeyEnd = -1;  // index after the last non-blank line of the last matching key
  for (size_t i = 0; i < items.size(); ++i) {
    const RegItem& item = items[i];
    if (item.kind == RegItem::Key) {
      inKey = !item.deletedKey && SamePath(item.keyPath, keyPath);
      if (inKey) lastKeyEnd = static_cast<int>(i) + 1;
    } else if (inKey) {
      if (item.kind != RegItem::Blank) lastKeyEnd = static_cast<int>(i) + 1;
      if (item.kind == RegItem::Value && SameRegName(item.value.name, value.name)) last = static_cast<int>(i);
    }
  }
  if (last >= 0) {
    items[static_cast<size_t>(last)] = newItem;
    inKey = false;
    for (size_t i = 0; i < items.size();) {
      const RegItem& item = items[i];
      if (item.kind == RegItem::Key) inKey = !item.deletedKey && SamePath(item.keyPath, keyPath);
      if (static_cast<int>(i) != last && inKey && item.kind == RegItem::Value &&
          SameRegName(item.value.name, value.name)) {
        items.erase(items.begin() + static_cast<std::ptrdiff_t>(i));
        if (static_cast<int>(i) < last) --last;
        continue;
      }
      ++i;
    }
    return true;
  }
  if (lastKeyEnd >= 0) {
    items.insert(items.begin() + lastKeyEnd, newItem);
    return true;
  }
  if (items.back().kind != RegItem::Blank) items.push_back(RegItem{});
  RegItem key;
  key.kind = RegItem::Key;
  key.keyPath = std::string(keyPath);
  key.text = "[" + key.keyPath + "]";
  items.push_back(key);
  items.push_back(newItem);
  return true;
}

std::string FormatRegDocument(const RegDocument& doc) {
  const char* lineEnd = doc.crlf ? "\r\n" : "\n";
  std::string out;
  for (const RegItem& item : doc.items) {
    for (const char c : item.text) {
      if (c == '\n') {
        out += lineEnd;
      } else {
        out.push_back(c);
      }
    }
    out += lineEnd;
  }
  return out;
}

}  // namespace qh
