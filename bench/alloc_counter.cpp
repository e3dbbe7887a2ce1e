#include "bench/alloc_counter.h"

#include <dlfcn.h>
#include <execinfo.h>

#include <atomic>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <new>

extern "C" {
void* __libc_malloc(std::size_t);
void* __libc_calloc(std::size_t, std::size_t);
void* __libc_realloc(void*, std::size_t);
void __libc_free(void*);
}

namespace allocs {
namespace {

std::atomic<long> total{0}, module{0}, host{0};
std::atomic<bool> attributing{false};
thread_local bool walking = false;  // allocations of the stack walk itself

void note() {
  total.fetch_add(1, std::memory_order_relaxed);
  if (!attributing.load(std::memory_order_relaxed) || walking) return;
  walking = true;
  void* frames[48];
  const int n = backtrace(frames, 48);
  // Frames of this file, the C and C++ runtimes and the benchmark itself
  // match neither library and are passed over.
  for (int i = 1; i < n; ++i) {
    Dl_info info;
    if (dladdr(frames[i], &info) == 0 || info.dli_fname == nullptr) continue;
    if (std::strstr(info.dli_fname, "ArvexMFD") != nullptr) {
      module.fetch_add(1, std::memory_order_relaxed);
      break;
    }
    if (std::strstr(info.dli_fname, "libsimhost") != nullptr) {
      host.fetch_add(1, std::memory_order_relaxed);
      break;
    }
  }
  walking = false;
}

// backtrace loads the unwinder on its first call; that happens here, before
// any measurement.
const bool warmedUp = [] {
  void* frame[1];
  backtrace(frame, 1);
  return true;
}();

}  // namespace

Counts now() { return {total.load(), module.load(), host.load()}; }

void attribute(bool on) { attributing.store(on && warmedUp); }

Counts operator-(const Counts& a, const Counts& b) {
  return {a.total - b.total, a.module - b.module, a.host - b.host};
}

}  // namespace allocs

extern "C" {
void* malloc(std::size_t n) {
  allocs::note();
  return __libc_malloc(n);
}
void* calloc(std::size_t n, std::size_t size) {
  allocs::note();
  return __libc_calloc(n, size);
}
void* realloc(void* p, std::size_t n) {
  allocs::note();
  return __libc_realloc(p, n);
}
void free(void* p) { __libc_free(p); }
}

void* operator new(std::size_t n) {
  allocs::note();
  if (void* p = __libc_malloc(n == 0 ? 1 : n)) return p;
  throw std::bad_alloc();
}
void* operator new[](std::size_t n) { return operator new(n); }
void* operator new(std::size_t n, const std::nothrow_t&) noexcept {
  allocs::note();
  return __libc_malloc(n == 0 ? 1 : n);
}
void* operator new[](std::size_t n, const std::nothrow_t& t) noexcept { return operator new(n, t); }
void operator delete(void* p) noexcept { __libc_free(p); }
void operator delete[](void* p) noexcept { __libc_free(p); }
void operator delete(void* p, std::size_t) noexcept { __libc_free(p); }
void operator delete[](void* p, std::size_t) noexcept { __libc_free(p); }
