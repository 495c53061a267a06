#include "job_file.h"

#include <cstdio>
#include <fstream>
#include <iterator>

namespace jobfile {

namespace {

[[noreturn]] void fail(size_t offset, const std::string& why)
{
    char where[32];
    std::snprintf(where, sizeof where, "offset %zu: ", offset);
    throw DecodeError(where + why);
}

uint16_t be16(std::span<const uint8_t> b, size_t at)
{
    return static_cast<uint16_t>(b[at] << 8 | b[at + 1]);
}

int32_t be32(std::span<const uint8_t> b, size_t at)
{
    return static_cast<int32_t>(uint32_t{b[at]} << 24 | uint32_t{b[at + 1]} << 16 |
                                uint32_t{b[at + 2]} << 8 | b[at + 3]);
}

bool isMarker(std::span<const uint8_t> b, size_t at)
{
    return at + 1 < b.size() && b[at] == 0xFF && b[at + 1] == 0xFD;
}

bool isLetterOrDigit(uint8_t c)
{
    return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

// The records from offset at to the end-of-job record, which must be the last.
void readRecords(std::span<const uint8_t> b, size_t at, std::vector<Record>& records)
{
    bool ended = false;
    while (at < b.size()) {
        if (ended)
            fail(at, "bytes after the end-of-job record");
        if (at + 6 > b.size())
            fail(at, "record cut short");
        if (!isMarker(b, at))
            fail(at, "no record marker");
        if (!isLetterOrDigit(b[at + 2]) || !isLetterOrDigit(b[at + 3]))
            fail(at, "record code is not two letters");
        Record r;
        r.offset = at;
        r.code = {static_cast<char>(b[at + 2]), static_cast<char>(b[at + 3])};
        r.value = be16(b, at + 4);
        at += 6;
        if (r.code == "C1" || r.code == "C2" || r.code == "C3" || r.code == "C4") {
            size_t n = size_t{r.value} * 2;
            if (at + n > b.size())
                fail(r.offset, "raster line data cut short");
            r.line.assign(b.begin() + static_cast<std::ptrdiff_t>(at),
                          b.begin() + static_cast<std::ptrdiff_t>(at + n));
            at += n;
        } else if (r.code == "PU" || r.code == "PD") {
            while (at < b.size() && !isMarker(b, at)) {
                if (at + 8 > b.size())
                    fail(at, "vector element cut short");
                Element e{b[at], b[at + 1], static_cast<int16_t>(be16(b, at + 2)),
                          static_cast<int16_t>(be16(b, at + 4)), be16(b, at + 6)};
                r.elements.push_back(e);
                at += 8;
            }
        } else if (r.code == "JF") {
            ended = true;
        }
        records.push_back(std::move(r));
    }
    if (!ended)
        fail(at, "no end-of-job record");
}

}  // namespace

int32_t Job::field(int i) const
{
    if (i < 0 || static_cast<size_t>(i) >= fields.size())
        throw DecodeError("no header field #" + std::to_string(i));
    return fields[static_cast<size_t>(i)];
}

std::string Job::codes() const
{
    std::string out;
    for (const Record& r : records) {
        if (!out.empty())
            out += ' ';
        out += r.code;
    }
    return out;
}

std::vector<const Record*> Job::find(std::string_view code) const
{
    std::vector<const Record*> out;
    for (const Record& r : records)
        if (r.code == code)
            out.push_back(&r);
    return out;
}

std::vector<Move> Job::moves() const
{
    std::vector<Move> out;
    for (const Record& r : records)
        for (const Element& e : r.elements)
            out.push_back({r.code == "PD", e});
    return out;
}

Job decode(std::span<const uint8_t> b)
{
    Job job;
    size_t at = 0;
    while (at + 6 <= b.size() && b[at] == '!' && b[at + 1] == 'L' && b[at + 2] == 'B') {
        job.preHeader.append(reinterpret_cast<const char*>(&b[at]), 6);
        at += 6;
    }
    if (job.preHeader.empty())
        fail(0, "no pre-header");

    if (at + 8 > b.size())
        fail(at, "header tag cut short");
    job.tag.assign(reinterpret_cast<const char*>(&b[at]), 8);
    const std::string& t = job.tag;
    if (t[0] != '!' || t[3] != ' ' || t[7] != ';')
        fail(at, "malformed header tag \"" + t + "\"");
    for (int i : {4, 5, 6})
        if (t[i] < '0' || t[i] > '9')
            fail(at, "malformed header tag \"" + t + "\"");
    job.tagKind = t.substr(1, 2);
    job.headerLength = std::stoi(t.substr(4, 3));
    at += 8;
    if (job.headerLength < 16 || (job.headerLength - 16) % 4 != 0)
        fail(at, "header length " + std::to_string(job.headerLength));
    if (at + static_cast<size_t>(job.headerLength) > b.size())
        fail(at, "header cut short");
    for (size_t i = 0; i < 16; ++i)
        job.head[i] = b[at + i];
    for (size_t f = at + 16; f < at + static_cast<size_t>(job.headerLength); f += 4)
        job.fields.push_back(be32(b, f));
    at += static_cast<size_t>(job.headerLength);

    job.bodyOffset = at;
    readRecords(b, at, job.records);
    return job;
}

std::vector<Record> decodeBody(std::span<const uint8_t> bytes)
{
    std::vector<Record> records;
    readRecords(bytes, 0, records);
    return records;
}

Job decodeFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw DecodeError("cannot open " + path);
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return decode(bytes);
}

int32_t pair32(const Record& high, const Record& low)
{
    if (high.code != low.code)
        throw DecodeError("pair of " + high.code + " and " + low.code);
    return static_cast<int32_t>(uint32_t{high.value} << 16 | low.value);
}

std::vector<uint8_t> unpackBits(std::span<const uint8_t> packed)
{
    std::vector<uint8_t> out;
    size_t i = 0;
    while (i < packed.size()) {
        int n = static_cast<int8_t>(packed[i++]);
        if (n >= 0) {
            if (i + static_cast<size_t>(n) + 1 > packed.size())
                throw DecodeError("literal run past the end of the line");
            out.insert(out.end(), packed.begin() + static_cast<std::ptrdiff_t>(i),
                       packed.begin() + static_cast<std::ptrdiff_t>(i) + n + 1);
            i += static_cast<size_t>(n) + 1;
        } else if (n != -128) {
            if (i >= packed.size())
                throw DecodeError("repeat run past the end of the line");
            out.insert(out.end(), static_cast<size_t>(1 - n), packed[i++]);
        }
    }
    return out;
}

}  // namespace jobfile
