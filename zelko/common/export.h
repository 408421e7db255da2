// What a shared zelko exports: the library is built with hidden symbols, and every public
// header (every header under zelko/) puts its declarations between ZELKO_API_BEGIN and
// ZELKO_API_END, so that exactly what the headers declare is exported. The helpers of each
// source file stay hidden. In a static library or a consumer's build the pair changes
// nothing.
//
// A region rather than a mark on each declaration keeps the headers readable; the pragma
// is understood by g++ and clang alike (clang ignores a visibility attribute on a
// namespace for the functions in it).
#pragma once

#define ZELKO_API_BEGIN _Pragma("GCC visibility push(default)")
#define ZELKO_API_END _Pragma("GCC visibility pop")
