// The ahx tool against a hostile filesystem: a full disk and a full standard output, read-only and
// unwritable folders, a file where a folder should be, an unreadable input, FIFOs, and names with
// spaces, newlines and a leading dash. Each failure gives exactly one line, exit code 2, no partial
// output, and leaves every existing file as it was.
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <set>

#include "builder/module_builder.h"

namespace {

namespace fs = std::filesystem;

constexpr int kExitFileError = 2;
// Running as root ignores file permissions, so permission cases drop to this user and group.
constexpr const char* kUnprivileged = "setpriv --reuid=65534 --regid=65534 --clear-groups";
// Far smaller than the WAV file of the test song (a second and a half, about 250 KiB).
constexpr const char* kTinyFilesystem = "size=64k";

std::string ReadFile(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFile(const fs::path& file, const std::string& bytes) {
    std::ofstream(file, std::ios::binary) << bytes;
}

// Three positions of four steps with one note: a valid module that renders for 1.44 seconds.
std::string SongBytes() {
    ModuleDescription song;
    song.trackLength = 4;
    song.tracks.assign(2, std::vector<BuiltStep>(4));
    song.tracks[1][0] = {.note = 37, .instrument = 1};
    song.positions.resize(3);
    for (BuiltPosition& position : song.positions) position.track[0] = 1;
    song.instruments = {{.name = "tone", .envelope = {.sustainFrames = 255}, .perfList = {{.waveform = 1}}}};
    const std::vector<uint8_t> bytes = BuildModule(song);
    return std::string(bytes.begin(), bytes.end());
}

// A fresh folder anyone may enter and write (the unprivileged cases run in it too); whatever a case
// mounted inside is unmounted before the folder goes.
struct Scratch {
    fs::path path;
    std::vector<fs::path> mounts;
    Scratch() {
        std::string pattern = (fs::temp_directory_path() / "ahx-hostile-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
        path = pattern;
        fs::permissions(path, fs::perms::all);
    }
    ~Scratch() {
        for (const fs::path& mount : mounts) ::umount(mount.c_str());
        std::error_code error;
        for (const auto& entry : fs::recursive_directory_iterator(path, error)) {
            fs::permissions(entry.path(), fs::perms::owner_all, fs::perm_options::add, error);
        }
        fs::remove_all(path, error);
    }
    // Mounts a tmpfs with options at name; false with the reason when this machine does not allow it.
    bool Mount(const std::string& name, const char* options, std::string* why) {
        fs::create_directory(path / name);
        if (::mount("tmpfs", (path / name).c_str(), "tmpfs", 0, options) != 0) {
            *why = std::strerror(errno);
            return false;
        }
        mounts.push_back(path / name);
        return true;
    }
    // Every file below the folder with its contents; folders appear with a trailing slash.
    std::map<std::string, std::string> Contents() const {
        std::map<std::string, std::string> contents;
        for (const auto& entry : fs::recursive_directory_iterator(path)) {
            const std::string name = fs::relative(entry.path(), path).string();
            if (entry.is_directory()) {
                contents[name + "/"] = "";
            } else if (entry.is_regular_file()) {
                contents[name] = ReadFile(entry.path());
            } else {
                contents[name] = "(special)";
            }
        }
        return contents;
    }
};

struct Result {
    int exitCode;
    std::string out, err;
};

// Runs `ahx args...` in folder through the shell. `before` is shell code run first (a writer feeding a
// FIFO, say); stdout goes to a capture file unless stdoutPath names another place.
Result RunTool(const fs::path& folder, const std::vector<std::string>& args, const std::string& before = "",
               const std::string& as = "", const std::string& stdoutPath = "") {
    const std::string capture = (folder.parent_path() / (folder.filename().string() + ".out")).string();
    std::string command = "cd '" + folder.string() + "' && " + before + " " + as + " " AHX_TOOL_PATH;
    for (const std::string& a : args) command += " '" + a + "'";
    command += " </dev/null >'" + (stdoutPath.empty() ? capture : stdoutPath) + "' 2>'" + capture + ".err'";
    const int status = std::system(command.c_str());
    Result result{WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadFile(capture), ReadFile(capture + ".err")};
    fs::remove(capture);
    fs::remove(capture + ".err");
    return result;
}

size_t Lines(const std::string& text) {
    return static_cast<size_t>(std::count(text.begin(), text.end(), '\n'));
}

bool Privileged() {
    return ::geteuid() == 0;
}

// What one case prepares, runs and expects. Files the case makes are expected to stay as they are.
struct Case {
    const char* name;
    std::function<bool(Scratch&, std::string* skipReason)> prepare;  // false: skip, with the reason
    std::vector<std::string> args;
    int exitCode;
    std::string err;  // the one line expected on stderr; empty: stderr stays empty
    std::map<std::string, std::string> newFiles = {};  // files the run adds, by name; "" = any content
    std::string before = "";
    bool unprivileged = false;
    std::string stdoutPath = "";
};

bool Nothing(Scratch&, std::string*) { return true; }

TEST(ToolOnHostileFilesystem, FailsWithOneLineAndTouchesNothing) {
    const std::string song = SongBytes();
    // The reference output, rendered into an ordinary folder.
    Scratch reference;
    WriteFile(reference.path / "song.hvl", song);
    ASSERT_EQ(RunTool(reference.path, {"render", "song.hvl"}).exitCode, 0);
    const std::string wav = ReadFile(reference.path / "song.wav");
    ASSERT_GT(wav.size(), 200u * 1024) << "the song must not fit the tiny filesystem";

    const bool canDropPrivileges =
        !Privileged() || std::system((std::string(kUnprivileged) + " " AHX_TOOL_PATH " --version >/dev/null 2>&1").c_str()) == 0;
    const auto mountTiny = [](const char* options) {
        return [options](Scratch& s, std::string* why) {
            if (!Privileged()) {
                *why = "mounting a tmpfs needs root";
                return false;
            }
            if (!s.Mount("disk", options, why)) return false;
            WriteFile(s.path / "disk/kept.wav", "keep");
            return true;
        };
    };
    const auto asUnprivileged = [canDropPrivileges](std::function<void(Scratch&)> make) {
        return [canDropPrivileges, make](Scratch& s, std::string* why) {
            if (!canDropPrivileges) {
                *why = "cannot run the tool as an unprivileged user (setpriv)";
                return false;
            }
            make(s);
            return true;
        };
    };
    const std::string kFifo = "mkfifo pipe.hvl && ";

    const std::vector<Case> cases = {
        {"standard output full", Nothing, {"render", "song.hvl", "-o", "-"}, kExitFileError,
         "ahx: standard output: cannot write: No space left on device", {}, "", false, "/dev/full"},
        {"output folder full", mountTiny(kTinyFilesystem), {"render", "song.hvl", "-o", "disk/"}, kExitFileError,
         "ahx: disk/song.wav: cannot write: "},
        {"existing file replaced on a full disk", mountTiny(kTinyFilesystem),
         {"render", "song.hvl", "-o", "disk/kept.wav", "--force"}, kExitFileError, "ahx: disk/kept.wav: cannot write: "},
        {"read-only filesystem", mountTiny("ro,size=64k"), {"render", "song.hvl", "-o", "disk/"}, kExitFileError,
         "ahx: disk/song.wav: cannot write: Read-only file system"},
        {"folder without write permission",
         asUnprivileged([](Scratch& s) {
             fs::create_directory(s.path / "locked");
             fs::permissions(s.path / "locked", fs::perms::owner_read | fs::perms::owner_exec | fs::perms::others_read |
                                                    fs::perms::others_exec);
         }),
         {"render", "song.hvl", "-o", "locked/"}, kExitFileError, "ahx: locked/song.wav: cannot write: Permission denied",
         {}, "", true},
        {"a file where the output folder should be", [](Scratch& s, std::string*) { WriteFile(s.path / "afile", "a"); return true; },
         {"render", "song.hvl", "song.hvl", "-o", "afile/"}, kExitFileError,
         "ahx: afile/: not a folder (a file is in the way)"},
        {"a file inside the output path", [](Scratch& s, std::string*) { WriteFile(s.path / "afile", "a"); return true; },
         {"render", "song.hvl", "-o", "afile/x.wav"}, kExitFileError, "ahx: afile/x.wav: cannot write: Not a directory"},
        {"input unreadable",
         asUnprivileged([&song](Scratch& s) {
             WriteFile(s.path / "secret.hvl", song);
             fs::permissions(s.path / "secret.hvl", fs::perms::none);
         }),
         {"render", "secret.hvl"}, kExitFileError, "ahx: secret.hvl: cannot read: Permission denied", {}, "", true},
        {"FIFO fed a module", Nothing, {"render", "pipe.hvl"}, 0, "", {{"pipe.hvl", "(special)"}, {"pipe.wav", wav}},
         kFifo + "{ cat song.hvl > pipe.hvl & } &&"},
        {"FIFO fed text", Nothing, {"render", "pipe.hvl"}, kExitFileError,
         "ahx: pipe.hvl: not a module (no THX or HVL header)", {{"pipe.hvl", "(special)"}},
         kFifo + "{ echo hello > pipe.hvl & } &&"},
        {"FIFO fed more than 16 MiB", Nothing, {"render", "pipe.hvl"}, kExitFileError,
         "ahx: pipe.hvl: not a module (larger than 16 MiB)", {{"pipe.hvl", "(special)"}},
         kFifo + "{ head -c 20000000 /dev/zero > pipe.hvl 2>/dev/null & } &&"},
        {"names with a space, a newline and a leading dash",
         [&song](Scratch& s, std::string*) {
             for (const char* name : {"my song.hvl", "new\nline.hvl", "-dash.hvl"}) WriteFile(s.path / name, song);
             return true;
         },
         {"render", "my song.hvl", "new\nline.hvl", "--", "-dash.hvl"}, 0, "",
         {{"my song.wav", wav}, {"new\nline.wav", wav}, {"-dash.wav", wav}}},
        {"a missing input whose name holds a newline", Nothing, {"render", "miss\ning.hvl"}, kExitFileError,
         "ahx: miss?ing.hvl: not found"},
        {"a leading dash without --", [&song](Scratch& s, std::string*) { WriteFile(s.path / "-dash.hvl", song); return true; },
         {"render", "-dash.hvl"}, 1, "ahx render: unknown option -dash.hvl (see ahx render --help)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Scratch folder;
        WriteFile(folder.path / "song.hvl", song);
        WriteFile(folder.path / "kept.wav", "keep");
        std::string skipReason;
        if (!c.prepare(folder, &skipReason)) {
            std::printf("[  SKIPPED ] %s: %s\n", c.name, skipReason.c_str());
            continue;
        }
        const auto filesBefore = folder.Contents();
        const Result run = RunTool(folder.path, c.args, c.before, c.unprivileged && Privileged() ? kUnprivileged : "",
                                   c.stdoutPath);
        EXPECT_EQ(run.exitCode, c.exitCode) << run.err;
        if (c.err.empty()) {
            EXPECT_EQ(run.err, "");
        } else {
            EXPECT_EQ(Lines(run.err), 1u) << run.err;
            EXPECT_EQ(run.err.rfind(c.err, 0), 0u) << run.err;
        }
        // Everything that was there is unchanged; the only new files are the expected outputs, whole.
        auto expected = filesBefore;
        for (const auto& [name, contents] : c.newFiles) expected[name] = contents;
        EXPECT_EQ(folder.Contents(), expected);
        if (c.exitCode == 0 && c.stdoutPath.empty()) {
            EXPECT_EQ(Lines(run.out), c.newFiles.size() - (c.before.empty() ? 0 : 1)) << "one line per output";
        }
    }
}

}  // namespace
