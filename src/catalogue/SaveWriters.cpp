#include "catalogue/SaveWriters.h"

#include "catalogue/Utf8.h"

#include "dbx/DbxRecovery.h"
#include "dbx/DbxWriter.h"

#include <array>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_map>

namespace mendora {

namespace {

constexpr std::string_view kTempName = "save.eml";
constexpr unsigned kMaxNumber = 1000000; // clash numbers tried before giving up

std::string ErrnoText(int e)
{
    return std::strerror(e);
}

// Closes a descriptor when it goes out of scope.
class CFd {
public:
    explicit CFd(int fd = -1) : m_fd(fd) {}
    ~CFd() { Reset(); }
    CFd(const CFd&) = delete;
    CFd& operator=(const CFd&) = delete;
    int Get() const { return m_fd; }
    int Release()
    {
        const int fd = m_fd;
        m_fd = -1;
        return fd;
    }
    void Reset(int fd = -1)
    {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = fd;
    }
    // Closes now; false (errno set) when the close reported an error.
    bool Close()
    {
        const int fd = m_fd;
        m_fd = -1;
        return fd < 0 || ::close(fd) == 0;
    }

private:
    int m_fd;
};

bool EqualNoCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::toupper(static_cast<unsigned char>(a[i])) !=
            std::toupper(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

// Device names that Windows reserves, with or without an extension.
bool IsReservedDeviceName(std::string_view name)
{
    const std::size_t dot = name.find('.');
    std::string_view base = name.substr(0, dot);
    while (!base.empty() && base.back() == ' ')
        base.remove_suffix(1);
    for (std::string_view r : {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"})
        if (EqualNoCase(base, r))
            return true;
    if (base.size() >= 4 && (EqualNoCase(base.substr(0, 3), "COM") || EqualNoCase(base.substr(0, 3), "LPT"))) {
        const std::string_view digit = base.substr(3);
        if (digit.size() == 1 && digit[0] >= '0' && digit[0] <= '9')
            return true;
        // Superscript one, two and three count as digits too.
        if (digit == "\xC2\xB9" || digit == "\xC2\xB2" || digit == "\xC2\xB3")
            return true;
    }
    return false;
}

bool IsTrimmed(char c)
{
    return c == ' ' || c == '.';
}

// The stem with every unsafe byte replaced and the ends trimmed; no length limit yet.
std::string CleanStem(std::string_view stem)
{
    std::string out;
    out.reserve(stem.size());
    for (std::size_t i = 0; i < stem.size();) {
        const std::size_t n = Utf8SequenceLength(stem, i);
        if (n == 0) {
            out.push_back('_');
            ++i;
            continue;
        }
        if (n == 1) {
            const auto c = static_cast<unsigned char>(stem[i]);
            const bool reserved = c < 0x20 || c == 0x7F || std::strchr("<>:\"/\\|?*", c) != nullptr;
            out.push_back(reserved ? '_' : stem[i]);
        } else {
            out.append(stem.substr(i, n));
        }
        i += n;
    }
    std::size_t from = 0;
    while (from < out.size() && IsTrimmed(out[from]))
        ++from;
    out.erase(0, from);
    while (!out.empty() && IsTrimmed(out.back()))
        out.pop_back();
    return out;
}

// Cuts a clean stem to at most n bytes without splitting a UTF-8 sequence.
void CutStem(std::string& stem, std::size_t n)
{
    if (stem.size() <= n)
        return;
    std::size_t end = n;
    while (end > 0 && (static_cast<unsigned char>(stem[end]) & 0xC0) == 0x80)
        --end;
    stem.resize(end);
    while (!stem.empty() && IsTrimmed(stem.back()))
        stem.pop_back();
}

std::string Trim(std::string_view s)
{
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front())))
        s.remove_prefix(1);
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back())))
        s.remove_suffix(1);
    return std::string(s);
}

// The unfolded value of the first header field called name; empty when there is none.
std::string HeaderField(std::string_view text, std::string_view name)
{
    std::string value;
    bool inField = false;
    std::size_t at = 0;
    while (at < text.size()) {
        std::size_t eol = text.find('\n', at);
        if (eol == std::string_view::npos)
            eol = text.size();
        std::string_view line = text.substr(at, eol - at);
        at = eol + 1;
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (line.empty())
            break; // end of the header
        if (line.front() == ' ' || line.front() == '\t') {
            if (inField)
                value += line;
            continue;
        }
        if (inField)
            break;
        const std::size_t colon = line.find(':');
        if (colon != std::string_view::npos && EqualNoCase(Trim(line.substr(0, colon)), name)) {
            inField = true;
            value = line.substr(colon + 1);
        }
    }
    return Trim(value);
}

std::optional<std::int64_t> NowUtc()
{
    return static_cast<std::int64_t>(std::time(nullptr));
}

class CSaver {
public:
    CSaver(const CDbxRecovery& engine, const SaveRequest& request, ISaveObserver* observer)
        : m_engine(engine), m_request(request), m_observer(observer)
    {
    }

    SaveResult Run(const std::vector<RecoveredMessage>& rows);

private:
    bool OpenFolder();
    // Copies the row's message into the temp file. False when there is nothing to copy.
    bool ExtractToTemp(const RecoveredMessage& row);
    void RemoveTemp();
    void SaveEml(const RecoveredMessage& row);
    bool PlaceEml(const std::string& stem, const std::optional<std::int64_t>& time);
    bool CopyTempTo(const std::string& name, const std::optional<std::int64_t>& time, bool& clash);
    void SaveDbx(const std::vector<RecoveredMessage>& rows);
    void Fail(std::string text)
    {
        if (m_result.error.empty())
            m_result.error = std::move(text);
    }
    void Count(const RecoveredMessage& row, bool written);
    // Before each message: false when the save was asked to stop, else reports the message.
    bool BeginRow(const RecoveredMessage& row);

    const CDbxRecovery& m_engine;
    const SaveRequest& m_request;
    ISaveObserver* m_observer;
    SaveResult m_result;
    CFd m_dir;
    std::string m_temp;
    bool m_linkWorks = true;
    std::unordered_map<std::string, unsigned> m_nextNumber; // per stem, the next number to try
};

bool CSaver::OpenFolder()
{
    m_result.destination = m_request.folder;
    if (m_request.folder.empty()) {
        Fail("No folder to save into");
        return false;
    }
    m_dir.Reset(::open(m_request.folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (m_dir.Get() < 0) {
        Fail("Cannot write to " + m_request.folder + ": " + ErrnoText(errno));
        return false;
    }
    if (::faccessat(m_dir.Get(), ".", W_OK | X_OK, AT_EACCESS) != 0) {
        Fail("Cannot write to " + m_request.folder + ": " + ErrnoText(errno));
        return false;
    }
    if (m_engine.TempFolder().empty()) {
        Fail("No temporary folder to copy the messages through");
        return false;
    }
    m_temp = m_engine.TempFolder() + std::string(kTempName);
    return true;
}

bool CSaver::ExtractToTemp(const RecoveredMessage& row)
{
    try {
        if (m_engine.ExtractMessageTo(m_temp, row.firstBlock))
            return true;
    } catch (const std::exception&) {
        // A message that cannot be read back whole is skipped rather than saved cut short.
    }
    RemoveTemp();
    return false;
}

void CSaver::RemoveTemp()
{
    // The temp file may be a second name of a saved file: it must go before the next message
    // is copied out, or that copy would truncate the saved file through it.
    if (::unlink(m_temp.c_str()) != 0 && errno != ENOENT)
        Fail("Cannot remove the temporary file " + m_temp + ": " + ErrnoText(errno));
}

bool CSaver::BeginRow(const RecoveredMessage& row)
{
    if (m_engine.SaveStopRequested()) {
        m_result.stopped = true;
        return false;
    }
    if (m_observer)
        m_observer->OnSaveItem(row.subject);
    return true;
}

void CSaver::Count(const RecoveredMessage& row, bool written)
{
    SaveProgress& c = m_result.counts;
    ++c.done;
    if (written) {
        ++c.written;
        if (row.status == MessageStatus::Deleted)
            ++c.deleted;
        else
            ++c.existing;
    } else {
        ++c.skipped;
    }
    c.position = c.total ? static_cast<int>(c.done * 100 / c.total) : 100;
    if (m_observer)
        m_observer->OnSaveProgress(c);
}

bool CSaver::CopyTempTo(const std::string& name, const std::optional<std::int64_t>& time,
                        bool& clash)
{
    clash = false;
    CFd out(::openat(m_dir.Get(), name.c_str(),
                     O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (out.Get() < 0) {
        if (errno == EEXIST) {
            clash = true;
            return false;
        }
        Fail("Cannot create " + name + " in " + m_request.folder + ": " + ErrnoText(errno));
        return false;
    }
    CFd in(::open(m_temp.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    bool ok = in.Get() >= 0;
    std::array<char, 65536> buffer{};
    while (ok) {
        const ssize_t got = ::read(in.Get(), buffer.data(), buffer.size());
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0) {
            ok = got == 0;
            break;
        }
        for (ssize_t off = 0; ok && off < got;) {
            const ssize_t w = ::write(out.Get(), buffer.data() + off, static_cast<std::size_t>(got - off));
            if (w < 0 && errno == EINTR)
                continue;
            ok = w > 0;
            off += w > 0 ? w : 0;
        }
    }
    if (ok && time) {
        const timespec times[2] = {{static_cast<time_t>(*time), 0}, {static_cast<time_t>(*time), 0}};
        ::futimens(out.Get(), times); // a file system without file times still gets the message
    }
    int savedErrno = errno;
    if (!out.Close()) {
        savedErrno = errno;
        ok = false;
    }
    if (!ok) {
        Fail("Cannot write " + name + " in " + m_request.folder + ": " + ErrnoText(savedErrno));
        ::unlinkat(m_dir.Get(), name.c_str(), 0); // our own half-written file
        return false;
    }
    return true;
}

bool CSaver::PlaceEml(const std::string& stem, const std::optional<std::int64_t>& time)
{
    if (time && m_linkWorks) {
        const timespec times[2] = {{static_cast<time_t>(*time), 0}, {static_cast<time_t>(*time), 0}};
        ::utimensat(AT_FDCWD, m_temp.c_str(), times, AT_SYMLINK_NOFOLLOW);
    }
    unsigned& next = m_nextNumber[stem];
    if (next == 0)
        next = 1;
    for (; next < kMaxNumber; ++next) {
        const std::string name = SafeFileName(stem, ".eml", next);
        if (m_linkWorks) {
            // A new name for the temp file: atomic, never replaces an existing entry, and costs
            // no copy when the temp folder is on the same file system.
            if (::linkat(AT_FDCWD, m_temp.c_str(), m_dir.Get(), name.c_str(), 0) == 0) {
                m_result.files.push_back(name);
                ++next;
                return true;
            }
            if (errno == EEXIST)
                continue;
            if (errno != EXDEV && errno != EPERM && errno != EMLINK && errno != ENOTSUP &&
                errno != EOPNOTSUPP) {
                Fail("Cannot create " + name + " in " + m_request.folder + ": " + ErrnoText(errno));
                return false;
            }
            m_linkWorks = false; // copy from now on
        }
        bool clash = false;
        if (CopyTempTo(name, time, clash)) {
            m_result.files.push_back(name);
            ++next;
            return true;
        }
        if (!clash)
            return false;
    }
    Fail("No free file name for " + stem + " in " + m_request.folder);
    return false;
}

void CSaver::SaveEml(const RecoveredMessage& row)
{
    if (!ExtractToTemp(row)) {
        if (m_result.Ok())
            Count(row, false);
        return;
    }
    const bool placed = PlaceEml(MessageFileStem(row), row.receivedTime);
    RemoveTemp();
    if (m_result.Ok())
        Count(row, placed);
}

void CSaver::SaveDbx(const std::vector<RecoveredMessage>& rows)
{
    std::string name;
    CFd fd;
    for (unsigned n = 1; n < kMaxNumber && fd.Get() < 0; ++n) {
        name = SafeFileName(m_request.mailboxName, ".dbx", n);
        fd.Reset(::openat(m_dir.Get(), name.c_str(),
                          O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
        if (fd.Get() < 0 && errno != EEXIST) {
            Fail("Cannot create " + name + " in " + m_request.folder + ": " + ErrnoText(errno));
            return;
        }
    }
    if (fd.Get() < 0) {
        Fail("No free file name for " + m_request.mailboxName + " in " + m_request.folder);
        return;
    }
    std::string dest = m_request.folder;
    if (!dest.empty() && dest.back() != '/')
        dest += '/';
    m_result.destination = dest + name;
    if (m_observer)
        m_observer->OnSaveStarted(rows.size(), m_result.destination);

    CDbxWriter writer(fd.Release(), m_request.mailboxName);
    try {
        for (const RecoveredMessage& row : rows) {
            if (!BeginRow(row))
                break;
            if (!ExtractToTemp(row)) {
                if (!m_result.Ok())
                    break;
                Count(row, false);
                continue;
            }
            CFd text(::open(m_temp.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
            bool added = false;
            if (text.Get() >= 0) {
                std::array<char, 16384> head{};
                const ssize_t got = ::pread(text.Get(), head.data(), head.size(), 0);
                DbxMessageFields f;
                f.flags = CDbxWriter::kFlagBodyDownloaded | CDbxWriter::kFlagRead |
                          (row.hasAttachment ? CDbxWriter::kFlagHasAttachment : 0);
                f.sentTime = row.receivedTime;
                f.receivedTime = row.receivedTime;
                f.savedTime = NowUtc();
                if (got > 0)
                    f.messageId = HeaderField(std::string_view(head.data(), static_cast<std::size_t>(got)),
                                              "Message-ID");
                f.subject = row.subject;
                const MailAddress from = FirstAddress(row.from);
                f.senderName = from.name.empty() ? from.address : from.name;
                f.senderAddress = from.address;
                const MailAddress to = FirstAddress(row.to);
                f.receiverName = to.name.empty() ? to.address : to.name;
                f.receiverAddress = to.address;
                added = writer.AddMessage(text.Get(), f);
                struct stat st {};
                if (!added && !m_result.mailboxFull && ::fstat(text.Get(), &st) == 0 &&
                    st.st_size > 0) {
                    m_result.mailboxFull = true; // a text that did not fit, not an empty one
                    if (m_observer)
                        m_observer->OnSaveStatus(savetexts::kMailboxFull);
                }
            }
            text.Reset();
            RemoveTemp();
            if (!m_result.Ok())
                break;
            Count(row, added);
        }
        writer.Finish();
    } catch (const std::exception& e) {
        Fail("Cannot write " + name + " in " + m_request.folder + ": " + e.what());
    }
    if (!m_result.Ok())
        ::unlinkat(m_dir.Get(), name.c_str(), 0); // our own unfinished mailbox
    m_result.files.assign(m_result.Ok() ? 1 : 0, name);
}

SaveResult CSaver::Run(const std::vector<RecoveredMessage>& rows)
{
    m_result.counts.total = rows.size();
    if (OpenFolder()) {
        if (m_observer)
            m_observer->OnSaveStatus(savetexts::kSaving);
        if (m_request.format == SaveFormat::SaveAsDbx) {
            SaveDbx(rows);
        } else {
            if (m_observer)
                m_observer->OnSaveStarted(rows.size(), m_result.destination);
            for (const RecoveredMessage& row : rows) {
                if (!BeginRow(row))
                    break;
                SaveEml(row);
                if (!m_result.Ok())
                    break;
            }
        }
    }
    if (m_observer) {
        m_observer->OnSaveStatus(!m_result.Ok()      ? savetexts::kFailed
                                 : m_result.stopped ? savetexts::kStopped
                                                    : savetexts::kSaved);
        m_observer->OnSaveFinished(m_result);
    }
    return std::move(m_result);
}

} // namespace

std::vector<RecoveredMessage> RowsInScope(const std::vector<RecoveredMessage>& rows,
                                          SaveScope scope, const std::vector<bool>& checked,
                                          const std::vector<bool>& highlighted)
{
    auto flag = [](const std::vector<bool>& flags, std::size_t i) {
        return i < flags.size() && flags[i];
    };
    bool anyChecked = false;
    for (std::size_t i = 0; i < rows.size() && !anyChecked; ++i)
        anyChecked = flag(checked, i);
    const std::vector<bool>& selection = anyChecked ? checked : highlighted;

    std::vector<RecoveredMessage> out;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        bool take = false;
        switch (scope) {
        case SaveScope::SaveSelected: take = flag(selection, i); break;
        case SaveScope::SaveAll: take = true; break;
        case SaveScope::SaveAllButDeleted: take = rows[i].status != MessageStatus::Deleted; break;
        case SaveScope::SaveAllButExisting: take = rows[i].status != MessageStatus::Existing; break;
        }
        if (take)
            out.push_back(rows[i]);
    }
    return out;
}

SaveResult SaveMessages(const CDbxRecovery& engine, const std::vector<RecoveredMessage>& rows,
                        const SaveRequest& request, ISaveObserver* observer)
{
    return CSaver(engine, request, observer).Run(rows);
}

std::string SafeFileName(std::string_view stem, std::string_view extension, unsigned number,
                         std::size_t maxBytes)
{
    std::string tail;
    if (number > 1) {
        tail.append(" (");
        tail.append(std::to_string(number));
        tail.append(")");
    }
    tail.append(extension);
    const std::size_t room = maxBytes > tail.size() ? maxBytes - tail.size() : 0;
    std::string s = CleanStem(stem);
    CutStem(s, room);
    if (s.empty())
        s = "message";
    s.append(tail);
    if (IsReservedDeviceName(s)) {
        s.resize(s.size() - tail.size());
        s.insert(s.begin(), '_');
        CutStem(s, room);
        s.append(tail);
    }
    return s;
}

std::string MessageFileStem(const RecoveredMessage& row)
{
    std::string stem;
    if (row.receivedTime) {
        const auto t = static_cast<std::time_t>(*row.receivedTime);
        std::tm tm{};
        char buf[32];
        if (::gmtime_r(&t, &tm) && std::strftime(buf, sizeof buf, "%Y-%m-%d %H.%M.%S", &tm) > 0)
            stem = std::string(buf) + " - ";
    }
    const MailAddress from = FirstAddress(row.from);
    const std::string sender = !from.name.empty() ? from.name : from.address;
    stem += sender.empty() ? "(unknown sender)" : sender;
    stem += " - ";
    stem += row.subject.empty() ? "(no subject)" : row.subject;
    return stem;
}

MailAddress FirstAddress(std::string_view list)
{
    // The first mailbox ends at a comma outside quotes and angle brackets.
    bool quoted = false;
    bool angle = false;
    std::size_t end = list.size();
    for (std::size_t i = 0; i < list.size(); ++i) {
        const char c = list[i];
        if (quoted) {
            if (c == '\\')
                ++i;
            else if (c == '"')
                quoted = false;
        } else if (c == '"') {
            quoted = true;
        } else if (c == '<') {
            angle = true;
        } else if (c == '>') {
            angle = false;
        } else if (c == ',' && !angle) {
            end = i;
            break;
        }
    }
    const std::string_view one = list.substr(0, end);
    MailAddress a;
    const std::size_t open = one.rfind('<');
    const std::size_t close = open == std::string_view::npos ? open : one.find('>', open);
    if (open == std::string_view::npos || close == std::string_view::npos) {
        a.address = Trim(one);
        return a;
    }
    a.address = Trim(one.substr(open + 1, close - open - 1));
    std::string name = Trim(one.substr(0, open));
    if (name.size() >= 2 && name.front() == '"' && name.back() == '"') {
        std::string unq;
        for (std::size_t i = 1; i + 1 < name.size(); ++i) {
            if (name[i] == '\\' && i + 2 < name.size())
                ++i;
            unq.push_back(name[i]);
        }
        name = Trim(unq);
    }
    a.name = std::move(name);
    return a;
}

} // namespace mendora
