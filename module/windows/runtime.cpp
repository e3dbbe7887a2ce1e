// What the module's objects need from a C++ runtime when ArvexMFD.dll is
// built with MSVC's ABI but without MSVC's runtime libraries (clang in MSVC
// mode, /nodefaultlib): Orbiter loads the DLL beside its own runtime, and a
// pilot gets no runtime DLL to install. Only the DLL build compiles this
// file; Linux and the real SDK's compile never see it.
//
// Allocation: the module allocates with new (std::nothrow) only, so that a
// failure is a null it handles. No throwing operator new is defined here on
// purpose: code that gains one fails to link instead of ending Orbiter on a
// failed allocation.
//
// The C functions come from the system's msvcrt.dll (every Windows Orbiter
// runs on has it). Declared here rather than through stdio.h, whose UCRT
// branch would route them to the UCRT's entry points instead.
#include <cstdarg>
#include <cstddef>
#include <new>

extern "C" {
void* __cdecl malloc(std::size_t size);
void __cdecl free(void* block);
[[noreturn]] void __cdecl abort();
double __cdecl strtod(const char* text, char** end);
int __cdecl _vsnprintf(char* buffer, std::size_t size, const char* format, va_list args);
double __cdecl fmod(double x, double y);
double __cdecl fabs(double x);
double __cdecl pow(double x, double y);
double __cdecl log(double x);
double __cdecl sqrt(double x);

// Tells the linker that floating point is used; MSVC's runtime defines it.
int _fltused = 0;

// MinGW's headers route the standard names to these. msvcrt.dll has
// strtod, and C99's vsnprintf only as _vsnprintf, which neither terminates a
// cut text nor says how long the whole one is (and _vscprintf, which would,
// is missing from the oldest 32-bit msvcrt.dll): a cut text is terminated
// here, and its whole length measured in larger scratch buffers.
double __cdecl __mingw_strtod(const char* text, char** end) { return strtod(text, end); }
int __cdecl __mingw_vsnprintf(char* buffer, std::size_t size, const char* format, va_list args) {
  va_list copy;
  va_copy(copy, args);
  int written = size != 0 ? _vsnprintf(buffer, size, format, copy) : -1;
  va_end(copy);
  if (written >= 0 && static_cast<std::size_t>(written) < size) return written;
  if (size != 0) buffer[size - 1] = '\0';
  for (std::size_t n = size < 256 ? 512 : 2 * size; n <= (std::size_t{1} << 30); n *= 2) {
    char* scratch = static_cast<char*>(malloc(n));
    if (scratch == nullptr) return -1;
    va_copy(copy, args);
    written = _vsnprintf(scratch, n, format, copy);
    va_end(copy);
    free(scratch);
    if (written >= 0 && static_cast<std::size_t>(written) < n) return written;
  }
  return -1;
}

// C99's fmax and fmin, which msvcrt.dll lacks too (x64 compiles them inline,
// x86 calls them): a NaN gives way to the other value; of two zeros, fmax
// takes +0 and fmin -0.
double __cdecl fmax(double x, double y) {
  if (x != x) return y;
  if (y != y) return x;
  if (x == y) return x == 0 && 1 / x < 0 ? y : x;
  return x > y ? x : y;
}
double __cdecl fmin(double x, double y) {
  if (x != x) return y;
  if (y != y) return x;
  if (x == y) return x == 0 && 1 / x > 0 ? y : x;
  return x < y ? x : y;
}

// C99's cbrt, which msvcrt.dll lacks: pow's cube root of |x| polished by one
// Newton step (pow's 1/3 is not exactly a third), the sign put back.
double __cdecl cbrt(double x) {
  if (x == 0 || x != x || x - x != 0) return x;  // zeros, NaN and infinities
  const double a = fabs(x);
  double y = pow(a, 1.0 / 3.0);
  y -= (y * y * y - a) / (3 * y * y);
  return x < 0 ? -y : y;
}

// C99's asinh, which msvcrt.dll lacks: log(|x| + sqrt(x^2 + 1)) written as
// log1p(|x| + x^2 / (1 + sqrt(1 + x^2))), so that a small x keeps its
// digits, with log1p(t) = log(u) - ((u - 1) - t) / u for u = 1 + t (the
// rounding of u corrected to first order). Very large x would overflow x^2:
// there asinh(x) = log(2 |x|) to the last bit.
double __cdecl asinh(double x) {
  if (x == 0 || x != x || x - x != 0) return x;
  const double a = fabs(x);
  double r;
  if (a > 0x1p28) {
    r = log(a) + 0.69314718055994530942;
  } else {
    const double t = a + a * a / (1 + sqrt(1 + a * a));
    const double u = 1 + t;
    r = u == 1 ? t : log(u) - ((u - 1) - t) / u;
  }
  return x < 0 ? -r : r;
}

// C99's remainder, which msvcrt.dll lacks: x - n y for the n nearest x / y,
// ties to even, exact. fmod is exact; within [0, 2|y|) one or two
// subtractions of |y| are exact too (both values lie within a factor 2).
double __cdecl remainder(double x, double y) {
  const double p = fabs(y);
  double r = fmod(x, p + p);  // p + p overflows to infinity: r = x, still right
  const bool negative = x < 0;
  r = fabs(r);
  if (p < 0x1p-1021) {  // p / 2 would lose a bit: compare 2r with p
    if (r + r > p) {
      r -= p;
      if (r + r >= p) r -= p;
    }
  } else {
    const double half = 0.5 * p;
    if (r > half) {
      r -= p;
      if (r >= half) r -= p;
    }
  }
  return negative ? -r : r;
}
}

namespace std {
const nothrow_t nothrow{};

// What libstdc++'s header templates call where a library built with
// exceptions would throw: a broken precondition (an index past the end, a
// length past max_size). With no exceptions there is no way back to the
// caller; stopping is what a noexcept function does there too.
[[noreturn]] void __throw_bad_alloc() { abort(); }
[[noreturn]] void __throw_bad_array_new_length() { abort(); }
[[noreturn]] void __throw_length_error(const char*) { abort(); }
[[noreturn]] void __throw_logic_error(const char*) { abort(); }
[[noreturn]] void __throw_out_of_range(const char*) { abort(); }
[[noreturn]] void __throw_out_of_range_fmt(const char*, ...) { abort(); }
[[noreturn]] void __throw_invalid_argument(const char*) { abort(); }
}  // namespace std

void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  return malloc(size != 0 ? size : 1);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
  return malloc(size != 0 ? size : 1);
}
void operator delete(void* block) noexcept { free(block); }
void operator delete[](void* block) noexcept { free(block); }
void operator delete(void* block, std::size_t) noexcept { free(block); }
void operator delete[](void* block, std::size_t) noexcept { free(block); }
void operator delete(void* block, const std::nothrow_t&) noexcept { free(block); }
void operator delete[](void* block, const std::nothrow_t&) noexcept { free(block); }
