#pragma once
// Tick timers: elapsed milliseconds on the platform's 32-bit tick count, surviving its wrap as
// long as the timer is read at least once per wrap period.
#include <cstdint>

#include "TesTools.h"

namespace testools {

TTickTimer* CreateTickTimer();
void InitializeTickTimer(TTickTimer* timer);
// Releases only timers that CreateTickTimer issued and that are still live; the reference
// becomes null in every case.
void DestroyTickTimer(TTickTimer*& timer);
int64_t GetTickTimerElapsedMilliSeconds(TTickTimer* timer);
double GetTickTimerElapsedTime(TTickTimer* timer);
bool ItIsTickTimerTimeout(TTickTimer* timer, uint32_t seconds);

}  // namespace testools
