// mendora-cli: the command-line twin of the desktop program. It runs the same recovery run and
// prints the same rows in the same order, writes one message as a preview would, or saves the
// recovered messages with the same writers as the desktop program's save.
#include "catalogue/Catalogue.h"
#include "catalogue/SaveWriters.h"
#include "cli/JsonWriter.h"
#include "dbx/DbxRecovery.h"
#include "dbx/RecoveryWorker.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <clocale>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <mutex>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#ifndef MENDORA_VERSION
#define MENDORA_VERSION "0.0.0"
#endif

namespace mendora::cli {
namespace {

constexpr const char* kUsage =
    "Usage:\n"
    "  mendora-cli scan MAILBOX [--json]\n"
    "  mendora-cli extract MAILBOX OFFSET [-o FILE]\n"
    "  mendora-cli save MAILBOX --format eml|dbx\n"
    "                  [--scope all|all-but-deleted|all-but-existing] --out DIR\n"
    "  mendora-cli --help | --version\n"
    "\n"
    "scan     recovers the messages of MAILBOX (.dbx): those its index lists and the\n"
    "         deleted or orphaned ones still in the file, and prints one row each,\n"
    "         newest first; --json prints one JSON document instead of a table.\n"
    "extract  writes the message whose first data block is at OFFSET (decimal, as in\n"
    "         the scan's offset column) to FILE, or to standard output.\n"
    "save     recovers the messages of MAILBOX as scan does and saves those of the\n"
    "         scope (default all) into DIR: one .eml file per message, or one new .dbx\n"
    "         mailbox. DIR is created when missing; no existing file is replaced.\n"
    "         MAILBOX may be a folder: each .dbx in it is saved into its own\n"
    "         subfolder of DIR, named after the mailbox.\n"
    "\n"
    "The mailbox is only ever read. Exit status: 0 done, 1 nothing could be read or\n"
    "written, 2 usage error.\n";

int Usage()
{
    std::cerr << kUsage;
    return 2;
}

std::atomic<CDbxRecovery*> g_engine{nullptr};

extern "C" void OnInterrupt(int)
{
    // Stop the run at its next polling point; what was found is still printed.
    if (CDbxRecovery* e = g_engine.load()) {
        e->RequestAbort();
        e->RequestSaveStop();
    }
}

// Prints the progress bar to standard error when it is a terminal.
// Status texts arrive from the thread that fills the catalogue, everything else from the run's
// worker, so the two share a lock.
class CConsoleObserver : public IRecoveryObserver {
public:
    explicit CConsoleObserver(bool bar) : m_bar(bar) {}
    std::string finalStatus; // read once the run and the catalogue are done
    bool openFailed = false;

    void OnStatusText(std::string_view text) override
    {
        std::lock_guard lock(m_mutex);
        finalStatus = std::string(text);
        Draw();
    }
    void OnProgressPosition(int position) override
    {
        std::lock_guard lock(m_mutex);
        m_position = position;
        Draw();
    }
    void OnMessageBox(std::string_view text, std::string_view, unsigned) override
    {
        std::lock_guard lock(m_mutex);
        openFailed = true;
        EndBar();
        std::cerr << text << "\n";
    }
    void OnRunFinished() override
    {
        std::lock_guard lock(m_mutex);
        EndBar();
    }

private:
    void Draw()
    {
        if (!m_bar)
            return;
        constexpr int kWidth = 30;
        const int filled = m_position * kWidth / 100;
        std::string line = "\r[" + std::string(static_cast<std::size_t>(filled), '#') +
                           std::string(static_cast<std::size_t>(kWidth - filled), ' ') + "] ";
        char pct[8];
        std::snprintf(pct, sizeof pct, "%3d%% ", m_position);
        line += pct + FitColumn(finalStatus, 62);
        std::fputs(line.c_str(), stderr);
        m_drawn = true;
    }
    void EndBar()
    {
        if (m_drawn)
            std::fputs("\n", stderr);
        m_drawn = false;
    }

    std::mutex m_mutex;
    bool m_bar;
    bool m_drawn = false;
    int m_position = 0;
};

std::string IsoUtc(std::int64_t t)
{
    const auto tt = static_cast<std::time_t>(t);
    std::tm tm{};
    if (!::gmtime_r(&tt, &tm))
        return {};
    char buf[32];
    std::strftime(buf, sizeof buf, "%Y-%m-%dT%H:%M:%SZ", &tm);
    return buf;
}

void PrintJson(const std::string& mailbox, const std::string& status, const CCatalogue& catalogue)
{
    std::string out = "{\"mailbox\": " + JsonString(mailbox) + ", \"status\": " +
                      JsonString(status) + ", \"rows\": [";
    bool first = true;
    catalogue.ForEachRow([&](const RecoveredMessage& r) {
        out += first ? "\n  " : ",\n  ";
        first = false;
        out += "{\"offset\": " + std::to_string(r.firstBlock) +
               ", \"status\": " + JsonString(MessageStatusText(r.status)) +
               ", \"from\": " + JsonString(r.from) + ", \"to\": " + JsonString(r.to) +
               ", \"subject\": " + JsonString(r.subject) + ", \"date\": " +
               (r.receivedTime ? JsonString(IsoUtc(*r.receivedTime)) : std::string("null")) +
               ", \"attachment\": " + (r.hasAttachment ? "true" : "false") + "}";
        if (out.size() > 60000) {
            std::fwrite(out.data(), 1, out.size(), stdout);
            out.clear();
        }
    });
    out += first ? "]}\n" : "\n]}\n";
    std::fwrite(out.data(), 1, out.size(), stdout);
}

void PrintTable(const std::string& status, const CCatalogue& catalogue)
{
    std::string out = FitColumn("Offset", 10) + "  " + FitColumn("Status", 8) + "  " +
                      FitColumn("Date", 20) + "  " + FitColumn("From", 28) + "  " +
                      FitColumn("To", 28) + "  @  Subject\n";
    catalogue.ForEachRow([&](const RecoveredMessage& r) {
        out += FitColumn(std::to_string(r.firstBlock), 10) + "  " +
               FitColumn(MessageStatusText(r.status), 8) + "  " + FitColumn(r.date, 20) + "  " +
               FitColumn(r.from, 28) + "  " + FitColumn(r.to, 28) + "  " +
               (r.hasAttachment ? "@" : " ") + "  " + FitColumn(r.subject, 60);
        while (out.back() == ' ')
            out.pop_back();
        out += "\n";
        if (out.size() > 60000) {
            std::fwrite(out.data(), 1, out.size(), stdout);
            out.clear();
        }
    });
    out += catalogue.CounterText() + "\n" + status + "\n";
    std::fwrite(out.data(), 1, out.size(), stdout);
}

// The recovery run of one mailbox into the catalogue, on its worker thread as the desktop
// program runs it.
void RunRecovery(CDbxRecovery& engine, CCatalogue& catalogue, const std::string& mailbox,
                 CConsoleObserver& observer)
{
    CCatalogueSink sink(catalogue);
    CRecoveryWorker worker;
    g_engine.store(&engine);
    std::signal(SIGINT, OnInterrupt);
    worker.Start(engine, mailbox, observer, sink);
    worker.Join();
    std::signal(SIGINT, SIG_DFL);
    g_engine.store(nullptr);
}

int Scan(const std::string& mailbox, bool json)
{
    CDbxRecovery engine;
    CCatalogue catalogue;
    CConsoleObserver observer(::isatty(STDERR_FILENO) == 1);
    int result = 0;
    RunRecovery(engine, catalogue, mailbox, observer);
    if (observer.openFailed)
        return 1;
    if (json)
        PrintJson(mailbox, observer.finalStatus, catalogue);
    else
        PrintTable(observer.finalStatus, catalogue);
    std::fflush(stdout);
    return result;
}

bool ParseOffset(const std::string& text, std::uint32_t& value)
{
    if (text.empty() || text[0] < '0' || text[0] > '9')
        return false;
    const char* end = text.data() + text.size();
    auto [p, ec] = std::from_chars(text.data(), end, value, 10);
    return ec == std::errc() && p == end;
}

int Extract(const std::string& mailbox, std::uint32_t offset, const std::string& outFile)
{
    CDbxRecovery engine;
    if (!engine.OpenSource(mailbox)) {
        std::cerr << texts::kUnableToOpen << "\n";
        return 1;
    }
    const std::string path = outFile.empty() ? engine.TempFolder() + "dd2.eml" : outFile;
    try {
        if (!engine.ExtractMessageTo(path, offset)) {
            std::cerr << "No message at offset " << offset << ".\n";
            return 1;
        }
    } catch (const std::exception& e) {
        std::cerr << e.what() << "\n";
        return 1;
    }
    if (outFile.empty()) {
        std::ifstream in(path, std::ios::binary);
        std::cout << in.rdbuf();
        std::cout.flush();
        if (!std::cout) {
            std::cerr << "write error\n";
            return 1;
        }
    }
    return 0;
}

bool ParseScope(const std::string& text, SaveScope& scope)
{
    if (text == "all")
        scope = SaveScope::SaveAll;
    else if (text == "all-but-deleted")
        scope = SaveScope::SaveAllButDeleted;
    else if (text == "all-but-existing")
        scope = SaveScope::SaveAllButExisting;
    else
        return false;
    return true;
}

// The folder exists afterwards (created when missing), or the reason it does not.
bool EnsureFolder(const std::string& dir, std::string& error)
{
    if (::mkdir(dir.c_str(), 0777) == 0 || errno == EEXIST) {
        struct stat st {};
        if (::stat(dir.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
            return true;
        error = "Cannot write to " + dir + ": " + std::strerror(ENOTDIR);
        return false;
    }
    error = "Cannot write to " + dir + ": " + std::strerror(errno);
    return false;
}

// Recovers one mailbox and saves the rows of the scope into dir. 0, or 1 with the reason on
// standard error.
int SaveMailbox(const std::string& mailbox, SaveFormat format, SaveScope scope,
                const std::string& dir, const std::string& mailboxName)
{
    std::string error;
    if (!EnsureFolder(dir, error)) {
        std::cerr << error << "\n";
        return 1;
    }
    CDbxRecovery engine;
    CCatalogue catalogue;
    CConsoleObserver observer(::isatty(STDERR_FILENO) == 1);
    RunRecovery(engine, catalogue, mailbox, observer);
    if (observer.openFailed)
        return 1;

    // Oldest first, so a saved mailbox keeps the order of the one it came from.
    std::vector<RecoveredMessage> rows = catalogue.Rows();
    std::reverse(rows.begin(), rows.end());
    rows = RowsInScope(rows, scope);

    SaveRequest request;
    request.format = format;
    request.folder = dir;
    request.mailboxName = mailboxName;
    g_engine.store(&engine);
    std::signal(SIGINT, OnInterrupt);
    const SaveResult result = SaveMessages(engine, rows, request);
    std::signal(SIGINT, SIG_DFL);
    g_engine.store(nullptr);

    const SaveProgress& c = result.counts;
    std::string out = "Mailbox         :  " + mailbox + "\n" + std::string(CCatalogue::kCounterPrefix) +
                      std::to_string(c.written) + "\n" +
                      "Existing        :  " + std::to_string(c.existing) + "\n" +
                      "Deleted         :  " + std::to_string(c.deleted) + "\n" +
                      "Skipped         :  " + std::to_string(c.skipped) + "\n" +
                      "Saved to        :  " + result.destination + "\n";
    if (result.mailboxFull)
        out += std::string(savetexts::kMailboxFull) + "\n";
    if (result.stopped)
        out += std::string(savetexts::kStopped) + "\n";
    std::fwrite(out.data(), 1, out.size(), stdout);
    std::fflush(stdout);
    if (!result.Ok()) {
        std::cerr << result.error << "\n";
        return 1;
    }
    return 0;
}

std::string MailboxStem(const std::filesystem::path& path)
{
    std::string stem = path.stem().string();
    return stem.empty() ? std::string("Recovered") : stem;
}

int Save(const std::string& mailbox, SaveFormat format, SaveScope scope, const std::string& dir)
{
    std::error_code ec;
    if (!std::filesystem::is_directory(mailbox, ec))
        return SaveMailbox(mailbox, format, scope, dir, MailboxStem(mailbox));

    // A whole store folder: every .dbx in it into its own subfolder.
    std::vector<std::filesystem::path> boxes;
    for (const auto& entry : std::filesystem::directory_iterator(mailbox, ec)) {
        std::string ext = entry.path().extension().string();
        for (char& ch : ext)
            ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
        std::error_code fileEc;
        if (ext == ".dbx" && entry.is_regular_file(fileEc))
            boxes.push_back(entry.path());
    }
    if (ec) {
        std::cerr << "Cannot read the folder " << mailbox << ": " << ec.message() << "\n";
        return 1;
    }
    std::sort(boxes.begin(), boxes.end());
    if (boxes.empty()) {
        std::cerr << "No .dbx mailbox in " << mailbox << "\n";
        return 1;
    }
    std::string error;
    if (!EnsureFolder(dir, error)) {
        std::cerr << error << "\n";
        return 1;
    }
    int status = 0;
    for (const std::filesystem::path& box : boxes) {
        const std::string name = MailboxStem(box);
        const std::string sub = (std::filesystem::path(dir) / SafeFileName(name, "")).string();
        if (SaveMailbox(box.string(), format, scope, sub, name) != 0)
            status = 1;
    }
    return status;
}

} // namespace

int Main(int argc, char** argv)
{
    std::setlocale(LC_ALL, "");
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h")) {
        std::cout << kUsage;
        return 0;
    }
    if (args.size() == 1 && args[0] == "--version") {
        std::cout << "mendora-cli " << MENDORA_VERSION << "\n";
        return 0;
    }
    if (args.empty())
        return Usage();
    if (args[0] == "scan") {
        std::string mailbox;
        bool json = false;
        for (std::size_t i = 1; i < args.size(); ++i) {
            if (args[i] == "--json")
                json = true;
            else if (mailbox.empty() && !args[i].starts_with("-"))
                mailbox = args[i];
            else
                return Usage();
        }
        if (mailbox.empty())
            return Usage();
        return Scan(mailbox, json);
    }
    if (args[0] == "extract") {
        std::vector<std::string> positional;
        std::string outFile;
        for (std::size_t i = 1; i < args.size(); ++i) {
            if (args[i] == "-o") {
                if (i + 1 >= args.size() || !outFile.empty())
                    return Usage();
                outFile = args[++i];
                if (outFile.empty())
                    return Usage();
            } else {
                positional.push_back(args[i]);
            }
        }
        std::uint32_t offset = 0;
        if (positional.size() != 2 || !ParseOffset(positional[1], offset))
            return Usage();
        return Extract(positional[0], offset, outFile);
    }
    if (args[0] == "save") {
        std::string mailbox, format, scopeText, out;
        for (std::size_t i = 1; i < args.size(); ++i) {
            std::string* option = nullptr;
            if (args[i] == "--format")
                option = &format;
            else if (args[i] == "--scope")
                option = &scopeText;
            else if (args[i] == "--out")
                option = &out;
            if (option) {
                if (i + 1 >= args.size() || !option->empty() || args[i + 1].empty())
                    return Usage();
                *option = args[++i];
            } else if (mailbox.empty() && !args[i].empty() && !args[i].starts_with("-")) {
                mailbox = args[i];
            } else {
                return Usage();
            }
        }
        SaveScope scope = SaveScope::SaveAll;
        if (mailbox.empty() || out.empty() || (format != "eml" && format != "dbx") ||
            (!scopeText.empty() && !ParseScope(scopeText, scope)))
            return Usage();
        return Save(mailbox, format == "eml" ? SaveFormat::SaveAsEml : SaveFormat::SaveAsDbx,
                    scope, out);
    }
    return Usage();
}

} // namespace mendora::cli

int main(int argc, char** argv)
{
    return mendora::cli::Main(argc, argv);
}
