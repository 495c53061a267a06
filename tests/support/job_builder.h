// Hand-made machine job files for tests, byte for byte as the converter writes
// them: pre-header, header tag, header block with fields by number, fonction
// records, 32-bit pairs, vector elements, packed raster lines, end of job.
#pragma once

#include "job_file.h"

#include <array>
#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace jobfile {

// The header block: 16 leading bytes, then big-endian 32-bit fields (46 in a
// 200-byte block, 56 in a 240-byte one). Other lengths make malformed jobs.
struct HeaderBlock {
    explicit HeaderBlock(int length = 240);

    int length;
    std::array<uint8_t, 16> head{};
    std::vector<int32_t> fields;

    HeaderBlock& set(int field, int32_t value);
    HeaderBlock& name(std::string_view text);  // leading bytes, blank-padded to 16
    std::vector<uint8_t> bytes() const;
};

// Model codes the converter writes under "!ZK" with a 200-byte block.
bool fibreModel(int model);
// The header block as the converter sizes it for a model and file type.
HeaderBlock converterHeader(int model, int fileType);
// The tag the converter writes for a header: "!PC", "!ZK" or "!KM" and its length.
std::string converterTag(const HeaderBlock& header);

// PackBits as the converter packs a line, padded with 0x80 to an even length.
std::vector<uint8_t> packBits(std::span<const uint8_t> line);

class Builder {
public:
    Builder& preHeader(int count = 1);                  // "!LB 1;" records
    Builder& tag(std::string_view kind, int length);    // "!KM 240;"
    Builder& header(const HeaderBlock& header);         // the block alone
    Builder& start(const HeaderBlock& header);          // "!LB 1;", the converter's tag, the block
    Builder& record(std::string_view code, uint16_t value);
    Builder& pair(std::string_view code, uint32_t value);  // high half first
    Builder& elements(std::initializer_list<Element> elements);
    Builder& pu(std::initializer_list<Element> elements = {});  // 'PU' 0 and its elements
    Builder& pd(std::initializer_list<Element> elements);       // 'PD' 0 and its elements
    Builder& line(std::string_view code, std::span<const uint8_t> line);  // C1..C4: packed, padded
    Builder& end();                                     // 'JF' 0
    Builder& raw(std::span<const uint8_t> bytes);
    Builder& raw(std::string_view text);

    const std::vector<uint8_t>& bytes() const { return bytes_; }
    size_t size() const { return bytes_.size(); }

private:
    std::vector<uint8_t> bytes_;
};

// A plain segment element: short-segment and corner bytes 0, length rounded.
Element segment(int16_t dx, int16_t dy);

}  // namespace jobfile
