#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Tape images byte by byte, for the tests: blocks with their numbers and checksums worked out
// here, independently of the reader.
namespace tapebuild {

inline std::vector<uint8_t> Block(int number, uint8_t recordByte, uint8_t fileType,
                                  const std::vector<uint8_t>& payload, bool spoil = false) {
    std::vector<uint8_t> b = {static_cast<uint8_t>(number), static_cast<uint8_t>(number >> 8),
                              recordByte, fileType};
    b.resize(132, 0);
    for (size_t i = 0; i < payload.size() && i < 128; ++i) b[4 + i] = payload[i];
    unsigned sum = 0;
    for (uint8_t v : b) sum += v;
    b.push_back(static_cast<uint8_t>(~sum));
    if (spoil) b[10] ^= 0x01;
    return b;
}

inline std::vector<uint8_t> Payload(uint8_t seed) {
    std::vector<uint8_t> p(128);
    for (int i = 0; i < 128; ++i) p[i] = static_cast<uint8_t>(seed * 37 + i * 11);
    return p;
}

inline void Put32(std::string& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>(v >> (8 * i)));
}

// A record of the given type around `data`, with the length field it should have.
inline std::string Record(uint8_t type, const std::string& data) {
    std::string out;
    Put32(out, static_cast<uint32_t>(data.size() + 1));
    out.push_back(static_cast<char>(type));
    return out + data;
}

inline std::string Blocks(const std::vector<std::vector<uint8_t>>& blocks) {
    std::string data;
    for (const auto& b : blocks) data.append(b.begin(), b.end());
    return data;
}

// A data record of numbered blocks counting down, with the given copies of each.
inline std::string DataRecord(int blocks, int copies, uint8_t number = 1, uint8_t fileType = 8) {
    std::vector<std::vector<uint8_t>> list;
    for (int n = blocks - 1; n >= 0; --n) {
        const uint8_t recordByte = static_cast<uint8_t>(number | (n == blocks - 1 ? 0x80 : 0));
        for (int c = 0; c < copies; ++c) {
            list.push_back(Block(n, recordByte, fileType, Payload(static_cast<uint8_t>(n))));
        }
    }
    return Record(0xFF, Blocks(list));
}

}  // namespace tapebuild
