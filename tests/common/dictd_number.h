// How a dictd index writes an offset or a length: base 64, most significant
// digit first. For the tests and benchmarks that make their own dictionaries.
#pragma once

#include <cstdint>
#include <string>

inline std::string DictdNumber(uint64_t v)
{
    const char* digits = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string s;
    do {
        s.insert(s.begin(), digits[v % 64]);
        v /= 64;
    } while (v);
    return s;
}
