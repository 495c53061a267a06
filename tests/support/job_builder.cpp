#include "job_builder.h"

#include <cmath>
#include <cstdio>
#include <stdexcept>

namespace jobfile {

namespace {

void put16(std::vector<uint8_t>& out, uint16_t v)
{
    out.push_back(static_cast<uint8_t>(v >> 8));
    out.push_back(static_cast<uint8_t>(v));
}

void put32(std::vector<uint8_t>& out, uint32_t v)
{
    put16(out, static_cast<uint16_t>(v >> 16));
    put16(out, static_cast<uint16_t>(v));
}

}  // namespace

HeaderBlock::HeaderBlock(int length_) : length(length_)
{
    if (length < 16)
        throw std::invalid_argument("header block shorter than its 16 leading bytes");
    fields.assign(static_cast<size_t>(length - 16) / 4, 0);
}

HeaderBlock& HeaderBlock::set(int field, int32_t value)
{
    if (field < 0 || static_cast<size_t>(field) >= fields.size())
        throw std::out_of_range("no header field #" + std::to_string(field));
    fields[static_cast<size_t>(field)] = value;
    return *this;
}

HeaderBlock& HeaderBlock::name(std::string_view text)
{
    head.fill(' ');
    for (size_t i = 0; i < head.size() && i < text.size(); ++i)
        head[i] = static_cast<uint8_t>(text[i]);
    return *this;
}

std::vector<uint8_t> HeaderBlock::bytes() const
{
    std::vector<uint8_t> out(head.begin(), head.end());
    for (int32_t f : fields)
        put32(out, static_cast<uint32_t>(f));
    out.resize(static_cast<size_t>(length), 0);
    return out;
}

bool fibreModel(int model)
{
    return model == 769 || model == 771 || model == 772 || model == 774;
}

HeaderBlock converterHeader(int model, int fileType)
{
    const bool limited = model >= 768 && model <= 774;
    HeaderBlock h(limited ? 200 : 240);
    h.set(ChModele, model).set(ChTypeFichier, fileType == 12 ? 1 : fileType);
    return h;
}

std::string converterTag(const HeaderBlock& header)
{
    const char* kind = header.fields.at(ChTypeFichier) == 2 ? "PC" : fibreModel(header.fields.at(ChModele)) ? "ZK" : "KM";
    char tag[16];
    std::snprintf(tag, sizeof tag, "!%s %d;", kind, header.length);
    return tag;
}

std::vector<uint8_t> packBits(std::span<const uint8_t> line)
{
    std::vector<uint8_t> out;
    const size_t n = line.size();
    // Two equal bytes start a repeat run; a literal run stops before such a pair.
    auto pairAt = [&](size_t k) { return k + 1 < n && line[k] == line[k + 1]; };
    for (size_t i = 0; i < n;) {
        size_t run = 1;
        if (pairAt(i)) {
            while (i + run < n && run < 128 && line[i + run] == line[i])
                ++run;
            out.push_back(static_cast<uint8_t>(257 - run));
            out.push_back(line[i]);
        } else {
            while (i + run < n && run < 128 && !pairAt(i + run))
                ++run;
            out.push_back(static_cast<uint8_t>(run - 1));
            out.insert(out.end(), line.begin() + static_cast<std::ptrdiff_t>(i),
                       line.begin() + static_cast<std::ptrdiff_t>(i + run));
        }
        i += run;
    }
    if (out.size() % 2 != 0)
        out.push_back(0x80);
    return out;
}

Builder& Builder::preHeader(int count)
{
    for (int i = 0; i < count; ++i)
        raw("!LB 1;");
    return *this;
}

Builder& Builder::tag(std::string_view kind, int length)
{
    char text[32];
    std::snprintf(text, sizeof text, "!%.*s %d;", static_cast<int>(kind.size()), kind.data(), length);
    return raw(std::string_view(text));
}

Builder& Builder::header(const HeaderBlock& header)
{
    return raw(header.bytes());
}

Builder& Builder::start(const HeaderBlock& h)
{
    return preHeader().raw(converterTag(h)).header(h);
}

Builder& Builder::record(std::string_view code, uint16_t value)
{
    if (code.size() != 2)
        throw std::invalid_argument("record code of two letters");
    bytes_.insert(bytes_.end(), {0xFF, 0xFD, static_cast<uint8_t>(code[0]), static_cast<uint8_t>(code[1])});
    put16(bytes_, value);
    return *this;
}

Builder& Builder::pair(std::string_view code, uint32_t value)
{
    return record(code, static_cast<uint16_t>(value >> 16)).record(code, static_cast<uint16_t>(value));
}

Builder& Builder::elements(std::initializer_list<Element> list)
{
    for (const Element& e : list) {
        bytes_.push_back(e.shortSpeed);
        bytes_.push_back(e.cornerSpeed);
        put16(bytes_, static_cast<uint16_t>(e.dx));
        put16(bytes_, static_cast<uint16_t>(e.dy));
        put16(bytes_, e.length);
    }
    return *this;
}

Builder& Builder::pu(std::initializer_list<Element> list)
{
    return record("PU", 0).elements(list);
}

Builder& Builder::pd(std::initializer_list<Element> list)
{
    return record("PD", 0).elements(list);
}

Builder& Builder::line(std::string_view code, std::span<const uint8_t> data)
{
    const std::vector<uint8_t> packed = packBits(data);
    if (packed.size() / 2 > 0xFFFF)
        throw std::length_error("raster line longer than a record can count");
    record(code, static_cast<uint16_t>(packed.size() / 2));
    return raw(packed);
}

Builder& Builder::end()
{
    return record("JF", 0);
}

Builder& Builder::raw(std::span<const uint8_t> bytes)
{
    bytes_.insert(bytes_.end(), bytes.begin(), bytes.end());
    return *this;
}

Builder& Builder::raw(std::string_view text)
{
    bytes_.insert(bytes_.end(), text.begin(), text.end());
    return *this;
}

Element segment(int16_t dx, int16_t dy)
{
    const auto length = std::lround(std::hypot(static_cast<double>(dx), static_cast<double>(dy)));
    return Element{0, 0, dx, dy, static_cast<uint16_t>(length)};
}

}  // namespace jobfile
