#include "catalogue/MimeService.h"

#include <gmime/gmime.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <mutex>

namespace mendora {

namespace {

// Owning handles for GObject-based GMime objects and GLib allocations.
struct GObjectUnref {
    void operator()(gpointer p) const
    {
        if (p)
            g_object_unref(p);
    }
};
template <class T>
using GPtr = std::unique_ptr<T, GObjectUnref>;

struct GFree {
    void operator()(gpointer p) const { g_free(p); }
};
using GString_ = std::unique_ptr<char, GFree>;

struct DateTimeUnref {
    void operator()(GDateTime* d) const
    {
        if (d)
            g_date_time_unref(d);
    }
};
using GDate = std::unique_ptr<GDateTime, DateTimeUnref>;

GMimeParserOptions* ParserOptions()
{
    static GMimeParserOptions* options = [] {
        g_mime_init();
        GMimeParserOptions* o = g_mime_parser_options_new();
        // Recovered mail is old and often sloppy: accept what can be read.
        g_mime_parser_options_set_rfc2047_compliance_mode(o, GMIME_RFC_COMPLIANCE_LOOSE);
        g_mime_parser_options_set_address_compliance_mode(o, GMIME_RFC_COMPLIANCE_LOOSE);
        g_mime_parser_options_set_parameter_compliance_mode(o, GMIME_RFC_COMPLIANCE_LOOSE);
        const char* fallback[] = {"UTF-8", "windows-1252", nullptr};
        g_mime_parser_options_set_fallback_charsets(o, fallback);
        return o;
    }();
    return options;
}

std::string Text(const char* s)
{
    return s ? std::string(s) : std::string();
}

// Bytes in the named charset as UTF-8; text that is not valid in its charset is read as
// UTF-8 if it is valid UTF-8, else as Windows-1252, and never yields invalid UTF-8.
std::string ToUtf8(const std::string& bytes, const char* charset)
{
    if (bytes.empty())
        return {};
    if (charset && *charset) {
        const char* name = g_mime_charset_iconv_name(charset);
        gsize written = 0;
        GString_ out(g_convert(bytes.data(), static_cast<gssize>(bytes.size()), "UTF-8", name,
                               nullptr, &written, nullptr));
        if (out)
            return std::string(out.get(), written);
    }
    if (g_utf8_validate(bytes.data(), static_cast<gssize>(bytes.size()), nullptr))
        return bytes;
    gsize written = 0;
    GString_ out(g_convert(bytes.data(), static_cast<gssize>(bytes.size()), "UTF-8",
                           "WINDOWS-1252", nullptr, &written, nullptr));
    if (out)
        return std::string(out.get(), written);
    GString_ valid(g_utf8_make_valid(bytes.data(), static_cast<gssize>(bytes.size())));
    return Text(valid.get());
}

// A display name as it would appear in a header: quoted when it holds a special character.
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
// formatter converts every domain through IDNA, which costs more than parsing the message.
std::string AddressText(InternetAddressList* list)
{
    std::string out;
    AppendAddressList(out, list);
    return out;
}

bool IsType(GMimeObject* part, const char* type, const char* subtype)
{
    GMimeContentType* ct = g_mime_object_get_content_type(part);
    return ct && g_mime_content_type_is_type(ct, type, subtype);
}

} // namespace

struct CMimeMessage::Impl {
    GPtr<GMimeMessage> message;

    struct Leaf {
        GMimeObject* part;
        bool attachment;
        std::string fileName;
    };
    std::vector<Leaf> leaves; // every leaf part in message order
    bool walked = false;

    void Walk()
    {
        if (walked)
            return;
        walked = true;
        if (GMimeObject* top = g_mime_message_get_mime_part(message.get()))
            Visit(top);
    }

    void Visit(GMimeObject* part)
    {
        if (GMIME_IS_MULTIPART(part)) {
            GMimeMultipart* mp = GMIME_MULTIPART(part);
            const int n = g_mime_multipart_get_count(mp);
            for (int i = 0; i < n; ++i)
                if (GMimeObject* child = g_mime_multipart_get_part(mp, i))
                    Visit(child);
            return;
        }
        std::string name;
        if (GMimeContentDisposition* d = g_mime_object_get_content_disposition(part))
            name = Text(g_mime_content_disposition_get_parameter(d, "filename"));
        if (name.empty())
            name = Text(g_mime_object_get_content_type_parameter(part, "name"));
        if (GMIME_IS_MESSAGE_PART(part)) {
            leaves.push_back({part, true, name}); // an attached message, not descended into
            return;
        }
        if (!GMIME_IS_PART(part))
            return;
        GMimeContentDisposition* d = g_mime_object_get_content_disposition(part);
        const bool marked = d && g_mime_content_disposition_is_attachment(d);
        const bool isBodyText = IsType(part, "text", "plain") || IsType(part, "text", "html");
        leaves.push_back({part, marked || !name.empty() || !isBodyText, name});
    }

    std::string Body(const char* subtype)
    {
        Walk();
        for (const Leaf& l : leaves) {
            if (l.attachment || !IsType(l.part, "text", subtype))
                continue;
            GMimeDataWrapper* content = g_mime_part_get_content(GMIME_PART(l.part));
            if (!content)
                return {};
            GPtr<GMimeStream> out(g_mime_stream_mem_new());
            // Writes the content with its transfer encoding undone.
            if (g_mime_data_wrapper_write_to_stream(content, out.get()) < 0)
                return {};
            GByteArray* bytes = g_mime_stream_mem_get_byte_array(GMIME_STREAM_MEM(out.get()));
            const std::string raw(reinterpret_cast<const char*>(bytes->data), bytes->len);
            return ToUtf8(raw, g_mime_object_get_content_type_parameter(l.part, "charset"));
        }
        return {};
    }
};

CMimeMessage::CMimeMessage(std::unique_ptr<Impl> impl) : m_impl(std::move(impl)) {}
CMimeMessage::CMimeMessage(CMimeMessage&&) noexcept = default;
CMimeMessage& CMimeMessage::operator=(CMimeMessage&&) noexcept = default;
CMimeMessage::~CMimeMessage() = default;

std::string CMimeMessage::From() const
{
    return AddressText(g_mime_message_get_from(m_impl->message.get()));
}

std::string CMimeMessage::To() const
{
    return AddressText(g_mime_message_get_to(m_impl->message.get()));
}

std::string CMimeMessage::CC() const
{
    return AddressText(g_mime_message_get_cc(m_impl->message.get()));
}

std::string CMimeMessage::Subject() const
{
    return Text(g_mime_message_get_subject(m_impl->message.get()));
}

std::optional<std::int64_t> CMimeMessage::ReceivedTime() const
{
    GMimeHeaderList* headers = g_mime_object_get_header_list(GMIME_OBJECT(m_impl->message.get()));
    std::optional<std::int64_t> newest;
    const int n = headers ? g_mime_header_list_get_count(headers) : 0;
    for (int i = 0; i < n; ++i) {
        GMimeHeader* h = g_mime_header_list_get_header_at(headers, i);
        if (!h || g_ascii_strcasecmp(g_mime_header_get_name(h), "Received") != 0)
            continue;
        const std::string value = Text(g_mime_header_get_value(h));
        const auto semicolon = value.rfind(';');
        if (semicolon == std::string::npos)
            continue;
        GDate date(g_mime_utils_header_decode_date(value.c_str() + semicolon + 1));
        if (!date)
            continue;
        const std::int64_t t = g_date_time_to_unix(date.get());
        if (!newest || t > *newest)
            newest = t;
    }
    if (newest)
        return newest;
    if (GDateTime* date = g_mime_message_get_date(m_impl->message.get()))
        return g_date_time_to_unix(date);
    return std::nullopt;
}

std::string CMimeMessage::TextBody() const
{
    return m_impl->Body("plain");
}

std::string CMimeMessage::HTMLBody() const
{
    return m_impl->Body("html");
}

std::vector<std::string> CMimeMessage::AttachmentFileNames() const
{
    m_impl->Walk();
    std::vector<std::string> names;
    for (const Impl::Leaf& l : m_impl->leaves)
        if (l.attachment)
            names.push_back(ToUtf8(l.fileName, "UTF-8"));
    return names;
}

std::optional<CMimeMessage> ParseMimeMessage(std::string_view bytes)
{
    GMimeParserOptions* options = ParserOptions();
    if (bytes.empty())
        return std::nullopt;
    GPtr<GMimeStream> stream(g_mime_stream_mem_new_with_buffer(bytes.data(), bytes.size()));
    GPtr<GMimeParser> parser(g_mime_parser_new_with_stream(stream.get()));
    // Parts keep referring to the stream instead of copying their content.
    g_mime_parser_set_persist_stream(parser.get(), TRUE);
    GMimeMessage* message = g_mime_parser_construct_message(parser.get(), options);
    if (!message)
        return std::nullopt;
    auto impl = std::make_unique<CMimeMessage::Impl>();
    impl->message.reset(message);
    return CMimeMessage(std::move(impl));
}

std::optional<CMimeMessage> OpenMimeMessage(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad())
        return std::nullopt;
    return ParseMimeMessage(bytes);
}

} // namespace mendora
