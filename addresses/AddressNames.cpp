#include "addresses/AddressNames.h"

#include <cstdio>

namespace zorvane::addresses {

namespace {

// IEEE 802.1Q's reserved group addresses 01-80-C2-00-00-00 to -0F (filtered
// by every bridge) and IEEE 802.1D's GARP/MRP application addresses -20 to
// -2F, by their last octet.
std::string ieeeGroupName(unsigned last) {
    switch (last) {
    case 0x00: return "IEEE 802.1 bridge group (spanning tree)";
    case 0x01: return "IEEE 802.3 PAUSE (MAC control)";
    case 0x02: return "IEEE 802.3 slow protocols (LACP, marker, OAM)";
    case 0x03: return "IEEE 802.1 nearest non-TPMR bridge (802.1X PAE, LLDP)";
    case 0x04: return "IEEE 802.3 MAC-specific control protocols";
    case 0x08: return "IEEE 802.1 provider bridge group (spanning tree)";
    case 0x0D: return "IEEE 802.1 provider bridge MVRP";
    case 0x0E: return "IEEE 802.1 nearest bridge (LLDP, PTP)";
    case 0x20: return "IEEE 802.1 MMRP (GARP/MRP)";
    case 0x21: return "IEEE 802.1 MVRP (GVRP)";
    }
    char text[64];
    std::snprintf(text, sizeof text, last < 0x10 ? "IEEE 802.1 reserved group 01-80-C2-00-00-%02X"
                                                  : "IEEE 802.1 GARP/MRP application 01-80-C2-00-00-%02X", last);
    return text;
}

// The IPv6 group whose low 32 bits an address of 33-33-xx-xx-xx-xx carries,
// written with the link-local scope it nearly always has.
std::string ipv6Group(const Address& a) {
    const unsigned high = a.octet(2) << 8 | a.octet(3), low = a.octet(4) << 8 | a.octet(5);
    char text[64];
    if (a.octet(2) == 0xFF)  // solicited-node: ff02::1:ffXX:XXXX
        std::snprintf(text, sizeof text, "IPv6 multicast ff02::1:%x:%x (solicited-node)", high, low);
    else if (high == 0)
        std::snprintf(text, sizeof text, "IPv6 multicast ff02::%x", low);
    else
        std::snprintf(text, sizeof text, "IPv6 multicast ff02::%x:%x", high, low);
    return text;
}

} // namespace

unsigned flagsOf(const Address& a) {
    const unsigned first = a.octet(0);
    unsigned flags = (first & 1 ? unsigned(Multicast) : 0u) | (first & 2 ? unsigned(Local) : 0u);
    if (a.nibbles == 12 && a.value == 0xFFFFFFFFFFFFull)
        flags |= Broadcast;
    return flags;
}

std::string_view flagWords(unsigned flags) {
    static constexpr std::string_view words[] = {"",          "multicast",           "local",           "multicast local",
                                                 "broadcast", "multicast broadcast", "local broadcast", "multicast local broadcast"};
    return words[flags & 7];
}

Quadrant quadrantOf(const Address& a) {
    const unsigned first = a.octet(0);
    if (!(first & 2))
        return Quadrant::NotLocal;
    // Z (0x08) and Y (0x04): 00 AAI, 10 ELI, 11 SAI, 01 reserved.
    switch (first & 0x0C) {
    case 0x00: return Quadrant::Aai;
    case 0x08: return Quadrant::Eli;
    case 0x0C: return Quadrant::Sai;
    default: return Quadrant::Reserved;
    }
}

std::string kindOf(const Address& a) {
    // Most addresses are a vendor's own: no name of their own.
    if ((a.octet(0) & 3) == 0 && a.first(6) != 0x00005E && a.value != 0)
        return {};
    const bool whole48 = a.nibbles == 12;
    if (whole48 && a.value == 0xFFFFFFFFFFFFull)
        return "broadcast";
    if (a.whole() && a.value == 0)
        return "null address";
    const std::uint64_t first24 = a.first(6);
    if (first24 == 0x01005E) {
        if (a.nibbles < 7)
            return "IPv4 multicast";
        if (a.octet(3) & 0x80)
            return "MPLS multicast (IANA)";
        if (!whole48)
            return "IPv4 multicast";
        // The group's low 23 bits; the 5 above them are not in the address.
        char text[80];
        std::snprintf(text, sizeof text, "IPv4 multicast 224.%u.%u.%u (one of 32 groups)", a.octet(3) & 0x7F,
                      a.octet(4), a.octet(5));
        return text;
    }
    if (a.first(4) == 0x3333)
        return whole48 ? ipv6Group(a) : "IPv6 multicast";
    if (whole48) {
        const std::uint64_t first40 = a.first(10);
        const unsigned last = a.octet(5);
        if (first40 == 0x0180C20000 && (last <= 0x0F || (last >= 0x20 && last <= 0x2F)))
            return ieeeGroupName(last);
        if (first40 == 0x00005E0001 || first40 == 0x00005E0002)
            return "VRRP virtual router " + std::to_string(last) + (first40 & 1 ? " (IPv4)" : " (IPv6)");
    }
    switch (quadrantOf(a)) {
    case Quadrant::NotLocal: return {};
    case Quadrant::Aai: return "locally administered (AAI)";
    case Quadrant::Eli: return "locally administered (ELI)";
    case Quadrant::Sai: return "locally administered (SAI)";
    case Quadrant::Reserved: return "locally administered (reserved quadrant)";
    }
    return {};
}

} // namespace zorvane::addresses
