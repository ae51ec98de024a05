// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/Address.h"

#include <algorithm>
#include <memory>
#include <optional>
#include <set>

namespace tevra {

// The addresses that were given one MAC. Nearly always one, kept in place; a
// flood gives one MAC thousands, and those beyond the first go to a set made
// when the second comes. The first is set whenever the set holds any.
class MacHolders {
public:
    void insert(const IpAddress& address)
    {
        if (!first_) {
            first_ = address;
            return;
        }
        if (*first_ == address)
            return;
        if (!more_)
            more_ = std::make_unique<std::set<IpAddress>>();
        more_->insert(address);
    }

    // Calls keep(address) once for each holder and drops those it refuses.
    template<typename Keep> void keepIf(Keep keep)
    {
        if (more_)
            std::erase_if(*more_, [&keep](const IpAddress& address) { return !keep(address); });
        if (!first_ || keep(*first_))
            return;
        first_.reset();
        if (more_ && !more_->empty())
            first_ = more_->extract(more_->begin()).value();
    }

private:
    std::optional<IpAddress> first_;
    std::unique_ptr<std::set<IpAddress>> more_;
};

}  // namespace tevra
