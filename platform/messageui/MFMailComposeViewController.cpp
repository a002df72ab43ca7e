#include "platform/messageui/MFMailComposeViewController.h"

#include "platform/machinery/AtomicFile.h"
#include "platform/machinery/DeviceRoot.h"
#include "platform/foundation/NSDate.h"
#include "platform/foundation/PropertyList.h"

#include <algorithm>
#include <ctime>

namespace {

std::vector<std::string> accounts()
{
    auto list = PropertyList::read(DeviceRoot::resolve(MFMailComposeViewController::accountsPath()));
    auto addresses = list ? plistStringArray(*list) : std::nullopt;
    return addresses.value_or(std::vector<std::string>());
}

std::string base64Lines(const PlistData& data)
{
    static constexpr char digits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    size_t column = 0;
    for (size_t i = 0; i < data.size(); i += 3) {
        uint32_t n = data[i] << 16;
        if (i + 1 < data.size())
            n |= data[i + 1] << 8;
        if (i + 2 < data.size())
            n |= data[i + 2];
        out += digits[(n >> 18) & 63];
        out += digits[(n >> 12) & 63];
        out += i + 1 < data.size() ? digits[(n >> 6) & 63] : '=';
        out += i + 2 < data.size() ? digits[n & 63] : '=';
        if ((column += 4) >= 76) {
            out += "\r\n";
            column = 0;
        }
    }
    if (column)
        out += "\r\n";
    return out;
}

std::string rfc5322Date()
{
    std::time_t now = static_cast<std::time_t>(NSDate::date().timeIntervalSince1970());
    std::tm local { };
    localtime_r(&now, &local);
    char text[64];
    std::strftime(text, sizeof text, "%a, %d %b %Y %H:%M:%S %z", &local);
    return text;
}

// A header value with characters outside printable ASCII as an RFC 2047 encoded word.
std::string headerText(const std::string& text)
{
    for (unsigned char c : text)
        if (c < 0x20 || c > 0x7e)
            return "=?UTF-8?B?" + [&] {
                auto encoded = base64Lines(PlistData(text.begin(), text.end()));
                std::erase(encoded, '\r');
                std::erase(encoded, '\n');
                return encoded;
            }() + "?=";
    return text;
}

// A file name for a header parameter: quotes and backslashes and line breaks cannot break out.
std::string quotedName(std::string name)
{
    std::erase_if(name, [](char c) { return c == '"' || c == '\\' || c == '\r' || c == '\n'; });
    return "\"" + name + "\"";
}

}

bool MFMailComposeViewController::canSendMail()
{
    return !accounts().empty();
}

bool MFMailComposeViewController::addAccount(const std::string& address)
{
    auto list = accounts();
    if (std::find(list.begin(), list.end(), address) == list.end())
        list.push_back(address);
    auto path = DeviceRoot::resolve(accountsPath());
    std::error_code ignored;
    std::filesystem::create_directories(path.parent_path(), ignored);
    return PropertyList::write(path, PlistValue(list));
}

void MFMailComposeViewController::setMessageBody(std::string body, bool isHTML)
{
    m_body = std::move(body);
    m_html = isHTML;
}

void MFMailComposeViewController::addAttachmentData(PlistData data, std::string mimeType, std::string fileName)
{
    m_attachments.push_back({ std::move(data), std::move(mimeType), std::move(fileName) });
}

std::string MFMailComposeViewController::rfc5322Message(const std::string& from) const
{
    const std::string boundary = "hushline-mail-boundary-7f3a";
    std::string to;
    for (const auto& recipient : m_to)
        to += (to.empty() ? "" : ", ") + recipient;
    std::string message = "From: " + from + "\r\nTo: " + to + "\r\nSubject: " + headerText(m_subject) + "\r\nDate: " + rfc5322Date()
        + "\r\nMIME-Version: 1.0\r\nContent-Type: multipart/mixed; boundary=\"" + boundary + "\"\r\n\r\n";
    message += "--" + boundary + "\r\nContent-Type: text/" + (m_html ? "html" : "plain")
        + "; charset=UTF-8\r\nContent-Transfer-Encoding: base64\r\n\r\n" + base64Lines(PlistData(m_body.begin(), m_body.end()));
    for (const auto& attachment : m_attachments)
        message += "--" + boundary + "\r\nContent-Type: " + attachment.mimeType + "; name=" + quotedName(attachment.fileName)
            + "\r\nContent-Disposition: attachment; filename=" + quotedName(attachment.fileName)
            + "\r\nContent-Transfer-Encoding: base64\r\n\r\n" + base64Lines(attachment.data);
    return message + "--" + boundary + "--\r\n";
}

std::optional<std::filesystem::path> MFMailComposeViewController::send()
{
    if (m_finished)
        return std::nullopt;
    auto from = accounts();
    std::optional<std::filesystem::path> written;
    if (!from.empty()) {
        auto outbox = DeviceRoot::resolve(outboxPath());
        std::error_code ignored;
        std::filesystem::create_directories(outbox, ignored);
        auto file = outbox / (std::to_string(static_cast<long long>(NSDate::date().timeIntervalSince1970() * 1000)) + ".eml");
        for (int n = 1; std::filesystem::exists(file, ignored); ++n)
            file = outbox / (file.stem().string() + "-" + std::to_string(n) + ".eml");
        if (writeFileAtomically(file, rfc5322Message(from.front())))
            written = file;
    }
    m_finished = true;
    if (auto delegate = m_delegate.lock())
        delegate->mailComposeControllerDidFinish(*this, written ? MFMailComposeResult::Sent : MFMailComposeResult::Failed,
            written ? std::nullopt : std::optional<std::string>("The message could not be sent."));
    return written;
}

void MFMailComposeViewController::cancel()
{
    if (m_finished)
        return;
    m_finished = true;
    if (auto delegate = m_delegate.lock())
        delegate->mailComposeControllerDidFinish(*this, MFMailComposeResult::Cancelled, std::nullopt);
}
