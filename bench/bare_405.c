/* bare_405: the floor of the OPTIONS comparison. It receives datagrams on
 * one UDP port and answers each with a 405 made of its own Via, To, From,
 * Call-ID and CSeq lines and a fixed Allow line: no screening, no lists, no
 * locks, one recvfrom and one sendto a request.
 *
 * usage: bare_405 IPV4 PORT
 */
#include <arpa/inet.h>
#include <netinet/in.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>
#include <sys/socket.h>
#include <unistd.h>

/* Appends the request's line that starts with `name` (case ignored), CR LF included. */
static size_t CopyLine(const char* request, size_t length, const char* name, char* out, size_t used,
                       size_t capacity) {
  size_t nameLength = strlen(name);
  for (size_t at = 0; at + nameLength < length;) {
    const char* end = memchr(request + at, '\n', length - at);
    size_t lineEnd = end == NULL ? length : (size_t)(end - request) + 1;
    if (strncasecmp(request + at, name, nameLength) == 0) {
      size_t size = lineEnd - at;
      if (used + size > capacity) return used;
      memcpy(out + used, request + at, size);
      return used + size;
    }
    at = lineEnd;
  }
  return used;
}

int main(int argc, char** argv) {
  if (argc != 3) {
    fprintf(stderr, "usage: %s IPV4 PORT\n", argv[0]);
    return 2;
  }
  int fd = socket(AF_INET, SOCK_DGRAM, 0);
  struct sockaddr_in local = {0};
  local.sin_family = AF_INET;
  local.sin_port = htons((unsigned short)atoi(argv[2]));
  if (fd < 0 || inet_pton(AF_INET, argv[1], &local.sin_addr) != 1 ||
      bind(fd, (struct sockaddr*)&local, sizeof local) != 0) {
    perror("bare_405");
    return 1;
  }
  static const char kStatus[] = "SIP/2.0 405 Method Not Allowed\r\n";
  static const char kTail[] = "Allow: INVITE, ACK, CANCEL, BYE\r\nContent-Length: 0\r\n\r\n";
  static const char* kLines[] = {"Via:", "To:", "From:", "Call-ID:", "CSeq:"};
  char request[1500];
  char answer[2048];
  for (;;) {
    struct sockaddr_in peer;
    socklen_t peerLength = sizeof peer;
    ssize_t length = recvfrom(fd, request, sizeof request, 0, (struct sockaddr*)&peer, &peerLength);
    if (length <= 0) continue;
    size_t used = sizeof kStatus - 1;
    memcpy(answer, kStatus, used);
    for (size_t line = 0; line < sizeof kLines / sizeof kLines[0]; ++line) {
      used = CopyLine(request, (size_t)length, kLines[line], answer, used, sizeof answer - sizeof kTail);
    }
    memcpy(answer + used, kTail, sizeof kTail - 1);
    used += sizeof kTail - 1;
    sendto(fd, answer, used, 0, (struct sockaddr*)&peer, peerLength);
  }
}
