// Memory for large buffers that are filled whole before they are read: a map's values, the text
// blocks of a grid file. It is not cleared when it is made, and a large one is made of whole
// large pages where the system gives them: inside a virtual machine, the trap that makes each
// 4 KB page of fresh memory costs more than filling the page.
#pragma once

#include <cstddef>
#include <limits>
#include <memory>
#include <new>
#include <utility>
#include <vector>

#include "os/os.hpp"

namespace gridfile {

template <typename T>
struct LargeBufferAllocator {
  using value_type = T;

  // From this size on, memory is made in whole large pages.
  static constexpr std::size_t kLargePage = std::size_t{2} << 20;
  static constexpr std::size_t kLargeFrom = kLargePage / 2;

  LargeBufferAllocator() = default;
  template <typename U>
  explicit LargeBufferAllocator(const LargeBufferAllocator<U>& /*other*/) noexcept {}

  T* allocate(std::size_t count) {
    if (count > (std::numeric_limits<std::size_t>::max() - kLargePage) / sizeof(T)) {
      throw std::bad_array_new_length();
    }
    const std::size_t bytes = count * sizeof(T);
    if (bytes < kLargeFrom) return std::allocator<T>().allocate(count);
    const std::size_t whole = (bytes + kLargePage - 1) / kLargePage * kLargePage;
    void* memory = ::operator new (whole, std::align_val_t{kLargePage});
    os::advise_large_pages(memory, whole);
    return static_cast<T*>(memory);
  }

  void deallocate(T* memory, std::size_t count) noexcept {
    if (count * sizeof(T) < kLargeFrom) return std::allocator<T>().deallocate(memory, count);
    ::operator delete (memory, std::align_val_t{kLargePage});
  }

  // A value made without an initialiser is left as it is.
  template <typename U>
  void construct(U* at) noexcept {
    ::new (static_cast<void*>(at)) U;
  }
  template <typename U, typename... Arguments>
  void construct(U* at, Arguments&&... arguments) {
    ::new (static_cast<void*>(at)) U(std::forward<Arguments>(arguments)...);
  }

  template <typename U>
  bool operator==(const LargeBufferAllocator<U>& /*other*/) const noexcept {
    return true;
  }
};

template <typename T>
using LargeBuffer = std::vector<T, LargeBufferAllocator<T>>;

// A map's values, x fastest and z slowest.
using MapValues = LargeBuffer<float>;

}  // namespace gridfile
