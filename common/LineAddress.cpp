#include "LineAddress.h"

#include <algorithm>
#include <cctype>

#include <arpa/inet.h>
#include <netinet/in.h>

namespace lineaddress {

namespace {

constexpr std::string_view kTcp = "tcp";
constexpr std::string_view kUdp = "udp";
constexpr std::string_view kMqtt = "mqtt";
constexpr std::string_view kMqtts = "mqtts";

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

// HOST:PORT or [IPV6]:PORT after the scheme; without defaultPort the port
// must be given. Throws what bad makes of the reason.
template <class Bad>
Address readHostAndPort(std::string_view rest, const Rules& rules, std::optional<std::uint16_t> defaultPort,
                        bool& bracketed, const Bad& bad)
{
    Address address;
    std::optional<std::string_view> portText;
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

    if (!portText && defaultPort) {
        address.port = *defaultPort;
        return address;
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
    return address;
}

// "%XX" escapes decoded; nothing when one is broken.
std::optional<std::string> percentDecoded(std::string_view text)
{
    std::string decoded;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            decoded += text[i];
            continue;
        }
        const auto hex
            = [&](std::size_t at) { return at < text.size() && std::isxdigit(static_cast<unsigned char>(text[at])); };
        if (!hex(i + 1) || !hex(i + 2))
            return std::nullopt;
        decoded += char(std::stoi(std::string(text.substr(i + 1, 2)), nullptr, 16));
        i += 2;
    }
    return decoded;
}

// Why an MQTT topic cannot be used, or nothing.
std::optional<std::string> topicProblem(std::string_view topic, bool subscription)
{
    if (topic.size() > 65535)
        return "the topic is longer than MQTT allows (65535 bytes)";
    std::size_t start = 0;
    for (;;) {
        const std::size_t slash = std::min(topic.find('/', start), topic.size());
        const std::string_view level = topic.substr(start, slash - start);
        const bool wildcard = level.find_first_of("+#") != std::string_view::npos;
        if (wildcard && !subscription)
            return "the topic \"" + std::string(topic) + "\" has a wildcard; publish to one topic";
        if (wildcard && !(level == "+" || (level == "#" && slash == topic.size())))
            return "the topic \"" + std::string(topic)
                + "\" has a wildcard out of place (\"+\" stands for one whole level, \"#\" for the last)";
        if (slash == topic.size())
            return std::nullopt;
        start = slash + 1;
    }
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

    bool bracketed = false;
    Address address = readHostAndPort(rest, rules, std::nullopt, bracketed, bad);

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

bool isMqtt(std::string_view name)
{
    return startsWith(name, prefixOf(kMqtt)) || startsWith(name, prefixOf(kMqtts));
}

MqttAddress parseMqtt(std::string_view text, bool subscription)
{
    MqttAddress address;
    address.tls = startsWith(text, prefixOf(kMqtts));
    address.port = address.tls ? 8883 : 1883;
    const std::string prefix = prefixOf(address.tls ? kMqtts : kMqtt);
    const std::string_view rest = startsWith(text, prefix) ? text.substr(prefix.size()) : text;
    const std::size_t slash = rest.find('/');
    const std::string_view authority = rest.substr(0, slash);
    const std::size_t at = authority.rfind('@');
    const bool hasUser = at != std::string_view::npos;
    const std::string_view userInfo = hasUser ? authority.substr(0, at) : std::string_view();
    const std::size_t colon = userInfo.find(':');
    const std::string_view afterUser = hasUser ? rest.substr(at + 1) : rest;
    address.shown = (startsWith(text, prefix) ? prefix : std::string())
        + (hasUser ? std::string(userInfo.substr(0, colon)) + "@" : std::string()) + std::string(afterUser);
    const auto bad = [&](const std::string& what) {
        return AddressError("cannot use " + address.shown + ": " + what + " (write " + std::string(kMqtt)
                            + "://[USER[:PASSWORD]@]HOST[:PORT]/TOPIC)");
    };
    if (!isMqtt(text))
        throw bad("not an MQTT address");
    if (hasUser) {
        const std::optional<std::string> user = percentDecoded(userInfo.substr(0, colon));
        if (!user || user->empty())
            throw bad("the user name before \"@\" is empty or badly %-encoded");
        address.user = *user;
        if (colon != std::string_view::npos) {
            address.password = percentDecoded(userInfo.substr(colon + 1));
            if (!address.password)
                throw bad("the password is badly %-encoded");
        }
    }
    bool bracketed = false;
    const Address hostPort
        = readHostAndPort(authority.substr(hasUser ? at + 1 : 0), Rules{}, address.port, bracketed, bad);
    if (hostPort.host.empty())
        throw bad("the host is missing");
    address.host = hostPort.host;
    address.port = hostPort.port;
    if (slash == std::string_view::npos || slash + 1 == rest.size())
        throw bad("the topic after the host is missing");
    address.topic = std::string(rest.substr(slash + 1));
    if (const std::optional<std::string> problem = topicProblem(address.topic, subscription))
        throw bad(*problem);
    return address;
}

} // namespace lineaddress
