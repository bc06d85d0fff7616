// Arena chunks, list stacks and the current arena of each thread.
//
// Chunks and stacks of 64 KiB or more are mapped on their own on Linux, and those of 2 MiB or
// more aligned to 2 MiB and marked for huge pages: a large formula touches each of their pages
// once, and a page fault per 2 MiB instead of one per 4 KiB is much of what a large call would
// cost beyond its work. A thread keeps the last few it freed, up to 64 MiB in all, for its next
// ones, whose pages are then touched already, in the same call or the next. Smaller ones come
// from operator new.
#include "arena.hpp"

#include <algorithm>
#include <cstdint>
#include <cstring>

#if defined(__linux__) && !defined(VOK_ADDRESS_SANITIZER)
#include <sys/mman.h>
#define VOK_HUGE_PAGES 1
#endif

namespace vok {
namespace detail {

#ifdef VOK_HUGE_PAGES
namespace {

constexpr std::size_t kHugePage = std::size_t{2} << 20;
constexpr std::size_t kMappedBlock = std::size_t{64} << 10;  // blocks from here up are mapped

// `bytes` bytes, or null: a multiple of kHugePage is aligned to kHugePage and marked for huge
// pages, anything else is a multiple of the page size.
void* map_block(std::size_t bytes) noexcept {
  if (bytes % kHugePage != 0) {
    void* mapped = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    return mapped == MAP_FAILED ? nullptr : mapped;
  }
  void* mapped =
      mmap(nullptr, bytes + kHugePage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (mapped == MAP_FAILED) return nullptr;
  auto* start = static_cast<std::byte*>(mapped);
  std::byte* aligned =
      start + ((kHugePage - reinterpret_cast<std::uintptr_t>(start)) & (kHugePage - 1));
  if (aligned != start) munmap(start, static_cast<std::size_t>(aligned - start));
  munmap(aligned + bytes, static_cast<std::size_t>(start + kHugePage - aligned));
  madvise(aligned, bytes, MADV_HUGEPAGE);
  return aligned;
}

// The mapped blocks a thread freed last, unmapped when the thread ends.
class KeptBlocks {
 public:
  KeptBlocks() = default;
  KeptBlocks(const KeptBlocks&) = delete;
  KeptBlocks& operator=(const KeptBlocks&) = delete;
  ~KeptBlocks() {
    for (std::size_t i = 0; i < count_; ++i) munmap(blocks_[i].start, blocks_[i].bytes);
  }

  // The smallest block kept of at least `bytes` bytes, taken out of the list, or null; `bytes`
  // becomes its size.
  void* take(std::size_t& bytes) noexcept {
    std::size_t best = count_;
    for (std::size_t i = 0; i < count_; ++i)
      if (blocks_[i].bytes >= bytes && (best == count_ || blocks_[i].bytes < blocks_[best].bytes))
        best = i;
    if (best == count_) return nullptr;
    const Block found = blocks_[best];
    blocks_[best] = blocks_[--count_];
    total_ -= found.bytes;
    bytes = found.bytes;
    return found.start;
  }
  // Keeps a block when there is room for it; false when there is not.
  bool keep(void* start, std::size_t bytes) noexcept {
    if (count_ == kMaxBlocks || bytes > kMaxBytes - total_) return false;
    blocks_[count_++] = {start, bytes};
    total_ += bytes;
    return true;
  }

 private:
  static constexpr std::size_t kMaxBlocks = 32;
  static constexpr std::size_t kMaxBytes = std::size_t{64} << 20;
  struct Block {
    void* start;
    std::size_t bytes;
  };
  Block blocks_[kMaxBlocks] = {};
  std::size_t count_ = 0;
  std::size_t total_ = 0;
};

thread_local KeptBlocks t_kept;

}  // namespace
#endif

void* allocate_block(std::size_t& bytes) {
#ifdef VOK_HUGE_PAGES
  if (bytes >= kMappedBlock) {
    if (bytes > static_cast<std::size_t>(-1) / 2) throw std::bad_alloc();
    const std::size_t unit = bytes >= kHugePage ? kHugePage : std::size_t{64} << 10;
    std::size_t rounded = (bytes + unit - 1) & ~(unit - 1);
    void* block = t_kept.take(rounded);
    if (block == nullptr) block = map_block(rounded);
    if (block == nullptr) throw std::bad_alloc();
    bytes = rounded;
    return block;
  }
#endif
  return ::operator new(bytes);
}

void free_block(void* block, std::size_t bytes) noexcept {
#ifdef VOK_HUGE_PAGES
  if (bytes >= kMappedBlock) {
    if (!t_kept.keep(block, bytes)) munmap(block, bytes);
    return;
  }
#endif
  (void)bytes;
  ::operator delete(block);
}

VOK_TLS_INITIAL_EXEC constinit thread_local Arena* t_current_arena = nullptr;

Arena& fallback_arena() {
  thread_local std::unique_ptr<Arena> fallback;
  if (!fallback) fallback = std::make_unique<Arena>();
  return *fallback;
}

}  // namespace detail

Arena::~Arena() {
  unpoison(inline_, kInlineBytes);  // the buffer is stack memory of the caller
  for (Chunk* list : {chunks_, spare_}) {
    while (list != nullptr) {
      Chunk* next = list->next;
      if (heir_ != nullptr) {
        poison(list + 1, list->bytes - sizeof(Chunk));
        list->next = heir_->spare_;
        heir_->spare_ = list;
      } else {
        detail::free_block(list, list->bytes);
      }
      list = next;
    }
  }
}

void* Arena::allocate_slow(std::size_t bytes, std::size_t align) {
  constexpr std::size_t kHeader = sizeof(std::max_align_t);
  static_assert(sizeof(Chunk) <= kHeader);
  constexpr std::size_t kMaxChunk = std::size_t{64} << 20;
  if (bytes > static_cast<std::size_t>(-1) - kHeader - align) throw std::bad_alloc();
  const std::size_t needed = kHeader + align + bytes;
  // A spare chunk with room is taken first, its pages already touched; otherwise a new chunk, of
  // the request's own size when it is larger than the next chunk. The open chunk stays open
  // unless the new one has more room left.
  Chunk* chunk = nullptr;
  for (Chunk** link = &spare_; *link != nullptr; link = &(*link)->next) {
    if ((*link)->bytes >= needed) {
      chunk = *link;
      *link = chunk->next;
      break;
    }
  }
  if (chunk == nullptr) {
    std::size_t size = std::max(needed, next_chunk_);
    if (needed <= next_chunk_) next_chunk_ = std::min(next_chunk_ * 2, kMaxChunk);
    chunk = new (detail::allocate_block(size)) Chunk{nullptr, size};
  }
  const bool open = chunk->bytes - needed > static_cast<std::size_t>(end_ - cursor_);
  chunk->next = chunks_;
  chunks_ = chunk;
  std::byte* start = reinterpret_cast<std::byte*>(chunk) + kHeader;
  start += (align - reinterpret_cast<std::uintptr_t>(start)) & (align - 1);
  unpoison(start, bytes);
  if (!open) return start;
  cursor_ = start + bytes;
  end_ = reinterpret_cast<std::byte*>(chunk) + chunk->bytes;
  poison(cursor_, static_cast<std::size_t>(end_ - cursor_));
  return start;
}

ListStack::ListStack(std::size_t bytes)
    : data_(static_cast<std::byte*>(detail::allocate_block(bytes))),
      capacity_(bytes),
      owned_(data_) {}

ListStack::~ListStack() {
  if (owned_ != nullptr) detail::free_block(owned_, capacity_);
}

void ListStack::grow(std::size_t needed) {
  std::size_t capacity = std::max(capacity_ * 2, top_ + needed);
  auto* data = static_cast<std::byte*>(detail::allocate_block(capacity));
  std::memcpy(data, data_, top_);
  if (owned_ != nullptr) detail::free_block(owned_, capacity_);
  owned_ = data_ = data;
  capacity_ = capacity;
}

ArenaScope::ArenaScope(Arena& arena) noexcept : previous_(detail::t_current_arena) {
  detail::t_current_arena = &arena;
}

ArenaScope::~ArenaScope() { detail::t_current_arena = previous_; }

}  // namespace vok
