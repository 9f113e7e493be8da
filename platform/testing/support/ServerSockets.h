// Socket chores shared by the in-process servers (the loopback test server and the local
// application server): ending the server's side of its open connections, and finding a loopback
// port on which nothing listens.
//
//   dv::testing::shutdownConnections(port);              // every connection accepted on `port`
//   dv::testing::shutdownConnections(port, peerPort);    // the one connection from that client port
//   int closed = dv::testing::reserveUnusedPort();       // connecting to it is refused
//   std::string dead = dv::testing::refusedURL("/x");    // "http://127.0.0.1:<such a port>/x"
#pragma once

#include <string>

namespace dv::testing {

// Shuts down (both directions) every socket of this process whose local port is `localPort` and
// that is connected to a peer; with `peerPort` >= 0, only the socket connected from that port.
// The peer sees the connection end (an empty reply when nothing was written yet). Returns how many
// sockets were shut down.
int shutdownConnections(int localPort, int peerPort = -1);

// A port of 127.0.0.1 on which nothing listens: it stays bound by this process, without
// listening, until the process ends, so that no other program (nor a connection's own end) can
// take it and a connection to it is always refused. 0 when no socket could be bound.
int reserveUnusedPort();

// An http URL of 127.0.0.1 at a port reserved as above, with `path` ("/x"): loading it is refused.
std::string refusedURL(const std::string& path);

} // namespace dv::testing
