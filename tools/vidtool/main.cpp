// vidtool: a command-line window on the recording formats library, for
// developers and tests: encode and decode single frame images, probe and dump
// recordings, save a recording's frames as pictures, and make an .lx of raw
// frames for benchmarks. Exit status 0 on success, 1 on failure, 2 on bad usage.
#include <cstdio>
#include <cstring>

#include "Command.h"
#include "System.h"

namespace {
std::vector<const ToolCommand*>& commands() {
  static std::vector<const ToolCommand*> list;
  return list;
}
}  // namespace

ToolCommand::ToolCommand(const char* n, const char* u, Run r) : name(n), usage(u), run(r) {
  commands().push_back(this);
}

std::string jsonString(const AnsiString& s) {
  std::string out = "\"";
  for (unsigned char c : s.str()) {
    if (c == '"' || c == '\\') out += '\\', out += char(c);
    else if (c < 0x20) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\u%04x", c);
      out += buf;
    } else out += char(c);
  }
  return out + "\"";
}

std::string jsonValue(const AnsiString& s) {
  const std::string& t = s.str();
  std::size_t i = (!t.empty() && t[0] == '-') ? 1 : 0;
  if (i < t.size() && t.size() - i <= 9 && t.find_first_not_of("0123456789", i) == std::string::npos)
    return t;
  return jsonString(s);
}

bool readWholeFile(const std::string& path, std::vector<unsigned char>& bytes) {
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) {
    std::fprintf(stderr, "cannot open %s\n", path.c_str());
    return false;
  }
  bytes.clear();
  unsigned char buf[65536];
  std::size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) bytes.insert(bytes.end(), buf, buf + n);
  std::fclose(f);
  return true;
}

bool writeWholeFile(const std::string& path, const std::vector<unsigned char>& bytes) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) {
    std::fprintf(stderr, "cannot create %s\n", path.c_str());
    return false;
  }
  const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  if (std::fclose(f) != 0 || !ok) {
    std::fprintf(stderr, "cannot write %s\n", path.c_str());
    std::remove(path.c_str());  // no half file that looks finished
    return false;
  }
  return true;
}

std::string takeOption(std::vector<std::string>& args, const std::string& name,
                       const std::string& fallback) {
  for (std::size_t i = 0; i + 1 < args.size(); ++i)
    if (args[i] == name) {
      std::string v = args[i + 1];
      args.erase(args.begin() + long(i), args.begin() + long(i) + 2);
      return v;
    }
  return fallback;
}

bool takeFlag(std::vector<std::string>& args, const std::string& name) {
  for (std::size_t i = 0; i < args.size(); ++i)
    if (args[i] == name) {
      args.erase(args.begin() + long(i));
      return true;
    }
  return false;
}

int main(int argc, char** argv) {
  if (argc >= 2) {
    for (const ToolCommand* c : commands())
      if (std::strcmp(argv[1], c->name) == 0) {
        try {
          return c->run(std::vector<std::string>(argv + 2, argv + argc));
        } catch (const Exception& e) {
          std::fprintf(stderr, "error: %s\n", e.Message.c_str());
          return 1;
        }
      }
  }
  std::fprintf(stderr, "usage: vidtool COMMAND ARGS\n");
  for (const ToolCommand* c : commands()) std::fprintf(stderr, "  vidtool %s %s\n", c->name, c->usage);
  return 2;
}
