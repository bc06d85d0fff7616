// Arena chunks and the current arena of each thread.
#include "arena.hpp"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace vok {
namespace {

// Regions double in size up to this many cells, then grow only as far as a request needs.
constexpr std::size_t kMaxRegionGrowth = std::size_t{1} << 26;

}  // namespace

namespace detail {

[[gnu::tls_model("initial-exec")]] thread_local Arena* t_current_arena = nullptr;

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

BlockStack::~BlockStack() {
  unpoison(inline_, sizeof inline_);  // the buffer is stack memory of the caller
  for (std::size_t i = 1; i <= taken_; ++i) {
    unpoison(regions_[i].data, regions_[i].capacity * sizeof(char32_t));
    ::operator delete(regions_[i].data);
  }
}

char32_t* BlockStack::allocate_in_next_region(std::size_t count) {
  // Move on to the next region, reusing it when it is large enough; regions above the top of the
  // stack hold nothing.
  const std::size_t next = current_ + 1;
  const Region below = region(current_);
  const std::size_t offset = below.offset + below.capacity;
  if (next >= kMaxRegions || offset > kMaxLiveCells || count > kMaxLiveCells - offset)
    return nullptr;
  Region& target = regions_[next];
  if (next > taken_ || target.capacity < count) {
    const std::size_t wanted =
        below.capacity > kMaxRegionGrowth ? below.capacity : below.capacity * 2;
    const std::size_t capacity = std::min(std::max(count, wanted), kMaxLiveCells - offset);
    auto* data = static_cast<char32_t*>(::operator new(capacity * sizeof(char32_t)));
    if (next <= taken_) {
      unpoison(target.data, target.capacity * sizeof(char32_t));
      ::operator delete(target.data);
    }
    target.data = data;
    target.capacity = capacity;
    taken_ = std::max(taken_, next);
  }
  // A region reused above larger regions than before may reach past the bound: use less of it.
  target.capacity = std::min(target.capacity, kMaxLiveCells - offset);
  target.offset = offset;
  current_ = next;
  used_ = count;
  poison(target.data + count, (target.capacity - count) * sizeof(char32_t));
  unpoison(target.data, count * sizeof(char32_t));
  return target.data;
}

void BlockStack::poison_above(Mark mark) const noexcept {
  for (std::size_t index = mark.region; index <= current_; ++index) {
    const Region r = region(index);
    const std::size_t from = index == mark.region ? mark.used : 0;
    if (from < r.capacity) poison(r.data + from, (r.capacity - from) * sizeof(char32_t));
  }
}

char32_t* BlockStack::move_down(Mark mark, char32_t* cells, std::size_t count) noexcept {
  const Region home = region(mark.region);
  char32_t* destination = home.data + mark.used;
  if (count <= home.capacity - mark.used) {
    // The cells may come from a later region, over space of this one never handed out.
    unpoison(destination, count * sizeof(char32_t));
    std::memmove(destination, cells, count * sizeof(char32_t));
    release({mark.region, mark.used + count});
    return destination;
  }
  // Too large for the mark's region: the cells stay in the region they were built in.
  for (std::size_t index = mark.region + 1; index <= current_; ++index) {
    const Region r = region(index);
    if (cells >= r.data && cells < r.data + r.capacity) {
      release({index, static_cast<std::size_t>(cells - r.data) + count});
      break;
    }
  }
  return cells;
}

ArenaScope::ArenaScope(Arena& arena) noexcept : previous_(detail::t_current_arena) {
  detail::t_current_arena = &arena;
}

ArenaScope::~ArenaScope() { detail::t_current_arena = previous_; }

}  // namespace vok
