// Building message texts from pieces.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

namespace ordavin::binding {

/// Joins the pieces into one string. (Chains of std::string operator+ trip a false
/// -Wrestrict warning in GCC 12.)
inline std::string concat(std::initializer_list<std::string_view> pieces) {
    std::size_t size = 0;
    for (std::string_view piece : pieces) size += piece.size();
    std::string text;
    text.reserve(size);
    for (std::string_view piece : pieces) text.append(piece);
    return text;
}

}  // namespace ordavin::binding
