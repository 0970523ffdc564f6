#pragma once

#include "CommandEnv.h"
#include "live/LiveServer.h"
#include "model/CBlankingMap.h"
#include "protocol/CControllerLink.h"

// beams --watch: scans until a signal ends it (or after limit scans when
// limit is above 0). On a terminal the block of rows is redrawn in place at
// every scan; anywhere else one block is printed per scan that differs from
// the one before, and with --json one object per such scan. Each block has
// the counts and, beside every row, which beams were blocked at some scan
// since the watch began. Returns kExitOk, or kExitController after a failed
// scan. With a live server, every scan goes to its viewers too, and the
// end of the watch (a signal, the limit, a failed scan) as its state.
int WatchBeams(CommandEnv& env, CControllerLink& link, const CBlankingMap& map, int limit,
               LiveServer* live = nullptr);
