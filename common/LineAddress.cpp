#include "LineAddress.h"

#include <algorithm>
#include <cctype>

#include <arpa/inet.h>
#include <netinet/in.h>

namespace lineaddress {

namespace {

constexpr std::string_view kTcp = "tcp";
constexpr std::string_view kUdp = "udp";

bool startsWith(std::string_view text, std::string_view prefix)
{
    return text.substr(0, prefix.size()) == prefix;
}

std::string prefixOf(std::string_view scheme)
{
    return std::string(scheme) + "://";
}

std::string formOf(std::string_view scheme, const Rules& rules)
{
    return std::string(scheme) + (rules.hostRequired ? "://HOST:PORT" : "://[ADDRESS]:PORT");
}

// A host name: dot-separated labels of letters, digits, "_" and "-" (not at
// either end), or of the bytes of a name in another script; a full name may
// end in a dot.
bool isHostName(std::string_view host)
{
    if (host.size() > 1 && host.back() == '.')
        host.remove_suffix(1);
    std::size_t start = 0;
    for (;;) {
        const std::size_t dot = std::min(host.find('.', start), host.size());
        const std::string_view label = host.substr(start, dot - start);
        if (label.empty() || label.front() == '-' || label.back() == '-')
            return false;
        for (const char c : label) {
            const auto byte = static_cast<unsigned char>(c);
            if (!(std::isalnum(byte) || c == '_' || c == '-' || byte >= 0x80))
                return false;
        }
        if (dot == host.size())
            return true;
        start = dot + 1;
    }
}

// The inside of "[...]": an IPv6 address, with a zone written "%25zone".
std::optional<std::string> bracketedHost(std::string_view inside)
{
    const std::size_t percent = inside.find('%');
    const std::string address(inside.substr(0, percent));
    in6_addr parsed{};
    if (inet_pton(AF_INET6, address.c_str(), &parsed) != 1)
        return std::nullopt;
    if (percent == std::string_view::npos)
        return address;
    const std::string_view zone = inside.substr(percent);
    if (!startsWith(zone, "%25") || zone.size() == 3)
        return std::nullopt;
    for (const char c : zone.substr(3)) {
        if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '.' || c == '_' || c == '~'))
            return std::nullopt;
    }
    return address + "%" + std::string(zone.substr(3));
}

// A numeric IPv4 address in any form the resolver takes ("127.1" too),
// written out in full; nothing for anything else.
std::optional<std::string> numericIpv4(const std::string& host)
{
    in_addr parsed{};
    if (inet_aton(host.c_str(), &parsed) == 0)
        return std::nullopt;
    char text[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &parsed, text, sizeof text);
    return std::string(text);
}

} // namespace

Address parse(std::string_view text, std::string_view scheme, const Rules& rules)
{
    const auto bad = [&](const std::string& what) {
        return AddressError("cannot use " + std::string(text) + ": " + what + " (write " + formOf(scheme, rules) + ")");
    };
    const std::string prefix = prefixOf(scheme);
    if (!startsWith(text, prefix))
        throw bad("not a " + std::string(scheme) + " address");
    std::string_view rest = text.substr(prefix.size());
    const std::string_view onlyHostAndPort = "only a host and a port may follow the scheme";
    if (rest.find_first_of("/?#") != std::string_view::npos)
        throw bad(std::string(onlyHostAndPort));
    // "user@" names no user at all when nothing comes before the "@".
    if (const std::size_t at = rest.rfind('@'); at != std::string_view::npos) {
        if (at != 0)
            throw bad(std::string(onlyHostAndPort));
        rest.remove_prefix(1);
    }

    Address address;
    std::optional<std::string_view> portText;
    bool bracketed = false;
    if (startsWith(rest, "[")) {
        const std::size_t close = rest.find(']');
        const std::optional<std::string> host
            = close == std::string_view::npos ? std::nullopt : bracketedHost(rest.substr(1, close - 1));
        const std::string_view after = close == std::string_view::npos ? "" : rest.substr(close + 1);
        if (!host || (!after.empty() && after.front() != ':'))
            throw bad("not a network address");
        address.host = *host;
        bracketed = true;
        if (!after.empty())
            portText = after.substr(1);
    } else {
        const std::size_t colon = rest.find(':');
        address.host = std::string(rest.substr(0, colon));
        if (colon != std::string_view::npos)
            portText = rest.substr(colon + 1);
        // A second ":" is an IPv6 address outside brackets.
        if ((portText && portText->find(':') != std::string_view::npos)
            || (!address.host.empty() && !isHostName(address.host)))
            throw bad("not a network address");
    }

    const std::string lowest = rules.anyPort ? "0" : "1";
    const bool digits = portText && !portText->empty()
        && std::all_of(portText->begin(), portText->end(), [](char c) { return c >= '0' && c <= '9'; });
    long port = 0;
    for (std::size_t i = 0; digits && i < portText->size() && port <= 65535; ++i)
        port = port * 10 + ((*portText)[i] - '0');
    if (!digits || port > 65535 || (port == 0 && !rules.anyPort))
        throw bad("the port must be a number from " + lowest + " to 65535");
    address.port = static_cast<std::uint16_t>(port);

    if (rules.hostRequired && address.host.empty())
        throw bad("the host is missing");
    if (rules.numericHost && !address.host.empty() && !bracketed) {
        const std::optional<std::string> numeric = numericIpv4(address.host);
        if (!numeric) {
            std::string kind(scheme);
            std::transform(kind.begin(), kind.end(), kind.begin(), [](char c) { return char(std::toupper(c)); });
            throw bad("a " + kind + " source binds to a numeric address of this machine, not \"" + address.host + "\"");
        }
        address.host = *numeric;
    }
    return address;
}

bool isSource(std::string_view name)
{
    return startsWith(name, prefixOf(kTcp)) || startsWith(name, prefixOf(kUdp));
}

bool isTcpSource(std::string_view name)
{
    return startsWith(name, prefixOf(kTcp));
}

Address parseSource(std::string_view name)
{
    if (isTcpSource(name))
        return parse(name, kTcp, Rules{});
    const Rules bound{.hostRequired = false, .numericHost = true};
    if (!isSource(name))
        throw AddressError("cannot use " + std::string(name) + ": not a network address (write " + formOf(kUdp, bound)
                           + ")");
    return parse(name, kUdp, bound);
}

std::optional<std::string> sourceProblem(std::string_view name)
{
    try {
        parseSource(name);
    } catch (const AddressError& error) {
        return error.what();
    }
    return std::nullopt;
}

} // namespace lineaddress
