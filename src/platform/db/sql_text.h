#pragma once
// Scanning SQL text for parameter markers: ":name" outside quoted text ('…', "…", `…`) and
// comments (-- …, # …, /* … */). Markers are numbered in order of appearance; their names do not
// matter, the i-th marker takes the i-th value.

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

namespace ab::db {

// Counts the markers.
size_t CountParameters(std::string_view sql);
// Replaces the i-th marker by render(i).
std::string ReplaceParameters(std::string_view sql,
                              const std::function<std::string(size_t)>& render);

}  // namespace ab::db
