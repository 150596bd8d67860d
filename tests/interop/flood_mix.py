#!/usr/bin/env python3
"""Sends a mix of SIP traffic at a SIP port for a while, for soak tests.

usage: flood_mix.py PORT SECONDS RATE SEED

Requests of every method (INVITE with an offer, REGISTER, OPTIONS, BYE,
CANCEL, ACK, MESSAGE, SUBSCRIBE, INFO), responses to nothing, requests cut
short, text that is no SIP at all and binary noise, padded to sizes spread
over 60..1700 bytes (most of them within the 151..1499 a SIP port reads).
They come round-robin from 192 addresses 127.0.1.1-192, two ports each, so
that no single sender looks like a flood (at 3000 a second, each address
sends about 16 a second, well below a busy peer's rate); every 400 datagrams a burst of
15 comes from a fresh address 127.0.2.N, which a flood detector bans, and
now and then one more datagram comes from an address burst earlier.
RATE is the datagrams a second aimed at; the count sent is printed at the
end. Nothing is read: answers pile up in the sockets and are dropped.
"""

import random
import socket
import sys
import time

METHODS = ["INVITE", "REGISTER", "OPTIONS", "BYE", "CANCEL", "ACK", "MESSAGE", "SUBSCRIBE", "INFO"]


def request(rng, n, method, source, port):
    user = "m%d" % rng.randrange(400)
    if method == "REGISTER":
        uri = "sip:127.0.0.1"
        to = "<sip:%s@127.0.0.1>" % user
    else:
        uri = "sip:%s@127.0.0.1:%d" % (user, port)
        to = "<sip:%s@127.0.0.1:%d>" % (user, port)
    call_id = "mix-%d-%d@%s" % (n, rng.randrange(1 << 30), source[0])
    if rng.random() < 0.2:
        call_id = "mix-shared-%d@%s" % (rng.randrange(8), source[0])  # dialogs that exist, now and then
    lines = [
        "%s %s SIP/2.0" % (method, uri),
        "Via: SIP/2.0/UDP %s:%d;branch=z9hG4bK-mix-%d" % (source[0], source[1], n),
        "From: \"Mix %d\" <sip:%s@%s>;tag=mix%d" % (n % 97, user, source[0], n),
        "To: %s%s" % (to, ";tag=far%d" % n if method in ("BYE", "ACK", "INFO") else ""),
        "Call-ID: %s" % call_id,
        "CSeq: %d %s" % (rng.randrange(1, 1 << 31), method),
        "Contact: <sip:%s@%s:%d>" % (user, source[0], source[1]),
        "Max-Forwards: 70",
        "User-Agent: flood mix",
    ]
    if method == "REGISTER":
        lines.append("Expires: %d" % rng.choice([0, 30, 60, 600, 3600, 7200]))
    body = ""
    if method == "INVITE" and rng.random() < 0.8:
        body = ("v=0\r\no=- %d 1 IN IP4 127.0.3.1\r\ns=-\r\nc=IN IP4 127.0.3.1\r\nt=0 0\r\n"
                "m=audio %d RTP/AVP 0 8 3 18\r\na=rtpmap:0 PCMU/8000\r\n" % (n, 20000 + 2 * rng.randrange(100)))
        lines.append("Content-Type: application/sdp")
    lines.append("Content-Length: %d" % len(body))
    return lines, body


def response(rng, n, source):
    code, reason = rng.choice([(100, "Trying"), (180, "Ringing"), (200, "OK"), (401, "Unauthorized"),
                               (486, "Busy Here"), (487, "Request Terminated"), (603, "Decline")])
    method = rng.choice(["INVITE", "BYE", "REGISTER", "CANCEL"])
    return [
        "SIP/2.0 %d %s" % (code, reason),
        "Via: SIP/2.0/UDP 127.0.0.1;branch=z9hG4bK-none-%d" % n,
        "From: <sip:x@127.0.0.1>;tag=a%d" % n,
        "To: <sip:y@%s>;tag=b%d" % (source[0], n),
        "Call-ID: stray-%d@%s" % (n, source[0]),
        "CSeq: %d %s" % (rng.randrange(1, 99), method),
        "Content-Length: 0",
    ], ""


def padded(rng, lines, body, size):
    """The message with an X-Pad line that brings it to about `size` bytes."""
    text = "\r\n".join(lines) + "\r\n\r\n" + body
    missing = size - len(text) - len("X-Pad: \r\n")
    if missing > 0:
        pad = "".join(rng.choice("abcdefghijklmnopqrstuvwxyz0123456789-.") for _ in range(missing))
        lines = lines[:2] + ["X-Pad: " + pad] + lines[2:]
        text = "\r\n".join(lines) + "\r\n\r\n" + body
    return text.encode("latin-1")


def datagram(rng, n, source, port):
    size = rng.choice([rng.randrange(60, 151), rng.randrange(1500, 1700)]) if rng.random() < 0.1 \
        else rng.randrange(151, 1500)
    kind = rng.random()
    if kind < 0.70:
        method = rng.choices(METHODS, weights=[20, 3, 15, 10, 8, 8, 6, 4, 4])[0]
        lines, body = request(rng, n, method, source, port)
        data = padded(rng, lines, body, size)
    elif kind < 0.80:
        lines, body = response(rng, n, source)
        data = padded(rng, lines, body, size)
    elif kind < 0.90:
        lines, body = request(rng, n, rng.choice(METHODS), source, port)
        whole = padded(rng, lines, body, size)
        data = whole[:rng.randrange(1, len(whole))]  # cut short
    elif kind < 0.95:
        data = bytes(rng.randrange(32, 127) for _ in range(size))  # text, no SIP
    else:
        data = bytes(rng.randrange(256) for _ in range(size))  # binary, NULs too
    return data


def main():
    port, seconds, rate, seed = int(sys.argv[1]), float(sys.argv[2]), int(sys.argv[3]), int(sys.argv[4])
    rng = random.Random(seed)
    target = ("127.0.0.1", port)

    def bound(address):
        s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        s.bind((address, 0))
        return s

    spread = [bound("127.0.1.%d" % (i // 2 + 1)) for i in range(384)]
    bursts = []
    sent = 0
    n = 0
    start = time.monotonic()
    while True:
        elapsed = time.monotonic() - start
        if elapsed >= seconds:
            break
        if sent > elapsed * rate:
            time.sleep(0.002)
            continue
        n += 1
        if n % 400 == 0 and len(bursts) < 250:
            s = bound("127.0.2.%d" % (len(bursts) + 1))
            bursts.append(s)
            for k in range(15):
                s.sendto(datagram(rng, n * 100 + k, s.getsockname(), port), target)
            sent += 15
            continue
        s = spread[n % len(spread)]
        if bursts and n % 97 == 0:
            s = rng.choice(bursts)
        try:
            s.sendto(datagram(rng, n, s.getsockname(), port), target)
            sent += 1
        except OSError:
            pass  # an answer's ICMP error, reported on a later send
    for s in spread + bursts:
        s.close()
    print(sent)


if __name__ == "__main__":
    main()
