// Behaviour that needs a terminal or a signal: the batch progress line and a clean interrupt.
#include <gtest/gtest.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <thread>

#include "tool_support.h"

namespace {

// Starts the tool in folder with stderr on fd errTo and stdout on outTo (discarded when -1).
pid_t Spawn(const std::vector<std::string>& args, const std::filesystem::path& folder, int errTo, int outTo = -1) {
    std::vector<std::string> argv{AHX_TOOL_PATH};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<char*> pointers;
    for (std::string& a : argv) pointers.push_back(a.data());
    pointers.push_back(nullptr);
    const pid_t child = ::fork();
    if (child == 0) {
        ::setsid();
        if (::chdir(folder.c_str()) != 0) ::_exit(126);
        if (outTo < 0) {
            std::freopen("/dev/null", "w", stdout);
        } else {
            ::dup2(outTo, STDOUT_FILENO);
        }
        ::dup2(errTo, STDERR_FILENO);
        ::execv(pointers[0], pointers.data());
        ::_exit(127);
    }
    return child;
}

int ExitCodeOf(pid_t child) {
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(Terminal, ABatchShowsFilesDoneAndTheCurrentFile) {
    ScratchFolder folder;
    WriteBytes(folder / "first.hvl", BuildModule(CountedSong(ModuleFormat::Hvl, 2, 4)));
    WriteBytes(folder / "second.ahx", BuildModule(CountedSong(ModuleFormat::Ahx, 2, 4)));
    int master = -1;
    int slave = -1;
    if (::openpty(&master, &slave, nullptr, nullptr, nullptr) != 0) GTEST_SKIP() << "no pseudo-terminal here";
    const pid_t child = Spawn({"render", "first.hvl", "second.ahx", "-o", "out"}, folder.path(), slave);
    ::close(slave);
    std::string shown;
    char buffer[4096];
    for (ssize_t n; (n = ::read(master, buffer, sizeof buffer)) > 0;) shown.append(buffer, static_cast<size_t>(n));
    ::close(master);
    EXPECT_EQ(ExitCodeOf(child), 0);
    EXPECT_NE(shown.find("[0/2 done] first.hvl"), std::string::npos) << shown;
    EXPECT_NE(shown.find("[1/2 done] second.ahx"), std::string::npos) << shown;

    // Not on a terminal, a successful batch says nothing on stderr.
    const ToolRun run = RunTool({"render", "first.hvl", "second.ahx", "-o", "again"}, folder.path());
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.err, "");
}

TEST(Terminal, AnInterruptedRenderLeavesNoFileBehind) {
    ScratchFolder folder;
    WriteBytes(folder / "song.hvl", BuildModule(CountedSong(ModuleFormat::Hvl, 2, 4)));
    ScratchFolder capture;
    const std::string errPath = (capture / "stderr").string();
    std::FILE* err = std::fopen(errPath.c_str(), "w");
    ASSERT_NE(err, nullptr);
    const pid_t child = Spawn({"render", "song.hvl", "--seconds", "86400", "-o", "long.wav"}, folder.path(), ::fileno(err));
    std::fclose(err);
    // Wait until the render is under way: its temporary file exists.
    bool started = false;
    for (int i = 0; i < 3000 && !started; ++i) {
        for (const std::string& name : folder.Entries()) started = started || name.starts_with(".long.wav.");
        if (!started) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ASSERT_TRUE(started);
    ::kill(child, SIGINT);
    EXPECT_EQ(ExitCodeOf(child), 130);
    EXPECT_EQ(folder.Entries(), std::vector<std::string>{"song.hvl"});
    const std::vector<uint8_t> message = ReadBytes(errPath);
    EXPECT_NE(std::string(message.begin(), message.end()).find("interrupted"), std::string::npos);
}

TEST(Terminal, RawSamplesAreNotWrittenToATerminal) {
    ScratchFolder folder;
    int master = -1;
    int slave = -1;
    if (::openpty(&master, &slave, nullptr, nullptr, nullptr) != 0) GTEST_SKIP() << "no pseudo-terminal here";
    const pid_t child = Spawn({"render", "-o", "-"}, folder.path(), slave, slave);
    ::close(slave);
    std::string shown;
    char buffer[4096];
    for (ssize_t n; (n = ::read(master, buffer, sizeof buffer)) > 0;) shown.append(buffer, static_cast<size_t>(n));
    ::close(master);
    EXPECT_EQ(ExitCodeOf(child), 1);
    EXPECT_NE(shown.find("pipe it into a player"), std::string::npos) << shown;
}

}  // namespace
