// The file formats the saver reads, written byte by byte (JPEG through libjpeg with
// fixed settings, so the same picture always gives the same bytes).
#include <sys/stat.h>

#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

#include <jpeglib.h>  // needs size_t and FILE first

#include "tools/content/content.h"

namespace qhc {

void WriteFile(const std::string& path, const Bytes& data) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) throw std::runtime_error("cannot write " + path);
  const size_t written = data.empty() ? 0 : std::fwrite(data.data(), 1, data.size(), f);
  const bool ok = std::fclose(f) == 0 && written == data.size();
  if (!ok) throw std::runtime_error("cannot write " + path);
}

void WriteText(const std::string& path, const std::string& text) { WriteFile(path, Bytes(text.begin(), text.end())); }

void MakeDirs(const std::string& path) {
  std::string partial;
  for (size_t i = 0; i <= path.size(); ++i) {
    if (i == path.size() || path[i] == '/') {
      if (!partial.empty()) ::mkdir(partial.c_str(), 0755);
    }
    if (i < path.size()) partial += path[i];
  }
  struct stat st;
  if (::stat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) throw std::runtime_error("cannot create folder " + path);
}

Bytes ToBytes8(const Image& img, bool withAlpha) {
  const int channels = withAlpha ? 4 : 3;
  Bytes out(size_t(img.w) * img.h * channels);
  for (size_t i = 0, n = size_t(img.w) * img.h; i < n; ++i) {
    out[i * channels + 0] = ToByte(img.c[i].r);
    out[i * channels + 1] = ToByte(img.c[i].g);
    out[i * channels + 2] = ToByte(img.c[i].b);
    if (withAlpha) out[i * channels + 3] = ToByte(img.a[i]);
  }
  return out;
}

Bytes EncodeJpeg(const Image& img, int quality) {
  const Bytes rgb = ToBytes8(img, false);
  jpeg_compress_struct cinfo;
  jpeg_error_mgr jerr;
  cinfo.err = jpeg_std_error(&jerr);
  jpeg_create_compress(&cinfo);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&cinfo, &buffer, &size);
  cinfo.image_width = JDIMENSION(img.w);
  cinfo.image_height = JDIMENSION(img.h);
  cinfo.input_components = 3;
  cinfo.in_color_space = JCS_RGB;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, quality, TRUE);
  cinfo.dct_method = JDCT_ISLOW;  // exact integer transform: identical bytes everywhere
  cinfo.optimize_coding = TRUE;
  cinfo.write_JFIF_header = TRUE;
  jpeg_start_compress(&cinfo, TRUE);
  while (cinfo.next_scanline < cinfo.image_height) {
    JSAMPROW row = const_cast<JSAMPROW>(&rgb[size_t(cinfo.next_scanline) * img.w * 3]);
    jpeg_write_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_compress(&cinfo);
  Bytes out(buffer, buffer + size);
  jpeg_destroy_compress(&cinfo);
  std::free(buffer);
  return out;
}

Bytes EncodeAlphaPlane(const Image& img, int quality) {
  Bytes out = EncodeJpeg(img, quality);
  // The reader splits at the first FF D9 pair: it must be the stream's own end marker.
  for (size_t i = 0; i + 1 < out.size(); ++i) {
    if (out[i] == 0xFF && out[i + 1] == 0xD9) {
      if (i + 2 != out.size()) throw std::runtime_error("JPEG stream holds an early FF D9 pair");
      break;
    }
  }
  out.reserve(out.size() + img.a.size());
  for (float a : img.a) out.push_back(ToByte(a));
  return out;
}

Bytes EncodeTga(const Image& img) {
  Bytes out = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0};  // no id, no palette, true colour
  PutU16(out, uint32_t(img.w));
  PutU16(out, uint32_t(img.h));
  out.push_back(32);
  out.push_back(0x28);  // 8 alpha bits, first row at the top
  for (size_t i = 0, n = size_t(img.w) * img.h; i < n; ++i) {
    out.push_back(ToByte(img.c[i].b));
    out.push_back(ToByte(img.c[i].g));
    out.push_back(ToByte(img.c[i].r));
    out.push_back(ToByte(img.a[i]));
  }
  return out;
}

namespace {
void PutU32Be(Bytes& b, uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) b.push_back(uint8_t(v >> shift));
}

uint32_t Crc32(const uint8_t* data, size_t size) {
  uint32_t crc = 0xFFFFFFFFu;
  for (size_t i = 0; i < size; ++i) {
    crc ^= data[i];
    for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  return ~crc;
}

void PutPngChunk(Bytes& out, const char type[4], const Bytes& data) {
  PutU32Be(out, uint32_t(data.size()));
  const size_t start = out.size();
  out.insert(out.end(), type, type + 4);
  out.insert(out.end(), data.begin(), data.end());
  PutU32Be(out, Crc32(out.data() + start, out.size() - start));
}
}  // namespace

// Small pictures only (the icon): the pixels go into stored deflate blocks, so no
// compressor is needed and every build writes the same bytes.
Bytes EncodePng(const Image& img) {
  Bytes raw;
  for (int y = 0; y < img.h; ++y) {
    raw.push_back(0);  // no filter
    for (int x = 0; x < img.w; ++x) {
      const Rgb& c = img.At(x, y);
      raw.insert(raw.end(), {ToByte(c.r), ToByte(c.g), ToByte(c.b), ToByte(img.A(x, y))});
    }
  }
  Bytes zlib = {0x78, 0x01};
  for (size_t at = 0; at < raw.size() || at == 0; at += 65535) {
    const size_t n = std::min<size_t>(65535, raw.size() - at);
    zlib.push_back(at + n >= raw.size() ? 1 : 0);  // the last block is final
    PutU16(zlib, uint32_t(n));
    PutU16(zlib, uint32_t(~n & 0xFFFF));
    zlib.insert(zlib.end(), raw.begin() + long(at), raw.begin() + long(at + n));
    if (raw.empty()) break;
  }
  uint32_t a = 1, b = 0;
  for (uint8_t byte : raw) {
    a = (a + byte) % 65521;
    b = (b + a) % 65521;
  }
  PutU32Be(zlib, (b << 16) | a);

  Bytes header;
  PutU32Be(header, uint32_t(img.w));
  PutU32Be(header, uint32_t(img.h));
  header.insert(header.end(), {8, 6, 0, 0, 0});  // 8 bits, RGBA, deflate, no filter set, no interlace
  Bytes out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  PutPngChunk(out, "IHDR", header);
  PutPngChunk(out, "IDAT", zlib);
  PutPngChunk(out, "IEND", {});
  return out;
}

Bytes EncodeBmp(const Image& img) {
  const uint32_t rowBytes = (uint32_t(img.w) * 3 + 3) & ~3u;
  const uint32_t pixelBytes = rowBytes * uint32_t(img.h);
  Bytes out = {'B', 'M'};
  PutU32(out, 54 + pixelBytes);
  PutU32(out, 0);
  PutU32(out, 54);
  PutU32(out, 40);
  PutU32(out, uint32_t(img.w));
  PutU32(out, uint32_t(img.h));  // positive: rows from the bottom
  PutU16(out, 1);
  PutU16(out, 24);
  PutU32(out, 0);
  PutU32(out, pixelBytes);
  PutU32(out, 2835);  // 72 dpi
  PutU32(out, 2835);
  PutU32(out, 0);
  PutU32(out, 0);
  for (int y = img.h - 1; y >= 0; --y) {
    for (int x = 0; x < img.w; ++x) {
      const Rgb& c = img.At(x, y);
      out.push_back(ToByte(c.b));
      out.push_back(ToByte(c.g));
      out.push_back(ToByte(c.r));
    }
    for (uint32_t p = uint32_t(img.w) * 3; p < rowBytes; ++p) out.push_back(0);
  }
  return out;
}

void PutU16(Bytes& b, uint32_t v) {
  b.push_back(uint8_t(v));
  b.push_back(uint8_t(v >> 8));
}
void PutU32(Bytes& b, uint32_t v) {
  for (int i = 0; i < 4; ++i) b.push_back(uint8_t(v >> (8 * i)));
}
void PutF32(Bytes& b, float v) {
  uint32_t u;
  std::memcpy(&u, &v, 4);
  PutU32(b, u);
}

Bytes EncodeLevel(const std::string& header, const std::vector<Placed>& objects) {
  Bytes out(64, 0);
  std::memcpy(out.data(), header.data(), std::min<size_t>(header.size(), 63));
  PutU32(out, uint32_t(objects.size()));
  for (const Placed& o : objects) {
    if (o.name.size() > 31) throw std::runtime_error("object name too long: " + o.name);
    Bytes name(32, 0);
    std::memcpy(name.data(), o.name.data(), o.name.size());
    out.insert(out.end(), name.begin(), name.end());
    PutF32(out, o.x1);
    PutF32(out, o.y1);
    PutF32(out, o.x2);
    PutF32(out, o.y2);
    PutF32(out, o.angle);
    PutF32(out, o.px);
    PutF32(out, o.py);
    out.push_back(o.mirrored ? 1 : 0);
    PutU32(out, o.behind ? 1u : 0u);
  }
  return out;
}

}  // namespace qhc
