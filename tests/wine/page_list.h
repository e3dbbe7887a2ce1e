// The texts of drawn pages as a plain text file, written by the simulated
// host's run of the page script and read by the Windows test host, which
// compares them with what the module drew through the real GDI. One line a
// page, then one line a text:
//
//   page <name> <width> <height> <advance> <ascent> <cw> <ch>
//   text <x> <y> <colour> <align> <title> <left> <top> <right> <bottom> <bytes>
//
// advance and ascent: the face's character advance and ascent [pixel]; cw
// and ch: the character cell handed to the module. A text: its anchor, its
// COLORREF and alignment (hexadecimal), 1 if MFD::Title drew it, the box of
// its ink on the simulated host's picture [pixel], and its Windows-1252
// bytes in hexadecimal.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace pagelist {

struct Text {
  int x = 0, y = 0;
  unsigned colour = 0, align = 0;
  bool title = false;
  double left = 0, top = 0, right = 0, bottom = 0;
  std::string bytes;
};
struct Page {
  std::string name;
  int width = 0, height = 0;
  double advance = 0, ascent = 0;
  int cw = 0, ch = 0;
  std::vector<Text> texts;
};

inline bool Write(const std::string& path, const std::vector<Page>& pages) {
  std::FILE* f = std::fopen(path.c_str(), "w");
  if (f == nullptr) return false;
  for (const Page& p : pages) {
    std::fprintf(f, "page %s %d %d %.3f %.3f %d %d\n", p.name.c_str(), p.width, p.height, p.advance,
                 p.ascent, p.cw, p.ch);
    for (const Text& t : p.texts) {
      std::fprintf(f, "text %d %d %06x %x %d %.2f %.2f %.2f %.2f ", t.x, t.y, t.colour, t.align,
                   t.title ? 1 : 0, t.left, t.top, t.right, t.bottom);
      for (unsigned char c : t.bytes) std::fprintf(f, "%02x", c);
      std::fprintf(f, "\n");
    }
  }
  return std::fclose(f) == 0;
}

// Empty, with the reason in error, when the file cannot be read or a line
// is not one of the two kinds.
inline std::vector<Page> Read(const std::string& path, std::string& error) {
  std::vector<Page> pages;
  std::FILE* f = std::fopen(path.c_str(), "r");
  if (f == nullptr) {
    error = "cannot open " + path;
    return {};
  }
  char line[1024];
  for (int n = 1; std::fgets(line, sizeof line, f) != nullptr; ++n) {
    char name[256], hex[512] = "";
    Page p;
    Text t;
    int title = 0;
    if (std::sscanf(line, "page %255s %d %d %lf %lf %d %d", name, &p.width, &p.height, &p.advance,
                    &p.ascent, &p.cw, &p.ch) == 7) {
      p.name = name;
      pages.push_back(p);
    } else if (!pages.empty() &&
               std::sscanf(line, "text %d %d %x %x %d %lf %lf %lf %lf %511s", &t.x, &t.y, &t.colour,
                           &t.align, &title, &t.left, &t.top, &t.right, &t.bottom, hex) >= 9) {
      t.title = title != 0;
      for (const char* h = hex; h[0] != '\0' && h[1] != '\0'; h += 2) {
        unsigned byte = 0;
        std::sscanf(h, "%2x", &byte);
        t.bytes += static_cast<char>(byte);
      }
      pages.back().texts.push_back(t);
    } else {
      error = path + " line " + std::to_string(n) + " is neither a page nor a text";
      pages.clear();
      break;
    }
  }
  std::fclose(f);
  return pages;
}

}  // namespace pagelist
