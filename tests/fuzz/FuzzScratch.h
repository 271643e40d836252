// What the fuzz targets that work on files share: a private scratch file, in memory
// where the system offers it, and a loud end when an invariant does not hold.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

// A file named `fileName` in a folder of this run's own; the folder is made on first use.
inline std::string FuzzScratchFile(const char* target, const char* fileName) {
  std::error_code error;
  std::filesystem::path base = std::filesystem::is_directory("/dev/shm", error) ? std::filesystem::path("/dev/shm")
                                                                                : std::filesystem::temp_directory_path();
  std::filesystem::path dir = base / (std::string("ks-") + target + "-fuzz-" + std::to_string(std::rand()) + "-" +
                                      std::to_string(reinterpret_cast<std::uintptr_t>(&error)));
  std::filesystem::create_directories(dir, error);
  return (dir / fileName).string();
}

inline void FuzzCheck(bool condition, const char* target, const char* what, const std::string& context = {}) {
  if (condition) return;
  std::fprintf(stderr, "%s_fuzz: invariant broken: %s\n%s", target, what, context.c_str());
  if (!context.empty()) std::fputc('\n', stderr);
  std::abort();
}
