#pragma once
// A single 32-bit (or smaller) value that one thread writes and others read
// without a lock. The design shares settings and run-state fields this way; a
// relaxed atomic gives exactly that (a reader sees the old or the new value) and
// keeps the sanitizers honest, while reading and writing like a plain field.
#include <atomic>

namespace qs {

template <class T>
class Relaxed {
  static_assert(std::atomic<T>::is_always_lock_free, "shared fields must be lock-free");

 public:
  constexpr Relaxed() noexcept : value_(T{}) {}
  constexpr Relaxed(T v) noexcept : value_(v) {}  // NOLINT(google-explicit-constructor)
  Relaxed(const Relaxed& other) noexcept : value_(other.load()) {}
  Relaxed& operator=(const Relaxed& other) noexcept {
    store(other.load());
    return *this;
  }
  Relaxed& operator=(T v) noexcept {
    store(v);
    return *this;
  }
  operator T() const noexcept { return load(); }  // NOLINT(google-explicit-constructor)

  T load() const noexcept { return value_.load(std::memory_order_relaxed); }
  void store(T v) noexcept { value_.store(v, std::memory_order_relaxed); }
  // For counters that only one thread writes.
  T operator++() noexcept { return value_.fetch_add(1, std::memory_order_relaxed) + 1; }
  T operator--() noexcept { return value_.fetch_sub(1, std::memory_order_relaxed) - 1; }

 private:
  std::atomic<T> value_;
};

}  // namespace qs
