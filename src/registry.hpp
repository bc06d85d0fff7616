// The process-wide symbol registry: every command of the markup, built once on first use.
#pragma once

#include "glyph.hpp"

namespace vok {

// A new registry holding the whole symbol table (148 names).
[[nodiscard]] SymbolRegistry build_registry();

// The process-wide registry, built by the first caller (concurrent first callers wait for that
// one build); later calls cost one atomic load. Never changed or freed afterwards.
[[nodiscard]] const SymbolRegistry& registry();

// Whether the process-wide registry has been built yet.
[[nodiscard]] bool registry_built() noexcept;

}  // namespace vok
