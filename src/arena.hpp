// The per-call arena: every token, tree node, layout node and picture cell of one render call
// comes from it.
//
// A call allocates many small objects that all die together when it returns, so they are bumped
// from one region instead of being allocated one by one: the first 16 KiB live inside the Arena
// object itself (on the caller's stack, enough for a typical formula), larger formulas add heap
// chunks that double in size, and everything is released at once when the Arena goes out of
// scope. Nothing allocated here ever has its destructor run, so only trivially destructible types
// may be placed in it.
//
// The arena of the call in progress is reachable from anywhere in the core through
// current_arena(); the pipeline installs it with an ArenaScope for the duration of the call.
#pragma once

#include <cstddef>
#include <memory>
#include <new>
#include <span>
#include <type_traits>
#include <utility>

#if defined(__SANITIZE_ADDRESS__)
#define VOK_ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define VOK_ADDRESS_SANITIZER 1
#endif
#endif
#ifdef VOK_ADDRESS_SANITIZER
#include <sanitizer/asan_interface.h>
#endif

namespace vok {

// Under AddressSanitizer, space the arena holds but has not handed out (or has taken back) is
// poisoned, so that the sanitizer sees a stray access inside the arena as it would on the heap.
// Elsewhere these do nothing.
#ifdef VOK_ADDRESS_SANITIZER
inline constexpr bool kPoisoning = true;
inline void poison(const void* start, std::size_t bytes) noexcept {
  ASAN_POISON_MEMORY_REGION(start, bytes);
}
inline void unpoison(const void* start, std::size_t bytes) noexcept {
  ASAN_UNPOISON_MEMORY_REGION(start, bytes);
}
#else
inline constexpr bool kPoisoning = false;
inline void poison(const void*, std::size_t) noexcept {}
inline void unpoison(const void*, std::size_t) noexcept {}
#endif

class Arena {
 public:
  Arena() noexcept { poison(inline_, kInlineBytes); }
  ~Arena();
  Arena(const Arena&) = delete;
  Arena& operator=(const Arena&) = delete;

  // `bytes` of storage aligned to `align` (a power of two no larger than max_align_t's).
  [[nodiscard]] void* allocate(std::size_t bytes, std::size_t align) {
    const std::size_t pad = (align - reinterpret_cast<std::uintptr_t>(cursor_)) & (align - 1);
    if (pad <= static_cast<std::size_t>(end_ - cursor_) &&
        bytes <= static_cast<std::size_t>(end_ - cursor_) - pad) {
      std::byte* start = cursor_ + pad;
      cursor_ = start + bytes;
      unpoison(start, bytes);
      return start;
    }
    return allocate_slow(bytes, align);
  }

  // Uninitialised room for `count` objects of type T.
  template <class T>
  [[nodiscard]] T* allocate_array(std::size_t count) {
    static_assert(std::is_trivially_destructible_v<T>, "arena objects are never destroyed");
    if (count > static_cast<std::size_t>(-1) / sizeof(T)) throw std::bad_alloc();
    return static_cast<T*>(allocate(count * sizeof(T), alignof(T)));
  }

  // A new object built from `args`.
  template <class T, class... Args>
  [[nodiscard]] T* make(Args&&... args) {
    return new (allocate_array<T>(1)) T(std::forward<Args>(args)...);
  }

 private:
  struct Chunk {
    Chunk* next;
  };
  static constexpr std::size_t kInlineBytes = 16 * 1024;

  [[nodiscard]] void* allocate_slow(std::size_t bytes, std::size_t align);

  alignas(std::max_align_t) std::byte inline_[kInlineBytes];
  std::byte* cursor_ = inline_;
  std::byte* end_ = inline_ + kInlineBytes;
  Chunk* chunks_ = nullptr;
  std::size_t next_chunk_ = 64 * 1024;
};

namespace detail {
// The arena of the call in progress. Initial-exec keeps the access a single load; one pointer
// fits easily in the static TLS that the loader keeps for dynamically loaded modules.
[[gnu::tls_model("initial-exec")]] extern thread_local Arena* t_current_arena;
// A thread-wide arena for code that uses the core's parts outside a call (its unit tests).
[[nodiscard]] Arena& fallback_arena();
}  // namespace detail

// The arena of the call in progress on this thread.
[[nodiscard]] inline Arena& current_arena() {
  Arena* arena = detail::t_current_arena;
  return arena != nullptr ? *arena : detail::fallback_arena();
}

// Makes `arena` the current arena until the scope ends.
class ArenaScope {
 public:
  explicit ArenaScope(Arena& arena) noexcept;
  ~ArenaScope();
  ArenaScope(const ArenaScope&) = delete;
  ArenaScope& operator=(const ArenaScope&) = delete;

 private:
  Arena* previous_;
};

// A growable list in the arena, for lists whose length is not known in advance. Growing leaves
// the old storage behind, at most as much again as the final list.
template <class T>
class ArenaVector {
 public:
  void push_back(const T& item) {
    if (size_ == capacity_) grow();
    new (data_ + size_++) T(item);
  }
  [[nodiscard]] std::size_t size() const noexcept { return size_; }
  [[nodiscard]] bool empty() const noexcept { return size_ == 0; }
  [[nodiscard]] std::span<const T> view() const noexcept { return {data_, size_}; }

 private:
  void grow() {
    const std::size_t capacity = capacity_ == 0 ? 4 : capacity_ * 2;
    T* data = current_arena().allocate_array<T>(capacity);
    if (size_ > 0) std::uninitialized_copy(data_, data_ + size_, data);
    data_ = data;
    capacity_ = capacity;
  }

  T* data_ = nullptr;
  std::size_t size_ = 0;
  std::size_t capacity_ = 0;
};

}  // namespace vok
