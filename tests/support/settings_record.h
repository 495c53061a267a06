// Builder of the host's settings record (little-endian, packed), by named
// field or by raw offset.
#pragma once

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <vector>

namespace settings {

class Record {
public:
    explicit Record(size_t size = 1200) : bytes_(size, 0) {}

    Record& u16(size_t off, uint16_t v) { return put(off, v, 2); }
    Record& i16(size_t off, int16_t v) { return put(off, static_cast<uint16_t>(v), 2); }
    Record& u32(size_t off, uint32_t v) { return put(off, v, 4); }
    Record& i32(size_t off, int32_t v) { return put(off, static_cast<uint32_t>(v), 4); }
    uint16_t getU16(size_t off) const { return static_cast<uint16_t>(get(off, 2)); }
    uint32_t getU32(size_t off) const { return get(off, 4); }

    // Named fields; lengths in 1/1000 mm as the host gives them.
    Record& flags(uint16_t v) { return u16(2, v); }
    Record& language(uint16_t v) { return u16(4, v); }
    Record& model(uint16_t v) { return u16(6, v); }
    Record& plate(uint32_t x, uint32_t y) { return u32(8, x).u32(12, y); }
    Record& origin(int32_t x, int32_t y) { return i32(16, x).i32(20, y); }
    Record& insideOutside(uint16_t v) { return u16(26, v); }
    Record& requestedMarkingType(uint16_t v) { return u16(32, v); }
    Record& cylinderDiameter(uint32_t v) { return u32(36, v); }
    Record& resolution(uint16_t x, uint16_t y) { return u16(44, x).u16(46, y); }
    Record& rasterResolution(uint16_t v) { return u16(48, v); }
    Record& orientation(uint16_t v) { return u16(52, v); }
    Record& markingType(uint16_t v) { return u16(68, v); }
    Record& pen(int p, uint16_t speed, int16_t passes, int16_t type, uint32_t frequency, uint16_t power)
    {
        size_t at = penAt(p);
        return u16(at, speed).i16(at + 2, passes).i16(at + 4, type).u32(at + 8, frequency).u16(at + 24, power);
    }
    Record& penFocus(int p, uint32_t range, uint32_t start) { return u32(penAt(p) + 16, range).u32(penAt(p) + 32, start); }
    Record& penAir(int p, int16_t v) { return i16(penAt(p) + 22, v); }
    Record& penOptions(int p, uint16_t second, uint16_t first)
    {
        return u16(880 + 40 * static_cast<size_t>(p), second).u16(882 + 40 * static_cast<size_t>(p), first);
    }
    Record& speedTable(uint16_t v) { return u16(416, v); }
    Record& focalIndex(uint16_t v) { return u16(432, v); }
    Record& focal(int f, uint16_t rectX, uint16_t gainX, uint16_t angleX, uint16_t rectY, uint16_t gainY,
                  uint16_t angleY)
    {
        size_t at = 542 + 28 * static_cast<size_t>(f);
        return u16(at, rectX).u16(at + 2, gainX).u16(at + 4, angleX).u16(at + 14, rectY).u16(at + 16, gainY).u16(at + 18, angleY);
    }
    Record& jumpSpeed(uint32_t v) { return u32(436, v); }
    Record& delays(uint32_t jump, uint32_t endOfVector, uint32_t firstPulse)
    {
        return u32(476, jump).u32(480, endOfVector).u32(484, firstPulse);
    }
    Record& jobType(uint16_t v) { return u16(504, v); }
    Record& options(uint32_t v) { return u32(824, v); }
    Record& forbidden(int32_t xmin, int32_t ymin, int32_t xmax, int32_t ymax)
    {
        return i32(828, xmin).i32(832, ymin).i32(836, xmax).i32(840, ymax);
    }
    Record& fieldSize(uint32_t x, uint32_t y) { return u32(844, x).u32(848, y); }
    Record& angle(uint32_t tenThousandthsOfRadian) { return u32(852, tenThousandthsOfRadian); }
    Record& vectorResolution(uint32_t v) { return u32(856, v); }
    Record& repeat(int32_t v) { return i32(868, v); }
    Record& focusOffset(int32_t v) { return i32(872, v); }
    Record& minFocusStep(uint32_t v) { return u32(876, v); }

    // Model 775, English, 1/1000 mm lengths, a 100 x 100 mm plate and field,
    // plotter-unit vectors, every pen a vector pen marking in one pass.
    static Record typical()
    {
        Record r;
        r.language(1).model(775).plate(100000, 100000).fieldSize(100000, 100000);
        r.resolution(300, 300).rasterResolution(300).vectorResolution(1016);
        r.focal(0, 1000, 1000, 0, 1000, 1000, 0).jumpSpeed(2000).delays(100, 100, 100);
        for (int p = 0; p < 8; ++p)
            r.pen(p, 500, 1, 2, 20000, 50);
        return r;
    }

    const uint8_t* data() const { return bytes_.data(); }
    uint8_t* data() { return bytes_.data(); }
    size_t size() const { return bytes_.size(); }

private:
    static size_t penAt(int p) { return 108 + 36 * static_cast<size_t>(p); }

    Record& put(size_t off, uint32_t v, size_t n)
    {
        if (off + n > bytes_.size())
            throw std::out_of_range("settings field past the record");
        for (size_t i = 0; i < n; ++i)
            bytes_[off + i] = static_cast<uint8_t>(v >> (8 * i));
        return *this;
    }
    uint32_t get(size_t off, size_t n) const
    {
        if (off + n > bytes_.size())
            throw std::out_of_range("settings field past the record");
        uint32_t v = 0;
        for (size_t i = 0; i < n; ++i)
            v |= uint32_t{bytes_[off + i]} << (8 * i);
        return v;
    }

    std::vector<uint8_t> bytes_;
};

}  // namespace settings
