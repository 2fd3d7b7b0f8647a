#include "testing/GpsFake.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <stdexcept>
#include <string_view>
#include <thread>
#include <vector>

namespace testing_support {

namespace {

sockaddr_in loopback(int port)
{
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

} // namespace

std::filesystem::path GpsFake::program()
{
    const char* path = std::getenv("PATH");
    std::string_view folders = path ? path : "/usr/bin:/bin";
    while (!folders.empty()) {
        const auto colon = folders.find(':');
        const std::filesystem::path candidate = std::filesystem::path(folders.substr(0, colon)) / "gpsfake";
        if (::access(candidate.c_str(), X_OK) == 0)
            return candidate;
        folders = colon == std::string_view::npos ? std::string_view() : folders.substr(colon + 1);
    }
    return {};
}

int GpsFake::freePort()
{
    const int socket = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address = loopback(0);
    socklen_t length = sizeof address;
    if (socket < 0 || ::bind(socket, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0
        || ::getsockname(socket, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        throw std::runtime_error("no free loopback port");
    ::close(socket);
    return ntohs(address.sin_port);
}

GpsFake::GpsFake(std::filesystem::path log, int port, double sentenceSeconds)
    : port_(port)
{
    const std::string program = GpsFake::program().string();
    if (program.empty())
        throw std::runtime_error("gpsfake is not installed");
    std::ifstream text(log, std::ios::binary);
    for (std::string line; std::getline(text, line);)
        ++sentences_;
    // One sentence per line of standard input ("-i"), each announced on standard output.
    std::vector<std::string> arguments { program, "-1", "-q", "-i", "-c", std::to_string(sentenceSeconds), "-P",
        std::to_string(port), log.string() };
    int steps[2];
    if (::pipe(steps) != 0)
        throw std::runtime_error("pipe failed");
    const pid_t child = ::fork();
    if (child < 0)
        throw std::runtime_error("fork failed");
    if (child == 0) {
        ::setpgid(0, 0);
        ::dup2(steps[0], STDIN_FILENO);
        ::close(steps[0]);
        ::close(steps[1]);
        const int quiet = ::open("/dev/null", O_WRONLY);
        ::dup2(quiet, STDOUT_FILENO);
        std::vector<char*> argv;
        for (auto& argument : arguments)
            argv.push_back(argument.data());
        argv.push_back(nullptr);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    // Both sides set the group, so that a kill right after the start still finds it.
    ::setpgid(child, child);
    group_ = child;
    ::close(steps[0]);
    steps_ = steps[1];
}

void GpsFake::play()
{
    const std::string lines(std::size_t(sentences_), '\n');
    // gpsfake reads them one at a time; a pipe holds far more than a short walk's lines.
    if (::write(steps_, lines.data(), lines.size()) != ssize_t(lines.size()))
        throw std::runtime_error("gpsfake did not take the log");
}

GpsFake::~GpsFake()
{
    kill();
}

bool GpsFake::waitUntilListening(double timeoutSeconds) const
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(timeoutSeconds);
    while (std::chrono::steady_clock::now() < deadline) {
        const int socket = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address = loopback(port_);
        std::string replies;
        if (::connect(socket, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
            // Listening is not enough: the log's receiver must be known to the daemon.
            const std::string ask = "?DEVICES;\n";
            if (::write(socket, ask.data(), ask.size()) == ssize_t(ask.size())) {
                timeval wait { 0, 300'000 };
                ::setsockopt(socket, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
                char buffer[2048];
                for (ssize_t got; (got = ::read(socket, buffer, sizeof buffer)) > 0;)
                    replies.append(buffer, std::size_t(got));
            }
        }
        ::close(socket);
        if (replies.find(R"("class":"DEVICES","devices":[{)") != std::string::npos)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
}

void GpsFake::kill()
{
    if (group_ < 0)
        return;
    ::kill(-group_, SIGKILL);
    ::waitpid(group_, nullptr, 0);
    group_ = -1;
    ::close(steps_);
    steps_ = -1;
}

} // namespace testing_support
