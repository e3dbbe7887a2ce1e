// The test host's start-up, in place of MSVC's C runtime start-up (none is
// linked: the C runtime is the system's msvcrt.dll): runs the constructors
// of the globals, as MSVC's runtime does, from the pointers the compiler puts
// between .CRT$XCA and .CRT$XCZ (the linker sorts them by name), then main.
// Also the throwing operator new, which the module itself never uses: the
// host's containers need it, and a host may stop on a failed allocation.
// And the stdio entry points that MinGW's headers route the host's printf
// and sscanf to, on msvcrt.dll's own (module/windows/runtime.cpp has the
// module's).
#include <cstdarg>
#include <cstddef>
#include <new>

extern "C" {
struct StartupInfo {
  int newMode;
};
int __cdecl __getmainargs(int* argc, char*** argv, char*** env, int expandWildcards,
                          StartupInfo* info);
[[noreturn]] void __cdecl exit(int status);
void* __cdecl malloc(std::size_t size);
[[noreturn]] void __cdecl abort();

// msvcrt.dll's FILE, for the address of its stdin, stdout and stderr.
struct MsvcrtFile {
  char* ptr;
  int count;
  char* base;
  int flags, file, charbuf, bufsiz;
  char* tmpfname;
};
MsvcrtFile* __cdecl __iob_func();
int __cdecl vfprintf(void* file, const char* format, va_list args);
int __cdecl sscanf(const char* text, const char* format, ...);

void* __cdecl __acrt_iob_func(unsigned index) { return __iob_func() + index; }
int __cdecl __mingw_vfprintf(void* file, const char* format, va_list args) {
  return vfprintf(file, format, args);
}
// msvcrt.dll has no vsscanf. Every argument of a scanf is a pointer, so up
// to sixteen of them are passed on as they are; unused ones are ignored.
int __cdecl __mingw_vsscanf(const char* text, const char* format, va_list args) {
  void* p[16];
  for (void*& a : p) a = va_arg(args, void*);
  return sscanf(text, format, p[0], p[1], p[2], p[3], p[4], p[5], p[6], p[7], p[8], p[9], p[10],
                p[11], p[12], p[13], p[14], p[15]);
}
}

int main(int argc, char** argv);

namespace {
using Initialiser = void(__cdecl*)();
#pragma section(".CRT$XCA", read)
#pragma section(".CRT$XCZ", read)
__declspec(allocate(".CRT$XCA")) const Initialiser firstInitialiser = nullptr;
__declspec(allocate(".CRT$XCZ")) const Initialiser lastInitialiser = nullptr;
}  // namespace

extern "C" void mainCRTStartup() {
  // Through volatile: the two bounds are distinct objects to the compiler.
  for (const Initialiser* volatile p = &firstInitialiser + 1; p < &lastInitialiser; p = p + 1) {
    if (*p != nullptr) (*p)();
  }
  int argc = 0;
  char** argv = nullptr;
  char** env = nullptr;
  StartupInfo info{0};
  __getmainargs(&argc, &argv, &env, 0, &info);
  exit(main(argc, argv));
}

void* operator new(std::size_t size) {
  void* block = malloc(size != 0 ? size : 1);
  if (block == nullptr) abort();
  return block;
}
void* operator new[](std::size_t size) { return operator new(size); }
