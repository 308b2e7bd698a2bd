// A stand-in for the emulator in the panel's tests. What it does is chosen by the first word of
// its --vessel-name value; "--check-update" alone gets one line back, two seconds late when a
// file "slow-update" is in its directory.
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <thread>
#include <unistd.h>

namespace {

void Write(int fd, const std::string& text)
{
    // Write errors are ignored on purpose: the panel may be gone.
    [[maybe_unused]] const ssize_t n = ::write(fd, text.data(), text.size());
}

void Sleep(int ms)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

std::string Mode(int argc, char** argv)
{
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], "--vessel-name") == 0) {
            std::string name = argv[i + 1];
            return name.substr(0, name.find(' '));
        }
    return {};
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 2 && std::strcmp(argv[1], "--check-update") == 0) {
        // A slow answer when its directory asks for one.
        if (::access("slow-update", F_OK) == 0) Sleep(2000);
        Write(1, "update check\n");
        return 0;
    }
    const std::string mode = Mode(argc, argv);
    if (mode == "BURST") {
        Write(1, "one\r\ntwo\r\nthree\r\n");
    } else if (mode == "PARTIAL") {
        Write(1, "first\n");
        Sleep(50);
        Write(1, "last piece");
    } else if (mode == "SPLIT") {
        Write(1, "hel");
        Sleep(300);
        Write(1, "lo\n");
    } else if (mode == "STDERR") {
        Write(1, "to stdout\n");
        Sleep(50);
        Write(2, "to stderr\n");
    } else if (mode == "ARGS") {
        for (int i = 1; i < argc; ++i) Write(1, std::string("arg:") + argv[i] + "\n");
        char cwd[4096] = {};
        if (::getcwd(cwd, sizeof cwd)) Write(1, std::string("cwd:") + cwd + "\n");
        char c = 0;
        Write(1, ::read(0, &c, 1) == 0 ? "stdin:end\n" : "stdin:open\n");
    } else if (mode == "SILENT") {
        for (;;) Sleep(1000);
    } else if (mode == "TICK") {
        // Keeps writing; notes in its directory that it is alive after its reader has gone.
        Write(::open("fake.pid", O_WRONLY | O_CREAT | O_TRUNC, 0644), std::to_string(::getpid()));
        for (int tick = 0;; ++tick) {
            const std::string line = "tick " + std::to_string(tick) + "\n";
            if (::write(1, line.data(), line.size()) < 0) {
                const int fd = ::open("fake.epipe", O_WRONLY | O_CREAT | O_APPEND, 0644);
                Write(fd, "write failed\n");
                ::close(fd);
            }
            Sleep(50);
        }
    } else {
        Write(1, "fake emulator\n");
    }
    return 0;
}
