// Memory and file streams, string lists and pointer lists.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <string>

#include "Classes.h"
#include "SysUtils.h"
#include "TestFiles.h"

namespace {

std::string bytesOf(TMemoryStream& m) { return std::string(m.Bytes().begin(), m.Bytes().end()); }

// Reads a file with the C++ library, not with the stream under test.
std::string readWhole(const AnsiString& path) {
  std::ifstream in(std::filesystem::u8path(Cp936ToUtf8(path)), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST(MemoryStream, SeeksReadsAndWritesLikeAFile) {
  TMemoryStream m;
  m.WriteBuffer("hello", 5);
  EXPECT_EQ(m.Size(), 5);
  EXPECT_EQ(m.Seek(-2, soFromEnd), 3);
  m.WriteBuffer("LOWORLD", 7);  // overwrites the tail and grows
  EXPECT_EQ(bytesOf(m), "helLOWORLD");
  EXPECT_EQ(m.Seek(2, soFromBeginning), 2);
  EXPECT_EQ(m.Seek(3, soFromCurrent), 5);
  char buf[16] = {};
  EXPECT_EQ(m.Read(buf, 16), 5);  // short at the end, no error
  EXPECT_STREQ(buf, "WORLD");
  EXPECT_EQ(m.Read(buf, 4), 0);
  EXPECT_THROW(m.ReadBuffer(buf, 1), EReadError);

  m.Seek(12, soFromBeginning);  // a gap past the end reads as zeros
  m.WriteBuffer("!", 1);
  EXPECT_EQ(bytesOf(m), std::string("helLOWORLD\0\0!", 13));
  EXPECT_THROW(m.Seek(-1, soFromBeginning), EStreamError);
  m.SetSize(3);
  EXPECT_EQ(m.Position(), 3);
  EXPECT_EQ(bytesOf(m), "hel");
}

TEST(MemoryStream, CopyFromTakesCountOrTheWholeSource) {
  TMemoryStream src, dst;
  src.WriteBuffer("0123456789", 10);
  src.SetPosition(4);
  EXPECT_EQ(dst.CopyFrom(src, 3), 3);
  EXPECT_EQ(bytesOf(dst), "456");
  src.SetPosition(8);
  EXPECT_EQ(dst.CopyFrom(src, 0), 10);  // 0: everything from the start
  EXPECT_EQ(bytesOf(dst), "4560123456789");
  src.SetPosition(8);
  EXPECT_THROW(dst.CopyFrom(src, 5), EReadError);
}

TEST(FileStream, ModesCreateTruncateAndUpdateInPlace) {
  AnsiString path = TestPath("录像1.lx");
  {
    TFileStream f(path, fmCreate);
    f.WriteBuffer("abcdefgh", 8);
  }
  EXPECT_TRUE(FileExists(path));
  EXPECT_EQ(FileSizeOf(path), 8);
  {
    TFileStream f(path, fmOpenReadWrite);
    EXPECT_EQ(f.Size(), 8);
    f.Seek(-3, soFromEnd);
    f.WriteBuffer("XY", 2);
  }
  EXPECT_EQ(readWhole(path), "abcdeXYh");
  {
    TFileStream f(path, fmOpenRead | fmShareDenyNone);
    char buf[4] = {};
    f.Seek(2, soFromBeginning);
    EXPECT_EQ(f.Read(buf, 3), 3);
    EXPECT_EQ(std::string(buf, 3), "cde");
    EXPECT_EQ(f.Position(), 5);
    EXPECT_EQ(f.Read(buf, 4), 3);  // short at the end
  }
  {
    TFileStream f(path, fmCreate);  // truncates
    EXPECT_EQ(f.Size(), 0);
  }
  EXPECT_EQ(FileSizeOf(path), 0);
  EXPECT_TRUE(DeleteFile(path));
  EXPECT_FALSE(FileExists(path));
  EXPECT_EQ(FileSizeOf(path), -1);
  EXPECT_THROW(TFileStream(path, fmOpenRead), EFOpenError);
  EXPECT_THROW(TFileStream(TestPath("no-such-dir/x.lx"), fmCreate), EFOpenError);
}

TEST(FileStream, SetSizeAndRename) {
  AnsiString a = TestPath("a.dat"), b = TestPath("乗b.dat");
  {
    TFileStream f(a, fmCreate);
    f.WriteBuffer("0123456789", 10);
    f.SetSize(4);
    EXPECT_EQ(f.Size(), 4);
    EXPECT_EQ(f.Position(), 4);
  }
  DeleteFile(b);
  ASSERT_TRUE(RenameFile(a, b));
  EXPECT_FALSE(FileExists(a));
  EXPECT_EQ(readWhole(b), "0123");
  // An existing target is not replaced.
  TMemoryStream m;
  m.WriteBuffer("zz", 2);
  m.SaveToFile(a);
  EXPECT_FALSE(RenameFile(a, b));
  EXPECT_EQ(readWhole(b), "0123");
  DeleteFile(a);
  DeleteFile(b);
}

TEST(StringList, TextJoinsWithCrLfAndSplitsOnAnyLineEnd) {
  TStringList l;
  l.SetText("a\r\nb\nc\rd\r\n\r\ne");
  ASSERT_EQ(l.Count(), 6);
  const char* want[] = {"a", "b", "c", "d", "", "e"};
  for (int i = 0; i < 6; ++i) EXPECT_EQ(l[i].str(), want[i]);
  EXPECT_EQ(l.Text().str(), "a\r\nb\r\nc\r\nd\r\n\r\ne\r\n");
  l.SetText("x\r\n");
  EXPECT_EQ(l.Count(), 1);  // a final line end adds no empty line
  l.SetText("");
  EXPECT_EQ(l.Count(), 0);
}

TEST(StringList, IndexesAreChecked) {
  TStringList l;
  EXPECT_EQ(l.Add("one"), 0);
  EXPECT_EQ(l.Add("Two"), 1);
  l.Insert(1, "mid");
  EXPECT_EQ(l.IndexOf("two"), 2);
  EXPECT_EQ(l.IndexOf("none"), -1);
  l.SetString(0, "uno");
  l.Delete(1);
  EXPECT_EQ(l.Text().str(), "uno\r\nTwo\r\n");
  for (int bad : {-1, 2, 100}) {
    EXPECT_THROW(l.Strings(bad), EStringListError) << bad;
    EXPECT_THROW(l.SetString(bad, "x"), EStringListError) << bad;
    EXPECT_THROW(l.Delete(bad), EStringListError) << bad;
  }
  EXPECT_THROW(l.Insert(3, "x"), EStringListError);

  TList p;
  int a = 0, b = 0;
  p.Add(&a);
  p.Add(&b);
  EXPECT_EQ(p.Items(1), &b);
  EXPECT_EQ(p.IndexOf(&b), 1);
  EXPECT_THROW(p.Items(2), ERangeError);
  EXPECT_THROW(p.Delete(-1), ERangeError);
}

TEST(StringList, FilesKeepCp936TextAndLoadFromTheStreamPosition) {
  AnsiString path = TestPath("set.dat");
  TStringList l;
  l.Add("1");
  l.Add("宋体");
  l.Add("C:\\录像\\");
  l.SaveToFile(path);
  EXPECT_EQ(readWhole(path), "1\r\n\xCB\xCE\xCC\xE5\r\nC:\\\xC2\xBC\xCF\xF1\\\r\n");
  TStringList back;
  back.LoadFromFile(path);
  EXPECT_EQ(back.Text(), l.Text());
  l.SetString(0, "0");
  l.SaveToFile(path);  // replaces the old file whole
  back.LoadFromFile(path);
  EXPECT_EQ(back[0].str(), "0");
  EXPECT_FALSE(FileExists(path + ".~tmp"));
  DeleteFile(path);

  TMemoryStream m;
  m.WriteBuffer("skip" "x\r\ny", 8);
  m.SetPosition(4);
  back.LoadFromStream(m);
  EXPECT_EQ(back.Count(), 2);
  EXPECT_EQ(back[1].str(), "y");
}

}  // namespace
