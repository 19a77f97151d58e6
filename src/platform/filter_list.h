// File dialog filter lists built at compile time.
#pragma once

#include <array>
#include <cstddef>

// Joins description and pattern texts into a filter list: each text NUL-terminated, the list
// ended by an empty string.
template <std::size_t... N>
constexpr auto JoinFilter(const char (&... parts)[N]) {
  std::array<char, (N + ...) + 1> out{};
  std::size_t at = 0;
  auto append = [&](const char* part, std::size_t n) {
    for (std::size_t i = 0; i < n; i++) out[at++] = part[i];
  };
  (append(parts, N), ...);
  out[at] = '\0';
  return out;
}
