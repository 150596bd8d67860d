// Where others reach this phone: the UDP port the module's socket is
// actually bound to, found among the process's own sockets, and an address
// worth printing.
#pragma once

#include <cstdint>
#include <string>

namespace nuvex {

struct LocalEndpoint {
  std::string address;  // dotted IPv4
  unsigned port = 0;
};

// The module's SIP socket, just after the module started: the profile's
// port when a socket of this process is bound to it, else the first UDP
// socket of the process, else the profile's port all the same. The address
// is the one the socket is bound to when it is bound to one; else the
// profile's "Address" when it is set to anything but this machine's host
// name (which the module stores by default and others may not resolve);
// else the first IPv4 address of an interface that is up and not loopback;
// else 127.0.0.1.
LocalEndpoint FindLocalEndpoint();

}  // namespace nuvex
