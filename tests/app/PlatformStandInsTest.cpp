#include "platform/InstanceLock.h"
#include "platform/MessageBox.h"
#include "platform/ShellOpen.h"
#include "platform/Signals.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

namespace {

const std::string kLockName = "6c1f0a52-93be-4d7e-a1c4-2b8e5f7d9013";

// Points TMPDIR at a private folder for the lifetime of the object.
class PrivateTempDir {
public:
    PrivateTempDir()
    {
        const char* old = std::getenv("TMPDIR");
        if (old) m_old = old;
        setenv("TMPDIR", m_dir.Path().c_str(), 1);
    }
    ~PrivateTempDir()
    {
        if (m_old.empty()) unsetenv("TMPDIR");
        else setenv("TMPDIR", m_old.c_str(), 1);
    }
    const std::filesystem::path& Path() const { return m_dir.Path(); }

private:
    testsupport::TempDir m_dir;
    std::string m_old;
};

TEST(InstanceLock, SecondHolderIsRefusedUntilTheFirstLetsGo)
{
    const PrivateTempDir tmp;
    platform::InstanceLock first(kLockName);
    platform::InstanceLock second(kLockName);
    EXPECT_EQ(first.Path(), tmp.Path() / kLockName);
    ASSERT_EQ(first.Acquire(), platform::InstanceLock::Result::Acquired);
    EXPECT_TRUE(std::filesystem::exists(tmp.Path() / kLockName));
    EXPECT_EQ(second.Acquire(), platform::InstanceLock::Result::AlreadyHeld);
    first.Release();
    EXPECT_EQ(second.Acquire(), platform::InstanceLock::Result::Acquired);
}

TEST(InstanceLock, KilledHolderLeavesNoStaleLock)
{
    const PrivateTempDir tmp;
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        platform::InstanceLock held(kLockName);
        const char state = held.Acquire() == platform::InstanceLock::Result::Acquired ? 'y' : 'n';
        (void)!write(ready[1], &state, 1);
        pause();
        _exit(0);
    }
    close(ready[1]);
    char state = 0;
    ASSERT_EQ(read(ready[0], &state, 1), 1);
    close(ready[0]);
    ASSERT_EQ(state, 'y');

    platform::InstanceLock mine(kLockName);
    EXPECT_EQ(mine.Acquire(), platform::InstanceLock::Result::AlreadyHeld);
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    EXPECT_EQ(mine.Acquire(), platform::InstanceLock::Result::Acquired);
}

TEST(InstanceLock, LockFileThatIsALinkIsRefused)
{
    const PrivateTempDir tmp;
    const std::filesystem::path target = tmp.Path() / "elsewhere";
    std::ofstream(target) << "keep";
    std::filesystem::create_symlink(target, tmp.Path() / kLockName);
    platform::InstanceLock lock(kLockName);
    EXPECT_EQ(lock.Acquire(), platform::InstanceLock::Result::Failed);
    EXPECT_NE(lock.LastError(), 0);
    EXPECT_EQ(testsupport::ReadWholeFile(target.string()), "keep");
}

TEST(InstanceLock, LockIsNotInheritedByStartedPrograms)
{
    const PrivateTempDir tmp;
    platform::InstanceLock lock(kLockName);
    ASSERT_EQ(lock.Acquire(), platform::InstanceLock::Result::Acquired);
    // A program started while the lock is held (as a browser may be) must not keep it.
    // The close-on-exec pipe reads end-of-file once the child has executed the program.
    int started[2];
    ASSERT_EQ(pipe2(started, O_CLOEXEC), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        execlp("sleep", "sleep", "5", static_cast<char*>(nullptr));
        _exit(127);
    }
    close(started[1]);
    char byte = 0;
    EXPECT_EQ(read(started[0], &byte, 1), 0);
    close(started[0]);
    lock.Release();
    platform::InstanceLock next(kLockName);
    EXPECT_EQ(next.Acquire(), platform::InstanceLock::Result::Acquired);
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
}

TEST(ConsoleMessageBox, BoxTextIsOneLine)
{
    std::istringstream in("y\n");
    std::ostringstream out;
    platform::ConsoleMessageBox box(in, out, true);
    box.Show("Update status", "Your version is up-to-date!", platform::MessageBoxIcon::Information);
    EXPECT_EQ(out.str(), "Your version is up-to-date!\n");
    EXPECT_EQ(in.tellg(), 0);  // an OK box reads no answer
}

TEST(ConsoleMessageBox, QuestionWithoutTerminalIsAnsweredNoAndShowsTheSubject)
{
    std::istringstream in("y\n");
    std::ostringstream out;
    platform::ConsoleMessageBox box(in, out, false);
    EXPECT_FALSE(box.AskYesNo("Update status", "New version?", "http://host/file.zip"));
    EXPECT_EQ(out.str(), "New version?\nAnswered No (no terminal): http://host/file.zip\n");
}

TEST(ConsoleMessageBox, QuestionOnTerminalTakesTheAnswer)
{
    struct Row {
        std::string input;
        bool yes;
    };
    for (const Row& row : {Row{"y\n", true}, Row{"Yes\n", true}, Row{"n\n", false}, Row{"\n", false},
                           Row{"", false}, Row{"maybe\n", false}}) {
        std::istringstream in(row.input);
        std::ostringstream out;
        platform::ConsoleMessageBox box(in, out, true);
        EXPECT_EQ(box.AskYesNo("c", "Download?", "http://h/"), row.yes) << '"' << row.input << '"';
        // The address comes before the question it is about.
        EXPECT_EQ(out.str().rfind("Download?\nAddress: http://h/\n[y/N] ", 0), 0U) << out.str();
    }
}

TEST(ShellOpen, OnlyWebAddressesAreOpenable)
{
    struct Row {
        std::string address;
        bool openable;
    };
    for (const Row& row : {Row{"http://www.example.com/a?b=1&c=2", true}, Row{"HTTPS://example.com", true},
                           Row{"https://", false}, Row{"ftp://example.com/", false}, Row{"file:///etc/passwd", false},
                           Row{"/usr/bin/xterm", false}, Row{"", false}, Row{"UPTODATE", false},
                           Row{"http://example.com/a b", false}, Row{"http://example.com/\n--help", false},
                           Row{"-http://example.com", false}}) {
        EXPECT_EQ(platform::IsOpenableWebAddress(row.address), row.openable) << row.address;
    }
}

// A stand-in xdg-open on PATH that records its arguments and its ignored signals.
class FakeOpener {
public:
    explicit FakeOpener(int exitCode)
    {
        const std::string script = m_dir.File("xdg-open");
        std::ofstream(script) << "#!/bin/sh\nprintf '%s|' \"$@\" > '" << Record() << "'\n"
                              << "grep '^SigIgn:' /proc/$$/status > '" << IgnoredSignals() << "'\n"
                              << "exit " << exitCode << "\n";
        std::filesystem::permissions(script, std::filesystem::perms::owner_all);
        const char* path = std::getenv("PATH");
        m_oldPath = path ? path : "";
        setenv("PATH", (m_dir.Path().string() + ":" + m_oldPath).c_str(), 1);
    }
    ~FakeOpener() { setenv("PATH", m_oldPath.c_str(), 1); }
    std::string Record() const { return m_dir.File("args"); }
    std::string IgnoredSignals() const { return m_dir.File("sigign"); }
    std::string Folder() const { return m_dir.Path().string(); }

private:
    testsupport::TempDir m_dir;
    std::string m_oldPath;
};

TEST(ShellOpen, StartsTheOpenerWithTheAddressAsOneArgumentAndNoShell)
{
    const FakeOpener opener(0);
    const std::string address = "http://example.com/x?a=1&b=$(touch${IFS}" + opener.Folder() + "/pwned);c=`id`";
    EXPECT_TRUE(platform::ShellOpen(address));
    EXPECT_EQ(testsupport::ReadWholeFile(opener.Record()), address + "|");
    EXPECT_FALSE(std::filesystem::exists(opener.Folder() + "/pwned"));
}

TEST(ShellOpen, OpenerDoesNotInheritTheIgnoredBrokenPipeSignal)
{
    struct sigaction before {};
    ASSERT_EQ(sigaction(SIGPIPE, nullptr, &before), 0);
    platform::IgnoreBrokenPipeSignal();  // as vesgen runs
    const FakeOpener opener(0);
    EXPECT_TRUE(platform::ShellOpen("http://example.com/"));
    sigaction(SIGPIPE, &before, nullptr);

    // "SigIgn:\t<hexadecimal mask>", bit n-1 standing for signal n.
    std::istringstream line(testsupport::ReadWholeFile(opener.IgnoredSignals()));
    std::string label;
    unsigned long long ignored = 0;
    ASSERT_TRUE(line >> label >> std::hex >> ignored);
    EXPECT_EQ(ignored & (1ULL << (SIGPIPE - 1)), 0U);
}

TEST(ShellOpen, FailingOpenerAndRefusedAddressesReportFalse)
{
    {
        const FakeOpener failing(4);
        EXPECT_FALSE(platform::ShellOpen("https://example.com/"));
        EXPECT_TRUE(std::filesystem::exists(failing.Record()));
    }
    const FakeOpener opener(0);
    EXPECT_FALSE(platform::ShellOpen("file:///etc/passwd"));
    EXPECT_FALSE(std::filesystem::exists(opener.Record()));
}

} // namespace
