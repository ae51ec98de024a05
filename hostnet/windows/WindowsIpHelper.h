#pragma once

#include "hostnet/IpHelper.h"
#include "hostnet/windows/AddressSweep.h"
#include "hostnet/windows/IpHelperApi.h"

#include <cstddef>
#include <memory>
#include <optional>
#include <string>

namespace tevra::hostnet {

// The host network operations over the IP Helper API. No change feed: the
// engine polls the ARP table.
class WindowsIpHelper : public IpHelper {
public:
    explicit WindowsIpHelper(std::unique_ptr<IpHelperApi> api);

    std::optional<std::vector<MibIpNetRow>> getIpNetTable() override;
    std::optional<std::vector<MibIpAddrRow>> getIpAddrTable() override;
    std::optional<std::vector<IpAdapterInfo>> getAdaptersInfo() override;
    std::int32_t deleteIpNetEntry(const MibIpNetRow& row) override;
    std::int32_t flushIpNetTable(std::uint32_t interfaceIndex) override;
    std::int32_t startPing(const std::string& dottedAddress) override;
    std::int32_t startSweep(const std::vector<std::uint32_t>& addresses) override;
    bool sweeping() override { return sweep_.busy(); }
    std::string lastError() const override { return lastError_; }
    Failure lastFailure() const override { return lastFailure_; }

    // How often a table that changed size between the size call and the fill
    // is asked for again before the read is given up.
    static constexpr int kFillAttempts = 3;

private:
    // What one of the size-then-fill calls delivered; no bytes when the
    // platform has no rows at all.
    struct Filled {
        std::unique_ptr<std::byte[]> bytes;
        ULONG size = 0;
    };
    // `fill(buffer, &size)` is one call of a table operation.
    template<typename Fill> std::optional<Filled> readTable(const char* what, Fill fill);
    void fail(const char* what, DWORD status);
    void fail(const char* what, const std::string& reason);

    std::unique_ptr<IpHelperApi> api_;
    std::string lastError_;
    Failure lastFailure_ = Failure::None;
    AddressSweep sweep_;
};

}  // namespace tevra::hostnet
