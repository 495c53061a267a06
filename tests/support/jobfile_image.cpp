// Draws a machine job file's marked vectors as a PBM picture:
//   jobfile-image [--exchange] JOB OUT.pbm [UNITS-PER-PIXEL]
// --exchange puts the job's y along the width, as the plotter drawing's x.
#include "job_image.h"

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>

int main(int argc, char** argv)
{
    int a = 1;
    const bool exchange = argc > 1 && std::string(argv[1]) == "--exchange";
    if (exchange)
        ++a;
    if (argc - a != 2 && argc - a != 3) {
        std::fprintf(stderr, "usage: jobfile-image [--exchange] JOB OUT.pbm [UNITS-PER-PIXEL]\n");
        return 2;
    }
    const double units = argc - a == 3 ? std::atof(argv[a + 2]) : 100.0;
    try {
        const auto image = jobfile::pbm(jobfile::decodeFile(argv[a]), units, exchange);
        if (image.empty()) {
            std::fprintf(stderr, "jobfile-image: %s: nothing marked\n", argv[a]);
            return 1;
        }
        FILE* f = std::fopen(argv[a + 1], "wb");
        if (!f || std::fwrite(image.data(), 1, image.size(), f) != image.size() || std::fclose(f) != 0) {
            std::fprintf(stderr, "jobfile-image: cannot write %s\n", argv[a + 1]);
            return 1;
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "jobfile-image: %s: %s\n", argv[a], e.what());
        return 1;
    }
    return 0;
}
