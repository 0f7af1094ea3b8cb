// Shared pieces of the engine tests: a mailbox written to a scratch file, and an observer and
// sink that record what a run reports.
#pragma once

#include "MailboxBuilder.h"
#include "dbx/DbxRecovery.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <mutex>
#include <string>
#include <unistd.h>
#include <vector>

namespace mendora::test {

// A scratch folder for one test, removed afterwards.
class CScratchDir {
public:
    CScratchDir()
    {
        std::string templ = std::filesystem::temp_directory_path().string() + "/mendora-test-XXXXXX";
        std::vector<char> buf(templ.begin(), templ.end());
        buf.push_back('\0');
        if (::mkdtemp(buf.data()))
            m_path = buf.data();
    }
    ~CScratchDir()
    {
        std::error_code ec;
        std::filesystem::remove_all(m_path, ec);
    }
    std::string File(const std::string& name) const { return m_path + "/" + name; }
    const std::string& Path() const { return m_path; }

private:
    std::string m_path;
};

inline std::string ReadFileBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// A mailbox image saved to a scratch file and opened by an engine.
struct CMailboxOnDisk {
    CScratchDir dir;
    std::string path;
    CDbxRecovery engine;

    explicit CMailboxOnDisk(const CMailboxImage& image, const std::string& name = "mail.dbx")
        : path(dir.File(name))
    {
        image.Save(path);
        engine.OpenSource(path);
    }
    explicit CMailboxOnDisk(const std::vector<std::uint8_t>& bytes)
        : path(dir.File("mail.dbx"))
    {
        CMailboxImage image;
        image.bytes = bytes;
        image.Save(path);
        engine.OpenSource(path);
    }
};

struct RecordedMessage {
    std::string text;
    bool deleted;
    std::uint32_t firstBlock;
};

// Records status texts, progress positions and message boxes as one event list, and lets a
// test act at a chosen event (for instance press Stop). Status texts may come from the thread
// that fills the catalogue while progress comes from the run, so recording takes a lock.
class CRecordingObserver : public IRecoveryObserver {
public:
    std::vector<std::string> events;
    std::vector<std::string> statuses;
    std::vector<int> progress;
    std::function<void(const std::string&)> onEvent;

    void OnStatusText(std::string_view text) override
    {
        std::lock_guard lock(m_mutex);
        statuses.emplace_back(text);
        Event("status:" + std::string(text));
    }
    void OnProgressPosition(int position) override
    {
        std::lock_guard lock(m_mutex);
        progress.push_back(position);
        Event("progress:" + std::to_string(position));
    }
    void OnMessageBox(std::string_view text, std::string_view caption, unsigned style) override
    {
        std::lock_guard lock(m_mutex);
        Event("box:" + std::string(text) + "|" + std::string(caption) + "|" +
              std::to_string(style));
    }

private:
    void Event(const std::string& e)
    {
        events.push_back(e);
        if (onEvent)
            onEvent(e);
    }

    std::recursive_mutex m_mutex;
};

class CRecordingSink : public IRecoveredMessageSink {
public:
    std::vector<RecordedMessage> messages;
    std::function<void(const RecordedMessage&)> onMessage;

    void AddRecoveredMessage(std::string text, bool deleted, std::uint32_t firstBlock) override
    {
        messages.push_back({std::move(text), deleted, firstBlock});
        if (onMessage)
            onMessage(messages.back());
    }
};

} // namespace mendora::test
