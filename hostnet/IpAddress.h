// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <type_traits>

namespace tevra::hostnet {

// An IPv4 or IPv6 address, with its bytes in network order as the platform
// delivers them, so that keys and texts never depend on the host's endianness.
// A link-local IPv6 address means something only on its own link: its zone is
// the interface index, and the same address on two links is two addresses.
// Every other address has zone 0.
//
// Addresses order IPv4 first, as their dotted form reads, then IPv6 by their
// bytes, then by zone.
class IpAddress {
public:
    enum class Family : std::uint8_t { V4 = 4, V6 = 6 };
    using V6Bytes = std::array<std::uint8_t, 16>;

    constexpr IpAddress() = default;

    // An IPv4 address from its network-order value (the bytes in memory order
    // are the dotted parts).
    static IpAddress v4(std::uint32_t netOrder)
    {
        IpAddress address;
        std::memcpy(address.bytes_.data(), &netOrder, 4);
        return address;
    }
    static constexpr IpAddress v4Bytes(std::uint8_t a, std::uint8_t b, std::uint8_t c, std::uint8_t d)
    {
        IpAddress address;
        address.bytes_ = { a, b, c, d };
        return address;
    }
    // An IPv6 address; `zone` is kept only for a link-local one (fe80::/10).
    static constexpr IpAddress v6(const V6Bytes& bytes, std::uint32_t zone = 0)
    {
        IpAddress address;
        address.family_ = Family::V6;
        address.bytes_ = bytes;
        address.zone_ = address.isLinkLocal() ? zone : 0;
        return address;
    }

    constexpr Family family() const { return family_; }
    constexpr bool isV4() const { return family_ == Family::V4; }
    constexpr bool isV6() const { return family_ == Family::V6; }
    // The network-order value of an IPv4 address; 0 for IPv6.
    std::uint32_t v4Value() const
    {
        std::uint32_t netOrder = 0;
        if (isV4())
            std::memcpy(&netOrder, bytes_.data(), 4);
        return netOrder;
    }
    // The address's bytes: 4 for IPv4, 16 for IPv6.
    constexpr const std::uint8_t* data() const { return bytes_.data(); }
    constexpr std::size_t size() const { return isV4() ? 4 : 16; }
    constexpr const V6Bytes& v6Bytes() const { return bytes_; }
    constexpr std::uint32_t zone() const { return zone_; }
    // The same address with no zone: a link-local one as it reads on any link.
    constexpr IpAddress withoutZone() const
    {
        IpAddress address = *this;
        address.zone_ = 0;
        return address;
    }

    // 0.0.0.0 or ::.
    constexpr bool isUnspecified() const
    {
        for (std::size_t i = 0; i < size(); ++i)
            if (bytes_[i] != 0)
                return false;
        return true;
    }
    // fe80::/10.
    constexpr bool isLinkLocal() const { return isV6() && bytes_[0] == 0xfe && (bytes_[1] & 0xc0) == 0x80; }
    // 224.0.0.0/4 or ff00::/8.
    constexpr bool isMulticast() const { return isV4() ? (bytes_[0] & 0xf0) == 0xe0 : bytes_[0] == 0xff; }

    // Below 0, 0 or above 0 as `a` orders before, with or after `b`. Not
    // operator<=>: <compare> is more than Qt's moc can read in a header.
    friend constexpr int compare(const IpAddress& a, const IpAddress& b)
    {
        if (a.family_ != b.family_)
            return a.family_ < b.family_ ? -1 : 1;
        // Two big-endian words instead of sixteen bytes: the addresses of one
        // network share most of their leading bytes, and tables are sorted
        // and walked by this. An IPv4 address's unused bytes are zero.
        for (std::size_t at = 0; at < a.size(); at += 8) {
            const std::uint64_t left = a.word(at);
            const std::uint64_t right = b.word(at);
            if (left != right)
                return left < right ? -1 : 1;
        }
        return a.zone_ == b.zone_ ? 0 : (a.zone_ < b.zone_ ? -1 : 1);
    }
    friend constexpr bool operator==(const IpAddress& a, const IpAddress& b) { return compare(a, b) == 0; }
    friend constexpr bool operator!=(const IpAddress& a, const IpAddress& b) { return compare(a, b) != 0; }
    friend constexpr bool operator<(const IpAddress& a, const IpAddress& b) { return compare(a, b) < 0; }
    friend constexpr bool operator>(const IpAddress& a, const IpAddress& b) { return compare(a, b) > 0; }
    friend constexpr bool operator<=(const IpAddress& a, const IpAddress& b) { return compare(a, b) <= 0; }
    friend constexpr bool operator>=(const IpAddress& a, const IpAddress& b) { return compare(a, b) >= 0; }

private:
    // Eight bytes from `at` as one big-endian number.
    constexpr std::uint64_t word(std::size_t at) const
    {
        std::uint64_t value = 0;
        if (std::is_constant_evaluated() || std::endian::native != std::endian::little) {
            for (std::size_t i = 0; i < 8; ++i)
                value = value << 8 | bytes_[at + i];
            return value;
        }
        // One load and a byte swap, which the compiler makes of these masks.
        std::memcpy(&value, bytes_.data() + at, sizeof value);
        value = (value & 0x00000000FFFFFFFFull) << 32 | (value & 0xFFFFFFFF00000000ull) >> 32;
        value = (value & 0x0000FFFF0000FFFFull) << 16 | (value & 0xFFFF0000FFFF0000ull) >> 16;
        return (value & 0x00FF00FF00FF00FFull) << 8 | (value & 0xFF00FF00FF00FF00ull) >> 8;
    }

    Family family_ = Family::V4;
    V6Bytes bytes_ {};  // IPv4 uses the first four; the rest stay zero
    std::uint32_t zone_ = 0;
};

// Whether two addresses of one family agree in their first `bits` bits.
constexpr bool samePrefix(const IpAddress& a, const IpAddress& b, unsigned bits)
{
    if (a.family() != b.family() || bits > 8 * a.size())
        return false;
    for (std::size_t i = 0; i < bits / 8; ++i)
        if (a.data()[i] != b.data()[i])
            return false;
    const unsigned rest = bits % 8;
    if (rest == 0)
        return true;
    const auto mask = std::uint8_t(0xFFu << (8 - rest));
    return (a.data()[bits / 8] & mask) == (b.data()[bits / 8] & mask);
}

}  // namespace tevra::hostnet
