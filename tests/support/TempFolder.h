// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <string_view>

namespace tevra::test {

// A folder of its own under the temporary directory, removed with everything
// in it at the end.
class TempFolder {
public:
    TempFolder()
    {
        // A name nobody has taken: creating the folder fails if it exists.
        std::random_device random;
        std::error_code error;
        const std::filesystem::path temporary = std::filesystem::temp_directory_path(error);
        for (int attempt = 0; attempt < 100 && path_.empty() && !error; ++attempt) {
            const auto candidate = temporary / ("tevra-test-" + std::to_string(random()));
            if (std::filesystem::create_directory(candidate, error))
                path_ = candidate.string();
        }
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    ~TempFolder()
    {
        std::error_code ignored;
        if (ok())
            std::filesystem::remove_all(path_, ignored);
    }

    bool ok() const { return !path_.empty(); }
    const std::string& path() const { return path_; }
    std::string file(std::string_view name) const { return path_ + "/" + std::string(name); }
    void write(std::string_view name, std::string_view text) const
    {
        std::ofstream(file(name), std::ios::binary) << text;
    }

private:
    std::string path_;
};

}  // namespace tevra::test
