// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>
#include <string>

namespace tevra::cli {

// An exclusive hold on a state file, so that two watchers never overwrite
// each other's learning: a lock on "FILE.lock" beside it (the file itself is
// replaced on every save, which would drop a lock held on it), with the
// holder's process id written in it. Released when the object goes.
class StateLock {
public:
    // The lock, or null with `error` saying why, naming the process that
    // holds it when another does.
    static std::unique_ptr<StateLock> acquire(const std::string& statePath, std::string& error);

    // The system's open lock file; only acquire makes one.
    struct Handle;
    explicit StateLock(std::unique_ptr<Handle> handle);
    StateLock(const StateLock&) = delete;
    StateLock& operator=(const StateLock&) = delete;
    ~StateLock();

private:
    std::unique_ptr<Handle> handle_;
};

}  // namespace tevra::cli
