// The file operations of the recording list: save a copy, move, rename,
// delete the selected recording and delete every recording of the working
// folder, each carrying the sound side files of an .lx recording along. The
// rules live here; the files, the recycle bin and the user's answers are
// reached through FileOpsHost, which the main window implements over Win32
// and its dialogs and tests over a folder of their own. What the main window
// does afterwards (refreshing the list, clearing the preview) is its own.
// Portable: never includes <windows.h>.
#pragma once

#include "Classes.h"
#include "System.h"

class FileOpsHost {
public:
  virtual ~FileOpsHost() = default;
  virtual bool fileExists(const AnsiString& path) = 0;
  // False when the copy failed; without overwrite an existing target fails it.
  virtual bool copyFile(const AnsiString& from, const AnsiString& to, bool overwrite) = 0;
  virtual bool deleteFile(const AnsiString& path) = 0;
  virtual bool renameFile(const AnsiString& from, const AnsiString& to) = 0;
  // Moves the files to the recycle bin in one operation; nothing for none.
  virtual void recycle(const TStringList& names) = 0;
  // The save dialog for a copy or a move target, its file name empty; false
  // when cancelled.
  virtual bool chooseTarget(const AnsiString& defaultExt, const AnsiString& filter, AnsiString& path) = 0;
  // A one-line question with the proposed text; false when cancelled.
  virtual bool inputQuery(const AnsiString& caption, const AnsiString& prompt, AnsiString& value) = 0;
  // An OK/Cancel question titled "Vidorra"; true for OK.
  virtual bool askOkCancel(const AnsiString& text) = 0;
  virtual void showMessage(const AnsiString& text) = 0;
};

enum class FileOpResult {
  Cancelled,  // the user said no before anything changed
  Failed,     // the recording itself could not be copied or renamed (said so)
  Done,
};

// The side files the delete operations look for: the path cut at the last
// dot of its file name (a name without a dot is taken whole), then "1.wav",
// "2.wav" and "3.wav"; only those that exist.
TStringList existingSideFiles(const AnsiString& path, FileOpsHost& host);

// Save a copy of current under a name the user chooses; current stays the
// selection.
FileOpResult saveRecordingCopy(const AnsiString& current, FileOpsHost& host);
// Move current to a path the user chooses; on Done the selection is gone.
FileOpResult moveRecording(const AnsiString& current, FileOpsHost& host);
// Rename current in its folder, keeping its extension; on Done renamedTo
// holds the new path.
FileOpResult renameRecording(const AnsiString& current, FileOpsHost& host, AnsiString& renamedTo);
// After OK, current and its existing side files go to the recycle bin.
FileOpResult deleteRecording(const AnsiString& current, FileOpsHost& host);
// After OK, every listed recording (folder + item) and its existing side
// files go to the recycle bin in one operation.
FileOpResult deleteAllRecordings(const AnsiString& folder, const TStringList& items, FileOpsHost& host);

// Whether the shell should open current (double click, "播放"): an .avi,
// .exe or .wmv, whatever the case of its extension.
bool opensInShell(const AnsiString& current);
