#pragma once
#include <cstdio>
#include <filesystem>
#include <string>
#include <unistd.h>

// A file name in the temporary directory, unique to this process and tag, removed afterwards.
struct SimTempFile {
    std::string path;
    explicit SimTempFile(const std::string& tag)
        : path((std::filesystem::temp_directory_path() / ("sim-" + tag + "-" + std::to_string(::getpid()))).string()) {
        std::filesystem::remove_all(path);
    }
    ~SimTempFile() { std::filesystem::remove_all(path); }
};
