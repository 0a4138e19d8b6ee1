#include "testools/host_address.h"

#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include "testools/raw_bytes.h"

namespace testools {

std::string IP_AddressByHost(uint8_t index, const std::string& host) {
  if (host.empty()) return {};
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;  // one entry per address, not one per socket type
  addrinfo* list = nullptr;
  if (getaddrinfo(host.c_str(), nullptr, &hints, &list) != 0) return {};
  std::string text;
  int position = 0;
  for (addrinfo* ai = list; ai != nullptr; ai = ai->ai_next, ++position) {
    if (position == index) {
      const auto* address = reinterpret_cast<const sockaddr_in*>(ai->ai_addr);
      text = IP_Ord(&address->sin_addr.s_addr, 0, 4);  // network order: first byte first
      break;
    }
  }
  freeaddrinfo(list);
  return text;
}

}  // namespace testools
