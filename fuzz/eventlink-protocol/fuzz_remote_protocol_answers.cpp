// Feeds arbitrary bytes to the remote-protocol channel's receive path, as a hostile or broken
// peer would send them, with a few requests waiting for answers.
#include <cstddef>
#include <cstdint>

#include "client/protocol_s50.h"

namespace {

int g_answers = 0;

void OnAnswer(void*, const uint8_t* answer, int32_t count, const ESVariant*, int32_t) {
  // Touch every byte so that a wrong count is seen by the sanitizer.
  for (int32_t i = 0; i < count; ++i) g_answers += answer[i] & 1;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Port 9 on loopback: nothing answers, so the channel stays unconnected and only the
  // receive path is exercised.
  eventlink::ResetRequestIdsForTests();
  eventlink::TTCPProtocolS50 channel("127.0.0.1", 9, 1, 5807, 64);
  const uint8_t request[] = {1, 2, 3};
  for (int i = 0; i < 3; ++i) channel.SendCommand(0x50, request, sizeof request, OnAnswer, nullptr, nullptr, -1);
  for (size_t i = 0; i < size; ++i) channel.ReceiveByte(data[i]);
  channel.Shutdown();
  return 0;
}
