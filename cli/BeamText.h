#pragma once

// Moved to the core, where the service report shares it.
#include "model/BeamText.h"
