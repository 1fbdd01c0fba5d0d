// meshsim: a stand-in for the measuring device. Sends sample frames at a
// steady rate on a pseudo-terminal, a named terminal device, to each TCP
// client (--listen) or as UDP datagrams (--send).
#include "Frames.h"
#include "Line.h"
#include "Options.h"
#include "Publish.h"
#include "SerialInput.h"
#include "TextSplit.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <new>
#include <optional>
#include <sstream>

namespace {

// Hands out the frames to send, in order, up to --count.
class FrameSource {
public:
    explicit FrameSource(const Options& options)
        : options_(options),
          generator_(options.seed.value_or(std::uint32_t(std::chrono::steady_clock::now().time_since_epoch().count())))
    {
        if (!options.replayFile.empty()) {
            // A capture is sent one piece a frame's ">" ends at a time.
            const std::string bytes = readFile(options.replayFile);
            for (const std::string_view piece : meshscope::splitAfter(bytes, '>'))
                pieces_.emplace_back(piece);
        }
    }

    std::optional<std::string> next()
    {
        if (options_.count && sent_ >= *options_.count)
            return std::nullopt;
        std::optional<std::string> frame = make();
        if (frame)
            ++sent_;
        return frame;
    }

    bool exhaustedAfter(long long sent) const
    {
        if (options_.count && sent >= *options_.count)
            return true;
        return !options_.replayFile.empty() && sent >= (long long)pieces_.size();
    }

private:
    static std::string readFile(const std::string& path)
    {
        std::error_code error;
        if (std::filesystem::is_directory(path, error))
            throw std::runtime_error("cannot read " + path + ": it is a directory (give a capture file)");
        std::ifstream in(path, std::ios::binary);
        if (!in)
            throw std::runtime_error("cannot read " + path + ": " + std::strerror(errno));
        std::ostringstream content;
        content << in.rdbuf();
        if (in.bad() || content.bad())
            throw std::runtime_error("cannot read " + path + " (check the capture file)");
        return content.str();
    }

    std::optional<std::string> make()
    {
        if (!options_.replayFile.empty()) {
            if (sent_ >= (long long)pieces_.size())
                return std::nullopt;
            return pieces_[std::size_t(sent_)];
        }
        switch (options_.pattern) {
        case Pattern::Wave: return waveFrame(sent_, options_.points);
        case Pattern::Random: return randomFrame(generator_);
        case Pattern::Reference: break;
        }
        return std::string(meshscope::kReferenceFrame);
    }

    const Options& options_;
    std::mt19937 generator_;
    std::vector<std::string> pieces_;
    long long sent_ = 0;
};

// Sends until the frames run out, the reader hangs up or a stop signal comes.
template <class Out>
void run(Out& line, FrameSource& source, double rate)
{
    if (line.waitForReader() != Outcome::Done)
        return;
    const long long period = (long long)(1e9 / rate);
    timespec next = monotonicNow();
    long long sent = 0;
    while (std::optional<std::string> frame = source.next()) {
        if (line.send(*frame) != Outcome::Done)
            return;
        ++sent;
        if (source.exhaustedAfter(sent))
            break;
        next = addNanoseconds(next, period);
        const timespec now = monotonicNow();
        // After a stall (a reader that stopped reading) resume the rate instead of bursting.
        if (now.tv_sec > next.tv_sec + 1)
            next = now;
        if (line.waitUntil(next) != Outcome::Done)
            return;
    }
    // Closing the master would discard what the reader has not taken yet;
    // a TCP client gets the same time to read the last frame.
    if (line.lingers())
        line.waitUntil(addNanoseconds(monotonicNow(), 1'000'000'000LL));
}

// The viewer beside this program, in the build tree or installed with it,
// named as the user can type it from here; "meshscope" when neither is found.
std::string viewerCommand()
{
    namespace fs = std::filesystem;
    std::error_code error;
    const fs::path self = fs::read_symlink("/proc/self/exe", error);
    if (error)
        return "meshscope";
    const fs::path here = self.parent_path();
    for (const fs::path& viewer : {here / "../../viewer/ui/meshscope", here / "meshscope"}) {
        if (!fs::exists(viewer, error))
            continue;
        const fs::path exact = fs::weakly_canonical(viewer, error);
        const fs::path relative = exact.lexically_relative(fs::current_path(error));
        if (!relative.empty() && *relative.begin() != "..")
            return relative.has_parent_path() ? relative.string() : "./" + relative.string();
        return exact.string();
    }
    return "meshscope";
}

} // namespace

int main(int argc, char** argv)
{
    Options options;
    if (const auto status = readOptions(argc, argv, options))
        return *status;
    try {
        FrameSource source(options);
        installStopSignals();
        if (!options.listen.empty()) {
            Listener listener(options.listen);
            std::string watched = listener.address();
            // A viewer on this machine reaches an any-address server through loopback.
            for (const char* any : {"tcp://0.0.0.0:", "tcp://[::]:"})
                if (watched.rfind(any, 0) == 0)
                    watched = "tcp://127.0.0.1:" + watched.substr(std::string(any).size());
            std::cout << "meshsim: listening on " << listener.address() << '\n'
                      << "meshsim: watch it with " << viewerCommand() << " --port " << watched << std::endl;
            while (std::optional<Line> client = listener.accept()) {
                FrameSource frames(options);
                run(*client, frames, options.rate);
            }
            return 0;
        }
        if (!options.publish.empty()) {
            Publisher publisher(options.publish);
            std::cout << "meshsim: publishing to " << publisher.path() << '\n'
                      << "meshsim: watch it with " << viewerCommand() << " --port " << publisher.path() << std::endl;
            run(publisher, source, options.rate);
            return 0;
        }
        if (!options.send.empty()) {
            Line line = Line::openDatagrams(options.send);
            const std::string port = options.send.substr(options.send.rfind(':') + 1);
            std::cout << "meshsim: sending datagrams to " << line.path() << '\n'
                      << "meshsim: watch it with " << viewerCommand() << " --port udp://:" << port << std::endl;
            run(line, source, options.rate);
            return 0;
        }
        Line line = options.devicePath.empty() ? Line::openPseudoTerminal() : Line::openDevice(options.devicePath);
        std::cout << "meshsim: sending on " << line.path() << '\n';
        if (options.devicePath.empty())
            std::cout << "meshsim: watch it with " << viewerCommand() << " --port " << line.path() << std::endl;
        else
            std::cout << "meshsim: watch the other end of this line with " << viewerCommand()
                      << " --port OTHER-END (the port the cable or the pseudo-terminal pair leads to, not "
                      << line.path() << ")" << std::endl;
        run(line, source, options.rate);
    } catch (const std::bad_alloc&) {
        std::cerr << "meshsim: out of memory (try a smaller --replay file)\n";
        return 1;
    } catch (const std::exception& e) {
        std::cerr << "meshsim: " << e.what() << '\n';
        return 1;
    }
    return 0;
}
