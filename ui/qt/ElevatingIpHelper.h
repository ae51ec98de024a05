#pragma once

#include "hostnet/IpHelper.h"
#include "ui/qt/HelperLauncher.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tevra {

// The host layer of a window that runs as an ordinary user: reads and the
// change feed go to the platform's layer as they are; a delete or flush that
// the system refuses for want of rights is done again by tevra-arp-helper,
// which the launcher starts with the administrator's consent.
class ElevatingIpHelper : public hostnet::IpHelper {
public:
    ElevatingIpHelper(std::unique_ptr<hostnet::IpHelper> host, std::unique_ptr<HelperLauncher> launcher);

    std::optional<std::vector<hostnet::MibIpNetRow>> getIpNetTable() override;
    std::optional<std::vector<hostnet::MibIpAddrRow>> getIpAddrTable() override;
    std::optional<std::vector<hostnet::IpAdapterInfo>> getAdaptersInfo() override;
    std::int32_t deleteIpNetEntry(const hostnet::MibIpNetRow& row) override;
    std::int32_t flushIpNetTable(std::uint32_t interfaceIndex) override;
    std::int32_t flushIpNetTables(
        const std::vector<std::uint32_t>& interfaceIndexes, std::vector<std::uint32_t>& kept) override;
    std::int32_t startPing(const std::string& dottedAddress) override;
    std::int32_t startSweep(const std::vector<std::uint32_t>& addresses) override;
    int openChangeFeed() override;
    std::vector<hostnet::NetTableChange> takeChanges() override;
    std::string lastError() const override;
    hostnet::Failure lastFailure() const override;

private:
    struct HelperFailure {
        std::string reason;
        hostnet::Failure kind;
    };

    // The host's result, or the helper's when the host refused for want of rights.
    std::int32_t elevatedIfRefused(std::int32_t hostResult, const std::vector<QStringList>& steps);
    // Forgets the helper's last failure: the host's own answer counts again.
    template<typename Result> Result host(Result result)
    {
        helperFailure_.reset();
        return result;
    }

    std::unique_ptr<hostnet::IpHelper> host_;
    std::unique_ptr<HelperLauncher> launcher_;
    std::optional<HelperFailure> helperFailure_;
};

}  // namespace tevra
