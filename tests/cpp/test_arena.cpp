// The arena's chunks: what a dying arena leaves its heir is taken again, large blocks are whole and
// aligned, and a list stack keeps its items when it grows past them.
#include <cstdint>
#include <cstring>

#include "arena.hpp"
#include "check.hpp"

namespace vok::test {

void arena_tests(Suite& s) {
  // Past its inline buffer, an arena takes a chunk its dead arena left it before a new one; a
  // request larger than any chunk left gets one of its own.
  {
    Arena heir;
    std::byte* left = nullptr;
    {
      Arena tokens(heir);
      left = static_cast<std::byte*>(tokens.allocate(100 * 1024, 8));
      std::memset(left, 1, 100 * 1024);
    }
    auto* inline_part = static_cast<std::byte*>(heir.allocate(8 * 1024, 8));
    auto* taken = static_cast<std::byte*>(heir.allocate(60 * 1024, 8));
    auto* rest = static_cast<std::byte*>(heir.allocate(30 * 1024, 8));
    s.ok(inline_part != nullptr, "the inline buffer first");
    s.ok(taken >= left - 64 && taken < left + 100 * 1024, "the chunk left is taken again");
    s.ok(rest == taken + 60 * 1024, "and stays open for what follows");
    auto* beyond = static_cast<std::byte*>(heir.allocate(200 * 1024, 8));
    s.ok(beyond < left - 64 || beyond >= left + 100 * 1024, "a larger request gets its own chunk");
  }

  // Blocks of 2 MiB or more, in an arena and under a list stack: every byte usable, and the items
  // pushed before a growth still there after it.
  for (const std::size_t bytes : {std::size_t{2} << 20, (std::size_t{5} << 20) + 3}) {
    Arena arena;
    auto* block = static_cast<unsigned char*>(arena.allocate(bytes, 16));
    block[0] = 1;
    block[bytes - 1] = 2;
    s.eq(reinterpret_cast<std::uintptr_t>(block) % 16, 0u, "aligned");
    s.eq(block[0] + block[bytes - 1], 3, "both ends written");
  }
  {
    ListStack stack(1024);
    ListBuilder<std::uint64_t> items(stack);
    const std::size_t count = (std::size_t{3} << 20) / sizeof(std::uint64_t);  // grows to 4 MiB
    for (std::uint64_t i = 0; i < count; ++i) items.push_back(i * 7);
    const auto list = items.finish();
    s.eq(list.size(), count, "every item kept");
    s.eq(list[1000], 7000u, "an item pushed before the stack grew");
    s.eq(list[count - 1], (count - 1) * 7, "the last item");
  }
}

}  // namespace vok::test
