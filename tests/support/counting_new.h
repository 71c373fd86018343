// Counts a test program's heap allocations while g_counting is set: the
// global allocation functions replaced, malloc and free underneath. A
// program gets them by including this in exactly one of its files.
#pragma once

#include <atomic>
#include <cstdlib>
#include <new>

namespace om::test {
inline std::atomic<bool> g_counting{false};
inline std::atomic<long> g_allocations{0};
}  // namespace om::test

#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void* operator new(size_t size) {
  if (om::test::g_counting.load(std::memory_order_relaxed)) om::test::g_allocations.fetch_add(1);
  if (void* p = std::malloc(size ? size : 1)) return p;
  throw std::bad_alloc();
}
// The nothrow form too (std::stable_sort takes its buffer that way), so
// every delete below frees what a replacement took.
void* operator new(size_t size, const std::nothrow_t&) noexcept {
  if (om::test::g_counting.load(std::memory_order_relaxed)) om::test::g_allocations.fetch_add(1);
  return std::malloc(size ? size : 1);
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
