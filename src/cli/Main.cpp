// mendora-cli: the command-line twin of the desktop program. It runs the same recovery run and
// prints the same rows in the same order, or writes one message as a preview would.
#include "catalogue/Catalogue.h"
#include "cli/JsonWriter.h"
#include "dbx/DbxRecovery.h"
#include "dbx/RecoveryWorker.h"

#include <atomic>
#include <cerrno>
#include <charconv>
#include <clocale>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fstream>
#include <iostream>
#include <string>
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
    "  mendora-cli --help | --version\n"
    "\n"
    "scan     recovers the messages of MAILBOX (.dbx): those its index lists and the\n"
    "         deleted or orphaned ones still in the file, and prints one row each,\n"
    "         newest first; --json prints one JSON document instead of a table.\n"
    "extract  writes the message whose first data block is at OFFSET (decimal, as in\n"
    "         the scan's offset column) to FILE, or to standard output.\n"
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
    if (CDbxRecovery* e = g_engine.load())
        e->RequestAbort();
}

// Prints the progress bar to standard error when it is a terminal.
class CConsoleObserver : public IRecoveryObserver {
public:
    explicit CConsoleObserver(bool bar) : m_bar(bar) {}
    std::string finalStatus;
    bool openFailed = false;

    void OnStatusText(std::string_view text) override
    {
        finalStatus = std::string(text);
        Draw();
    }
    void OnProgressPosition(int position) override
    {
        m_position = position;
        Draw();
    }
    void OnMessageBox(std::string_view text, std::string_view, unsigned) override
    {
        openFailed = true;
        EndBar();
        std::cerr << text << "\n";
    }
    void OnRunFinished() override { EndBar(); }

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

int Scan(const std::string& mailbox, bool json)
{
    CDbxRecovery engine;
    CCatalogue catalogue;
    CConsoleObserver observer(::isatty(STDERR_FILENO) == 1);
    int result = 0;
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
    return Usage();
}

} // namespace mendora::cli

int main(int argc, char** argv)
{
    return mendora::cli::Main(argc, argv);
}
