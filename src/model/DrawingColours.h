#pragma once

#include <cstdint>
#include <string>

// The colours the beam strip, its marks, locked grid cells, the trend chart
// and the phone page are drawn in, chosen from the window's own background
// and text so that light and dark themes both read.
//
// Made and blocked are a blue and an amber, a pair that people with red-green
// colour blindness tell apart as well as anyone (a deuteranope sees the old
// green and red as one olive). Blocked also carries a cross, so the pair
// never rests on colour alone.

struct Rgb {
    uint8_t r = 0;
    uint8_t g = 0;
    uint8_t b = 0;

    friend bool operator==(const Rgb&, const Rgb&) = default;
};

// "#rrggbb".
std::string HexOf(Rgb colour);

// WCAG 2 relative luminance (0 black to 1 white) and contrast ratio (1 to 21).
double RelativeLuminance(Rgb colour);
double ContrastRatio(Rgb a, Rgb b);
bool IsDark(Rgb background);

// a at t = 0, b at t = 1.
Rgb Mix(Rgb a, Rgb b, double t);
// The colour moved towards black or white, whichever leaves the background
// further behind, just far enough to stand ratio : 1 against it.
Rgb WithContrast(Rgb colour, Rgb background, double ratio);

struct BeamColours {
    Rgb made;
    Rgb blocked;
    Rgb cross;    // drawn over a blocked cell
    Rgb blanked;
    Rgb hatch;    // the stripes over a blanked cell
    Rgb unknown;  // no scan yet, or the scan failed
    Rgb mark;     // "was blocked" under a cell
    Rgb stale;    // veil over a picture that is no longer live
};

// Made against blocked and the marks against the background keep at least
// kMinContrast, in a light palette as in a dark one.
inline constexpr double kMinContrast = 3.0;
BeamColours ChooseBeamColours(Rgb background, Rgb text);

// A locked grid cell: the configured shade on a light base; on a dark base a
// shade as far from the base as the configured one is from a light base, so
// the cell's text stays readable.
Rgb LockedCellShade(Rgb configured, Rgb base, Rgb text);

// The line of measurement which (0 or 1) in the trend chart.
Rgb TraceColour(int which, Rgb background);
