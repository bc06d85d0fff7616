// The per-call arena: every token, tree node, layout node and picture cell of one render call
// comes from it.
//
// A call allocates many small objects that all die together when it returns, so they are bumped
// from one region instead of being allocated one by one: the first 16 KiB live inside the Arena
// object itself (on the caller's stack, enough for a typical formula), larger formulas add heap
// chunks that double in size, and everything is released at once when the Arena goes out of
// scope (large chunks to the few a thread keeps for its next ones, arena.cpp). Nothing allocated
// here ever has its destructor run, so only trivially destructible types may be placed in it.
//
// The arena of the call in progress is reachable from anywhere in the core through
// current_arena(); the pipeline installs it with an ArenaScope for the duration of the call.
#pragma once

#include <cstddef>
#include <cstring>
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
  // An arena whose chunks go to `heir` when it dies, for what `heir` allocates after it.
  explicit Arena(Arena& heir) noexcept : Arena() { heir_ = &heir; }
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
    std::size_t bytes;  // its size, header included
  };
  static constexpr std::size_t kInlineBytes = 16 * 1024;

  [[nodiscard]] void* allocate_slow(std::size_t bytes, std::size_t align);

  alignas(std::max_align_t) std::byte inline_[kInlineBytes];
  std::byte* cursor_ = inline_;
  std::byte* end_ = inline_ + kInlineBytes;
  Chunk* chunks_ = nullptr;
  Chunk* spare_ = nullptr;  // chunks left by the arenas it is heir to, for reuse
  Arena* heir_ = nullptr;
  std::size_t next_chunk_ = 64 * 1024;
};

// The arena of the call in progress. With glibc, initial-exec keeps the access a single load; one
// pointer fits easily in the static TLS that glibc's loader keeps for dynamically loaded modules.
// musl's loader refuses to load a module that asks for it, and other platforms have no such model.
#if defined(__GLIBC__)
#define VOK_TLS_INITIAL_EXEC [[gnu::tls_model("initial-exec")]]
#else
#define VOK_TLS_INITIAL_EXEC
#endif

namespace detail {
// Constant-initialised, so that reading it needs no call to an initialiser first.
VOK_TLS_INITIAL_EXEC extern constinit thread_local Arena* t_current_arena;
// Heap memory for arena chunks and list stacks: at least `bytes` bytes, aligned for any object;
// `bytes` becomes what the block holds, the size to free it with.
[[nodiscard]] void* allocate_block(std::size_t& bytes);
void free_block(void* block, std::size_t bytes) noexcept;
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

// The stack on which lists whose length is not known in advance are built: items are pushed as
// they come, and a finished list moves to the arena at its exact size, so the arena holds no
// half-grown copies. Lists nest (an item is parsed, with its own lists, before it is pushed), so
// they share one stack, each on top of the ones that enclose it. Sized by its owner from a bound
// on what it can hold at once; it grows on the heap should that bound ever be passed.
class ListStack {
 public:
  // A stack over `bytes` bytes at `storage` (aligned for any item), which outlive it.
  ListStack(std::byte* storage, std::size_t bytes) noexcept : data_(storage), capacity_(bytes) {}
  // A stack over `bytes` bytes of its own on the heap.
  explicit ListStack(std::size_t bytes);
  ~ListStack();
  ListStack(const ListStack&) = delete;
  ListStack& operator=(const ListStack&) = delete;

  [[nodiscard]] std::size_t top() const noexcept { return top_; }
  template <class T>
  void push(const T& item) {
    static_assert(std::is_trivially_copyable_v<T> && alignof(T) <= kAlign);
    if (sizeof(T) > capacity_ - top_) grow(sizeof(T));
    std::memcpy(data_ + top_, &item, sizeof(T));
    top_ += (sizeof(T) + kAlign - 1) / kAlign * kAlign;
  }
  // The items of type T from `start` to the top, moved to the current arena; the stack is cut
  // back to `start`.
  template <class T>
  [[nodiscard]] std::span<const T> finish(std::size_t start) {
    static_assert(sizeof(T) % kAlign == 0, "items lie back to back");
    const std::size_t count = (top_ - start) / sizeof(T);
    T* out = count == 0 ? nullptr : current_arena().allocate_array<T>(count);
    if (count != 0) std::memcpy(out, data_ + start, count * sizeof(T));
    top_ = start;
    return {out, count};
  }
  void cut(std::size_t start) noexcept { top_ = start; }
  // The item of type T at `offset`.
  template <class T>
  [[nodiscard]] T at(std::size_t offset) const noexcept {
    T item;
    std::memcpy(&item, data_ + offset, sizeof(T));
    return item;
  }

  static constexpr std::size_t kAlign = 8;

 private:
  void grow(std::size_t needed);

  std::byte* data_;
  std::size_t capacity_;
  std::size_t top_ = 0;
  std::byte* owned_ = nullptr;  // storage of its own (data_, which is initialised first)
};

// One list under construction on a ListStack; an unfinished list is cut off the stack when it
// goes out of scope, so an error leaves the stack as it found it.
template <class T>
class ListBuilder {
 public:
  explicit ListBuilder(ListStack& stack) noexcept : stack_(stack), start_(stack.top()) {}
  ~ListBuilder() { stack_.cut(start_); }
  ListBuilder(const ListBuilder&) = delete;
  ListBuilder& operator=(const ListBuilder&) = delete;

  void push_back(const T& item) { stack_.push(item); }
  [[nodiscard]] std::size_t size() const noexcept { return (stack_.top() - start_) / sizeof(T); }
  [[nodiscard]] bool empty() const noexcept { return stack_.top() == start_; }
  // The first item; the list is not empty.
  [[nodiscard]] T front() const noexcept { return stack_.at<T>(start_); }
  // The list, in the arena; the builder is empty afterwards.
  [[nodiscard]] std::span<const T> finish() { return stack_.finish<T>(start_); }
  // The items from the `index`th on, as a list of their own; the builder keeps those before.
  [[nodiscard]] std::span<const T> finish_from(std::size_t index) {
    return stack_.finish<T>(start_ + index * sizeof(T));
  }

 private:
  ListStack& stack_;
  std::size_t start_;
};

}  // namespace vok
