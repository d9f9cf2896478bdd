#pragma once
// Lays out document file bytes by hand, independently of the archive code.

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace testdoc {

class Bytes {
public:
    Bytes& u8(uint8_t v) {
        b.push_back(v);
        return *this;
    }
    Bytes& u16(uint16_t v) { return u8(v & 0xFF).u8(v >> 8); }
    Bytes& u32(uint32_t v) { return u16(v & 0xFFFF).u16(v >> 16); }
    Bytes& u64(uint64_t v) { return u32(static_cast<uint32_t>(v)).u32(v >> 32); }
    Bytes& f64(double v) {
        uint64_t bits;
        std::memcpy(&bits, &v, sizeof bits);
        return u64(bits);
    }
    // Wide string with a one-byte length (short texts only).
    Bytes& wstr(const std::u16string& s) {
        u8(0xFF).u16(0xFFFE).u8(static_cast<uint8_t>(s.size()));
        for (char16_t c : s)
            u16(static_cast<uint16_t>(c));
        return *this;
    }
    Bytes& vec(const std::vector<double>& v) {
        u32(static_cast<uint32_t>(v.size()));
        for (double d : v)
            f64(d);
        return *this;
    }
    // A curve record: axis kind, axis values, format, two components, reserved, name.
    Bytes& curve(uint16_t kind, uint16_t format, const std::vector<double>& x,
                 const std::vector<double>& first, const std::vector<double>& second,
                 const std::u16string& name) {
        u16(kind).vec(x).u16(format).vec(first).vec(second).u16(0).u32(0);
        return wstr(name);
    }
    // EQ result record with every band given as (c0..c4, shift, kind).
    struct Band {
        double c[5];
        int32_t shift, kind;
    };
    Bytes& eq(double gain, int32_t valid, const std::vector<Band>& bands) {
        u64(bands.size()).f64(gain).u32(static_cast<uint32_t>(valid));
        for (const auto& band : bands) {
            for (double c : band.c)
                f64(c);
            u32(static_cast<uint32_t>(band.shift)).u32(static_cast<uint32_t>(band.kind));
        }
        return *this;
    }
    Bytes& image(const std::vector<uint8_t>& bytes) {
        u64(bytes.size());
        b.insert(b.end(), bytes.begin(), bytes.end());
        return *this;
    }
    Bytes& colours(const std::vector<uint32_t>& values, int32_t count) {
        u32(static_cast<uint32_t>(count));
        for (uint32_t v : values)
            u32(v);
        return *this;
    }

    std::vector<uint8_t> b;
};

// Fields 12 to 19 with one result curve, no measurements, two bands, a 3-byte image.
inline Bytes& CommonTail(Bytes& out, const std::vector<uint32_t>& colours, int32_t count) {
    out.u64(1)
        .curve(0, 2, {20.0, 40.0}, {-1.5, 2.5}, {0.1, -0.2}, u"avg")
        .u64(0)
        .u32(85)
        .eq(-2.5, 1, {{{0.1, 0.2, 0.3, 0.4, 0.5}, 2, 1}, {{-0.1, -0.2, -0.3, -0.4, -0.5}, 0, 1}})
        .image({0xDE, 0xAD, 0x01})
        .u32(1234)
        .u32(7);
    return out.colours(colours, count);
}

}  // namespace testdoc
