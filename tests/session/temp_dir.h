// A fresh directory with a "log" folder inside, removed with everything in it when the test ends.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace tavrel::test {

class TempExeDir {
public:
    TempExeDir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "tavrel-monitor-XXXXXX").string();
        if (mkdtemp(pattern.data()))
            m_path = pattern;
        std::filesystem::create_directory(m_path / "log");
    }
    ~TempExeDir() {
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }
    TempExeDir(const TempExeDir&) = delete;
    TempExeDir& operator=(const TempExeDir&) = delete;

    std::string path() const { return m_path.string(); }
    std::filesystem::path logDir() const { return m_path / "log"; }

private:
    std::filesystem::path m_path;
};

inline std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

} // namespace tavrel::test
