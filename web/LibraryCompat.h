// Forced into every unit of the web build (-include): the parts of C++20's
// library that emscripten 3.1.6's libc++ lacks and the sources use, made of
// the compiler's builtins. A newer libc++ has them, and this adds nothing.
#pragma once

#include <version>

#if !defined(__cpp_lib_bit_cast)
#include <type_traits>
namespace std {
template <class To, class From>
    requires(sizeof(To) == sizeof(From) && is_trivially_copyable_v<To> && is_trivially_copyable_v<From>)
constexpr To bit_cast(const From& from) noexcept {
    return __builtin_bit_cast(To, from);
}
}  // namespace std
#endif
