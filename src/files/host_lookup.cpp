#include "files/host_lookup.h"

#include <arpa/inet.h>

#include <atomic>
#include <map>
#include <memory>
#include <thread>

#include "files/socket.h"

namespace {

// One lookup; the thread that makes it shares it with the table, so the
// table may forget it (or be gone at exit) while the lookup still runs.
struct lookup {
  std::atomic<int> state{lookup_pending};
  std::atomic<unsigned long> address{0};
};

std::map<std::string, std::shared_ptr<lookup>>& table() {
  static auto* lookups = new std::map<std::string, std::shared_ptr<lookup>>;  // outlives every lookup thread
  return *lookups;
}

std::atomic<host_lookup_function> lookup_function{nullptr};

}  // namespace

int lookup_host(const std::string& host, unsigned long* address) {
  *address = 0;
  if (host.empty()) return lookup_failed;
  // A dotted address or a reserved name needs no lookup.
  const in_addr_t dotted = inet_addr(host.c_str());
  if (dotted != INADDR_NONE) {
    *address = dotted;
    return lookup_done;
  }

  auto& lookups = table();
  auto it = lookups.find(host);
  if (it == lookups.end()) {
    if (PCSBSocket::IsReservedInvalid(host.c_str())) return lookup_failed;
    auto l = std::make_shared<lookup>();
    it = lookups.emplace(host, l).first;
    host_lookup_function fn = lookup_function.load();
    if (!fn) fn = &PCSBSocket::LookupAddress;
    std::thread([l, host, fn] {
      const unsigned long found = fn(host.c_str());
      l->address = found;
      l->state = found != 0 ? lookup_done : lookup_failed;
    }).detach();
  }
  const std::shared_ptr<lookup> l = it->second;
  const int state = l->state.load();
  if (state == lookup_done) *address = l->address.load();
  if (state == lookup_failed) lookups.erase(it);
  return state;
}

void reset_host_lookups(host_lookup_function fn) {
  table().clear();
  lookup_function = fn;
}
