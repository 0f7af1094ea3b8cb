// Times a whole recovery run over a mailbox and splits it into its phases.
//
//   mendora-bench-scan MAILBOX [--repeat R] [--no-warm] [--each] [--digest]
//       Runs CDbxRecovery::Run R times (fresh engine each time, messages dropped) and prints the
//       best and the median time of each phase, the byte-scan throughput, the candidate count
//       and the peak resident set size. Unless --no-warm, the file is read once first so that it is in the
//       page cache.
//
//   mendora-bench-scan --linearity [--small N] [--factor F] [--seed S] [--repeat R]
//                      [--generator PATH] [--keep] [--each]
//       Writes two mailboxes of N and F x N messages into a fresh temp folder with
//       mendora-make-mailbox and compares their median chain-rebuild (phase 3) times.
//
// --each prints every run's phase times to standard error. --digest prints a digest of every
// message the run handed over (text, deleted flag, locator, in order), so that two versions of
// the engine can be checked to give the same output; it slows the timed phases.
//
// The phases are told apart by the status texts the run reports: phase 1 from "Process((1/4))"
// to "Process((2/4))", phase 2 from there to "Process((3/4))", phase 3 from there to the
// "Recovery done" text.
#include "dbx/DbxRecovery.h"
#include "dbx/RecoveryObserver.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point from, Clock::time_point to)
{
    return std::chrono::duration<double>(to - from).count();
}

// Remembers when each phase's status text arrived.
class CPhaseClock : public mendora::IRecoveryObserver {
public:
    std::optional<Clock::time_point> phase1, phase2, phase3, done;
    bool sawMessageBox = false;

    void OnStatusText(std::string_view text) override
    {
        const auto now = Clock::now();
        if (text == mendora::texts::kPhase1)
            phase1 = now;
        else if (text == mendora::texts::kPhase2)
            phase2 = now;
        else if (text == mendora::texts::kPhase3)
            phase3 = now;
        else if (text == mendora::texts::kRecoveryDone)
            done = now;
    }
    void OnProgressPosition(int) override {}
    void OnMessageBox(std::string_view, std::string_view, unsigned) override
    {
        sawMessageBox = true;
    }
};

bool g_eachRun = false; // --each: every run's phase times to standard error
bool g_digest = false;  // --digest: a digest of everything the run handed over

// Drops every message, keeping only counts (and, with --digest, an FNV-1a digest of the texts,
// flags and locators in the order received, to compare the output of two engine versions).
class CNullSink : public mendora::IRecoveredMessageSink {
public:
    std::uint64_t messages = 0;
    std::uint64_t deleted = 0;
    std::uint64_t bytes = 0;
    std::uint64_t digest = 0xcbf29ce484222325ull;

    void AddRecoveredMessage(std::string text, bool isDeleted, std::uint32_t firstBlock) override
    {
        ++messages;
        deleted += isDeleted ? 1 : 0;
        bytes += text.size();
        if (g_digest) {
            Mix(text.data(), text.size());
            const unsigned char tail[5] = {
                static_cast<unsigned char>(isDeleted), static_cast<unsigned char>(firstBlock),
                static_cast<unsigned char>(firstBlock >> 8),
                static_cast<unsigned char>(firstBlock >> 16),
                static_cast<unsigned char>(firstBlock >> 24)};
            Mix(tail, sizeof tail);
        }
    }

private:
    void Mix(const void* data, std::size_t n)
    {
        const auto* p = static_cast<const unsigned char*>(data);
        for (std::size_t i = 0; i < n; ++i)
            digest = (digest ^ p[i]) * 0x100000001b3ull;
    }
};

struct RunFigures {
    bool ok = false;
    std::uint64_t fileBytes = 0;
    double phase1 = 0, phase2 = 0, phase3 = 0, total = 0;
    std::uint64_t candidates = 0;
    std::uint64_t messages = 0, deleted = 0, messageBytes = 0, digest = 0;
    std::uint64_t indexedMessages = 0; // messages handed over before phase 2 began
};

// Counts messages per phase: the sink is asked for its count when phase 2 starts.
class CCountingClock : public CPhaseClock {
public:
    const CNullSink* sink = nullptr;
    std::uint64_t atPhase2 = 0;
    void OnStatusText(std::string_view text) override
    {
        if (text == mendora::texts::kPhase2 && sink)
            atPhase2 = sink->messages;
        CPhaseClock::OnStatusText(text);
    }
};

RunFigures RunOnce(const std::string& path)
{
    RunFigures f;
    CNullSink sink;
    CCountingClock clock;
    clock.sink = &sink;
    mendora::CDbxRecovery engine;
    const auto start = Clock::now();
    const bool opened = engine.Run(path, clock, sink);
    const auto end = Clock::now();
    if (!opened || !clock.phase1 || !clock.phase2 || !clock.phase3 || !clock.done)
        return f;
    f.ok = true;
    f.fileBytes = engine.SourceLength();
    f.phase1 = Seconds(*clock.phase1, *clock.phase2);
    f.phase2 = Seconds(*clock.phase2, *clock.phase3);
    f.phase3 = Seconds(*clock.phase3, *clock.done);
    f.total = Seconds(start, end);
    f.candidates = engine.CandidateList().size();
    f.messages = sink.messages;
    f.deleted = sink.deleted;
    f.messageBytes = sink.bytes;
    f.digest = sink.digest;
    f.indexedMessages = clock.atPhase2;
    return f;
}

// Reads the whole file the way the byte scan does (64 KiB windows, pread) and touches nothing:
// the cost of getting the bytes, which the scan cannot go below. Returns seconds.
double ReadOnlyPass(const std::string& path, std::uint64_t& length)
{
    length = 0;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return -1;
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        ::close(fd);
        return -1;
    }
    length = static_cast<std::uint64_t>(st.st_size);
    std::vector<unsigned char> window(mendora::CDbxRecovery::kWindowSize + 12);
    const auto start = Clock::now();
    unsigned sum = 0;
    for (std::uint64_t pos = 0; pos < length; pos += mendora::CDbxRecovery::kWindowStep) {
        const ssize_t got = ::pread(fd, window.data(), window.size(), static_cast<off_t>(pos));
        if (got <= 0)
            break;
        sum += window[0];
    }
    const double s = Seconds(start, Clock::now());
    ::close(fd);
    volatile unsigned sink = sum; // keeps the loop from being dropped
    (void)sink;
    return s;
}

long PeakRssKiB()
{
    struct rusage ru {};
    ::getrusage(RUSAGE_SELF, &ru);
    return ru.ru_maxrss; // KiB on Linux
}

bool ParseUnsigned(std::string_view text, unsigned long long max, unsigned long long& value)
{
    const auto* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, value);
    return ec == std::errc{} && ptr == end && value <= max && value > 0;
}

struct Summary {
    RunFigures best;   // the shortest time of each phase; the counts of the first run
    RunFigures median; // the median time of each phase
};

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    const std::size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

// The runs over one mailbox; the counts and output of every run must agree.
class CRunSeries {
public:
    explicit CRunSeries(std::string path) : m_path(std::move(path)) {}

    bool RunOnceMore()
    {
        const RunFigures f = RunOnce(m_path);
        if (!f.ok) {
            std::fprintf(stderr, "mendora-bench-scan: the run over %s did not complete\n",
                         m_path.c_str());
            return false;
        }
        if (!m_runs.empty() &&
            (f.candidates != m_runs[0].candidates || f.messages != m_runs[0].messages ||
             f.digest != m_runs[0].digest)) {
            std::fprintf(stderr, "mendora-bench-scan: runs over %s disagree\n", m_path.c_str());
            return false;
        }
        m_runs.push_back(f);
        if (g_eachRun)
            std::fprintf(stderr, "run %zu over %s: phase 1 %.4f s, phase 2 %.4f s, phase 3 %.4f s\n",
                         m_runs.size(), m_path.c_str(), f.phase1, f.phase2, f.phase3);
        return true;
    }

    Summary Summarize() const
    {
        Summary s{m_runs.at(0), m_runs.at(0)};
        auto phase = [&](double RunFigures::*field) {
            std::vector<double> v;
            for (const RunFigures& f : m_runs)
                v.push_back(f.*field);
            s.best.*field = *std::min_element(v.begin(), v.end());
            s.median.*field = Median(v);
        };
        phase(&RunFigures::phase1);
        phase(&RunFigures::phase2);
        phase(&RunFigures::phase3);
        phase(&RunFigures::total);
        return s;
    }

private:
    std::string m_path;
    std::vector<RunFigures> m_runs;
};

std::optional<Summary> Repeat(const std::string& path, unsigned repeat)
{
    CRunSeries series(path);
    for (unsigned r = 0; r < repeat; ++r) {
        if (!series.RunOnceMore())
            return std::nullopt;
    }
    return series.Summarize();
}

int Usage()
{
    std::fprintf(stderr,
                 "usage: mendora-bench-scan MAILBOX [--repeat R] [--no-warm] [--each] [--digest]\n"
                 "       mendora-bench-scan --linearity [--small N] [--factor F] [--seed S] "
                 "[--repeat R] [--generator PATH] [--keep] [--each]\n");
    return 2;
}

int ScanMode(const std::string& path, unsigned repeat, bool warm)
{
    std::uint64_t length = 0;
    if (warm && ReadOnlyPass(path, length) < 0) {
        std::fprintf(stderr, "mendora-bench-scan: cannot read %s\n", path.c_str());
        return 1;
    }
    double readOnly = -1;
    if (warm) {
        readOnly = ReadOnlyPass(path, length);
        for (unsigned r = 1; r < repeat; ++r)
            readOnly = std::min(readOnly, ReadOnlyPass(path, length));
    }
    const auto sum = Repeat(path, repeat);
    if (!sum)
        return 1;
    const RunFigures& f = sum->best;
    const RunFigures& m = sum->median;
    const double gb = static_cast<double>(f.fileBytes) / 1e9;
    std::printf("mailbox              %s\n", path.c_str());
    std::printf("size                 %llu bytes (%.1f MB)\n",
                static_cast<unsigned long long>(f.fileBytes), gb * 1000);
    std::printf("messages             %llu from the index, %llu rebuilt from lost chains "
                "(%llu marked deleted), %.1f MB of text\n",
                static_cast<unsigned long long>(f.indexedMessages),
                static_cast<unsigned long long>(f.messages - f.indexedMessages),
                static_cast<unsigned long long>(f.deleted),
                static_cast<double>(f.messageBytes) / 1e6);
    std::printf("candidates           %llu\n", static_cast<unsigned long long>(f.candidates));
    if (g_digest)
        std::printf("output digest        %016llx (timings include the digest)\n",
                    static_cast<unsigned long long>(f.digest));
    std::printf("runs                 %u%s; best (median)\n", repeat,
                warm ? ", file in the page cache" : "");
    std::printf("phase 1 (index)      %.3f s (%.3f)\n", f.phase1, m.phase1);
    std::printf("phase 2 (byte scan)  %.3f s (%.3f) = %.2f GB/s (%.2f)   target >= 1.5 GB/s\n",
                f.phase2, m.phase2, gb / f.phase2, gb / m.phase2);
    if (readOnly > 0)
        std::printf("  pread alone        %.3f s         = %.2f GB/s   (64 KiB windows, no scan)\n",
                    readOnly, gb / readOnly);
    std::printf("phase 3 (rebuild)    %.3f s (%.3f)\n", f.phase3, m.phase3);
    std::printf("run total            %.3f s (%.3f)\n", f.total, m.total);
    std::printf("peak RSS             %.1f MB   (target < 200 MB)\n",
                static_cast<double>(PeakRssKiB()) / 1024.0);
    return 0;
}

std::string SelfDirectory()
{
    std::error_code ec;
    const auto self = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::string(".") : self.parent_path().string();
}

// Runs the generator and waits for it. True when it exited with 0.
bool Generate(const std::string& generator, const std::string& out, unsigned messages,
              unsigned seed)
{
    const std::string n = std::to_string(messages);
    const std::string s = std::to_string(seed);
    std::vector<const char*> args = {generator.c_str(), out.c_str(), "--messages", n.c_str(),
                                     "--seed", s.c_str(), nullptr};
    const pid_t pid = ::fork();
    if (pid < 0)
        return false;
    if (pid == 0) {
        ::execv(generator.c_str(), const_cast<char* const*>(args.data()));
        std::fprintf(stderr, "mendora-bench-scan: cannot run %s: %s\n", generator.c_str(),
                     std::strerror(errno));
        ::_exit(127);
    }
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR)
            return false;
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

bool FlushToDisk(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool ok = ::fdatasync(fd) == 0;
    ::close(fd);
    return ok;
}

int LinearityMode(unsigned small, unsigned factor, unsigned seed, unsigned repeat,
                  std::string generator, bool keep)
{
    if (generator.empty())
        generator = SelfDirectory() + "/mendora-make-mailbox";
    const char* tmp = std::getenv("TMPDIR");
    std::string templ = std::string(tmp && *tmp ? tmp : "/tmp") + "/mendora-bench-XXXXXX";
    std::vector<char> buf(templ.begin(), templ.end());
    buf.push_back('\0');
    if (!::mkdtemp(buf.data())) {
        std::fprintf(stderr, "mendora-bench-scan: cannot make a temp folder: %s\n",
                     std::strerror(errno));
        return 1;
    }
    const std::string dir = buf.data();
    const unsigned counts[2] = {small, small * factor};
    std::vector<std::string> paths;
    int rc = 0;
    for (int i = 0; i < 2 && rc == 0; ++i) {
        paths.push_back(dir + "/mailbox-" + std::to_string(counts[i]) + ".dbx");
        const std::string& path = paths.back();
        if (!Generate(generator, path, counts[i], seed)) {
            std::fprintf(stderr, "mendora-bench-scan: generating %s failed\n", path.c_str());
            rc = 1;
        } else if (!FlushToDisk(path)) {
            // Written back now, or the write-back of the larger file would run during its runs.
            std::fprintf(stderr, "mendora-bench-scan: cannot flush %s\n", path.c_str());
            rc = 1;
        }
    }
    // The runs over the two mailboxes take turns, so that a slow spell of the machine falls on
    // both alike.
    std::optional<Summary> figures[2];
    if (rc == 0) {
        CRunSeries series[2] = {CRunSeries(paths[0]), CRunSeries(paths[1])};
        for (const std::string& path : paths) {
            std::uint64_t length = 0;
            ReadOnlyPass(path, length); // into the page cache
        }
        for (unsigned r = 0; r < repeat && rc == 0; ++r) {
            for (CRunSeries& one : series) {
                if (!one.RunOnceMore()) {
                    rc = 1;
                    break;
                }
            }
        }
        if (rc == 0) {
            figures[0] = series[0].Summarize();
            figures[1] = series[1].Summarize();
        }
    }
    if (!keep)
        std::filesystem::remove_all(dir);
    else
        std::printf("mailboxes kept in %s\n", dir.c_str());
    if (rc != 0)
        return rc;

    std::printf("%10s %9s %11s %8s %10s %10s %10s\n", "messages", "size MB", "candidates",
                "rebuilt", "phase 2 s", "phase 3 s", "(median)");
    for (int i = 0; i < 2; ++i) {
        const RunFigures& f = figures[i]->best;
        std::printf("%10u %9.1f %11llu %8llu %10.4f %10.4f %10.4f\n", counts[i],
                    static_cast<double>(f.fileBytes) / 1e6,
                    static_cast<unsigned long long>(f.candidates),
                    static_cast<unsigned long long>(f.messages - f.indexedMessages), f.phase2,
                    f.phase3, figures[i]->median.phase3);
    }
    // The median is the figure judged: the best of a few milliseconds is too easily a lucky run.
    const double ratio = figures[1]->median.phase3 / figures[0]->median.phase3;
    const double bestRatio = figures[1]->best.phase3 / figures[0]->best.phase3;
    std::printf("phase 3 ratio        %.2fx (median; best %.2fx) for %ux the messages, "
                "target <= %.0fx: %s\n",
                ratio, bestRatio, factor, factor * 1.2,
                ratio <= factor * 1.2 ? "within target" : "ABOVE TARGET");
    std::printf("%u runs each, seed %u\n", repeat, seed);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    bool linearity = false, warm = true, keep = false;
    unsigned long long repeat = 0, small = 10000, factor = 10, seed = 1;
    std::string path, generator;
    for (int i = 1; i < argc; ++i) {
        const std::string_view a = argv[i];
        auto number = [&](unsigned long long max, unsigned long long& v) {
            return i + 1 < argc && ParseUnsigned(argv[++i], max, v);
        };
        if (a == "--linearity")
            linearity = true;
        else if (a == "--no-warm")
            warm = false;
        else if (a == "--keep")
            keep = true;
        else if (a == "--each")
            g_eachRun = true;
        else if (a == "--digest")
            g_digest = true;
        else if (a == "--repeat") {
            if (!number(1000, repeat))
                return Usage();
        } else if (a == "--small") {
            if (!number(400000, small))
                return Usage();
        } else if (a == "--factor") {
            if (!number(100, factor))
                return Usage();
        } else if (a == "--seed") {
            if (!number(std::numeric_limits<std::uint32_t>::max(), seed))
                return Usage();
        } else if (a == "--generator") {
            if (i + 1 >= argc)
                return Usage();
            generator = argv[++i];
        } else if (!a.starts_with("--") && path.empty())
            path = a;
        else
            return Usage();
    }
    if (linearity) {
        if (!path.empty() || small * factor > 1000000)
            return Usage();
        return LinearityMode(static_cast<unsigned>(small), static_cast<unsigned>(factor),
                             static_cast<unsigned>(seed), repeat ? static_cast<unsigned>(repeat) : 9,
                             generator, keep);
    }
    if (path.empty())
        return Usage();
    return ScanMode(path, repeat ? static_cast<unsigned>(repeat) : 3, warm);
}
