// The preferences file of the stand-in host holds every plug-in's stored choices, not only this
// module's: reading it must be bounded, and no save may lose it, whatever is in the way.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

#include "hostsim/host.h"
#include "hostsim/prefs_file.h"

#ifndef _WIN32
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <csignal>
#include <unistd.h>
#endif

namespace {

namespace fs = std::filesystem;
using hostsim::Container;

// A fresh folder of the test's own under the system's temporary folder, removed afterwards.
class TempFolder {
public:
    TempFolder() {
        const fs::path base = fs::temp_directory_path();
        for (int n = 0;; ++n) {
            path_ = base / ("corvel-prefs-" + std::to_string(n) + "-" + std::to_string(reinterpret_cast<uintptr_t>(this)));
            if (fs::create_directory(path_))
                break;
        }
    }
    ~TempFolder() {
        std::error_code ec;
        fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ec);
        fs::remove_all(path_, ec);
    }
    fs::path operator/(const std::string& name) const { return path_ / name; }
    const fs::path& Path() const { return path_; }

private:
    fs::path path_;
};

std::string ReadText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void WriteText(const fs::path& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
}

// Every name in the folder, to show that nothing was left behind.
std::vector<std::string> Names(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().u8string());
    std::sort(names.begin(), names.end());
    return names;
}

std::map<int32_t, Container> SomePrefs(int32_t value) {
    std::map<int32_t, Container> prefs;
    prefs[1027069].SetInt32(7003, value);
    prefs[42].SetBool(1, true);
    return prefs;
}

std::string Formatted(int32_t value) { return hostsim::FormatPrefs(SomePrefs(value)); }

// ---- Reading ------------------------------------------------------------------------------------

TEST(PrefsFileLimits, FilesBeyondTheLimitsAreRefusedWithAReason) {
    std::map<int32_t, Container> prefs;
    std::string why;
    const std::string head = "corvel-host-prefs 1\n";

    EXPECT_FALSE(hostsim::ParsePrefs(head + "container 1 0 1\ni 7000 " + std::string(300, '1') + "\nend 1\n", &prefs, &why));
    EXPECT_NE(why.find("line 3: the line is longer than 256 bytes"), std::string::npos) << why;

    EXPECT_FALSE(hostsim::ParsePrefs(head + "container 1 0 2000001\n", &prefs, &why));
    EXPECT_NE(why.find("more than 2000000 entries"), std::string::npos) << why;
    // The limit counts the entries of all containers together.
    EXPECT_FALSE(hostsim::ParsePrefs(head + "container 1 0 0\ncontainer 2 0 2000000\ncontainer 3 0 0\n", &prefs, &why));
    EXPECT_TRUE(hostsim::ParsePrefs(head + "container 1 0 0\ncontainer 2 0 0\nend 2\n", &prefs, &why)) << why;
    EXPECT_FALSE(hostsim::ParsePrefs(head + "container 1 0 1999999\nf 1 0x1p+0\ncontainer 2 0 2\n", &prefs, &why));
    EXPECT_NE(why.find("fewer entries"), std::string::npos) << why;

    std::string many = head;
    for (int i = 0; i <= 100000; ++i)
        many += "container " + std::to_string(i) + " 0 0\n";
    EXPECT_FALSE(hostsim::ParsePrefs(many + "end 100001\n", &prefs, &why));
    EXPECT_NE(why.find("line 100002: more than 100000 containers"), std::string::npos) << why;

    EXPECT_FALSE(hostsim::ParsePrefs(head + "container 1 0 1 extra\ni 1 1\nend 1\n", &prefs, &why));
    EXPECT_NE(why.find("bad container line"), std::string::npos) << why;
    EXPECT_FALSE(hostsim::ParsePrefs(head + "container 1 0 -1\nend 1\n", &prefs, &why));
    EXPECT_NE(why.find("bad container line"), std::string::npos) << why;
}

TEST(PrefsFileLimits, AFileLargerThanTheLimitIsNotReadIntoMemory) {
    TempFolder folder;
    const fs::path file = folder / "prefs.txt";
    WriteText(file, Formatted(1));
    fs::resize_file(file, hostsim::kPrefsMaxFileBytes + 1);
    std::map<int32_t, Container> prefs;
    std::string why;
    EXPECT_FALSE(hostsim::ReadPrefsFile(file.u8string(), &prefs, &why));
    EXPECT_NE(why.find("larger than 64 MiB"), std::string::npos) << why;
}

TEST(PrefsFileLimits, ManyEntriesOfOneContainerReadBackInTheirOrder) {
    std::map<int32_t, Container> prefs;
    Container& big = prefs[7];
    for (int32_t key = 200000; key > 0; --key)
        big.entries.emplace_back(key, Container::Value{Container::Type::Int32, key, false, 0.0});
    std::map<int32_t, Container> back;
    std::string why;
    ASSERT_TRUE(hostsim::ParsePrefs(hostsim::FormatPrefs(prefs), &back, &why)) << why;
    ASSERT_EQ(back[7].entries.size(), 200000u);
    EXPECT_EQ(back[7].entries.front().first, 200000);
    EXPECT_EQ(back[7].entries.back().first, 1);
    EXPECT_EQ(back[7].GetInt32(123), 123);
}

// ---- Unreadable files are kept -------------------------------------------------------------------

TEST(PrefsFileKeeping, AnUnreadableFileIsCopiedAsideBeforeTheFirstSave) {
    TempFolder folder;
    const fs::path file = folder / "prefs.txt";
    // Readable but for one line: the other plug-ins' containers must survive somewhere.
    const std::string damaged = Formatted(6031) + "garbage\n";
    WriteText(file, damaged);
    WriteText(folder / "prefs.txt.unreadable", "an earlier copy");
    hostsim::HostOptions options;
    options.prefsFile = file.u8string();
    hostsim::Host host(options);
    EXPECT_EQ(host.WorldPluginData(42), nullptr);
    EXPECT_EQ(ReadText(file), damaged) << "reading alone changed the file";

    Container bc;
    bc.SetInt32(7003, 6030);
    host.SetWorldPluginData(1027069, bc);

    EXPECT_EQ(ReadText(folder / "prefs.txt.unreadable"), "an earlier copy");
    EXPECT_EQ(ReadText(folder / "prefs.txt.unreadable.2"), damaged);
    const std::string copyLine = "the unreadable preferences file was copied to " + (folder / "prefs.txt.unreadable.2").u8string();
    EXPECT_NE(std::find(host.Log().begin(), host.Log().end(), copyLine + " before this save"), host.Log().end());
    std::map<int32_t, Container> now;
    std::string why;
    ASSERT_TRUE(hostsim::ReadPrefsFile(file.u8string(), &now, &why)) << why;
    EXPECT_EQ(now.size(), 1u);

    // Only the first save copies.
    host.SetWorldPluginData(1027069, bc);
    EXPECT_EQ(Names(folder.Path()), (std::vector<std::string>{"prefs.txt", "prefs.txt.unreadable", "prefs.txt.unreadable.2"}));
}

TEST(PrefsFileKeeping, WhenTheCopyCannotBeMadeNothingIsWritten) {
    TempFolder folder;
    const fs::path file = folder / "prefs.txt";
    fs::create_directory(file); // something the host can neither read nor copy
    hostsim::HostOptions options;
    options.prefsFile = file.u8string();
    hostsim::Host host(options);
    Container bc;
    bc.SetInt32(7003, 6030);
    host.SetWorldPluginData(1027069, bc);
    EXPECT_TRUE(fs::is_directory(file));
    EXPECT_EQ(Names(folder.Path()), std::vector<std::string>{"prefs.txt"});
    EXPECT_NE(host.Log().back().find("could not be copied aside"), std::string::npos) << host.Log().back();
}

// ---- Writing -------------------------------------------------------------------------------------

TEST(PrefsFileWriting, AReadOnlyFileIsLeftAsItIs) {
    TempFolder folder;
    const fs::path file = folder / "prefs.txt";
    WriteText(file, Formatted(1));
    fs::permissions(file, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
    std::string why;
    EXPECT_FALSE(hostsim::WritePrefsFile(file.u8string(), SomePrefs(2), &why));
    EXPECT_NE(why.find("read-only"), std::string::npos) << why;
    EXPECT_EQ(ReadText(file), Formatted(1));
    EXPECT_EQ(fs::status(file).permissions() & fs::perms::owner_write, fs::perms::none);
    EXPECT_EQ(Names(folder.Path()), std::vector<std::string>{"prefs.txt"});
    fs::permissions(file, fs::perms::owner_write, fs::perm_options::add); // so that it can be removed
}

#ifndef _WIN32
TEST(PrefsFileWriting, TheFileKeepsItsMode) {
    TempFolder folder;
    const fs::path file = folder / "prefs.txt";
    WriteText(file, Formatted(1));
    ASSERT_EQ(chmod(file.c_str(), 0640), 0);
    std::string why;
    ASSERT_TRUE(hostsim::WritePrefsFile(file.u8string(), SomePrefs(2), &why)) << why;
    struct stat st {};
    ASSERT_EQ(stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(ReadText(file), Formatted(2));
}

TEST(PrefsFileWriting, ALinkAtTheFilesNameIsFollowedAndStays) {
    TempFolder folder;
    fs::create_directory(folder / "real");
    const fs::path target = folder / "real" / "prefs.txt";
    const fs::path link = folder / "prefs.txt";
    WriteText(target, Formatted(1));
    fs::create_symlink(fs::path("real") / "prefs.txt", link);
    std::string why;
    ASSERT_TRUE(hostsim::WritePrefsFile(link.u8string(), SomePrefs(2), &why)) << why;
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(ReadText(target), Formatted(2));
    EXPECT_EQ(Names(folder / "real"), std::vector<std::string>{"prefs.txt"});

    // A link to a file that does not exist yet creates the file there.
    fs::remove(target);
    ASSERT_TRUE(hostsim::WritePrefsFile(link.u8string(), SomePrefs(3), &why)) << why;
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(ReadText(target), Formatted(3));

    fs::create_symlink("loop", folder / "loop");
    EXPECT_FALSE(hostsim::WritePrefsFile((folder / "loop").u8string(), SomePrefs(4), &why));
    EXPECT_NE(why.find("too many symbolic links"), std::string::npos) << why;
}

TEST(PrefsFileWriting, ALinkPlantedAtATemporaryNameIsNeverWrittenThrough) {
    TempFolder folder;
    const fs::path file = folder / "prefs.txt";
    const fs::path victim = folder / "victim.txt";
    WriteText(file, Formatted(1));
    WriteText(victim, "not to be touched");
    // The temporary names a save of this process would try first, and the name a simpler writer
    // would use.
    const std::string pid = std::to_string(getpid());
    for (const std::string& suffix : {std::string(".tmp"), ".tmp-" + pid + "-0", ".tmp-" + pid + "-1"}) {
        fs::path planted = file;
        planted += suffix;
        fs::create_symlink(victim, planted);
    }
    std::string why;
    ASSERT_TRUE(hostsim::WritePrefsFile(file.u8string(), SomePrefs(2), &why)) << why;
    EXPECT_EQ(ReadText(victim), "not to be touched");
    EXPECT_EQ(ReadText(file), Formatted(2));
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(file)));
}

// A full disk, made with a file size limit in a child process: the save fails, the old file stays
// and no temporary file is left.
TEST(PrefsFileWriting, AFailedWriteLeavesTheOldFileAndNoTemporaryFile) {
    TempFolder folder;
    const fs::path file = folder / "prefs.txt";
    WriteText(file, Formatted(1));
    std::map<int32_t, Container> big = SomePrefs(2);
    for (int32_t key = 0; key < 10000; ++key)
        big[1].SetInt32(key, key);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        struct rlimit limit {4096, 4096};
        setrlimit(RLIMIT_FSIZE, &limit);
        std::string why;
        const bool written = hostsim::WritePrefsFile(file.u8string(), big, &why);
        _exit(written ? 0 : why.find("cannot write") != std::string::npos ? 3 : 4);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 3) << "the save did not fail while writing";
    EXPECT_EQ(ReadText(file), Formatted(1));
    EXPECT_EQ(Names(folder.Path()), std::vector<std::string>{"prefs.txt"});
}
#endif

TEST(PrefsFileWriting, ASaveReplacesTheFileAndLeavesNothingElse) {
    TempFolder folder;
    const fs::path file = folder / "prefs.txt";
    std::string why;
    ASSERT_TRUE(hostsim::WritePrefsFile(file.u8string(), SomePrefs(1), &why)) << why;
    ASSERT_TRUE(hostsim::WritePrefsFile(file.u8string(), SomePrefs(2), &why)) << why;
    EXPECT_EQ(ReadText(file), Formatted(2));
    EXPECT_EQ(Names(folder.Path()), std::vector<std::string>{"prefs.txt"});
}

} // namespace
