// Real folders and files for the font tests: the stand-in maps the launcher's
// file services onto the host's own files.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>

namespace fonttest {

// A fresh folder under the system's temporary directory, removed with all it holds.
class TempFolder {
  public:
    TempFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "fonts-XXXXXX").string();
        if (mkdtemp(pattern.data()))
            path_ = pattern;
    }
    ~TempFolder() {
        if (!path_.empty())
            std::filesystem::remove_all(path_);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::string& Path() const {
        return path_;
    }
    std::string operator/(const std::string& name) const {
        return path_ + "/" + name;
    }

  private:
    std::string path_;
};

// Runs the rest of a scope with `folder` as the current directory.
class CurrentFolder {
  public:
    explicit CurrentFolder(const std::string& folder) {
        previous_ = std::filesystem::current_path();
        std::filesystem::current_path(folder);
    }
    ~CurrentFolder() {
        std::filesystem::current_path(previous_);
    }
    CurrentFolder(const CurrentFolder&) = delete;
    CurrentFolder& operator=(const CurrentFolder&) = delete;

  private:
    std::filesystem::path previous_;
};

inline void WriteBytes(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

// Empty when the file is absent; `exists` tells the two apart.
inline std::string ReadBytes(const std::string& path, bool* exists = nullptr) {
    std::ifstream file(path, std::ios::binary);
    if (exists)
        *exists = bool(file);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

// Every byte value in turn, CR, LF, Ctrl-Z and zero among them, shifted by
// `seed` so that two files of one size differ.
inline std::string BinaryBytes(size_t size, int seed = 0) {
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; i++)
        bytes[i] = char((i * 7 + seed) % 256);
    return bytes;
}

} // namespace fonttest
