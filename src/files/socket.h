// One IPv4 TCP socket in non-blocking mode. Everything the caller needs to
// know is reduced to one polled status number, so the frame loop can connect,
// send and receive without ever waiting for the network.
//
// Failures are reported through the status and the saved errno
// (GetOSError), plus a line on standard error starting with "LINUX: NET: ".
// A socket is used by one thread at a time; nothing here locks.
#pragma once

#include <cstdint>

// Values of PCSBSocket::GetStatus.
enum {
  sock_idle = 1,        // fresh client socket, or listening with nothing pending
  sock_connecting = 2,  // client: connecting; listening: a connection is waiting
  sock_connected = 3,
  sock_closed = 4,      // disconnected here, or the connection was lost
  sock_error = 5,       // an unexpected failure; see GetOSError
};

class PCSBSocket {
 public:
  struct ConnectionData {
    uint32_t local_address;   // host byte order
    unsigned short local_port;
    uint32_t remote_address;  // network byte order, as the system gives it
    unsigned short remote_port;
  };

  // Makes a socket bound to port on every local address (0: any free port)
  // and, with listen, listening with a backlog of 128. Status 1, or 5 when a
  // step fails.
  PCSBSocket(unsigned short port, bool listen);
  // Adopts an accepted, connected descriptor (status 3), switching it to
  // non-blocking mode.
  explicit PCSBSocket(int descriptor);
  virtual ~PCSBSocket();
  PCSBSocket(const PCSBSocket&) = delete;
  PCSBSocket& operator=(const PCSBSocket&) = delete;

  // Starts connecting to an IPv4 address given in network byte order:
  // status 2, 3 when the connection is made at once, 5 when it fails at once.
  void Connect(unsigned long address, unsigned short port);

  // Polls without waiting and returns the status. Only a connecting socket
  // and a listening one ask the system; a connected socket notices a lost
  // connection only through its next send or receive. A connect that the
  // system refuses or that fails later goes to 4 with GetOSError giving the
  // reason (ECONNREFUSED, ETIMEDOUT, ...).
  int GetStatus();

  // Sends: the bytes taken, 0 when the socket would block, -1 on failure
  // (status 4 when the connection is gone, else 5). Never raises SIGPIPE.
  int http_WriteData(const void* data, long length);
  // Receives: the bytes read, 0 when nothing is waiting or the peer has
  // closed its side (ReceivedRelease then turns true; the status stays 3
  // unless this side has released too, which gives 4 and -1), -1 on failure.
  int ReadData(void* buffer, long length);

  // Shuts down both directions; status 4.
  void Disconnect();
  // Shuts down the sending direction; a failure gives status 5.
  void Release();
  // The peer has shut down its sending side (a receive returned 0 bytes).
  bool ReceivedRelease() const { return peer_closed_; }
  // errno saved at the last failure, 0 before any.
  int GetOSError() const { return os_error_; }
  // The system descriptor, -1 when the socket could not be made.
  int GetDescriptor() const { return descriptor_; }

  // Listening socket: takes one waiting connection, or null. The listener's
  // status goes back to 1 either way; the caller owns the new socket.
  PCSBSocket* Accept();

  // Local and peer address and port of a connected socket.
  void GetAddresses(ConnectionData* out);

  // IPv4 address (network byte order) of a dotted address, returned as it
  // is without a look-up, or of a host name; 0 when the name is unknown.
  // Names in the reserved ".invalid" domain are unknown without asking any
  // name server.
  static unsigned long LookupAddress(const char* host);
  // The name lies under the reserved top-level name "invalid": no lookup
  // can find it.
  static bool IsReservedInvalid(const char* host);

  // Nothing to start or stop on this platform.
  static bool StartupNetworking(bool) { return true; }
  static void ShutdownNetworking(bool) {}

 private:
  int descriptor_ = -1;
  int status_ = sock_idle;
  int os_error_ = 0;
  bool peer_closed_ = false;
  bool released_ = false;
  bool listening_ = false;
};

// printf-shaped function that prints nothing; for switched-off diagnostics.
int printf_null(char*, ...);
