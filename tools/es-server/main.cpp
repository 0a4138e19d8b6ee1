// es-server: a reference event server for tests, demos and installations that have none.
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "es_server.h"

namespace {

int g_signalPipe[2] = {-1, -1};

void OnSignal(int sig) {
  const char c = sig == SIGUSR1 ? 'd' : 'q';
  [[maybe_unused]] ssize_t n = write(g_signalPipe[1], &c, 1);
}

void Usage() {
  std::fputs(
      "usage: es-server [--port N] [--bind ADDRESS] [--protocol-port N|off] [--no-value-events]\n"
      "                 [--log] [--quiet]\n"
      "  --port N            event port (default 2024)\n"
      "  --bind ADDRESS      listen address (default 127.0.0.1)\n"
      "  --protocol-port N   remote-protocol echo port (default 10100; off to disable)\n"
      "  --no-value-events   tell clients to send events as text packets\n"
      "  --log               one JSON line per received packet (default: one text line)\n"
      "  --quiet             no packet lines\n"
      "SIGUSR1 or the command 'drop' on standard input closes every client connection;\n"
      "'stats' prints the counters, 'quit' (or SIGINT/SIGTERM) ends the server.\n",
      stderr);
}

}  // namespace

int main(int argc, char** argv) {
  esserver::ServerOptions options;
  options.log = esserver::LogMode::Text;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    auto next = [&]() -> std::string {
      if (i + 1 >= argc) {
        Usage();
        std::exit(2);
      }
      return argv[++i];
    };
    if (arg == "--port") options.port = std::atoi(next().c_str());
    else if (arg == "--bind") options.bindAddress = next();
    else if (arg == "--protocol-port") {
      const std::string v = next();
      options.protocolPort = v == "off" ? -1 : std::atoi(v.c_str());
    } else if (arg == "--no-value-events") options.valueEvents = false;
    else if (arg == "--log") options.log = esserver::LogMode::Json;
    else if (arg == "--quiet") options.log = esserver::LogMode::None;
    else {
      Usage();
      return arg == "--help" || arg == "-h" ? 0 : 2;
    }
  }

  if (pipe2(g_signalPipe, O_CLOEXEC | O_NONBLOCK) != 0) return 1;
  signal(SIGUSR1, OnSignal);
  signal(SIGINT, OnSignal);
  signal(SIGTERM, OnSignal);
  signal(SIGPIPE, SIG_IGN);

  auto& queue = platform::MessageQueue::ForCurrentThread();
  esserver::TEsServer server(options);
  std::string error;
  if (!server.Start(error)) {
    std::fprintf(stderr, "es-server: %s\n", error.c_str());
    return 1;
  }
  std::fprintf(stderr, "es-server: listening on %s:%d", options.bindAddress.c_str(), server.Port());
  if (options.protocolPort >= 0) std::fprintf(stderr, ", remote protocol on %d", server.ProtocolPort());
  std::fprintf(stderr, "\n");

  bool quit = false;
  queue.Watch(g_signalPipe[0], platform::MessageQueue::kReadable, [&](uint32_t) {
    char c;
    while (read(g_signalPipe[0], &c, 1) == 1) {
      if (c == 'd') server.DropAll();
      else quit = true;
    }
  });
  std::string command;
  platform::MessageQueue::WatchId stdinWatch = 0;
  stdinWatch = queue.Watch(STDIN_FILENO, platform::MessageQueue::kReadable, [&](uint32_t) {
    char buf[256];
    const ssize_t n = read(STDIN_FILENO, buf, sizeof buf);
    if (n <= 0) {
      // End of input: keep serving, stop reading.
      queue.Unwatch(stdinWatch);
      return;
    }
    command.append(buf, static_cast<size_t>(n));
    size_t eol;
    while ((eol = command.find('\n')) != std::string::npos) {
      const std::string line = command.substr(0, eol);
      command.erase(0, eol + 1);
      if (line == "drop") server.DropAll();
      else if (line == "quit") quit = true;
      else if (line == "stats") {
        const auto s = server.Stats();
        std::fprintf(stderr, "clients %zu accepted %llu packets %llu events %llu data %llu\n", s.clientsConnected,
                     static_cast<unsigned long long>(s.clientsAccepted), static_cast<unsigned long long>(s.packets),
                     static_cast<unsigned long long>(s.events), static_cast<unsigned long long>(s.data));
      }
    }
  });
  while (!quit) queue.ProcessMessages(-1);
  server.Stop();
  return 0;
}
