#pragma once
// What the stores keep of a subscriber: an opaque code pointer (the connection casts it back to
// its callback type) and a user-data word.
#include <cstdint>

namespace eventlink {

using TCodePointer = void (*)();

}  // namespace eventlink
