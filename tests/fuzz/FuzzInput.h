// A fuzz input read front to back; past its end every byte reads as zero,
// so any prefix of a valid input is one too.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

class FuzzInput {
public:
    FuzzInput(const uint8_t* data, size_t size) : m_p(data), m_end(data + size) {}
    bool Empty() const { return m_p == m_end; }
    uint8_t Byte() { return Empty() ? 0 : *m_p++; }
    uint32_t Word() { return Byte() | Byte() << 8; }
    uint32_t Long() { return Word() | Word() << 16; }
    // Up to n bytes, fewer where the input ends.
    std::string Bytes(size_t n) {
        std::string s;
        while (n-- && !Empty()) s += static_cast<char>(*m_p++);
        return s;
    }

private:
    const uint8_t* m_p;
    const uint8_t* m_end;
};
