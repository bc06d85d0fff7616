// Arena chunks and the current arena of each thread.
#include "arena.hpp"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace vok {
namespace detail {

VOK_TLS_INITIAL_EXEC thread_local Arena* t_current_arena = nullptr;

Arena& fallback_arena() {
  thread_local std::unique_ptr<Arena> fallback;
  if (!fallback) fallback = std::make_unique<Arena>();
  return *fallback;
}

}  // namespace detail

Arena::~Arena() {
  unpoison(inline_, kInlineBytes);  // the buffer is stack memory of the caller
  while (chunks_ != nullptr) {
    Chunk* next = chunks_->next;
    ::operator delete(chunks_);
    chunks_ = next;
  }
}

void* Arena::allocate_slow(std::size_t bytes, std::size_t align) {
  constexpr std::size_t kHeader = sizeof(std::max_align_t);
  constexpr std::size_t kMaxChunk = std::size_t{64} << 20;
  if (bytes > static_cast<std::size_t>(-1) - kHeader - align) throw std::bad_alloc();
  // Requests larger than the next chunk get a chunk of their own; the open chunk stays open.
  const std::size_t needed = kHeader + align + bytes;
  const bool own_chunk = needed > next_chunk_;
  const std::size_t size = own_chunk ? needed : next_chunk_;
  auto* chunk = static_cast<Chunk*>(::operator new(size));
  chunk->next = chunks_;
  chunks_ = chunk;
  std::byte* start = reinterpret_cast<std::byte*>(chunk) + kHeader;
  start += (align - reinterpret_cast<std::uintptr_t>(start)) & (align - 1);
  if (own_chunk) return start;
  poison(start + bytes,
         static_cast<std::size_t>(reinterpret_cast<std::byte*>(chunk) + size - start) - bytes);
  next_chunk_ = std::min(next_chunk_ * 2, kMaxChunk);
  cursor_ = start + bytes;
  end_ = reinterpret_cast<std::byte*>(chunk) + size;
  return start;
}

ListStack::~ListStack() { ::operator delete(owned_); }

void ListStack::grow(std::size_t needed) {
  const std::size_t capacity = std::max(capacity_ * 2, top_ + needed);
  auto* data = static_cast<std::byte*>(::operator new(capacity));
  std::memcpy(data, data_, top_);
  ::operator delete(owned_);
  owned_ = data_ = data;
  capacity_ = capacity;
}

ArenaScope::ArenaScope(Arena& arena) noexcept : previous_(detail::t_current_arena) {
  detail::t_current_arena = &arena;
}

ArenaScope::~ArenaScope() { detail::t_current_arena = previous_; }

}  // namespace vok
