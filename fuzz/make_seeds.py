#!/usr/bin/env python3
"""Writes the seed inputs of the registrar, SDP, digest and RTP fuzz targets
under tests/testdata/fuzz-seeds/<target>/, in each target's input layout (see
the comment at the top of fuzz/<target>.cpp).

    python3 fuzz/make_seeds.py [REPOSITORY]

Seeds kept there because they once made a target fail are not touched."""
import os
import struct
import sys

repo = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(os.path.abspath(__file__)), "..")
seeds = os.path.join(repo, "tests", "testdata", "fuzz-seeds")


def write(target, name, data):
    folder = os.path.join(seeds, target)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as file:
        file.write(data)


# --- registrar_files_fuzz: flags, SIP-REG 0xFF SIP-PIN 0xFF datagram 0xFF ...

def register(user="desk", cseq=1, contact="Contact: <sip:desk@127.0.0.1:5062>\r\n", extra="",
             display="Front Desk", agent="Phone 1.0"):
    return ("REGISTER sip:127.0.0.1 SIP/2.0\r\n"
            "Via: SIP/2.0/UDP 127.0.0.1:5062;branch=z9hG4bK-reg%d\r\n"
            "To: \"%s\" <sip:%s@127.0.0.1>\r\n"
            "From: \"%s\" <sip:%s@127.0.0.1>;tag=55\r\n"
            "Call-ID: reg-1@127.0.0.1\r\n"
            "CSeq: %d REGISTER\r\n%s%s"
            "User-Agent: %s\r\n"
            "Content-Length: 0\r\n\r\n" % (cseq, display, user, display, user, cseq, contact, extra, agent)).encode()


def registrar_input(flags, reg, pin, datagrams):
    return bytes([flags]) + reg + b"\xff" + pin + b"\xff" + b"\xff".join(datagrams)


answer = ('Authorization: Digest username="desk", realm="desk@127.0.0.1", nonce="\x01N", '
          'uri="sip:127.0.0.1", response="\x01R"\r\n')
pin = b"UserID\tPassword\r\ndesk\tsecret\nother\tword\n"
# Registered far in the future (live) and long ago (expired).
live = b"desk@127.0.0.1:5063\tPIN\t4000000000\t3600\t2096-10-02 07:06:40\tFront\tPhone 1.0\n"
expired = b"old@127.0.0.1:5064\tPIN\t1000\t3600\t1970-01-01 00:16:40\tOld\tPhone 0.1\n"
write("registrar_files_fuzz", "new-list", registrar_input(0, b"", b"", [register()]))
write("registrar_files_fuzz", "challenge-and-answer",
      registrar_input(5, b"", pin, [register(), register(cseq=2, extra=answer)]))
write("registrar_files_fuzz", "wrong-response",
      registrar_input(5, b"", pin, [register(extra=answer.replace("\x01R", "0" * 32))]))
write("registrar_files_fuzz", "replace-query-remove",
      registrar_input(2, live + expired, b"", [
          register(),                                                                    # from port 5062
          register(cseq=2, contact=""),                                                  # 5063: a query
          register(cseq=3, contact="Contact: <sip:desk@127.0.0.1:5062>;expires=120\r\n"),  # 5064
          register(cseq=4, extra="Expires: 0\r\n"),                                      # 5062 again: removed
      ]))
write("registrar_files_fuzz", "too-brief-and-refused",
      registrar_input(2, live, b"", [
          register(contact="Contact: <sip:desk@127.0.0.1:5062>;expires=30\r\n"),
          register(cseq=2, display="Front\tDesk"),
          register(cseq=3, user=""),
      ]))
# A list whose last line has no line feed (as an editor may leave it): the
# new registration must still be a line of its own.
write("registrar_files_fuzz", "regression-list-without-final-line-feed",
      registrar_input(2, live.rstrip(b"\n"), b"", [register()]))
# A list line saved with CRLF line ends and no tabs: its key ends in a CR,
# which must not reach the Contact of the answer to a query.
write("registrar_files_fuzz", "regression-carriage-return-in-list-key",
      registrar_input(2, b"desk@127.0.0.1:5062\r\n", b"", [register(contact="")]))
write("registrar_files_fuzz", "authenticated-with-list",
      registrar_input(7, live + expired, pin, [register(extra=answer), register(cseq=2, contact="", extra=answer)]))

# --- sdp_fuzz: 3 bytes enabled here, 3 offered (bit 23: G.729 busy),
# 4 address bytes, 2 port bytes, then the body.

def sdp_input(enabled, offered, busy, address, port, body):
    bits = sum(1 << t for t in enabled)
    offer = sum(1 << t for t in offered) | (1 << 23 if busy else 0)
    return (struct.pack("<I", bits)[:3] + struct.pack("<I", offer)[:3] + bytes(address) +
            struct.pack(">H", port) + body.encode())


phone = ("v=0\r\no=- 1 1 IN IP4 192.0.2.9\r\ns=-\r\nc=IN IP4 192.0.2.9\r\nt=0 0\r\n"
         "m=audio 49170 RTP/AVP 0 8 3 101\r\na=rtpmap:0 PCMU/8000\r\na=rtpmap:8 PCMA/8000\r\n"
         "a=rtpmap:3 GSM/8000\r\na=rtpmap:101 telephone-event/8000\r\na=fmtp:101 0-16\r\n")
write("sdp_fuzz", "phone-offer", sdp_input([0, 3, 8], [0, 3, 8], False, [10, 0, 0, 2], 8000, phone))
write("sdp_fuzz", "g729-first", sdp_input([0, 18], [0, 3, 8, 18], False, [192, 0, 2, 1], 8002,
                                          phone.replace("RTP/AVP 0 8 3 101", "RTP/AVP 18 0")))
write("sdp_fuzz", "g729-busy", sdp_input([8, 18], [8, 18], True, [192, 0, 2, 1], 8004, phone))
write("sdp_fuzz", "host-name", sdp_input([0], [], False, [0, 0, 0, 0], 0,
                                         phone.replace("c=IN IP4 192.0.2.9", "c=IN IP4 media.example.com")))
write("sdp_fuzz", "hold", sdp_input([0, 8], [0], False, [127, 0, 0, 1], 65535,
                                    phone.replace("c=IN IP4 192.0.2.9", "c=IN IP4 0.0.0.0")))
write("sdp_fuzz", "dynamic-only", sdp_input([0, 3, 8], [3], False, [203, 0, 113, 7], 1,
                                            phone.replace("RTP/AVP 0 8 3 101", "RTP/AVP 96 97")))
write("sdp_fuzz", "two-media", sdp_input([3], [8], False, [203, 0, 113, 7], 30000, phone +
                                         "m=video 49172 RTP/AVP 31\r\nm=audio 49174 RTP/AVP 3\r\n"))
write("sdp_fuzz", "port-beyond-16-bits", sdp_input([0], [0], False, [10, 1, 2, 3], 40000,
                                                   phone.replace("49170", "70000")))

# --- digest_fuzz: flags, then Authorization line, challenge line, user id,
# password and gateway address, separated by line feeds.

def digest_input(flags, authorization, challenge, user, password, address):
    return bytes([flags]) + "\n".join([authorization, challenge, user, password, address]).encode()


write("digest_fuzz", "register-answer", digest_input(
    4, 'Authorization: Digest username="desk", realm="desk@192.0.2.1", nonce="0123456789abcdef0123456789abcdef", '
       'uri="sip:192.0.2.1", response="00000000000000000000000000000000"',
    'WWW-Authenticate: Digest realm="gateway.example.com", nonce="5e1f00aa"', "alice", "secret", "192.0.2.50"))
write("digest_fuzz", "proxy-with-opaque", digest_input(
    1, 'Authorization: Digest username="alice",realm="example.com",nonce="dcd98b7102dd2f0e8b11d0f600bfb0c093",'
       'uri="sip:example.com",response="7FD96A22ED1D64A974701DBD8F92A14E",algorithm=md5,qop=auth,nc=00000001,'
       'cnonce="0a4f113b"',
    'Proxy-Authenticate: Digest realm="proxy", nonce="abc, def", opaque="xyz", algorithm=MD5', "1001", "pa ss",
    "sip.example.com:5070"))
write("digest_fuzz", "invite-unquoted", digest_input(
    6, 'Authorization: Digest username=alice, realm="example.com", nonce=dcd98b, uri="sip:example.com", response="x"',
    'WWW-Authenticate: Digestive realm="no", nonce="no"', "alice", "secret", "192.0.2.50"))
write("digest_fuzz", "lookalike-names", digest_input(
    4, 'Authorization: Digest  usernamex="a", username = "bob" ,realm="r", xnonce="1", nonce="2", uri="sip:r", '
       'response="0"',
    'WWW-Authenticate:Digest realm="uri=\\"x\\"", nonce=""', "", "", ""))

# --- rtp_receive_fuzz: flags, then records of selector, 16-bit length, datagram.

def rtp(second_byte, payload, first_byte=0x80, sequence=1):
    return bytes([first_byte, second_byte]) + struct.pack(">HII", sequence, 160 * sequence, 0x1234) + payload


def record(datagram, stranger=False):
    return bytes([1 if stranger else 0]) + struct.pack(">H", len(datagram)) + datagram


def rtp_input(flags, datagrams):
    return bytes([flags]) + b"".join(record(d, s) for d, s in datagrams)


ulaw = bytes([0xff, 0x7f, 0x80, 0x00] * 40)
alaw = bytes([0xd5, 0x55, 0x2a, 0xaa] * 40)
gsm = bytes([0xd8] + list(range(32)))
g729 = bytes(range(20)) + bytes([0x12, 0x34])
write("rtp_receive_fuzz", "pcmu", rtp_input(0x40 | 1, [(rtp(0, ulaw, sequence=n), False) for n in range(1, 12)]))
write("rtp_receive_fuzz", "pcma-marker", rtp_input(4, [(rtp(8, alaw), False), (rtp(0x88, alaw, sequence=2), False),
                                                       (rtp(8, alaw * 4, sequence=3), False)]))
write("rtp_receive_fuzz", "gsm", rtp_input(2, [(rtp(3, gsm * 2), False), (rtp(3, gsm + gsm[:20], sequence=2), False)]))
write("rtp_receive_fuzz", "g729", rtp_input(8 | 1, [(rtp(18, g729), False), (rtp(18, g729[:10], sequence=2), False)]))
write("rtp_receive_fuzz", "codec-switch", rtp_input(1 | 2 | 4, [(rtp(0, ulaw), False), (rtp(8, alaw, sequence=2), False),
                                                               (rtp(3, gsm, sequence=3), False)]))
write("rtp_receive_fuzz", "elsewhere-and-refused", rtp_input(32 | 16 | 4, [
    (rtp(8, alaw), False),                           # latched: not where SIP comes from
    (rtp(8, alaw, sequence=2), True),                # not the latched source
    (rtp(8, alaw, first_byte=0xa0, sequence=3), False),  # padding
    (rtp(8, alaw, first_byte=0x81, sequence=4), False),  # a contributing source
    (rtp(8, bytes(641), sequence=5), False),         # longer than 640 bytes
    (bytes([0x80] * 12), False),                     # no payload
    (rtp(2, alaw, sequence=6), False),               # enabled, but no codec here
    (rtp(96, alaw, sequence=7), False),              # not enabled
]))
write("rtp_receive_fuzz", "first-from-second-address", rtp_input(4, [(rtp(8, alaw), True), (rtp(8, alaw), False)]))
write("rtp_receive_fuzz", "held-frames", rtp_input(0x80 | 4, [(rtp(8, alaw * 2, sequence=n), False) for n in range(1, 16)]))
# Four packets of 80 ms: the fourth comes while the host holds 6 frames, and
# both its frames must not be handed over (the host may hold 7 at most).
write("rtp_receive_fuzz", "regression-two-frames-past-the-limit",
      rtp_input(4, [(rtp(8, alaw * 4, sequence=n), False) for n in range(1, 5)]))
