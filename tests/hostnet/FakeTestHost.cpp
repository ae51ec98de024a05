// SPDX-License-Identifier: GPL-3.0-or-later
// The fake host, filled the way the kernel tests fill the kernel's table, so
// that the same tests hold the fake to what the kernel does.
#include "TestHost.h"

#include "engine/Address.h"
#include "hostnet/ForwardingIpHelper.h"
#include "hostnet/fake/FakeIpHelper.h"

#include <algorithm>
#include <cstdio>

namespace tevra::test {
namespace {

class FakeTestHost : public TestHost {
public:
    FakeTestHost()
    {
        model_.adapters = { { kInterface, "veth0 (veth)" } };
        model_.addrTable
            = { { *parseDottedQuad("10.66.0.1"), kInterface, *parseDottedQuad("255.255.255.0") } };
    }

    std::string setupError() const override { return {}; }

    bool add(const Neighbour& neighbour) override
    {
        const hostnet::IpAddress address = *parseAddress(neighbour.address);
        if (std::ranges::any_of(
                model_.netTable, [address](const auto& row) { return row.address == address; }))
            return false;
        return replace(neighbour);
    }

    bool replace(const Neighbour& neighbour) override
    {
        const hostnet::IpAddress address = *parseAddress(neighbour.address);
        std::erase_if(model_.netTable, [address](const auto& row) { return row.address == address; });
        if (neighbour.state == Nud::Noarp) {
            model_.notify({ address, std::nullopt });
            return true;  // kept by the kernel, but no ARP entry
        }
        hostnet::MibIpNetRow row;
        row.address = address;
        row.dwIndex = kInterface;
        row.dwType = typeOf(neighbour.state);
        unsigned b[6] {};
        if (std::sscanf(neighbour.mac.c_str(), "%x:%x:%x:%x:%x:%x", &b[0], &b[1], &b[2], &b[3], &b[4], &b[5])
            == 6) {
            row.dwPhysAddrLen = 6;
            for (std::size_t i = 0; i < 6; ++i)
                row.bPhysAddr[i] = static_cast<std::uint8_t>(b[i]);
        }
        model_.netTable.push_back(row);
        model_.notify({ address, row });
        return true;
    }

    bool addAddress(const std::string& withPrefix) override
    {
        const auto slash = withPrefix.find('/');
        const int prefix = std::stoi(withPrefix.substr(slash + 1));
        const std::uint32_t mask = prefix == 0 ? 0 : ~std::uint32_t { 0 } << (32 - prefix);
        model_.addrTable.push_back(
            { *parseDottedQuad(withPrefix.substr(0, slash)), kInterface, hostToNet(mask) });
        return true;
    }

    std::vector<std::string> listedAddresses() override
    {
        std::vector<std::string> listed;
        for (const auto& row : model_.netTable)
            listed.push_back(addressText(row.address));
        std::ranges::sort(listed);
        return listed;
    }

    std::unique_ptr<hostnet::IpHelper> makeIpHelper() override
    {
        return std::make_unique<hostnet::ForwardingIpHelper>(model_);
    }

    int echoRequests(const std::string& target, std::chrono::milliseconds) override
    {
        return static_cast<int>(std::ranges::count(model_.calls.pinged, target));
    }

private:
    static std::uint32_t typeOf(Nud state)
    {
        switch (state) {
        case Nud::Permanent:
            return hostnet::kNetTypeStatic;
        case Nud::Incomplete:
        case Nud::Failed:
            return hostnet::kNetTypeInvalid;
        default:
            return hostnet::kNetTypeDynamic;
        }
    }

    hostnet::FakeIpHelper model_;
};

}  // namespace

std::unique_ptr<TestHost> makeFakeHost()
{
    return std::make_unique<FakeTestHost>();
}

}  // namespace tevra::test
