/* es-send: connects to an event server through libEventLink, sends events, optionally listens
 * for the events the server routes back, and disconnects.
 *
 *   es-send [--server ADDRESS] [--port N] [--count N] [--code N] [--text TEXT] [--listen MS]
 */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

#include "EventLink.h"

static int g_received = 0;

static void OnEvent(void *userData, int32_t EvCode, int32_t Key1, int32_t Key2, int32_t Key3, int32_t Key4,
                    int32_t Key5, const char *text, double Time1, double Time2) {
  (void)userData;
  (void)Time2;
  ++g_received;
  printf("received event %d keys %d %d %d %d %d time %.6f text \"%s\"\n", EvCode, Key1, Key2, Key3, Key4, Key5,
         Time1, text ? text : "");
}

/* Local now as a day count since 1899-12-30. */
static double NowDays(void) {
  time_t t = time(NULL);
  struct tm local;
  localtime_r(&t, &local);
  return (double)(t + local.tm_gmtoff) / 86400.0 + 25569.0;
}

static void Pump(int ms) {
  struct timespec start, now;
  clock_gettime(CLOCK_MONOTONIC, &start);
  for (;;) {
    clock_gettime(CLOCK_MONOTONIC, &now);
    long elapsed = (now.tv_sec - start.tv_sec) * 1000 + (now.tv_nsec - start.tv_nsec) / 1000000;
    if (elapsed >= ms) return;
    ESProcessMessages((int32_t)(ms - elapsed));
  }
}

static int Usage(void) {
  fprintf(stderr,
          "usage: es-send [--server ADDRESS] [--port N] [--count N] [--code N] [--text TEXT] [--listen MS]\n");
  return 2;
}

int main(int argc, char **argv) {
  const char *server = "127.0.0.1";
  int port = 2024, count = 1, code = 1, listenMs = 0;
  const char *text = "es-send";
  for (int i = 1; i < argc; ++i) {
    const char *arg = argv[i];
    if (i + 1 >= argc) return Usage();
    const char *value = argv[++i];
    if (strcmp(arg, "--server") == 0) server = value;
    else if (strcmp(arg, "--port") == 0) port = atoi(value);
    else if (strcmp(arg, "--count") == 0) count = atoi(value);
    else if (strcmp(arg, "--code") == 0) code = atoi(value);
    else if (strcmp(arg, "--text") == 0) text = value;
    else if (strcmp(arg, "--listen") == 0) listenMs = atoi(value);
    else return Usage();
  }
  if (port <= 0 || count < 0) return Usage();

  /* The by-address connection carries the port; the connect export then adopts it as the
   * default connection when its address is the configured one (127.0.0.1 unless the registry
   * says otherwise), which the send and state exports address. */
  ConnectToES_Multiple("es-send", "", server, port);
  ConnectToES_Ex("es-send");
  if (listenMs > 0) EvSubscribe_Multiple(server, -1, -1, -1, -1, -1, 1, OnEvent, NULL);
  for (int waited = 0; !ESClientConnected() && waited < 3000; waited += 50) Pump(50);
  printf("connected: %s\n", ESClientConnected() ? "yes" : "no");

  int refused = 0;
  for (int i = 0; i < count; ++i) {
    if (SendEventToES_Ex(code, i + 1, 0, 0, 0, 0, text, NowDays(), 0) != 0) ++refused;
    if (i % 1000 == 999) Pump(0);
  }
  Pump(listenMs > 0 ? listenMs : 300);
  printf("sent %d events, %d refused, %d received\n", count - refused, refused, g_received);
  DisconnectFromES_Ex();
  DisconnectFromES_Multiple(server);
  return refused == 0 ? 0 : 1;
}
