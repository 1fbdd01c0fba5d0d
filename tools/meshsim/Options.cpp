#include "Options.h"

#include "Line.h"
#include "Usage.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <vector>

namespace {

using UsageError = usage::BadCommandLine;

// Reads the whole text as a number within [low, high]; `range` words the limits.
template <typename T>
T parseNumber(const std::string& option, const std::string& text, T low, T high, const char* range)
{
    T value{};
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || error != std::errc() || stop != end || !(value >= low && value <= high))
        throw UsageError(option + " wants " + range + ", not '" + text + "'");
    return value;
}

Pattern parsePattern(const std::string& text)
{
    if (text == "reference")
        return Pattern::Reference;
    if (text == "wave")
        return Pattern::Wave;
    if (text == "random")
        return Pattern::Random;
    throw UsageError("unknown pattern '" + text + "' (use reference, wave or random)");
}

// An option that the chosen pattern or the replay would ignore is refused, so
// nobody believes it took effect.
void checkOptionsApply(const Options& options, const usage::Arguments& arguments)
{
    if (!options.replayFile.empty()) {
        for (const char* name : {"pattern", "points", "seed"}) {
            if (arguments.isSet(name))
                throw UsageError("--" + std::string(name)
                                 + " does not apply to --replay, which sends the file as it is");
        }
        return;
    }
    if (arguments.isSet("points") && options.pattern != Pattern::Wave)
        throw UsageError("--points applies only to --pattern wave");
    if (arguments.isSet("seed") && options.pattern != Pattern::Random)
        throw UsageError("--seed applies only to --pattern random");
}

// Takes the values in the order given, so the first bad one is named; throws UsageError.
Options parseOptions(const usage::Arguments& arguments)
{
    Options options;
    for (const std::string& name : arguments.given()) {
        const std::string option = "--" + name;
        const std::string value = arguments.value(name);
        if (name == "rate")
            options.rate
                = parseNumber<double>(option, value, 0.01, 1000.0, "a rate from 0.01 to 1000 frames per second");
        else if (name == "pattern")
            options.pattern = parsePattern(value);
        else if (name == "points")
            options.points = parseNumber<int>(option, value, 2, 21, "a number of points from 2 to 21");
        else if (name == "count")
            options.count = parseNumber<long long>(option, value, 0, 1'000'000'000'000LL, "a frame count of 0 or more");
        else if (name == "replay")
            options.replayFile = value;
        else if (name == "device")
            options.devicePath = value;
        else if (name == "listen")
            options.listen = value;
        else if (name == "send")
            options.send = value;
        else if (name == "publish")
            options.publish = value;
        else if (name == "seed")
            options.seed = parseNumber<std::uint32_t>(option, value, 0, UINT32_MAX, "a seed from 0 to 4294967295");
    }
    checkOptionsApply(options, arguments);
    const int ends = int(!options.devicePath.empty()) + int(!options.listen.empty()) + int(!options.send.empty())
        + int(!options.publish.empty());
    if (ends > 1)
        throw UsageError("give one of --device, --listen, --send and --publish: meshsim writes to one line");
    try {
        if (!options.listen.empty())
            lineaddress::parse(options.listen, "tcp", kListenRules);
        if (!options.send.empty())
            lineaddress::parse(options.send, "udp", kSendRules);
        if (!options.publish.empty() && lineaddress::parseMqtt(options.publish, false).tls)
            throw UsageError("--publish takes mqtt://, not mqtts:// (meshsim publishes without TLS)");
    } catch (const lineaddress::AddressError& e) {
        throw UsageError(e.what());
    }
    return options;
}

const char* const kHelp =
    R"(Usage: meshsim [OPTION]...
Sends sample frames like the measuring device, so the viewer can run without it.

By default meshsim opens a pseudo-terminal, prints its path on one line
("meshsim: sending on /dev/pts/N") and waits until a reader opens that path;
only then does it start sending, so no frame is lost into a line nobody reads.
It stops when the reader closes the line, on SIGINT, SIGTERM or SIGHUP, or after --count
frames (then it lingers up to one second, or until the reader closes, so the
last frame can still be read).

  --pattern reference  send the reference frame "<66,66,70; 100,100,10; ...>"
                       (the default)
  --pattern wave       send points on a smooth moving surface (default points: 9)
  --pattern random     send random valid frames of 2 to 21 points
  --points N           points per wave frame, 2 to 21 (only with --pattern wave)
  --rate R             frames per second (default 10)
  --count N            stop after N frames (default: run until stopped)
  --replay FILE        send FILE's bytes unchanged instead of a pattern, cut after
                       each '>', one piece per period; stops at the end of the file
  --device PATH        write to this terminal device instead of a new
                       pseudo-terminal; stops when writing fails because the other
                       end went away. The viewer watches the other end of that
                       line, not PATH
  --listen tcp://[ADDRESS]:PORT
                       serve the frames over TCP instead: each client that
                       connects gets them from the start (--count and --replay
                       count per client), one client at a time, later ones wait
                       their turn; port 0 picks a free one; runs until stopped
  --send udp://HOST:PORT
                       send the frames as UDP datagrams instead, one frame each
  --publish mqtt://[USER[:PASSWORD]@]HOST[:PORT]/TOPIC
                       publish the frames to an MQTT broker instead (port 1883
                       by default), one frame per message on TOPIC, for every
                       subscriber at once; a broker that goes away is said
                       once and published to again when it is back
  --seed N             seed of the random pattern (default: from the clock; only
                       with --pattern random)
  -h, --help           show this text
  -v, --version        show the version

Exit status: 0 when stopped as above, 1 when the line or file cannot be used,
2 for a bad command line.
)";

} // namespace

std::optional<int> readOptions(int argc, char** argv, Options& options)
{
    try {
        const usage::Arguments arguments("meshsim",
                                         {{"rate", true},
                                          {"pattern", true},
                                          {"points", true},
                                          {"count", true},
                                          {"replay", true},
                                          {"device", true},
                                          {"listen", true},
                                          {"send", true},
                                          {"publish", true},
                                          {"seed", true}},
                                         std::vector<std::string>(argv + 1, argv + argc));
        options = parseOptions(arguments);
        return arguments.answer(kHelp, MESHSIM_VERSION);
    } catch (const UsageError& e) {
        return usage::failCommandLine("meshsim", e.what());
    }
}
