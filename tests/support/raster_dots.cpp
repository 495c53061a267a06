#include "raster_dots.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <utility>

namespace rasterdots {

namespace {

constexpr double kCentre = 32766;

// Job lengths (nanometres) to scanner steps, axis by axis as the moves map them.
std::pair<double, double> toSteps(const Scanner& s, double dx, double dy)
{
    const double mx = dx / 1e6 * s.stepsPerMmX;
    const double my = dy / 1e6 * s.stepsPerMmY;
    switch (s.orientation) {
    case 1: return {dy / 1e6 * s.stepsPerMmY, -dx / 1e6 * s.stepsPerMmX};
    case 2: return {-mx, -my};
    case 3: return {-dy / 1e6 * s.stepsPerMmY, dx / 1e6 * s.stepsPerMmX};
    default: return {mx, my};
    }
}

std::pair<int, int> cell(const Dot& d)
{
    return {d.column, d.row};
}

}  // namespace

bool markedLevel(unsigned level, bool negative)
{
    if (level >= 1 && level <= 126)
        return true;
    return negative ? level == 0 : level == 127;
}

std::vector<Dot> askedDots(std::span<const jobfile::Record> records, bool negative)
{
    std::vector<Dot> dots;
    int column = 0, row = 0, width = 0;
    for (size_t i = 0; i < records.size(); ++i) {
        const jobfile::Record& r = records[i];
        if (r.code == "RX" && i + 3 < records.size()) {
            column += jobfile::pair32(r, records[i + 1]);
            row += jobfile::pair32(records[i + 2], records[i + 3]);
            i += 3;
        } else if (r.code == "R5") {
            column -= width;
        } else if (r.code == "OP") {
            column = row = 0;
        } else if (r.code == "C1" || r.code == "C2" || r.code == "C3" || r.code == "C4") {
            const bool bits = r.code == "C1" || r.code == "C2";
            const int step = r.code == "C2" || r.code == "C4" ? -1 : 1;
            std::vector<unsigned> levels;
            for (uint8_t byte : jobfile::unpackBits(r.line)) {
                if (!bits) {
                    levels.push_back(byte);
                    continue;
                }
                for (unsigned mask = 0x80; mask != 0; mask >>= 1)
                    levels.push_back(((byte & mask) != 0) != negative ? (negative ? 0u : 127u) : 255u);
            }
            for (unsigned level : levels) {
                if (step < 0)
                    --column;
                if (markedLevel(level, negative))
                    dots.push_back({column, row, level});
                if (step > 0)
                    ++column;
            }
            width = static_cast<int>(levels.size());
            ++row;
        }
    }
    return dots;
}

std::vector<Dot> askedDots(const jobfile::Job& job)
{
    return askedDots(job.records, job.field(jobfile::ChTypeMarquage) != 0);
}

Grid plateGrid(const Scanner& scanner, double originXnm, double originYnm, double pitchXnm, double pitchYnm)
{
    // The origin return leaves the fiche's coordinates at this corner of the field.
    const double a = std::trunc(scanner.fieldWidthMm * 1e6 / 2);
    const double b = std::trunc(scanner.fieldHeightMm * 1e6 / 2);
    std::pair<double, double> corner;
    switch (scanner.orientation) {
    case 1: corner = {-a, b}; break;
    case 2: corner = {a, b}; break;
    case 3: corner = {a, -b}; break;
    default: corner = {-a, -b}; break;
    }
    const auto [x0, y0] = toSteps(scanner, corner.first + originXnm, corner.second + originYnm);
    const auto [cx, cy] = toSteps(scanner, pitchXnm, 0);
    const auto [rx, ry] = toSteps(scanner, 0, pitchYnm);
    return {kCentre + x0, kCentre + y0, cx, cy, rx, ry};
}

std::vector<Dot> markedDots(const std::vector<std::string>& trace, const Grid& g, size_t from)
{
    std::vector<Dot> dots;
    const double det = g.columnX * g.rowY - g.rowX * g.columnY;
    if (det == 0)
        return dots;
    // Grid coordinates of a scanner position.
    auto onGrid = [&](double x, double y) {
        const double dx = x - g.x0, dy = y - g.y0;
        return std::pair{(dx * g.rowY - dy * g.rowX) / det, (g.columnX * dy - g.columnY * dx) / det};
    };
    double x = kCentre, y = kCentre;  // the card starts at the centre
    for (size_t i = from; i < trace.size(); ++i) {
        unsigned ctl = 0, bx = 0, by = 0, divisor = 0, delay = 0;
        if (std::sscanf(trace[i].c_str(), "BLOCK n=%*u ctl=0x%x x=%u y=%u dpd=%u delay=%u", &ctl, &bx, &by,
                        &divisor, &delay) != 5)
            continue;
        // The card takes targets modulo 65536: a position counts in the span of
        // the grid's origin, where the orientation may have put the plate.
        const double ux = bx + 65536.0 * std::round((g.x0 - bx) / 65536.0);
        const double uy = by + 65536.0 * std::round((g.y0 - by) / 65536.0);
        if ((ctl & 0x8000) != 0 && delay == 0) {
            const auto [c0, r0] = onGrid(x, y);
            const auto [c1, r1] = onGrid(ux, uy);
            dots.push_back({static_cast<int>(std::lround(std::min(c0, c1))),
                            static_cast<int>(std::lround(std::min(r0, r1))), divisor});
        }
        x = ux;
        y = uy;
    }
    return dots;
}

Comparison compare(const std::vector<Dot>& asked, const std::vector<Dot>& marked)
{
    // The first dot of each cell stands for it.
    std::map<std::pair<int, int>, Dot> cellsAsked, cellsMarked;
    for (const Dot& d : asked)
        cellsAsked.emplace(cell(d), d);
    for (const Dot& d : marked)
        cellsMarked.emplace(cell(d), d);
    Comparison c;
    for (const auto& [where, d] : cellsAsked) {
        const auto m = cellsMarked.find(where);
        if (m != cellsMarked.end())
            c.both.push_back({d, m->second});
        else
            c.onlyAsked.push_back(d);
    }
    for (const auto& [where, d] : cellsMarked)
        if (!cellsAsked.contains(where))
            c.onlyMarked.push_back(d);
    return c;
}

double Comparison::identical() const
{
    const size_t all = both.size() + onlyAsked.size() + onlyMarked.size();
    return all == 0 ? 1.0 : static_cast<double>(both.size()) / static_cast<double>(all);
}

}  // namespace rasterdots
