#include "wine/import_check.h"

#include <windows.h>

#include <cstdio>
#include <cstring>

namespace testhost {
namespace {

std::vector<unsigned char> ReadFile(const char* path) {
  std::vector<unsigned char> bytes;
  FILE* f = std::fopen(path, "rb");
  if (f == nullptr) return bytes;
  unsigned char buffer[4096];
  for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, f)) > 0;) {
    bytes.insert(bytes.end(), buffer, buffer + n);
  }
  std::fclose(f);
  return bytes;
}

// The file image's view of one PE: address in the loaded image -> offset in
// the file, through the section table; 0 outside every section.
struct Image {
  const std::vector<unsigned char>& file;
  const IMAGE_SECTION_HEADER* sections = nullptr;
  int count = 0;

  std::size_t Offset(DWORD rva) const {
    for (int i = 0; i < count; ++i) {
      const IMAGE_SECTION_HEADER& s = sections[i];
      if (rva >= s.VirtualAddress && rva < s.VirtualAddress + s.SizeOfRawData) {
        return rva - s.VirtualAddress + s.PointerToRawData;
      }
    }
    return 0;
  }
  // A terminated string at rva, or null when it runs past the file.
  const char* String(DWORD rva) const {
    const std::size_t at = Offset(rva);
    if (at == 0 || std::memchr(file.data() + at, 0, file.size() - at) == nullptr) return nullptr;
    return reinterpret_cast<const char*>(file.data() + at);
  }
};

}  // namespace

std::vector<std::string> MissingImports(const char* path, const char* exporter) {
  const std::vector<unsigned char> file = ReadFile(path);
  if (file.size() < sizeof(IMAGE_DOS_HEADER)) return {std::string(path) + ": cannot be read"};
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(file.data());
  if (dos->e_magic != IMAGE_DOS_SIGNATURE || dos->e_lfanew <= 0 ||
      static_cast<std::size_t>(dos->e_lfanew) + sizeof(IMAGE_NT_HEADERS) > file.size()) {
    return {std::string(path) + ": not a PE file"};
  }
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(file.data() + dos->e_lfanew);
  if (nt->OptionalHeader.Magic != IMAGE_NT_OPTIONAL_HDR_MAGIC) {
    return {std::string(path) + ": a DLL of another architecture than this host's"};
  }
  Image image{file, IMAGE_FIRST_SECTION(nt), nt->FileHeader.NumberOfSections};
  const IMAGE_DATA_DIRECTORY& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  HMODULE self = GetModuleHandleA(nullptr);
  std::vector<std::string> missing;
  for (std::size_t at = image.Offset(dir.VirtualAddress);
       at != 0 && at + sizeof(IMAGE_IMPORT_DESCRIPTOR) <= file.size();
       at += sizeof(IMAGE_IMPORT_DESCRIPTOR)) {
    const auto* d = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(file.data() + at);
    if (d->Name == 0) break;
    const char* dll = image.String(d->Name);
    if (dll == nullptr || _stricmp(dll, exporter) != 0) continue;
    const DWORD names = d->OriginalFirstThunk != 0 ? d->OriginalFirstThunk : d->FirstThunk;
    for (std::size_t t = image.Offset(names); t != 0 && t + sizeof(IMAGE_THUNK_DATA) <= file.size();
         t += sizeof(IMAGE_THUNK_DATA)) {
      const auto* thunk = reinterpret_cast<const IMAGE_THUNK_DATA*>(file.data() + t);
      if (thunk->u1.AddressOfData == 0) break;
      if (IMAGE_SNAP_BY_ORDINAL(thunk->u1.Ordinal)) {
        missing.push_back("an import by ordinal, which Orbiter.exe does not give");
        continue;
      }
      const char* name = image.String(static_cast<DWORD>(thunk->u1.AddressOfData) + 2);
      if (name == nullptr) {
        missing.push_back("an import whose name lies outside the file");
      } else if (GetProcAddress(self, name) == nullptr) {
        missing.push_back(std::string(name) + " is imported from " + exporter +
                          " but not exported by this one");
      }
    }
  }
  return missing;
}

}  // namespace testhost
