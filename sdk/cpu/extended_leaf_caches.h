// The level-1 and level-2 caches that AMD's extended leaves describe, in
// the layout VIA/Centaur and Transmeta processors use too: 0x80000005 EDX
// the instruction and ECX the data cache (size 31:24 KB, ways 23:16, line
// 7:0), 0x80000006 ECX the level-2 cache (size 31:16 KB, ways code 15:12,
// line 7:0).
#pragma once

#include <cstdint>

class CCacheDescriptor;
class CCPUThread;

// The thread's descriptor of that level and type, appended when missing.
CCacheDescriptor* TakeOrAddCache(CCPUThread* thread, int32_t level, int32_t type);

// Ways of a level-2 associativity code: 1, 2, 4, 6 (8 ways), 8 (16 ways)
// and 15 (fully associative); -1 for the others, which leave the ways as
// they are.
int32_t ExtendedLeafWays(uint32_t code);

// Every cache of a size above 0 that the leaves up to the thread's highest
// extended leaf describe: taken or created, then size, ways and line set.
void DetectExtendedLeafCaches(CCPUThread* thread);
