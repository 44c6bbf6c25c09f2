// tishin.dat, the dismissed once-only tips: files written here byte by byte
// (the tips' CP936 texts one after the other, nothing between them), read,
// searched and appended to; damaged and foreign files included.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "OnceTips.h"
#include "SysUtils.h"

namespace {

namespace fs = std::filesystem;

// Two tips as the program keeps them: CP936 bytes, spelled out so that the
// fixture does not depend on how the compiler encodes literals.
// "请使用组合键" and "录制视频时请先打开本软件".
const std::string kTipA = "\xc7\xeb\xca\xb9\xd3\xc3\xd7\xe9\xba\xcf\xbc\xfc";
const std::string kTipB =
    "\xc2\xbc\xd6\xc6\xca\xd3\xc6\xb5\xca\xb1\xc7\xeb\xcf\xc8\xb4\xf2\xbf\xaa\xb1\xbe\xc8\xed\xbc\xfe";
// "组合键": the tail of tip A.
const std::string kTipInsideA = "\xd7\xe9\xba\xcf\xbc\xfc";

class TipsDir {
public:
  TipsDir() {
    const auto* t = ::testing::UnitTest::GetInstance()->current_test_info();
    dir_ = fs::temp_directory_path() / "vidorra-tips-tests" / (std::string(t->test_suite_name()) + "." + t->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  ~TipsDir() {
    std::error_code ec;
    fs::remove_all(dir_, ec);
  }
  AnsiString file() const { return Utf8ToCp936((dir_ / "tishin.dat").u8string()); }
  void write(const std::string& bytes) const { std::ofstream(dir_ / "tishin.dat", std::ios::binary) << bytes; }
  std::string read() const {
    std::ifstream in(dir_ / "tishin.dat", std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  std::vector<std::string> entries() const {
    std::vector<std::string> out;
    for (const auto& e : fs::directory_iterator(dir_)) out.push_back(e.path().filename().u8string());
    return out;
  }
  const fs::path& dir() const { return dir_; }

private:
  fs::path dir_;
};

struct FileCase {
  const char* name;
  bool exists;
  std::string bytes;
  bool showA, showB, showInsideA;
};

TEST(DismissedTips, AFileIsReadAsTheTextsOfTheDismissedTips) {
  const FileCase cases[] = {
      {"no file: nothing dismissed", false, "", true, true, true},
      {"empty file", true, "", true, true, true},
      {"one tip; a text inside it counts too", true, kTipA, false, true, false},
      {"two tips back to back", true, kTipB + kTipA, false, false, false},
      {"a longer tip does not count for a shorter dismissed one", true, kTipInsideA, true, true, false},
      // Damaged files: a tip cut short is not dismissed; junk around a whole
      // tip (zero bytes, half a double-byte character) does not hide it.
      {"tip cut short", true, kTipA.substr(0, kTipA.size() - 1), true, true, true},
      {"tip cut inside a character", true, kTipB.substr(0, 7), true, true, true},
      {"junk around a tip", true, std::string("\x00\xff\xc7", 3) + kTipA + std::string("\x00\xb1", 2), false, true,
       false},
  };
  for (const FileCase& c : cases) {
    SCOPED_TRACE(c.name);
    TipsDir dir;
    if (c.exists) dir.write(c.bytes);
    DismissedTips tips;
    tips.loadFromFile(dir.file());
    EXPECT_EQ(tips.shouldShow(kTipA), c.showA);
    EXPECT_EQ(tips.shouldShow(kTipB), c.showB);
    EXPECT_EQ(tips.shouldShow(kTipInsideA), c.showInsideA);
  }
}

TEST(DismissedTips, AFileThatIsNoTipFileDismissesNothing) {
  {
    SCOPED_TRACE("larger than any tip file");
    TipsDir dir;
    std::string big(static_cast<std::size_t>(kDismissedTipsMaxBytes), 'x');
    dir.write(kTipA + big);
    DismissedTips tips;
    tips.loadFromFile(dir.file());
    EXPECT_TRUE(tips.shouldShow(kTipA));
  }
  {
    SCOPED_TRACE("a folder named tishin.dat");
    TipsDir dir;
    fs::create_directory(dir.dir() / "tishin.dat");
    DismissedTips tips;
    tips.loadFromFile(dir.file());
    EXPECT_TRUE(tips.shouldShow(kTipA));
    // It cannot be written either: the dismissal holds for this run only.
    EXPECT_FALSE(tips.dismiss(kTipA, dir.file()));
    EXPECT_FALSE(tips.shouldShow(kTipA));
    EXPECT_TRUE(fs::is_directory(dir.dir() / "tishin.dat"));
  }
}

TEST(DismissedTips, ADismissalIsAppendedAndTheWholeFileSaved) {
  TipsDir dir;
  DismissedTips tips;
  tips.loadFromFile(dir.file());  // no file yet
  ASSERT_TRUE(tips.dismiss(kTipA, dir.file()));
  EXPECT_FALSE(tips.shouldShow(kTipA));
  EXPECT_EQ(dir.read(), kTipA);
  ASSERT_TRUE(tips.dismiss(kTipB, dir.file()));
  EXPECT_EQ(dir.read(), kTipA + kTipB);
  EXPECT_EQ(dir.entries(), std::vector<std::string>{"tishin.dat"});  // nothing half-written left beside it

  // The next run reads both.
  DismissedTips next;
  next.loadFromFile(dir.file());
  EXPECT_FALSE(next.shouldShow(kTipA));
  EXPECT_FALSE(next.shouldShow(kTipB));
}

TEST(DismissedTips, ADismissalAfterADamagedFileKeepsWhatWasThere) {
  TipsDir dir;
  const std::string damaged = std::string("\x00\xc7", 2) + kTipB.substr(0, 9);
  dir.write(damaged);
  DismissedTips tips;
  tips.loadFromFile(dir.file());
  EXPECT_TRUE(tips.shouldShow(kTipB));
  ASSERT_TRUE(tips.dismiss(kTipB, dir.file()));
  EXPECT_EQ(dir.read(), damaged + kTipB);
  EXPECT_FALSE(tips.shouldShow(kTipB));
}

}  // namespace
