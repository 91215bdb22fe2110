#pragma once
// Little-endian, unaligned access to file bytes. Every read names the range it
// may touch; a read that would leave it fails and leaves the reader failed, so a
// caller checks once after a run of reads. Nothing here casts bytes to structs.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <vector>

namespace kv {

class ByteReader {
public:
    ByteReader() = default;
    ByteReader(const std::uint8_t* data, std::size_t size) : m_data(data), m_size(size) {}
    explicit ByteReader(std::span<const std::uint8_t> bytes) : m_data(bytes.data()), m_size(bytes.size()) {}

    std::size_t size() const { return m_size; }
    std::size_t offset() const { return m_pos; }
    std::size_t remaining() const { return m_pos <= m_size ? m_size - m_pos : 0; }
    bool ok() const { return m_ok; }
    const std::uint8_t* data() const { return m_data; }

    bool seek(std::size_t pos) {
        if (pos > m_size) return fail();
        m_pos = pos;
        return m_ok;
    }
    bool skip(std::size_t n) {
        if (n > remaining()) return fail();
        m_pos += n;
        return m_ok;
    }
    // A reader over [offset, offset + length) of this one, positioned at its start.
    ByteReader sub(std::size_t offset, std::size_t length) const {
        if (offset > m_size || length > m_size - offset) {
            ByteReader r;
            r.m_ok = false;
            return r;
        }
        return ByteReader(m_data + offset, length);
    }

    std::uint8_t u8() {
        if (!need(1)) return 0;
        return m_data[m_pos++];
    }
    std::uint16_t u16() {
        if (!need(2)) return 0;
        std::uint16_t v = static_cast<std::uint16_t>(m_data[m_pos] | (m_data[m_pos + 1] << 8));
        m_pos += 2;
        return v;
    }
    std::uint32_t u32() {
        if (!need(4)) return 0;
        std::uint32_t v = LoadU32(m_data + m_pos);
        m_pos += 4;
        return v;
    }
    std::int32_t i32() { return static_cast<std::int32_t>(u32()); }
    float f32() {
        std::uint32_t bits = u32();
        float f;
        std::memcpy(&f, &bits, 4);
        return f;
    }
    bool bytes(void* out, std::size_t n) {
        if (!need(n)) return false;
        if (n) std::memcpy(out, m_data + m_pos, n);
        m_pos += n;
        return true;
    }

    static std::uint32_t LoadU32(const std::uint8_t* p) {
        return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
               (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
    }

private:
    bool need(std::size_t n) {
        if (!m_ok || n > remaining()) return fail();
        return true;
    }
    bool fail() {
        m_ok = false;
        return false;
    }

    const std::uint8_t* m_data = nullptr;
    std::size_t m_size = 0;
    std::size_t m_pos = 0;
    bool m_ok = true;
};

// Appends little-endian values to a growing byte vector, or patches bytes
// already written.
class ByteWriter {
public:
    explicit ByteWriter(std::vector<std::uint8_t>& out) : m_out(out) {}

    std::size_t size() const { return m_out.size(); }
    void u8(std::uint8_t v) { m_out.push_back(v); }
    void u16(std::uint16_t v) {
        m_out.push_back(static_cast<std::uint8_t>(v));
        m_out.push_back(static_cast<std::uint8_t>(v >> 8));
    }
    void u32(std::uint32_t v) {
        std::uint8_t b[4];
        StoreU32(b, v);
        m_out.insert(m_out.end(), b, b + 4);
    }
    void i32(std::int32_t v) { u32(static_cast<std::uint32_t>(v)); }
    void f32(float f) {
        std::uint32_t bits;
        std::memcpy(&bits, &f, 4);
        u32(bits);
    }
    void bytes(const void* p, std::size_t n) {
        const auto* b = static_cast<const std::uint8_t*>(p);
        m_out.insert(m_out.end(), b, b + n);
    }
    void zeros(std::size_t n) { m_out.insert(m_out.end(), n, 0); }
    void patchU32(std::size_t at, std::uint32_t v) { StoreU32(m_out.data() + at, v); }

    static void StoreU32(std::uint8_t* p, std::uint32_t v) {
        p[0] = static_cast<std::uint8_t>(v);
        p[1] = static_cast<std::uint8_t>(v >> 8);
        p[2] = static_cast<std::uint8_t>(v >> 16);
        p[3] = static_cast<std::uint8_t>(v >> 24);
    }

private:
    std::vector<std::uint8_t>& m_out;
};

}  // namespace kv
