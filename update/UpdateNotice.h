// The signed update notice: fetching the update page on a worker thread
// (updateinfothread), handing the page to the GUI thread (UpdatePageSlot),
// and the check at close that verifies the notice and, when it holds, asks the
// user whether to open the upgrade page (UserShell). Portable; the question
// box and the shell live behind UserShell.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "SiteRequest.h"
#include "UpdateConfig.h"
#include "WorkerThread.h"

// Why a check ended; only Offer leads to the question.
enum class NoticeVerdict {
  Offer,
  NoPage,           // no page fetched, or an empty one
  TooLong,          // page text of 9990 characters or more
  NoMarkers,        // "[DATA1]" or "[EDATA1]" missing
  BadBlockSize,     // block between them empty, reversed or above 300
  BadLength,        // the recovered value is not 60 bytes long
  BadCheckValue,
  OutOfDateWindow,
  Failed,           // the arithmetic refused (unusable modulus) or threw
};

// The fetched page, handed from the fetch thread to the GUI thread. The
// buffer is complete and immutable once put: the check sees either nothing
// or the whole buffer, never one still being received.
class UpdatePageSlot {
public:
  void put(std::vector<char> buffer);
  // Null until a fetch has put its buffer.
  std::shared_ptr<const std::vector<char>> page() const;

private:
  mutable std::mutex mutex_;
  std::shared_ptr<const std::vector<char>> page_;
};

// The question box and the shell, implemented by the main form's side
// (MessageBox and ShellExecute on Windows) and faked by tests.
class UserShell {
public:
  virtual ~UserShell() = default;
  // An OK/Cancel question owned by the main window; true for OK.
  virtual bool askOkCancel(const std::string& caption, const std::string& text) = 0;
  // Opens a web address with the shell verb "Open".
  virtual void openUrl(const std::string& url) = 0;
};

// The characters '0' to '9' of text, in order.
std::string keepDigits(const std::string& text);
// Decodes count hex characters into count / 2 bytes: byte k from characters
// 2k (high half) and 2k + 1; a character up to '9' stands for its code minus
// 48, any other for its code minus 55 (upper-case digits expected).
void hexToBytes(const char* hex, uint8_t* bytes, std::size_t count);
// CRC-16, polynomial 0x1021, initial 0, most significant bit first, no
// reflection, final XOR 0x2010.
uint16_t noticeCrc16(const uint8_t* data, std::size_t length);

// Verifies the notice in a fetched buffer (the text ends at its first NUL,
// or at size when it has none).
NoticeVerdict verifyUpdatePage(const char* buffer, std::size_t size, const UpdateConfig& config);

// The fetch: one site request for the update page on the second host. On a
// failed socket, name, connect or send it returns that code and puts nothing;
// otherwise it puts the zero-filled buffer with whatever the one receive gave
// (nothing when it failed or timed out) and returns kSiteAnswered.
int fetchUpdatePage(const UpdateConfig& config, SiteTransport& transport, UpdatePageSlot& slot);

// The fetch thread: one fetch, then it ends. Nobody looks at its result.
class updateinfothread {
public:
  static WorkerHandle start(const UpdateConfig& config, std::shared_ptr<SiteTransport> transport,
                            std::shared_ptr<UpdatePageSlot> slot);
};

// The check at close: verify the fetched page; on a valid notice ask the
// user, and on OK open the upgrade page on the second host. Silent in every
// other case; returns the verdict for the caller's curiosity.
NoticeVerdict checkUpdateNotice(const UpdatePageSlot& slot, const UpdateConfig& config,
                                UserShell& shell);
