#include "ui/qt/ElevatingIpHelper.h"

#include "engine/Address.h"

#include <utility>

namespace tevra {

ElevatingIpHelper::ElevatingIpHelper(
    std::unique_ptr<hostnet::IpHelper> host, std::unique_ptr<HelperLauncher> launcher)
    : host_(std::move(host))
    , launcher_(std::move(launcher))
{
}

std::optional<std::vector<hostnet::MibIpNetRow>> ElevatingIpHelper::getIpNetTable()
{
    return host(host_->getIpNetTable());
}

std::optional<std::vector<hostnet::MibIpAddrRow>> ElevatingIpHelper::getIpAddrTable()
{
    return host(host_->getIpAddrTable());
}

std::optional<std::vector<hostnet::IpAdapterInfo>> ElevatingIpHelper::getAdaptersInfo()
{
    return host(host_->getAdaptersInfo());
}

std::int32_t ElevatingIpHelper::deleteIpNetEntry(const hostnet::MibIpNetRow& row)
{
    const QStringList step { QStringLiteral("delete"), QString::fromStdString(dottedText(row.dwAddr)),
        QString::number(row.dwIndex) };
    return elevatedIfRefused(host(host_->deleteIpNetEntry(row)), { step });
}

std::int32_t ElevatingIpHelper::flushIpNetTable(std::uint32_t interfaceIndex)
{
    const QStringList step { QStringLiteral("flush"), QString::number(interfaceIndex) };
    return elevatedIfRefused(host(host_->flushIpNetTable(interfaceIndex)), { step });
}

std::int32_t ElevatingIpHelper::flushIpNetTables(
    const std::vector<std::uint32_t>& interfaceIndexes, std::vector<std::uint32_t>& kept)
{
    std::vector<QStringList> steps;
    for (const std::uint32_t index : interfaceIndexes)
        steps.push_back({ QStringLiteral("flush"), QString::number(index) });
    const std::int32_t result
        = elevatedIfRefused(host(host_->flushIpNetTables(interfaceIndexes, kept)), steps);
    // After the helper's flushes nobody can tell which entries stayed.
    if (helperFailure_ || result == 0)
        kept.clear();
    return result;
}

std::int32_t ElevatingIpHelper::startPing(const std::string& dottedAddress)
{
    return host(host_->startPing(dottedAddress));
}

std::int32_t ElevatingIpHelper::startSweep(const std::vector<std::uint32_t>& addresses)
{
    return host(host_->startSweep(addresses));
}

int ElevatingIpHelper::openChangeFeed()
{
    return host_->openChangeFeed();
}

std::vector<hostnet::NetTableChange> ElevatingIpHelper::takeChanges()
{
    return host_->takeChanges();
}

std::string ElevatingIpHelper::lastError() const
{
    return helperFailure_ ? helperFailure_->reason : host_->lastError();
}

hostnet::Failure ElevatingIpHelper::lastFailure() const
{
    return helperFailure_ ? helperFailure_->kind : host_->lastFailure();
}

std::int32_t ElevatingIpHelper::elevatedIfRefused(
    std::int32_t hostResult, const std::vector<QStringList>& steps)
{
    if (hostResult == 0 || host_->lastFailure() != hostnet::Failure::NotPermitted)
        return hostResult;
    // pkexec keeps the consent for a while, so the person is asked once for all steps.
    for (const QStringList& step : steps) {
        if (const std::optional<HelperLauncher::Failure> failed = launcher_->run(step)) {
            helperFailure_ = HelperFailure { failed->reason.toStdString(),
                failed->rightsRefused ? hostnet::Failure::NotPermitted : hostnet::Failure::Other };
            return -1;
        }
    }
    return 0;
}

}  // namespace tevra
