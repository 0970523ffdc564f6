#include <gtest/gtest.h>

#include "model/DrawingColours.h"

#include <algorithm>
#include <cmath>

namespace {

struct Palette {
    const char* name;
    Rgb window;
    Rgb text;
};

// Light and dark palettes as the desktops ship them, and a mid grey that
// sits on the fence between the two.
const Palette kPalettes[] = {
    {"Fusion light", {0xEF, 0xEF, 0xEF}, {0x00, 0x00, 0x00}},
    {"white", {0xFF, 0xFF, 0xFF}, {0x00, 0x00, 0x00}},
    {"Fusion dark", {0x35, 0x35, 0x35}, {0xFF, 0xFF, 0xFF}},
    {"Breeze dark", {0x2A, 0x2E, 0x32}, {0xFC, 0xFC, 0xFC}},
    {"black", {0x00, 0x00, 0x00}, {0xE0, 0xE0, 0xE0}},
    {"mid grey", {0x80, 0x80, 0x80}, {0x00, 0x00, 0x00}},
};

}  // namespace

TEST(DrawingColoursTest, ContrastRatioFollowsTheWcagFormula) {
    EXPECT_NEAR(ContrastRatio({0, 0, 0}, {255, 255, 255}), 21.0, 1e-9);
    EXPECT_NEAR(ContrastRatio({255, 255, 255}, {255, 255, 255}), 1.0, 1e-9);
    // The old pair of the strip, blocked red against made green.
    EXPECT_NEAR(ContrastRatio({216, 44, 44}, {46, 160, 68}), 1.44, 0.01);
    EXPECT_EQ(HexOf({0x1F, 0x5B, 0xB8}), "#1f5bb8");
}

TEST(DrawingColoursTest, MadeAndBlockedAndTheMarksStandApartInEveryPalette) {
    for (const Palette& palette : kPalettes) {
        SCOPED_TRACE(palette.name);
        const BeamColours c = ChooseBeamColours(palette.window, palette.text);
        EXPECT_GE(ContrastRatio(c.made, c.blocked), kMinContrast);
        EXPECT_GE(ContrastRatio(c.mark, palette.window), kMinContrast);
        EXPECT_GE(ContrastRatio(c.cross, c.blocked), kMinContrast);
        // Blue for made and amber for blocked, whatever their lightness.
        EXPECT_GT(c.made.b, c.made.r);
        EXPECT_GT(c.blocked.r, c.blocked.b);
        EXPECT_NE(c.blanked, c.made);
        EXPECT_NE(c.blanked, c.blocked);
    }
}

// Under deuteranopia red and green collapse; the chosen pair stays apart.
// Machado, Oliveira and Fernandes (2009), severity 1, applied to linear RGB.
TEST(DrawingColoursTest, TheMadeBlockedPairSurvivesDeuteranopia) {
    const auto simulate = [](Rgb colour) {
        const auto lin = [](uint8_t v) {
            const double c = v / 255.0;
            return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
        };
        const double r = lin(colour.r), g = lin(colour.g), b = lin(colour.b);
        const double out[3] = {0.367322 * r + 0.860646 * g - 0.227968 * b,
                               0.280085 * r + 0.672501 * g + 0.047413 * b,
                               -0.011820 * r + 0.042940 * g + 0.968881 * b};
        const auto back = [](double c) {
            c = std::clamp(c, 0.0, 1.0);
            const double v = c <= 0.0031308 ? 12.92 * c : 1.055 * std::pow(c, 1 / 2.4) - 0.055;
            return static_cast<uint8_t>(std::lround(v * 255));
        };
        return Rgb{back(out[0]), back(out[1]), back(out[2])};
    };
    EXPECT_LT(ContrastRatio(simulate({216, 44, 44}), simulate({46, 160, 68})), 1.3);
    for (const Palette& palette : kPalettes) {
        SCOPED_TRACE(palette.name);
        const BeamColours c = ChooseBeamColours(palette.window, palette.text);
        EXPECT_GE(ContrastRatio(simulate(c.made), simulate(c.blocked)), kMinContrast);
    }
}

TEST(DrawingColoursTest, WithContrastMovesAwayFromTheBackgroundOnlyAsFarAsNeeded) {
    const Rgb amber{0xFF, 0xB0, 0x00};
    EXPECT_EQ(WithContrast(amber, {0, 0, 0}, 3.0), amber);  // already far enough
    const Rgb onWhite = WithContrast(amber, {255, 255, 255}, 3.0);
    EXPECT_GE(ContrastRatio(onWhite, {255, 255, 255}), 3.0);
    EXPECT_LT(ContrastRatio(onWhite, {255, 255, 255}), 4.0);
    EXPECT_LT(RelativeLuminance(onWhite), RelativeLuminance(amber));
    const Rgb navy{0x10, 0x20, 0x60};
    EXPECT_GT(RelativeLuminance(WithContrast(navy, {0x20, 0x20, 0x20}, 4.5)), RelativeLuminance(navy));
}

TEST(DrawingColoursTest, LockedCellsAndChartLinesReadOnEitherBase) {
    const Rgb configured{192, 192, 192};
    for (const Palette& palette : kPalettes) {
        SCOPED_TRACE(palette.name);
        const Rgb shade = LockedCellShade(configured, palette.window, palette.text);
        EXPECT_GE(ContrastRatio(shade, palette.text), 4.5);
        EXPECT_GT(ContrastRatio(shade, palette.window), 1.1) << "a locked cell must look locked";
        for (int which = 0; which < 2; ++which)
            EXPECT_GE(ContrastRatio(TraceColour(which, palette.window), palette.window), kMinContrast);
        // Told apart by hue: a blue and a vermilion.
        EXPECT_GT(TraceColour(0, palette.window).b, TraceColour(0, palette.window).r);
        EXPECT_GT(TraceColour(1, palette.window).r, TraceColour(1, palette.window).b);
    }
    // On a light base the configured shade is kept as it is.
    EXPECT_EQ(LockedCellShade(configured, {0xFF, 0xFF, 0xFF}, {0, 0, 0}), configured);
}
