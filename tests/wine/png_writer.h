// Writes 32-bit DIB pixels (0x00RRGGBB, top-down) as an RGB PNG file, with
// stored (uncompressed) deflate blocks: no library needed on the Windows side.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

inline std::uint32_t PngCrc(const unsigned char* p, std::size_t n, std::uint32_t c = 0xFFFFFFFFu) {
  for (std::size_t i = 0; i < n; ++i) {
    c ^= p[i];
    for (int k = 0; k < 8; ++k) c = (c >> 1) ^ (0xEDB88320u & (0u - (c & 1u)));
  }
  return c;
}

inline bool WritePng(const std::string& file, const std::uint32_t* pixels, int w, int h) {
  std::vector<unsigned char> raw;  // filter byte 0, then RGB per row
  for (int y = 0; y < h; ++y) {
    raw.push_back(0);
    for (int x = 0; x < w; ++x) {
      const std::uint32_t p = pixels[y * w + x];
      raw.insert(raw.end(), {static_cast<unsigned char>(p >> 16),
                             static_cast<unsigned char>(p >> 8), static_cast<unsigned char>(p)});
    }
  }
  std::vector<unsigned char> z = {0x78, 0x01};
  std::uint32_t a = 1, b = 0;
  for (unsigned char c : raw) a = (a + c) % 65521, b = (b + a) % 65521;
  for (std::size_t at = 0; at < raw.size() || at == 0; at += 65535) {
    const std::size_t n = std::min<std::size_t>(65535, raw.size() - at);
    const bool last = at + n >= raw.size();
    z.insert(z.end(), {static_cast<unsigned char>(last), static_cast<unsigned char>(n),
                       static_cast<unsigned char>(n >> 8), static_cast<unsigned char>(~n),
                       static_cast<unsigned char>(~n >> 8)});
    z.insert(z.end(), raw.begin() + at, raw.begin() + at + n);
    if (last) break;
  }
  const std::uint32_t adler = (b << 16) | a;
  for (int s = 24; s >= 0; s -= 8) z.push_back(static_cast<unsigned char>(adler >> s));

  FILE* f = std::fopen(file.c_str(), "wb");
  if (f == nullptr) return false;
  auto put32 = [&](std::uint32_t v) {
    const unsigned char q[4] = {static_cast<unsigned char>(v >> 24),
                                static_cast<unsigned char>(v >> 16),
                                static_cast<unsigned char>(v >> 8), static_cast<unsigned char>(v)};
    std::fwrite(q, 1, 4, f);
  };
  auto chunk = [&](const char* type, const std::vector<unsigned char>& data) {
    put32(static_cast<std::uint32_t>(data.size()));
    std::fwrite(type, 1, 4, f);
    if (!data.empty()) std::fwrite(data.data(), 1, data.size(), f);
    std::uint32_t c = PngCrc(reinterpret_cast<const unsigned char*>(type), 4);
    put32(~PngCrc(data.data(), data.size(), c));
  };
  static const unsigned char signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  std::fwrite(signature, 1, 8, f);
  std::vector<unsigned char> ihdr;
  for (int v : {w, h}) {
    for (int s = 24; s >= 0; s -= 8) ihdr.push_back(static_cast<unsigned char>(v >> s));
  }
  ihdr.insert(ihdr.end(), {8, 2, 0, 0, 0});  // 8-bit RGB
  chunk("IHDR", ihdr);
  chunk("IDAT", z);
  chunk("IEND", {});
  return std::fclose(f) == 0;
}
