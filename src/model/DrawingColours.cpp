#include "model/DrawingColours.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

double Linear(uint8_t channel) {
    const double c = channel / 255.0;
    return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

uint8_t Channel(double value) {
    return static_cast<uint8_t>(std::lround(std::clamp(value, 0.0, 255.0)));
}

constexpr Rgb kBlack{0, 0, 0};
constexpr Rgb kWhite{255, 255, 255};

}  // namespace

std::string HexOf(Rgb colour) {
    char text[8];
    std::snprintf(text, sizeof text, "#%02x%02x%02x", colour.r, colour.g, colour.b);
    return text;
}

double RelativeLuminance(Rgb colour) {
    return 0.2126 * Linear(colour.r) + 0.7152 * Linear(colour.g) + 0.0722 * Linear(colour.b);
}

double ContrastRatio(Rgb a, Rgb b) {
    const double la = RelativeLuminance(a);
    const double lb = RelativeLuminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// Half-way in contrast between black and white lies a luminance of about
// 0.18: a background below it is dark.
bool IsDark(Rgb background) { return RelativeLuminance(background) < 0.18; }

Rgb Mix(Rgb a, Rgb b, double t) {
    return {Channel(a.r + (b.r - a.r) * t), Channel(a.g + (b.g - a.g) * t),
            Channel(a.b + (b.b - a.b) * t)};
}

Rgb WithContrast(Rgb colour, Rgb background, double ratio) {
    const Rgb target = IsDark(background) ? kWhite : kBlack;
    for (int step = 0; step <= 20; ++step) {
        const Rgb candidate = Mix(colour, target, step / 20.0);
        if (ContrastRatio(candidate, background) >= ratio) return candidate;
    }
    return target;
}

BeamColours ChooseBeamColours(Rgb background, Rgb text) {
    const bool dark = IsDark(background);
    BeamColours colours;
    // Amber is the light one of the pair in either palette; the blue is as
    // light as the pair allows on a dark window and deep on a light one.
    colours.blocked = dark ? Rgb{0xFF, 0xC2, 0x33} : Rgb{0xFF, 0xB0, 0x00};
    const Rgb blue = dark ? Rgb{0x4A, 0x80, 0xD4} : Rgb{0x1F, 0x5B, 0xB8};
    colours.made = blue;
    for (int step = 1; ContrastRatio(colours.made, colours.blocked) < kMinContrast + 0.3 && step <= 20; ++step)
        colours.made = Mix(blue, kBlack, step / 20.0);
    colours.cross = Rgb{0x20, 0x1A, 0x10};
    colours.blanked = dark ? Rgb{0x70, 0x70, 0x70} : Rgb{0xB4, 0xB4, 0xB4};
    colours.hatch = dark ? Rgb{0xA8, 0xA8, 0xA8} : Rgb{0x70, 0x70, 0x70};
    colours.unknown = Mix(background, text, 0.12);
    // The marks speak of blocked beams: the amber, deepened on a light window
    // until it stands out from it.
    colours.mark = WithContrast(Rgb{0xC8, 0x64, 0x00}, background, kMinContrast + 1.5);
    colours.stale = background;
    return colours;
}

Rgb LockedCellShade(Rgb configured, Rgb base, Rgb text) {
    if (!IsDark(base)) return configured;
    // The configured shade lies this far from white; lie as far from the base
    // towards the text.
    const double distance = 1.0 - RelativeLuminance(configured);
    const Rgb shade = Mix(base, text, std::clamp(distance * 0.8, 0.12, 0.35));
    return ContrastRatio(shade, text) >= 4.5 ? shade : Mix(base, text, 0.12);
}

Rgb TraceColour(int which, Rgb background) {
    // Blue and vermilion, told apart with any colour vision.
    const Rgb base = which == 0 ? Rgb{0x00, 0x72, 0xB2} : Rgb{0xD5, 0x5E, 0x00};
    return WithContrast(base, background, kMinContrast);
}
