/* options_flood: keeps a fixed number of OPTIONS requests in flight against
 * one SIP server over UDP and counts the answers, to find the rate at which
 * the server saturates. Every request is unique (Call-ID, branch and CSeq
 * carry a sequence number) and longer than 150 bytes, so a server that drops
 * short or repeated datagrams still sees each one.
 *
 * usage: options_flood IPV4 PORT SECONDS [IN_FLIGHT]
 * prints: sent=N answered=N lost=N seconds=S rate=R
 */
#include <arpa/inet.h>
#include <errno.h>
#include <netinet/in.h>
#include <poll.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

enum { MAX_IN_FLIGHT = 1024, LOST_AFTER_MS = 250 };

struct Slot {
  uint32_t sequence; /* 0: free */
  double sentAt;
};

static struct Slot slots[MAX_IN_FLIGHT];
static int inFlight;
static uint32_t nextSequence = 1;
static unsigned long sent, answered, lost;
static char target[64];
static unsigned localPort;

static double NowMs(void) {
  struct timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  return now.tv_sec * 1e3 + now.tv_nsec / 1e6;
}

static int SendOne(int fd, int slot) {
  char text[600];
  uint32_t sequence = nextSequence++;
  int length = snprintf(text, sizeof text,
                        "OPTIONS sip:bench@%s SIP/2.0\r\n"
                        "Via: SIP/2.0/UDP 127.0.0.1:%u;branch=z9hG4bK-flood-%u-%u\r\n"
                        "From: <sip:flood@127.0.0.1:%u>;tag=flood-%u\r\n"
                        "To: <sip:bench@%s>\r\n"
                        "Call-ID: flood-%u-%u@127.0.0.1\r\n"
                        "CSeq: %u OPTIONS\r\n"
                        "Max-Forwards: 70\r\n"
                        "User-Agent: options_flood\r\n"
                        "Content-Length: 0\r\n\r\n",
                        target, localPort, (unsigned)getpid(), sequence, localPort,
                        (unsigned)getpid(), target, sequence, (unsigned)getpid(),
                        sequence & 0x7fffffff);
  if (send(fd, text, (size_t)length, 0) != length && errno != ECONNREFUSED) return -1;
  slots[slot].sequence = sequence;
  slots[slot].sentAt = NowMs();
  sent++;
  return 0;
}

/* The sequence number an answer belongs to, read from its Call-ID line:
 * "Call-ID: flood-<sequence>-<pid>@127.0.0.1". */
static uint32_t AnsweredSequence(const char* text) {
  const char* at = strstr(text, "\nCall-ID: flood-");
  if (at == NULL) at = strstr(text, "\ni: flood-");
  if (at == NULL) return 0;
  at = strstr(at, "flood-") + strlen("flood-");
  return (uint32_t)strtoul(at, NULL, 10);
}

static void TakeAnswer(int fd, const char* text, int window) {
  uint32_t sequence = AnsweredSequence(text);
  if (sequence == 0) return;
  for (int slot = 0; slot < window; slot++) {
    if (slots[slot].sequence == sequence) {
      answered++;
      slots[slot].sequence = 0;
      inFlight--;
      if (SendOne(fd, slot) == 0) inFlight++;
      return;
    }
  }
}

/* Requests unanswered for LOST_AFTER_MS count as lost; fresh ones take their place. */
static void ReplaceLost(int fd, int window, double now) {
  for (int slot = 0; slot < window; slot++) {
    if (slots[slot].sequence != 0 && now - slots[slot].sentAt > LOST_AFTER_MS) {
      lost++;
      slots[slot].sequence = 0;
      inFlight--;
    }
    if (slots[slot].sequence == 0 && SendOne(fd, slot) == 0) inFlight++;
  }
}

int main(int argc, char** argv) {
  if (argc < 4) {
    fprintf(stderr, "usage: %s IPV4 PORT SECONDS [IN_FLIGHT]\n", argv[0]);
    return 2;
  }
  struct sockaddr_in server = {.sin_family = AF_INET, .sin_port = htons((uint16_t)atoi(argv[2]))};
  if (inet_pton(AF_INET, argv[1], &server.sin_addr) != 1) {
    fprintf(stderr, "options_flood: bad address %s\n", argv[1]);
    return 2;
  }
  double seconds = atof(argv[3]);
  int window = argc > 4 ? atoi(argv[4]) : 32;
  if (window < 1 || window > MAX_IN_FLIGHT || seconds <= 0) {
    fprintf(stderr, "options_flood: IN_FLIGHT must be 1..%d and SECONDS positive\n", MAX_IN_FLIGHT);
    return 2;
  }
  snprintf(target, sizeof target, "%s:%s", argv[1], argv[2]);

  int fd = socket(AF_INET, SOCK_DGRAM, 0);
  struct sockaddr_in local = {.sin_family = AF_INET};
  local.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t localLength = sizeof local;
  if (fd < 0 || bind(fd, (struct sockaddr*)&local, sizeof local) != 0 ||
      connect(fd, (struct sockaddr*)&server, sizeof server) != 0 ||
      getsockname(fd, (struct sockaddr*)&local, &localLength) != 0) {
    perror("options_flood: socket");
    return 1;
  }
  localPort = ntohs(local.sin_port);

  double start = NowMs(), end = start + seconds * 1e3, lastCheck = start;
  for (int slot = 0; slot < window; slot++)
    if (SendOne(fd, slot) == 0) inFlight++;

  char buffer[2048];
  for (;;) {
    double now = NowMs();
    if (now >= end) break;
    struct pollfd ready = {.fd = fd, .events = POLLIN};
    int timeout = (int)(end - now) < 20 ? (int)(end - now) + 1 : 20;
    if (poll(&ready, 1, timeout) > 0) {
      for (;;) {
        ssize_t length = recv(fd, buffer, sizeof buffer - 1, MSG_DONTWAIT);
        if (length < 0) break;
        buffer[length] = '\0';
        TakeAnswer(fd, buffer, window);
      }
    }
    now = NowMs();
    if (now - lastCheck >= 50) {
      ReplaceLost(fd, window, now);
      lastCheck = now;
    }
  }
  double elapsed = (NowMs() - start) / 1e3;
  printf("sent=%lu answered=%lu lost=%lu seconds=%.3f rate=%.0f\n", sent, answered, lost, elapsed,
         answered / elapsed);
  close(fd);
  return answered > 0 ? 0 : 1;
}
