// Scratch files for the framework tests: one folder under the system's temp
// folder, and names prefixed with the running test's name so that test cases
// run in parallel never share a file.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "SysUtils.h"

// The CP936 path of a scratch file; `name` is CP936 too (a narrow literal).
inline AnsiString TestPath(const AnsiString& name) {
  namespace fs = std::filesystem;
  fs::path dir = fs::temp_directory_path() / "vidorra-fw-tests";
  fs::create_directories(dir);
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  std::string prefix = std::string(info->test_suite_name()) + "." + info->name() + "-";
  std::string d = dir.u8string();
  return Utf8ToCp936(d + "/" + prefix) + name;
}
