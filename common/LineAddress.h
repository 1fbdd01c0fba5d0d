// Network line addresses, "tcp://HOST:PORT", "udp://[ADDRESS]:PORT" and
// "mqtt://[USER[:PASSWORD]@]HOST[:PORT]/TOPIC", read in plain C++ so the
// viewer's network controls, its command line and the simulator accept the
// same text and say the same about a bad one.
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace lineaddress {

// A malformed address; what() is "cannot use TEXT: what is wrong (write FORM)".
class AddressError : public std::invalid_argument {
public:
    using std::invalid_argument::invalid_argument;
};

// What the address may name besides the scheme.
struct Rules {
    // HOST:PORT, the far end by name or number; otherwise [ADDRESS]:PORT, an
    // address of this machine or none for all of them.
    bool hostRequired = true;
    // The host must be a numeric address (it is bound without a name lookup).
    bool numericHost = false;
    // Port 0 lets the system choose one.
    bool anyPort = false;
};

struct Address {
    std::string host; // without brackets; empty when none was given
    std::uint16_t port = 0;
};

// Reads SCHEME://HOST:PORT under rules; throws AddressError.
Address parse(std::string_view text, std::string_view scheme, const Rules& rules);

// The viewer's network sources: "tcp://HOST:PORT" connects to a server,
// "udp://[ADDRESS]:PORT" binds to a numeric address of this machine.
bool isSource(std::string_view name);
bool isTcpSource(std::string_view name);
// Throws AddressError for a name that is no well-formed source.
Address parseSource(std::string_view name);
// The one-line reason a source name cannot be used, or nothing when it can.
std::optional<std::string> sourceProblem(std::string_view name);

// A topic on an MQTT broker: "mqtt://[USER[:PASSWORD]@]HOST[:PORT]/TOPIC"
// (port 1883) or "mqtts://..." (TLS, port 8883). The topic is everything
// after the first "/"; user and password may be percent-encoded.
struct MqttAddress {
    bool tls = false;
    std::string user;                    // empty when none was given
    std::optional<std::string> password; // when given, even empty
    std::string host;                    // without brackets
    std::uint16_t port = 1883;
    std::string topic;
    std::string shown; // the address as written but for the password, for messages
};

bool isMqtt(std::string_view name);
// Throws AddressError, whose text never holds the password. A subscription's
// topic may hold the wildcards "+" (one whole level) and "#" (the last
// level); a topic to publish to may not.
MqttAddress parseMqtt(std::string_view text, bool subscription);

} // namespace lineaddress
