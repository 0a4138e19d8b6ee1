#include "comm/comm.h"

namespace comm {

void TCommEventChars::SetEventChar(int index, uint8_t value) {
  if (index < 1 || index > 5) return;
  chars_[index - 1] = value;
  if (comm_) comm_->UpdateDataControlBlock();
}

void TCommEventChars::Assign(const TCommEventChars& source) {
  for (int i = 0; i < 5; ++i) chars_[i] = source.chars_[i];
}

}  // namespace comm
