// Prints a machine job file as text: the pre-header, the tag, the header fields by
// number, then one line per record; vector elements are summed per record, with the
// position they lead to counted from the first element of the file.
#include "job_file.h"

#include <cstdio>
#include <exception>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: jobfile-dump FILE\n");
        return 2;
    }
    jobfile::Job job;
    try {
        job = jobfile::decodeFile(argv[1]);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "jobfile-dump: %s: %s\n", argv[1], e.what());
        return 1;
    }
    std::printf("pre-header %s\n", job.preHeader.c_str());
    std::printf("tag %s\n", job.tag.c_str());
    std::printf("head");
    for (uint8_t b : job.head)
        std::printf(" %02x", b);
    std::printf("\n");
    for (size_t i = 0; i < job.fields.size(); ++i)
        std::printf("#%zu %d\n", i, job.fields[i]);
    long long x = 0, y = 0;
    for (const jobfile::Record& r : job.records) {
        std::printf("%zu %s %u", r.offset, r.code.c_str(), r.value);
        if (!r.line.empty())
            std::printf(" line %zu bytes", r.line.size());
        if (!r.elements.empty()) {
            long long dx = 0, dy = 0, length = 0;
            for (const jobfile::Element& e : r.elements) {
                dx += e.dx;
                dy += e.dy;
                length += e.length;
            }
            x += dx;
            y += dy;
            std::printf(" elements %zu dx %lld dy %lld length %lld to %lld %lld", r.elements.size(), dx, dy,
                        length, x, y);
        }
        std::printf("\n");
    }
    return 0;
}
