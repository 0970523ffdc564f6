#include "live/LivePage.h"

#include "model/DrawingColours.h"

// The page's text, generated from phone.html at configure time.
extern const char* const kPhonePageTemplate;

namespace {

constexpr const char* kColoursPlaceholder = "/*VELTRIX_COLOURS*/";

std::string ColourRules(Rgb background, Rgb text) {
    const BeamColours c = ChooseBeamColours(background, text);
    return "--bg:" + HexOf(background) + ";--fg:" + HexOf(text) + ";--made:" + HexOf(c.made) +
           ";--blocked:" + HexOf(c.blocked) + ";--cross:" + HexOf(c.cross) + ";--blanked:" +
           HexOf(c.blanked) + ";--hatch:" + HexOf(c.hatch) + ";--unknown:" + HexOf(c.unknown) +
           ";--mark:" + HexOf(c.mark) + ";--muted:" + HexOf(Mix(background, text, 0.6)) + ";";
}

}  // namespace

std::string PhonePage() {
    std::string page = kPhonePageTemplate;
    const std::string colours = ":root{" + ColourRules({0xFA, 0xFA, 0xFA}, {0x14, 0x14, 0x14}) +
                                "}@media (prefers-color-scheme: dark){:root{" +
                                ColourRules({0x16, 0x18, 0x1C}, {0xEC, 0xEC, 0xEC}) + "}}";
    if (const auto at = page.find(kColoursPlaceholder); at != std::string::npos)
        page.replace(at, std::char_traits<char>::length(kColoursPlaceholder), colours);
    return page;
}

std::string BusyPage(int maxViewers) {
    return "<!DOCTYPE html><html lang=\"en\"><head><meta charset=\"utf-8\">"
           "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">"
           "<title>VELTRIX Alignment</title></head><body style=\"font:1.4rem sans-serif;margin:1.5rem\">"
           "<p>At most " + std::to_string(maxViewers) +
           " phones can watch at once.</p><p>Close the view on another phone, then reload this page.</p>"
           "</body></html>";
}
