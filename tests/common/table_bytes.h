// Builds table-file bytes by hand, including damaged ones.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

inline std::string Le32(uint32_t v)
{
    std::string s(4, '\0');
    for (int i = 0; i < 4; i++)
        s[i] = char((v >> (8 * i)) & 0xFF);
    return s;
}

// One record with the true lengths.
inline std::string Record(std::string_view key, std::string_view data)
{
    return Le32(uint32_t(key.size())) + Le32(uint32_t(data.size())) + std::string(key) +
           std::string(data);
}

// A record header that declares any lengths, followed by whatever bytes.
inline std::string Header(uint32_t keyLength, uint32_t dataLength)
{
    return Le32(keyLength) + Le32(dataLength);
}
