// The file operations of the recording list; see the header.
#include "RecordingFileOps.h"

#include "LxFile.h"
#include "SysUtils.h"

namespace {

bool isLx(const AnsiString& path) { return ExtractFileExt(path).LowerCase() == ".lx"; }

// The save dialog for a copy or move target: the source's own extension as
// default and as the one pattern offered ("*.lx|*.lx").
bool chooseTargetFor(const AnsiString& current, FileOpsHost& host, AnsiString& target) {
  const AnsiString ext = ExtractFileExt(current);
  target = AnsiString();
  return host.chooseTarget(ext, "*" + ext + "|" + "*" + ext, target);
}

// When both the source's and the target's side file of a kind exist, the
// user decides whether the target's goes (OK deletes it). A target side file
// that stays makes the copy or rename of that kind fail, and so keeps it.
void askAboutTargetSideFile(const AnsiString& source, const AnsiString& target, FileOpsHost& host) {
  if (host.fileExists(source) && host.fileExists(target) &&
      host.askOkCancel(target + " 文件已经存在,是否覆盖?"))
    host.deleteFile(target);
}

// Copies (and for a move, then deletes) the main file, then the side files
// of an .lx recording. Side-file failures are silent: each kind on its own.
FileOpResult copyRecording(const AnsiString& current, FileOpsHost& host, bool move) {
  AnsiString target;
  if (!chooseTargetFor(current, host, target)) return FileOpResult::Cancelled;
  if (!host.copyFile(current, target, true)) {
    host.showMessage(move ? "转移失败" : "另存失败");
    return FileOpResult::Failed;
  }
  if (move) host.deleteFile(current);
  if (isLx(current)) {
    for (int kind = 1; kind <= 3; ++kind) {
      const AnsiString from = lxSoundSideFileName(current, kind), to = lxSoundSideFileName(target, kind);
      askAboutTargetSideFile(from, to, host);
      if (host.copyFile(from, to, false) && move) host.deleteFile(from);
    }
  }
  host.showMessage(move ? "转移成功" : "另存成功");
  return FileOpResult::Done;
}

}  // namespace

TStringList existingSideFiles(const AnsiString& path, FileOpsHost& host) {
  TStringList found;
  const AnsiString base = ChangeFileExt(path, AnsiString());
  for (int kind = 1; kind <= 3; ++kind) {
    const AnsiString side = base + IntToStr(kind) + ".wav";
    if (host.fileExists(side)) found.Add(side);
  }
  return found;
}

FileOpResult saveRecordingCopy(const AnsiString& current, FileOpsHost& host) {
  return copyRecording(current, host, false);
}

FileOpResult moveRecording(const AnsiString& current, FileOpsHost& host) {
  return copyRecording(current, host, true);
}

FileOpResult renameRecording(const AnsiString& current, FileOpsHost& host, AnsiString& renamedTo) {
  const AnsiString name = ExtractFileName(current);
  const int dot = name.Pos(".");
  AnsiString entered = dot ? name.SubString(1, dot - 1) : name;
  if (!host.inputQuery("请输入", "请输入新文件名", entered)) return FileOpResult::Cancelled;

  AnsiString folder = ExtractFilePath(current);
  if (!folder.IsEmpty() && (folder[folder.Length()] == '\\' || folder[folder.Length()] == '/'))
    folder = folder.SubString(1, folder.Length() - 1);
  const AnsiString target = folder + "\\" + entered + ExtractFileExt(current);
  if (host.fileExists(target)) {
    host.showMessage(target + " 文件已经存在,重命名失败");
    return FileOpResult::Failed;
  }
  if (!host.renameFile(current, target)) {
    host.showMessage("重命名失败");
    return FileOpResult::Failed;
  }
  if (isLx(current)) {
    for (int kind = 1; kind <= 3; ++kind) {
      const AnsiString from = lxSoundSideFileName(current, kind), to = lxSoundSideFileName(target, kind);
      askAboutTargetSideFile(from, to, host);
      if (host.fileExists(from) && !host.fileExists(to)) host.renameFile(from, to);
    }
  }
  renamedTo = target;
  return FileOpResult::Done;
}

FileOpResult deleteRecording(const AnsiString& current, FileOpsHost& host) {
  if (!host.askOkCancel("确认要删除选中的录像及相关文件吗?")) return FileOpResult::Cancelled;
  TStringList names;
  names.Add(current);
  const TStringList sides = existingSideFiles(current, host);
  for (int i = 0; i < sides.Count(); ++i) names.Add(sides[i]);
  host.recycle(names);
  return FileOpResult::Done;
}

FileOpResult deleteAllRecordings(const AnsiString& folder, const TStringList& items, FileOpsHost& host) {
  if (!host.askOkCancel("确认要删除临时文件夹中的所有录像相关文件吗?")) return FileOpResult::Cancelled;
  TStringList names;
  for (int i = 0; i < items.Count(); ++i) {
    const AnsiString path = folder + items[i];
    names.Add(path);
    const TStringList sides = existingSideFiles(path, host);
    for (int k = 0; k < sides.Count(); ++k) names.Add(sides[k]);
  }
  host.recycle(names);
  return FileOpResult::Done;
}

bool opensInShell(const AnsiString& current) {
  const AnsiString ext = ExtractFileExt(current).LowerCase();
  return !current.IsEmpty() && (ext == ".avi" || ext == ".exe" || ext == ".wmv");
}
