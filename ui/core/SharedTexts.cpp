// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/core/SharedTexts.h"

namespace tevra {

std::uint32_t SharedTexts::idOf(std::string_view text)
{
    if (lastId_ != kNone && texts_[lastId_] == text)
        return lastId_;
    const auto found = ids_.find(text);
    if (found != ids_.end())
        return lastId_ = found->second;
    lastId_ = static_cast<std::uint32_t>(texts_.size());
    texts_.emplace_back(text);
    ids_.emplace(texts_.back(), lastId_);
    return lastId_;
}

void SharedTexts::clear()
{
    texts_.clear();
    ids_.clear();
    lastId_ = kNone;
}

}  // namespace tevra
