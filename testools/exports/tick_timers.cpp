// Exports: tick timers.
#include "TesTools.h"
#include "testools/tick_timers.h"

TTickTimer* CreateTickTimer() { return testools::CreateTickTimer(); }
void InitializeTickTimer(TTickTimer* timer) { testools::InitializeTickTimer(timer); }
void DestroyTickTimer(TTickTimer*& timer) { testools::DestroyTickTimer(timer); }
int64_t GetTickTimerElapsedMilliSeconds(TTickTimer* timer) { return testools::GetTickTimerElapsedMilliSeconds(timer); }
double GetTickTimerElapsedTime(TTickTimer* timer) { return testools::GetTickTimerElapsedTime(timer); }
bool ItIsTickTimerTimeout(TTickTimer* timer, uint32_t seconds) { return testools::ItIsTickTimerTimeout(timer, seconds); }
