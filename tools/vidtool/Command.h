// vidtool's subcommands: each file of the tool registers its commands with a
// static ToolCommand, so a new kind of recording (EXE, for one) is a new file
// and nothing else changes. Portable.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "Host.h"

struct ToolCommand {
  using Run = int (*)(const std::vector<std::string>& args);
  ToolCommand(const char* name, const char* usage, Run run);
  const char* name;
  const char* usage;
  Run run;
};

// Whole-file helpers shared by the commands; false with a message on stderr.
bool readWholeFile(const std::string& path, std::vector<unsigned char>& bytes);
bool writeWholeFile(const std::string& path, const std::vector<unsigned char>& bytes);
// Value of "--name VALUE" in args (removed from them), or fallback.
std::string takeOption(std::vector<std::string>& args, const std::string& name,
                       const std::string& fallback);
bool takeFlag(std::vector<std::string>& args, const std::string& name);

// Messages of the formats library go to stderr.
struct StderrHost : FormatsHost {
  void showMessage(const AnsiString& text) override {
    std::fprintf(stderr, "message: %s\n", text.c_str());
  }
};

// JSON forms of text: a quoted string, and a list line as a number when it is one.
std::string jsonString(const AnsiString& s);
std::string jsonValue(const AnsiString& s);
