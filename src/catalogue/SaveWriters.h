// Saving recovered messages: each row's message is copied out of the mailbox again by its
// locator and written into a folder the user chose, either as one .eml file per message or into
// one new .dbx mailbox.
//
// Nothing outside the chosen folder is written and no existing file is replaced: every file is
// created under a new name (a numbered " (2)", " (3)"... on a clash) without following a link
// at that name. The save runs on whatever thread calls it and reports through ISaveObserver; it
// polls the engine's save stop flag before each message.
#pragma once

#include "catalogue/RecoveredMessage.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace mendora {

class CDbxRecovery;

enum class SaveFormat { SaveAsDbx, SaveAsEml };

enum class SaveScope { SaveSelected, SaveAll, SaveAllButDeleted, SaveAllButExisting };

// Where a save stands, sent after every message.
struct SaveProgress {
    std::size_t total = 0;    // messages the save is to write
    std::size_t done = 0;     // messages dealt with so far, written or skipped
    std::size_t written = 0;  // messages written (the "Emails" counter)
    std::size_t existing = 0; // of them, rows listed as "Existing"
    std::size_t deleted = 0;  // of them, rows listed as "Deleted"
    std::size_t skipped = 0;  // rows whose message could not be copied out again
    int position = 0;         // 0..100
};

struct SaveResult {
    SaveProgress counts;
    bool stopped = false;     // the stop flag ended the save early
    bool mailboxFull = false; // some messages did not fit the .dbx format's 4 GiB and were skipped
    std::string error;        // why the save could not go on; empty when it did not fail
    std::string destination;  // the folder, or the .dbx file written
    std::vector<std::string> files; // names of the files written, inside the folder

    bool Ok() const { return error.empty(); }
};

class ISaveObserver {
public:
    virtual ~ISaveObserver() = default;
    virtual void OnSaveStarted(std::size_t /*total*/, std::string_view /*destination*/) {}
    // The subject of the message being written (the progress item).
    virtual void OnSaveItem(std::string_view /*subject*/) {}
    virtual void OnSaveStatus(std::string_view /*text*/) {}
    virtual void OnSaveProgress(const SaveProgress& /*progress*/) {}
    virtual void OnSaveFinished(const SaveResult& /*result*/) {}
};

namespace savetexts {
inline constexpr std::string_view kSaving = "Saving emails ...";
inline constexpr std::string_view kSaved = "Saving done..";
inline constexpr std::string_view kStopped = "User stopped saving";
inline constexpr std::string_view kNothingSelected = "No email is selected";
inline constexpr std::string_view kFailed = "Saving failed";
inline constexpr std::string_view kMailboxFull =
    "The mailbox reached the 4 GiB limit of its format: the rest was skipped";
} // namespace savetexts

// The rows a scope takes, in the given order. For SaveSelected: the rows whose check box is set
// (checked[i]); when none is, the highlighted rows. Flags beyond the end of a list count as off.
std::vector<RecoveredMessage> RowsInScope(const std::vector<RecoveredMessage>& rows,
                                          SaveScope scope,
                                          const std::vector<bool>& checked = {},
                                          const std::vector<bool>& highlighted = {});

struct SaveRequest {
    SaveFormat format = SaveFormat::SaveAsEml;
    std::string folder;                  // must exist
    std::string mailboxName = "Recovered"; // the .dbx file's name (without extension) and folder name
};

// Saves the rows' messages (all of them: apply RowsInScope first). Always returns a result;
// result.error tells when the folder could not be written or a write failed.
SaveResult SaveMessages(const CDbxRecovery& engine, const std::vector<RecoveredMessage>& rows,
                        const SaveRequest& request, ISaveObserver* observer = nullptr);

// A file name that every desktop file system takes, at most maxBytes bytes of UTF-8 including
// the extension (which must be safe itself, such as ".eml"): no path separators, reserved
// characters, control bytes or malformed UTF-8, no reserved device name, no leading or trailing
// dot or space. number > 1 adds " (number)" before the extension. An empty stem becomes
// "message".
std::string SafeFileName(std::string_view stem, std::string_view extension,
                         unsigned number = 1, std::size_t maxBytes = 150);

// The stem of a saved message's file name: date (UTC), sender and subject.
std::string MessageFileStem(const RecoveredMessage& row);

// The first mailbox of an address list such as "Anna Berg <anna@example.net>, ben@example.org":
// its display name (unquoted) and its address.
struct MailAddress {
    std::string name;
    std::string address;
};
MailAddress FirstAddress(std::string_view list);

} // namespace mendora
