// The MIME service: the one module that talks to GMime.
//
// Every GMime object lives inside this module and is released by RAII; nothing of GMime leaks
// into the header. A message that GMime cannot parse is "none" (an empty optional), and no
// property read throws out of the module.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace mendora {

class CMimeMessage {
public:
    CMimeMessage(CMimeMessage&&) noexcept;
    CMimeMessage& operator=(CMimeMessage&&) noexcept;
    ~CMimeMessage();

    // Header fields as display text: encoded words decoded, charsets converted to UTF-8,
    // address lists as "Name <addr>, ..."; an empty text when the field is absent.
    std::string From() const;
    std::string To() const;
    std::string Subject() const;
    std::string CC() const;

    // The date of the newest Received header, else the Date header, else none.
    // Seconds since 1970-01-01 UTC.
    std::optional<std::int64_t> ReceivedTime() const;

    // Bodies decoded (transfer encoding and charset) to UTF-8; empty when absent.
    std::string TextBody() const;
    std::string HTMLBody() const;

    // File name of each attachment in message order; an empty text when a part has none.
    std::vector<std::string> AttachmentFileNames() const;

    struct Impl;

private:
    explicit CMimeMessage(std::unique_ptr<Impl> impl);
    friend std::optional<CMimeMessage> OpenMimeMessage(const std::string& path);
    friend std::optional<CMimeMessage> ParseMimeMessage(std::string_view bytes);
    std::unique_ptr<Impl> m_impl;
};

// Loads an .eml file; none when it cannot be read or parsed.
std::optional<CMimeMessage> OpenMimeMessage(const std::string& path);

// Parses message text held in memory; none when it cannot be parsed.
std::optional<CMimeMessage> ParseMimeMessage(std::string_view bytes);

} // namespace mendora
