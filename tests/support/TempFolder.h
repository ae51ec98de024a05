#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

namespace tevra::test {

// A folder of its own under the temporary directory, removed with everything
// in it at the end.
class TempFolder {
public:
    TempFolder()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "tevra-test-XXXXXX").string();
        if (mkdtemp(pattern.data()) != nullptr)
            path_ = pattern;
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
