#include "catalogue/MimeService.h"

#include <gmime/gmime.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <utility>

namespace mendora {

namespace {

// ---------------------------------------------------------------------------------------------
// Ownership of GLib / GMime objects

struct GObjectUnref {
    void operator()(gpointer object) const noexcept { g_object_unref(object); }
};
template <class T>
using GObjectPtr = std::unique_ptr<T, GObjectUnref>;

struct GFree {
    void operator()(gpointer memory) const noexcept { g_free(memory); }
};
using GCharPtr = std::unique_ptr<char, GFree>;

struct DateTimeUnref {
    void operator()(GDateTime* date) const noexcept { g_date_time_unref(date); }
};
using DateTimePtr = std::unique_ptr<GDateTime, DateTimeUnref>;

struct ByteArrayUnref {
    void operator()(GByteArray* bytes) const noexcept { g_byte_array_unref(bytes); }
};
using ByteArrayPtr = std::unique_ptr<GByteArray, ByteArrayUnref>;

// A converter from GMime's cache of iconv descriptors; closing hands it back to the cache.
class CIconv {
public:
    CIconv(const char* to, const char* from) : m_cd(g_mime_iconv_open(to, from)) {}
    ~CIconv()
    {
        if (IsOpen())
            g_mime_iconv_close(m_cd);
    }
    CIconv(const CIconv&) = delete;
    CIconv& operator=(const CIconv&) = delete;

    bool IsOpen() const { return m_cd != reinterpret_cast<iconv_t>(-1); }
    iconv_t Get() const { return m_cd; }

private:
    iconv_t m_cd;
};

// ---------------------------------------------------------------------------------------------
// Process-wide GMime state

// Parser options shared read-only by every parse. Header text that is 8-bit but declares no
// charset is tried as UTF-8 first and then as Windows-1252, which is what Outlook Express wrote
// on western systems; Windows-1252 accepts nearly every byte, so the result does not depend on
// the locale the program runs in.
GMimeParserOptions* ParserOptions()
{
    static std::once_flag once;
    static GMimeParserOptions* options = nullptr;
    std::call_once(once, [] {
        g_mime_init();
        options = g_mime_parser_options_new();
        const char* fallback[] = {"UTF-8", "windows-1252", nullptr};
        g_mime_parser_options_set_fallback_charsets(options, fallback);
        g_mime_parser_options_set_allow_addresses_without_domain(options, TRUE);
    });
    return options;
}

// ---------------------------------------------------------------------------------------------
// Text conversion

constexpr std::string_view kReplacement = "\xEF\xBF\xBD"; // U+FFFD

bool IsValidUtf8(std::string_view text)
{
    return g_utf8_validate(text.data(), static_cast<gssize>(text.size()), nullptr) != FALSE;
}

// Converts with iconv, putting U+FFFD in place of each byte the source charset rejects.
// Returns false when there is no converter for the charset.
bool ConvertWithIconv(std::string_view bytes, const char* charset, std::string& out)
{
    CIconv converter("UTF-8", charset);
    if (!converter.IsOpen())
        return false;

    out.clear();
    out.reserve(bytes.size() + bytes.size() / 2);
    char buffer[4096];
    char* in = const_cast<char*>(bytes.data());
    std::size_t inLeft = bytes.size();
    while (inLeft > 0) {
        char* outPtr = buffer;
        std::size_t outLeft = sizeof buffer;
        const std::size_t rc = iconv(converter.Get(), &in, &inLeft, &outPtr, &outLeft);
        const int error = errno;
        out.append(buffer, static_cast<std::size_t>(outPtr - buffer));
        if (rc != static_cast<std::size_t>(-1) || error == E2BIG)
            continue;
        // EILSEQ (a byte the charset rejects) or EINVAL (a sequence cut off at the end).
        out.append(kReplacement);
        ++in;
        --inLeft;
    }
    // Flush whatever shift state the converter still holds.
    char* outPtr = buffer;
    std::size_t outLeft = sizeof buffer;
    iconv(converter.Get(), nullptr, nullptr, &outPtr, &outLeft);
    out.append(buffer, static_cast<std::size_t>(outPtr - buffer));
    return true;
}

std::string FromWindows1252(std::string_view bytes)
{
    std::string out;
    if (ConvertWithIconv(bytes, "windows-1252", out))
        return out;
    // No converter at all: keep the ASCII and mark the rest.
    out.clear();
    for (const char c : bytes) {
        if (static_cast<unsigned char>(c) < 0x80)
            out.push_back(c);
        else
            out.append(kReplacement);
    }
    return out;
}

// Text whose charset is unknown: UTF-8 when it is valid UTF-8, else Windows-1252.
std::string FromUndeclared(std::string_view bytes)
{
    if (IsValidUtf8(bytes))
        return std::string(bytes);
    return FromWindows1252(bytes);
}

std::string ToUtf8(std::string_view bytes, const char* charset)
{
    if (charset == nullptr || *charset == '\0')
        return FromUndeclared(bytes);

    const char* canonical = g_mime_charset_canon_name(charset);
    if (canonical == nullptr)
        return FromUndeclared(bytes);
    if (g_ascii_strcasecmp(canonical, "utf-8") == 0) {
        if (IsValidUtf8(bytes))
            return std::string(bytes);
        GCharPtr valid(g_utf8_make_valid(bytes.data(), static_cast<gssize>(bytes.size())));
        return valid ? std::string(valid.get()) : std::string();
    }
    // A US-ASCII label on 8-bit text is as good as none.
    if (g_ascii_strcasecmp(canonical, "us-ascii") == 0)
        return FromUndeclared(bytes);
    // Mail labelled ISO-8859-1 is in practice Windows-1252 (curly quotes, the euro sign).
    if (g_ascii_strcasecmp(canonical, "iso-8859-1") == 0)
        return FromWindows1252(bytes);

    std::string out;
    if (ConvertWithIconv(bytes, charset, out))
        return out;
    return FromUndeclared(bytes);
}

// GMime hands out header text as UTF-8; this guards against anything that slips through.
std::string HeaderText(const char* text)
{
    if (text == nullptr)
        return {};
    return FromUndeclared(text);
}

// ---------------------------------------------------------------------------------------------
// The part tree

enum class PartKind { Container, Attachment, Text, Other };

const char* PartFileName(GMimeObject* object)
{
    const char* name = g_mime_object_get_content_disposition_parameter(object, "filename");
    if (name == nullptr || *name == '\0')
        name = g_mime_object_get_content_type_parameter(object, "name");
    return (name != nullptr && *name != '\0') ? name : nullptr;
}

PartKind Classify(GMimeObject* object)
{
    if (GMIME_IS_MULTIPART(object))
        return PartKind::Container;
    if (GMIME_IS_MESSAGE_PART(object))
        return PartKind::Attachment;
    if (!GMIME_IS_PART(object))
        return PartKind::Other;

    const char* disposition = g_mime_object_get_disposition(object);
    if (disposition != nullptr && g_ascii_strcasecmp(disposition, "attachment") == 0)
        return PartKind::Attachment;
    if (PartFileName(object) != nullptr)
        return PartKind::Attachment;
    GMimeContentType* type = g_mime_object_get_content_type(object);
    if (type != nullptr && !g_mime_content_type_is_type(type, "text", "*"))
        return PartKind::Attachment;
    return PartKind::Text;
}

// Calls visit(object, kind) for every leaf in message order; stops when visit returns false.
template <class Visit>
bool WalkLeaves(GMimeObject* object, Visit& visit)
{
    if (object == nullptr)
        return true;
    const PartKind kind = Classify(object);
    if (kind != PartKind::Container)
        return visit(object, kind);

    GMimeMultipart* multipart = GMIME_MULTIPART(object);
    const int count = g_mime_multipart_get_count(multipart);
    for (int i = 0; i < count; ++i) {
        if (!WalkLeaves(g_mime_multipart_get_part(multipart, i), visit))
            return false;
    }
    return true;
}

// The content of a part with its transfer encoding undone, still in the part's own charset.
std::string DecodedContent(GMimePart* part)
{
    GMimeDataWrapper* content = g_mime_part_get_content(part);
    if (content == nullptr)
        return {};
    ByteArrayPtr bytes(g_byte_array_new());
    GObjectPtr<GMimeStream> sink(g_mime_stream_mem_new_with_byte_array(bytes.get()));
    g_mime_stream_mem_set_owner(GMIME_STREAM_MEM(sink.get()), FALSE);
    if (g_mime_data_wrapper_write_to_stream(content, sink.get()) < 0)
        return {};
    return std::string(reinterpret_cast<const char*>(bytes->data), bytes->len);
}

std::string BodyOfSubtype(GMimeMessage* message, const char* subtype)
{
    GMimeObject* found = nullptr;
    auto visit = [&](GMimeObject* object, PartKind kind) {
        if (kind != PartKind::Text)
            return true;
        GMimeContentType* type = g_mime_object_get_content_type(object);
        if (type == nullptr || !g_mime_content_type_is_type(type, "text", subtype))
            return true;
        found = object;
        return false;
    };
    WalkLeaves(g_mime_message_get_mime_part(message), visit);
    if (found == nullptr)
        return {};
    return ToUtf8(DecodedContent(GMIME_PART(found)),
                  g_mime_object_get_content_type_parameter(found, "charset"));
}

// A display name as it would stand in a header: quoted when it holds a special character.
void AppendDisplayName(std::string& out, const char* name)
{
    const std::string_view n(name);
    if (n.find_first_of("()<>[]:;@\\,.\"") == std::string_view::npos) {
        out += n;
        return;
    }
    out += '"';
    for (const char c : n) {
        if (c == '"' || c == '\\')
            out += '\\';
        out += c;
    }
    out += '"';
}

void AppendAddressList(std::string& out, InternetAddressList* list);

void AppendAddress(std::string& out, InternetAddress* address)
{
    const char* name = internet_address_get_name(address);
    if (INTERNET_ADDRESS_IS_GROUP(address)) {
        AppendDisplayName(out, name ? name : "");
        out += ": ";
        AppendAddressList(out, internet_address_group_get_members(INTERNET_ADDRESS_GROUP(address)));
        out += ';';
        return;
    }
    if (!INTERNET_ADDRESS_IS_MAILBOX(address))
        return;
    const char* addr = internet_address_mailbox_get_addr(INTERNET_ADDRESS_MAILBOX(address));
    if (name && *name) {
        AppendDisplayName(out, name);
        out += " <";
        out += addr ? addr : "";
        out += '>';
    } else {
        out += addr ? addr : "";
    }
}

void AppendAddressList(std::string& out, InternetAddressList* list)
{
    const int n = list ? internet_address_list_length(list) : 0;
    for (int i = 0; i < n; ++i) {
        if (i)
            out += ", ";
        AppendAddress(out, internet_address_list_get_address(list, i));
    }
}

// Address lists as display text, "Name <addr>, ...". Formatted here rather than by GMime, whose
// formatter converts every domain through IDNA, which costs about an eighth of a whole row.
std::string AddressText(InternetAddressList* list)
{
    std::string out;
    AppendAddressList(out, list);
    return HeaderText(out.c_str());
}

// The latest date among the Received headers, each one's date taken from after its last ';'.
std::optional<std::int64_t> NewestReceived(GMimeMessage* message)
{
    GMimeHeaderList* headers = g_mime_object_get_header_list(GMIME_OBJECT(message));
    if (headers == nullptr)
        return std::nullopt;
    std::optional<std::int64_t> newest;
    const int count = g_mime_header_list_get_count(headers);
    for (int i = 0; i < count; ++i) {
        GMimeHeader* header = g_mime_header_list_get_header_at(headers, i);
        const char* name = g_mime_header_get_name(header);
        if (name == nullptr || g_ascii_strcasecmp(name, "Received") != 0)
            continue;
        const char* value = g_mime_header_get_raw_value(header);
        const char* semicolon = value != nullptr ? std::strrchr(value, ';') : nullptr;
        if (semicolon == nullptr)
            continue;
        GCharPtr unfolded(g_mime_utils_header_unfold(semicolon + 1));
        const DateTimePtr date(g_mime_utils_header_decode_date(unfolded.get()));
        if (!date)
            continue;
        const std::int64_t when = g_date_time_to_unix(date.get());
        if (!newest || when > *newest)
            newest = when;
    }
    return newest;
}

} // namespace

// ---------------------------------------------------------------------------------------------
// CMimeMessage

struct CMimeMessage::Impl {
    explicit Impl(GObjectPtr<GMimeMessage> parsed) : message(std::move(parsed)) {}

    GObjectPtr<GMimeMessage> message;
    // GMime fills some values in lazily and reads part content through the shared source
    // stream, so reads of one message are serialised.
    mutable std::mutex mutex;
};

CMimeMessage::CMimeMessage(std::unique_ptr<Impl> impl) : m_impl(std::move(impl)) {}
CMimeMessage::CMimeMessage(CMimeMessage&&) noexcept = default;
CMimeMessage& CMimeMessage::operator=(CMimeMessage&&) noexcept = default;
CMimeMessage::~CMimeMessage() = default;

namespace {

// Runs a property read under the message's lock; any failure inside yields the empty value.
template <class Result, class Read>
Result SafeRead(const std::unique_ptr<CMimeMessage::Impl>& impl, Read read) noexcept
{
    if (!impl)
        return Result();
    try {
        std::lock_guard lock(impl->mutex);
        return read(impl->message.get());
    } catch (...) {
        return Result();
    }
}

} // namespace

std::string CMimeMessage::From() const
{
    return SafeRead<std::string>(m_impl, [](GMimeMessage* message) {
        return AddressText(g_mime_message_get_from(message));
    });
}

std::string CMimeMessage::To() const
{
    return SafeRead<std::string>(m_impl, [](GMimeMessage* message) {
        return AddressText(g_mime_message_get_to(message));
    });
}

std::string CMimeMessage::CC() const
{
    return SafeRead<std::string>(m_impl, [](GMimeMessage* message) {
        return AddressText(g_mime_message_get_cc(message));
    });
}

std::string CMimeMessage::Subject() const
{
    return SafeRead<std::string>(m_impl, [](GMimeMessage* message) {
        return HeaderText(g_mime_message_get_subject(message));
    });
}

std::optional<std::int64_t> CMimeMessage::ReceivedTime() const
{
    return SafeRead<std::optional<std::int64_t>>(
        m_impl, [](GMimeMessage* message) -> std::optional<std::int64_t> {
            if (const std::optional<std::int64_t> received = NewestReceived(message))
                return received;
            // The message owns the date it parsed from its Date header.
            GDateTime* date = g_mime_message_get_date(message);
            if (date == nullptr)
                return std::nullopt;
            return static_cast<std::int64_t>(g_date_time_to_unix(date));
        });
}

std::string CMimeMessage::TextBody() const
{
    return SafeRead<std::string>(
        m_impl, [](GMimeMessage* message) { return BodyOfSubtype(message, "plain"); });
}

std::string CMimeMessage::HTMLBody() const
{
    return SafeRead<std::string>(
        m_impl, [](GMimeMessage* message) { return BodyOfSubtype(message, "html"); });
}

std::vector<std::string> CMimeMessage::AttachmentFileNames() const
{
    return SafeRead<std::vector<std::string>>(m_impl, [](GMimeMessage* message) {
        std::vector<std::string> names;
        auto visit = [&](GMimeObject* object, PartKind kind) {
            if (kind == PartKind::Attachment)
                names.push_back(HeaderText(PartFileName(object)));
            return true;
        };
        WalkLeaves(g_mime_message_get_mime_part(message), visit);
        return names;
    });
}

// ---------------------------------------------------------------------------------------------
// Parsing

namespace {

// Parses a whole message from a memory stream. The parser lets parts refer to their content
// inside the stream instead of copying it; content is decoded only when a body is read.
GObjectPtr<GMimeMessage> ParseStream(GMimeStream* stream, GMimeParserOptions* options)
{
    GObjectPtr<GMimeParser> parser(g_mime_parser_new_with_stream(stream));
    g_mime_parser_set_persist_stream(parser.get(), TRUE);
    return GObjectPtr<GMimeMessage>(g_mime_parser_construct_message(parser.get(), options));
}

} // namespace

std::optional<CMimeMessage> ParseMimeMessage(std::string_view bytes)
{
    try {
        GMimeParserOptions* options = ParserOptions();
        // The memory stream holds the one copy of the text that the parts point into.
        GObjectPtr<GMimeStream> stream(
            g_mime_stream_mem_new_with_buffer(bytes.data(), bytes.size()));
        GObjectPtr<GMimeMessage> message = ParseStream(stream.get(), options);
        if (!message)
            return std::nullopt;
        return CMimeMessage(std::make_unique<CMimeMessage::Impl>(std::move(message)));
    } catch (...) {
        return std::nullopt;
    }
}

std::optional<CMimeMessage> OpenMimeMessage(const std::string& path)
{
    try {
        GMimeParserOptions* options = ParserOptions();
        std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"),
                                                             &std::fclose);
        if (!file)
            return std::nullopt;
        // Read straight into the buffer the memory stream will own.
        ByteArrayPtr bytes(g_byte_array_new());
        char chunk[65536];
        std::size_t got = 0;
        while ((got = std::fread(chunk, 1, sizeof chunk, file.get())) > 0)
            g_byte_array_append(bytes.get(), reinterpret_cast<const guint8*>(chunk),
                                static_cast<guint>(got));
        if (std::ferror(file.get()))
            return std::nullopt;
        file.reset();

        GObjectPtr<GMimeStream> stream(g_mime_stream_mem_new_with_byte_array(bytes.release()));
        GObjectPtr<GMimeMessage> message = ParseStream(stream.get(), options);
        if (!message)
            return std::nullopt;
        return CMimeMessage(std::make_unique<CMimeMessage::Impl>(std::move(message)));
    } catch (...) {
        return std::nullopt;
    }
}

} // namespace mendora
