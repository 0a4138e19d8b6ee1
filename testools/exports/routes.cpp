// Exports: routes.
#include "TesTools.h"
#include "testools/routes.h"

uint8_t HalfByteMirr(uint8_t value) { return testools::HalfByteMirr(value); }
uint16_t MirrRoute(uint16_t route) { return testools::MirrRoute(route); }
uint16_t PadRoute(uint16_t route, bool leftAligned) { return testools::PadRoute(route, leftAligned); }
uint16_t AddToRoute(uint16_t route, uint8_t digit, bool leftAligned) {
  return testools::AddToRoute(route, digit, leftAligned);
}
uint8_t Extract1stDigitInRoute(int32_t& route) { return testools::Extract1stDigitInRoute(route); }
