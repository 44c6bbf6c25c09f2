// Small file helpers for the tests: a private temporary folder
// that is removed afterwards, and whole-file reads and writes of bytes.
#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "System.h"

using Bytes = std::vector<uint8_t>;

class TempDir {
public:
  TempDir() {
    static int serial = 0;
    auto base = std::filesystem::temp_directory_path();
    for (;;) {
      dir_ = base / ("vidorra_rec_" + std::to_string(reinterpret_cast<uintptr_t>(this) % 100000) +
                     "_" + std::to_string(++serial));
      if (std::filesystem::create_directory(dir_)) break;
    }
  }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }
  // ASCII paths, so the CP936 and native spellings are the same.
  std::string file(const std::string& name) const { return (dir_ / name).string(); }
  AnsiString path(const std::string& name) const { return AnsiString(file(name)); }
  std::string folder() const { return (dir_ / "").string(); }

private:
  std::filesystem::path dir_;
};

inline Bytes readAll(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}
#ifdef _WIN32
// The program's files have Chinese names: wide paths on Windows.
inline Bytes readAll(const std::wstring& path) {
  std::ifstream f(path.c_str(), std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}
#endif

inline void writeAll(const std::string& path, const Bytes& b) {
  std::ofstream f(path, std::ios::binary);
  f.write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
}

inline void put32(Bytes& b, uint32_t v) {
  for (int i = 0; i < 4; ++i) b.push_back(uint8_t(v >> (8 * i)));
}
inline void put16(Bytes& b, uint16_t v) {
  b.push_back(uint8_t(v));
  b.push_back(uint8_t(v >> 8));
}
inline int32_t get32(const Bytes& b, std::size_t at) {
  return int32_t(uint32_t(b.at(at)) | uint32_t(b.at(at + 1)) << 8 | uint32_t(b.at(at + 2)) << 16 |
                 uint32_t(b.at(at + 3)) << 24);
}
inline int16_t get16(const Bytes& b, std::size_t at) {
  return int16_t(uint16_t(b.at(at)) | uint16_t(b.at(at + 1)) << 8);
}
