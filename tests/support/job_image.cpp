#include "job_image.h"

#include <algorithm>
#include <cmath>
#include <string>

namespace jobfile {

std::vector<uint8_t> pbm(const Job& job, double unitsPerPixel, bool exchange)
{
    struct Segment {
        double x0, y0, x1, y1;
    };
    std::vector<Segment> segments;
    long long x = 0, y = 0;
    for (const Move& m : job.moves()) {
        const long long nx = x + m.element.dx, ny = y + m.element.dy;
        if (m.draw) {
            if (exchange)
                segments.push_back({double(y), double(x), double(ny), double(nx)});
            else
                segments.push_back({double(x), double(y), double(nx), double(ny)});
        }
        x = nx;
        y = ny;
    }
    if (segments.empty() || !(unitsPerPixel > 0))
        return {};
    double minX = segments[0].x0, maxX = minX, minY = segments[0].y0, maxY = minY;
    for (const Segment& s : segments) {
        minX = std::min({minX, s.x0, s.x1});
        maxX = std::max({maxX, s.x0, s.x1});
        minY = std::min({minY, s.y0, s.y1});
        maxY = std::max({maxY, s.y0, s.y1});
    }
    constexpr int kMarge = 4;
    const int w = int((maxX - minX) / unitsPerPixel) + 1 + 2 * kMarge;
    const int h = int((maxY - minY) / unitsPerPixel) + 1 + 2 * kMarge;
    const int stride = (w + 7) / 8;
    std::vector<uint8_t> bits(size_t(stride) * size_t(h), 0);
    auto plot = [&](double px, double py) {
        const int c = int(std::lround((px - minX) / unitsPerPixel)) + kMarge;
        const int r = h - 1 - kMarge - int(std::lround((py - minY) / unitsPerPixel));
        if (c >= 0 && c < w && r >= 0 && r < h)
            bits[size_t(r) * size_t(stride) + size_t(c / 8)] |= uint8_t(0x80 >> (c % 8));
    };
    for (const Segment& s : segments) {
        const double n = std::ceil(std::max(std::fabs(s.x1 - s.x0), std::fabs(s.y1 - s.y0)) / unitsPerPixel);
        for (double i = 0; i <= n; ++i) {
            const double t = n > 0 ? i / n : 0;
            plot(s.x0 + t * (s.x1 - s.x0), s.y0 + t * (s.y1 - s.y0));
        }
    }
    const std::string head = "P4\n" + std::to_string(w) + " " + std::to_string(h) + "\n";
    std::vector<uint8_t> out(head.begin(), head.end());
    out.insert(out.end(), bits.begin(), bits.end());
    return out;
}

}  // namespace jobfile
