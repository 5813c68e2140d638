// The sensor tables of the abit uGuru monitors: the one table of the 2003
// generation and the per-board tables of the 2005 generation, chosen by
// the board id the controller reports.
#pragma once

#include <cstdint>
#include <vector>

#include "sdk/monitor/abit_uguru.h"

extern const _stUGuruSensor kUGuru2003Sensors[];

// The rows of a 2005 board, with keys, scales and roles filled in; empty
// for a board id without a table.
const std::vector<_stUGuruSensor>& UGuru2005Sensors(uint32_t boardId);
