#pragma once

#include <string>

// The phone view's page, self-contained: its colours are the desktop
// strip's, for a light and a dark phone alike.
std::string PhonePage();
// What a viewer beyond the limit gets instead of the page.
std::string BusyPage(int maxViewers);
