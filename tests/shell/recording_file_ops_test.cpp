// The recording list's file operations over a folder kept in memory that
// behaves as Windows does (names compare without case, a copy without
// overwrite and a rename never replace a file, drive Z: refuses writes):
// one table of cases, each with the files before, the user's answers, every
// dialog, question and message in order, the files after and what went to
// the recycle bin.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "RecordingFileOps.h"
#include "SysUtils.h"

namespace {

std::string lower(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return s;
}

using Files = std::map<std::string, std::string>;  // lower-case path -> contents

class MemoryFolder : public FileOpsHost {
public:
  Files files;
  std::vector<std::string> log;  // dialogs, questions ("? "), messages, in order
  std::vector<std::string> recycled;
  const char* target = nullptr;  // the save dialog's answer; null = Cancel
  const char* entered = nullptr;  // the input's answer; null = Cancel
  std::vector<bool> answers;      // OK/Cancel answers, in order

  bool fileExists(const AnsiString& p) override { return files.count(lower(p.str())) != 0; }
  bool copyFile(const AnsiString& from, const AnsiString& to, bool overwrite) override {
    const std::string f = lower(from.str()), t = lower(to.str());
    if (!files.count(f) || f == t || writeRefused(t) || (files.count(t) && !overwrite)) return false;
    files[t] = files[f];
    return true;
  }
  bool deleteFile(const AnsiString& p) override { return files.erase(lower(p.str())) != 0; }
  bool renameFile(const AnsiString& from, const AnsiString& to) override {
    const std::string f = lower(from.str()), t = lower(to.str());
    if (!files.count(f) || files.count(t) || writeRefused(t)) return false;
    files[t] = files[f];
    files.erase(f);
    return true;
  }
  void recycle(const TStringList& names) override {
    for (int i = 0; i < names.Count(); ++i) {
      recycled.push_back(names[i].str());
      files.erase(lower(names[i].str()));
    }
  }
  bool chooseTarget(const AnsiString& ext, const AnsiString& filter, AnsiString& path) override {
    log.push_back("save dialog " + ext.str() + " " + filter.str() + " [" + path.str() + "]");
    if (!target) return false;
    path = target;
    return true;
  }
  bool inputQuery(const AnsiString& caption, const AnsiString& prompt, AnsiString& value) override {
    log.push_back("input " + caption.str() + " " + prompt.str() + " [" + value.str() + "]");
    if (!entered) return false;
    value = entered;
    return true;
  }
  bool askOkCancel(const AnsiString& text) override {
    log.push_back("? " + text.str());
    if (answers.empty()) {
      ADD_FAILURE() << "an unexpected question";
      return false;
    }
    bool a = answers.front();
    answers.erase(answers.begin());
    return a;
  }
  void showMessage(const AnsiString& text) override { log.push_back(text.str()); }

private:
  // Drive Z: is read-only; a colon past the drive is no file name.
  static bool writeRefused(const std::string& path) {
    return path.compare(0, 2, "z:") == 0 || path.find(':', 2) != std::string::npos;
  }
};

enum class Op { SaveCopy, Move, Rename, Delete, DeleteAll };

struct Row {
  const char* name;
  Op op;
  Files before;
  const char* current;
  const char* target;   // save dialog answer (null: Cancel)
  const char* entered;  // rename answer (null: Cancel)
  std::vector<bool> answers;
  FileOpResult result;
  std::vector<std::string> log;
  Files after;
  std::vector<std::string> recycled;
  const char* renamedTo;
  std::vector<std::string> listed = {};  // delete all: the list's items, in its order
};

TEST(RecordingFileOps, TheOperationsOnAFolder) {
  const std::string lxDialog = "save dialog .lx *.lx|*.lx []";
  const Row rows[] = {
      {"save a copy while copy2.wav exists: Cancel keeps it and talk2.wav is not copied",
       Op::SaveCopy,
       {{"c:\\w\\talk.lx", "T"}, {"c:\\w\\talk1.wav", "T1"}, {"c:\\w\\talk2.wav", "T2"}, {"c:\\w\\copy2.wav", "old"}},
       "C:\\w\\talk.lx", "C:\\w\\copy.lx", nullptr, {false}, FileOpResult::Done,
       {lxDialog, "? C:\\w\\copy2.wav 文件已经存在,是否覆盖?", "另存成功"},
       {{"c:\\w\\talk.lx", "T"}, {"c:\\w\\talk1.wav", "T1"}, {"c:\\w\\talk2.wav", "T2"}, {"c:\\w\\copy.lx", "T"},
        {"c:\\w\\copy1.wav", "T1"}, {"c:\\w\\copy2.wav", "old"}},
       {}, nullptr},
      {"save a copy over an old copy: OK replaces its side file, a side file only the target has stays",
       Op::SaveCopy,
       {{"c:\\w\\talk.lx", "T"}, {"c:\\w\\talk3.wav", "T3"}, {"c:\\w\\copy.lx", "old"}, {"c:\\w\\copy3.wav", "old"},
        {"c:\\w\\copy1.wav", "old"}},
       "C:\\w\\talk.lx", "C:\\w\\copy.lx", nullptr, {true}, FileOpResult::Done,
       {lxDialog, "? C:\\w\\copy3.wav 文件已经存在,是否覆盖?", "另存成功"},
       {{"c:\\w\\talk.lx", "T"}, {"c:\\w\\talk3.wav", "T3"}, {"c:\\w\\copy.lx", "T"}, {"c:\\w\\copy3.wav", "T3"},
        {"c:\\w\\copy1.wav", "old"}},
       {}, nullptr},
      {"a capital LX carries its side files too",
       Op::SaveCopy,
       {{"c:\\w\\talk.lx", "T"}, {"c:\\w\\talk1.wav", "T1"}},
       "C:\\w\\TALK.LX", "D:\\b\\x.LX", nullptr, {}, FileOpResult::Done,
       {"save dialog .LX *.LX|*.LX []", "另存成功"},
       {{"c:\\w\\talk.lx", "T"}, {"c:\\w\\talk1.wav", "T1"}, {"d:\\b\\x.lx", "T"}, {"d:\\b\\x1.wav", "T1"}},
       {}, nullptr},
      {"the copy fails: nothing else happens",
       Op::SaveCopy,
       {{"c:\\w\\talk.lx", "T"}, {"c:\\w\\talk1.wav", "T1"}},
       "C:\\w\\talk.lx", "Z:\\talk.lx", nullptr, {}, FileOpResult::Failed,
       {lxDialog, "另存失败"},
       {{"c:\\w\\talk.lx", "T"}, {"c:\\w\\talk1.wav", "T1"}},
       {}, nullptr},
      {"the save dialog cancelled",
       Op::SaveCopy, {{"c:\\w\\a.avi", "A"}}, "C:\\w\\a.avi", nullptr, nullptr, {}, FileOpResult::Cancelled,
       {"save dialog .avi *.avi|*.avi []"}, {{"c:\\w\\a.avi", "A"}}, {}, nullptr},
      {"moving an .avi moves only the .avi",
       Op::Move,
       {{"c:\\w\\a.avi", "A"}, {"c:\\w\\a1.wav", "S"}},
       "C:\\w\\a.avi", "D:\\m\\b.avi", nullptr, {}, FileOpResult::Done,
       {"save dialog .avi *.avi|*.avi []", "转移成功"},
       {{"c:\\w\\a1.wav", "S"}, {"d:\\m\\b.avi", "A"}},
       {}, nullptr},
      {"moving an .lx without side files asks nothing",
       Op::Move,
       {{"c:\\w\\t.lx", "T"}, {"d:\\m\\u2.wav", "other"}},
       "C:\\w\\t.lx", "D:\\m\\u.lx", nullptr, {}, FileOpResult::Done,
       {lxDialog, "转移成功"},
       {{"d:\\m\\u.lx", "T"}, {"d:\\m\\u2.wav", "other"}},
       {}, nullptr},
      {"moving an .lx: a side file whose target is kept stays behind, the others move",
       Op::Move,
       {{"c:\\w\\t.lx", "T"}, {"c:\\w\\t1.wav", "T1"}, {"c:\\w\\t3.wav", "T3"}, {"d:\\m\\u3.wav", "old"}},
       "C:\\w\\t.lx", "D:\\m\\u.lx", nullptr, {false}, FileOpResult::Done,
       {lxDialog, "? D:\\m\\u3.wav 文件已经存在,是否覆盖?", "转移成功"},
       {{"c:\\w\\t3.wav", "T3"}, {"d:\\m\\u.lx", "T"}, {"d:\\m\\u1.wav", "T1"}, {"d:\\m\\u3.wav", "old"}},
       {}, nullptr},
      {"a move that cannot copy deletes nothing",
       Op::Move,
       {{"c:\\w\\t.lx", "T"}, {"c:\\w\\t1.wav", "T1"}},
       "C:\\w\\t.lx", "C:\\W\\T.LX", nullptr, {}, FileOpResult::Failed,
       {lxDialog, "转移失败"},
       {{"c:\\w\\t.lx", "T"}, {"c:\\w\\t1.wav", "T1"}},
       {}, nullptr},
      {"renaming a.b.lx proposes a; c gives c.lx with its side files",
       Op::Rename,
       {{"c:\\w\\a.b.lx", "A"}, {"c:\\w\\a.b1.wav", "A1"}, {"c:\\w\\a.b2.wav", "A2"}},
       "C:\\w\\a.b.lx", nullptr, "c", {}, FileOpResult::Done,
       {"input 请输入 请输入新文件名 [a]"},
       {{"c:\\w\\c.lx", "A"}, {"c:\\w\\c1.wav", "A1"}, {"c:\\w\\c2.wav", "A2"}},
       {}, "C:\\w\\c.lx"},
      {"renaming onto an existing side file: Cancel keeps both",
       Op::Rename,
       {{"c:\\w\\a.lx", "A"}, {"c:\\w\\a1.wav", "A1"}, {"c:\\w\\c1.wav", "old"}},
       "C:\\w\\a.lx", nullptr, "c", {false}, FileOpResult::Done,
       {"input 请输入 请输入新文件名 [a]", "? C:\\w\\c1.wav 文件已经存在,是否覆盖?"},
       {{"c:\\w\\c.lx", "A"}, {"c:\\w\\a1.wav", "A1"}, {"c:\\w\\c1.wav", "old"}},
       {}, "C:\\w\\c.lx"},
      {"renaming onto an existing recording",
       Op::Rename,
       {{"c:\\w\\a.exe", "A"}, {"c:\\w\\c.exe", "C"}},
       "C:\\w\\a.exe", nullptr, "c", {}, FileOpResult::Failed,
       {"input 请输入 请输入新文件名 [a]", "C:\\w\\c.exe 文件已经存在,重命名失败"},
       {{"c:\\w\\a.exe", "A"}, {"c:\\w\\c.exe", "C"}},
       {}, nullptr},
      {"a rename the system refuses",
       Op::Rename, {{"c:\\w\\a.avi", "A"}}, "C:\\w\\a.avi", nullptr, "x:y", {}, FileOpResult::Failed,
       {"input 请输入 请输入新文件名 [a]", "重命名失败"}, {{"c:\\w\\a.avi", "A"}}, {}, nullptr},
      {"renaming cancelled",
       Op::Rename, {{"c:\\w\\a.avi", "A"}}, "C:\\w\\a.avi", nullptr, nullptr, {}, FileOpResult::Cancelled,
       {"input 请输入 请输入新文件名 [a]"}, {{"c:\\w\\a.avi", "A"}}, {}, nullptr},
      {"deleting x.exe recycles x1.wav with it",
       Op::Delete,
       {{"c:\\w\\x.exe", "X"}, {"c:\\w\\x1.wav", "S"}, {"c:\\w\\x.lx", "L"}},
       "C:\\w\\x.exe", nullptr, nullptr, {true}, FileOpResult::Done,
       {"? 确认要删除选中的录像及相关文件吗?"},
       {{"c:\\w\\x.lx", "L"}},
       {"C:\\w\\x.exe", "C:\\w\\x1.wav"}, nullptr},
      {"deleting an .lx recycles its three side files",
       Op::Delete,
       {{"c:\\w\\rec.lx", "R"}, {"c:\\w\\rec1.wav", "1"}, {"c:\\w\\rec2.wav", "2"}, {"c:\\w\\rec3.wav", "3"}},
       "C:\\w\\rec.lx", nullptr, nullptr, {true}, FileOpResult::Done,
       {"? 确认要删除选中的录像及相关文件吗?"},
       {},
       {"C:\\w\\rec.lx", "C:\\w\\rec1.wav", "C:\\w\\rec2.wav", "C:\\w\\rec3.wav"}, nullptr},
      {"a name without a dot (the list's *wmw) keeps its folder's dot out of the side files",
       Op::Delete,
       {{"c:\\a.b\\recwmw", "R"}, {"c:\\a.b\\recwmw1.wav", "1"}, {"c:\\a1.wav", "keep"}},
       "C:\\a.b\\recwmw", nullptr, nullptr, {true}, FileOpResult::Done,
       {"? 确认要删除选中的录像及相关文件吗?"},
       {{"c:\\a1.wav", "keep"}},
       {"C:\\a.b\\recwmw", "C:\\a.b\\recwmw1.wav"}, nullptr},
      {"deleting cancelled",
       Op::Delete, {{"c:\\w\\x.exe", "X"}}, "C:\\w\\x.exe", nullptr, nullptr, {false}, FileOpResult::Cancelled,
       {"? 确认要删除选中的录像及相关文件吗?"}, {{"c:\\w\\x.exe", "X"}}, {}, nullptr},
      {"delete all on an empty folder",
       Op::DeleteAll, {}, "", nullptr, nullptr, {true}, FileOpResult::Done,
       {"? 确认要删除临时文件夹中的所有录像相关文件吗?"}, {}, {}, nullptr},
      {"delete all recycles every listed recording and its side files in list order",
       Op::DeleteAll,
       {{"c:\\w\\a.lx", "A"}, {"c:\\w\\a1.wav", "1"}, {"c:\\w\\b.avi", "B"}, {"c:\\w\\b3.wav", "3"},
        {"c:\\w\\notes.txt", "N"}},
       "", nullptr, nullptr, {true}, FileOpResult::Done,
       {"? 确认要删除临时文件夹中的所有录像相关文件吗?"},
       {{"c:\\w\\notes.txt", "N"}},
       {"C:\\w\\a.lx", "C:\\w\\a1.wav", "C:\\w\\b.avi", "C:\\w\\b3.wav"}, nullptr, {"a.lx", "b.avi"}},
      {"delete all cancelled",
       Op::DeleteAll, {{"c:\\w\\a.lx", "A"}}, "", nullptr, nullptr, {false}, FileOpResult::Cancelled,
       {"? 确认要删除临时文件夹中的所有录像相关文件吗?"}, {{"c:\\w\\a.lx", "A"}}, {}, nullptr, {"a.lx"}},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    MemoryFolder folder;
    folder.files = r.before;
    folder.target = r.target;
    folder.entered = r.entered;
    folder.answers = r.answers;
    AnsiString renamedTo;
    FileOpResult result = FileOpResult::Cancelled;
    switch (r.op) {
      case Op::SaveCopy: result = saveRecordingCopy(r.current, folder); break;
      case Op::Move: result = moveRecording(r.current, folder); break;
      case Op::Rename: result = renameRecording(r.current, folder, renamedTo); break;
      case Op::Delete: result = deleteRecording(r.current, folder); break;
      case Op::DeleteAll: {
        TStringList items;
        for (const std::string& item : r.listed) items.Add(item);
        result = deleteAllRecordings("C:\\w\\", items, folder);
        break;
      }
    }
    EXPECT_EQ(result, r.result);
    EXPECT_EQ(folder.log, r.log);
    EXPECT_EQ(folder.files, r.after);
    EXPECT_EQ(folder.recycled, r.recycled);
    EXPECT_EQ(renamedTo.str(), r.renamedTo ? r.renamedTo : "");
    EXPECT_TRUE(folder.answers.empty()) << "a question was not asked";
  }
}

TEST(RecordingFileOps, OnlyAviExeAndWmvOpenInTheShell) {
  const struct {
    const char* path;
    bool opens;
  } rows[] = {{"C:\\w\\a.avi", true}, {"C:\\w\\a.EXE", true}, {"C:\\w\\a.Wmv", true}, {"C:\\w\\a.lx", false},
              {"C:\\w\\a.exw", false}, {"C:\\w\\a.avw", false}, {"C:\\w\\awmw", false}, {"", false}};
  for (const auto& r : rows) EXPECT_EQ(opensInShell(r.path), r.opens) << r.path;
}

}  // namespace
