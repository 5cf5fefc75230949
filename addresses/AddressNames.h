#pragma once
// What an address is besides its vendor: the flags its first octet carries,
// and the names of the addresses no vendor holds (broadcast, null, the
// multicast ranges of IPv4 and IPv6, the IEEE 802.1 reserved group
// addresses, IANA's VRRP virtual routers, the local quadrants).

#include "addresses/AddressText.h"

#include <string>
#include <string_view>

namespace zorvane::addresses {

// Bits of flagsOf().
enum Flag : unsigned { Multicast = 1, Local = 2, Broadcast = 4 };

// From the first octet: multicast (group bit), local (locally administered);
// broadcast for the 48-bit all-ones address.
unsigned flagsOf(const Address& address);
// "multicast", "multicast local", "multicast local broadcast", ... ("" for none).
std::string_view flagWords(unsigned flags);

// The quadrant of a locally administered address in IEEE 802c's structured
// local address plan, from the two bits above the local bit.
enum class Quadrant { NotLocal, Aai, Eli, Sai, Reserved };
Quadrant quadrantOf(const Address& address);

// The address's own name, or "" when it has none: "broadcast", "null
// address", "IPv4 multicast 224.0.0.251 (one of 32 groups)", "IPv6 multicast
// ff02::fb", "IEEE 802.1 LLDP (nearest bridge)", "VRRP virtual router 7
// (IPv4)", "locally administered (AAI)", ... A prefix gets the name of its
// range where that much is known ("IPv4 multicast").
std::string kindOf(const Address& address);

} // namespace zorvane::addresses
