// How a recovery run reports to whoever shows it: status texts, progress positions, message box
// requests and the end of the run go to an observer; every extracted message goes to a sink.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace mendora {

namespace texts {
inline constexpr std::string_view kCaption = "Mendora for Outlook Express";
inline constexpr std::string_view kOpening = "Opening file...";
inline constexpr std::string_view kUnableToOpen = "Unable to open file...";
inline constexpr std::string_view kPhase1 = "Process((1/4)) Finding existing emails ...";
inline constexpr std::string_view kPhase2 = "Process((2/4)) Finding lost emails ...";
inline constexpr std::string_view kPhase3 = "Process((3/4)) Finding lost emails ...";
inline constexpr std::string_view kRecoveryDone =
    "Recovery done, please select emails from list to see preview";
inline constexpr std::string_view kUserAborted = "User aborted process";
inline constexpr std::string_view kRepairingDone = "Repairing  done..";
} // namespace texts

// Message box style words, as the message box takes them.
namespace mbstyle {
inline constexpr unsigned kOk = 0x00000000;
inline constexpr unsigned kYesNo = 0x00000004;
inline constexpr unsigned kIconQuestion = 0x00000020;
inline constexpr unsigned kIconInformation = 0x00000040;
} // namespace mbstyle

class IRecoveryObserver {
public:
    virtual ~IRecoveryObserver() = default;
    // The worker has started, before the stop flag is cleared and the run begins.
    virtual void OnRunStarting() {}
    // The status line's new text. It may come from another thread than the other calls, but
    // always in the run's order and after the rows that come before it.
    virtual void OnStatusText(std::string_view text) = 0;
    // A new progress bar position, 0 to 100; sent only when it changes.
    virtual void OnProgressPosition(int position) = 0;
    // A message box the user must see (the run waits until it is dismissed).
    virtual void OnMessageBox(std::string_view text, std::string_view caption, unsigned style) = 0;
    // The run has returned, normally, stopped or unable to open the file.
    virtual void OnRunFinished() {}
};

// Receives each message the run extracts, in the order extracted.
class IRecoveredMessageSink {
public:
    virtual ~IRecoveredMessageSink() = default;
    // text: the message as extracted; deleted: its deleted flag; firstBlock: its locator.
    virtual void AddRecoveredMessage(std::string text, bool deleted, std::uint32_t firstBlock) = 0;
    // Returns once every message handed over so far has been taken into the catalogue.
    virtual void Flush() {}
    // Runs deliver after every message handed over before it has been taken in, and before any
    // handed over after it. The run sends its status texts this way, so that rows and statuses
    // keep their order without the run waiting for the catalogue; deliver may run on another
    // thread.
    virtual void AfterEarlierMessages(std::function<void()> deliver)
    {
        Flush();
        deliver();
    }
};

} // namespace mendora
