#include "core/text_file.h"

#include <grp.h>
#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include "tests/core/test_support.h"

namespace kalvora {
namespace {

namespace fs = std::filesystem;
using testing::ScratchFolder;

mode_t ModeOf(const std::string& path) {
    struct stat status {};
    ::stat(path.c_str(), &status);
    return status.st_mode & 07777;
}

std::string ErrorOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const FileError& error) {
        return error.what();
    }
    return "";
}

TEST(SplitLines, EveryKindOfLineEndEndsALine) {
    struct Case {
        std::string text;
        std::vector<std::string> lines;
    };
    const Case cases[] = {
        {"a\r\nb\r\n", {"a", "b"}},
        {"a\nb", {"a", "b"}},
        {"a\rb\r", {"a", "b"}},
        {"a\r\rb", {"a", "", "b"}},
        {"a\r\n\r\n", {"a", ""}},
        {"a\n\rb", {"a", "", "b"}},
        {"", {}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(SplitLines(c.text), c.lines) << c.text;
    }
}

TEST(AtomicFileWriter, TemporaryFilesAreExclusiveRandomAndShort) {
    ScratchFolder folder;
    const std::string longName = folder.file(std::string(250, 'n') + ".dat");
    // The name a predictable scheme would use, planted as a link to a file of the user's.
    folder.write("victim", "keep");
    fs::create_symlink(folder.file("victim"),
                       longName.substr(0, 100) + ".kalvora-" + std::to_string(::getpid()) + ".tmp");
    AtomicFileWriter first(longName);
    AtomicFileWriter second(longName);
    first.stream() << "one";
    second.stream() << "two";
    first.commit();
    EXPECT_EQ(ReadTextFile(longName), "one");
    second.commit();
    EXPECT_EQ(ReadTextFile(longName), "two");
    EXPECT_EQ(folder.read("victim"), "keep");
    EXPECT_EQ(folder.entries(), 3u);  // the target, the victim and the planted link
}

// The line reader splits exactly as SplitLines does.
TEST(LineReader, GivesTheLinesSplitLinesGives) {
    for (const std::string text : {"", "a", "a\r\nb\r\n", "a\r\n\r\n", "\n\n\r\r\n", "a\rb\nc",
                                   "x\n\r", "\r\n", "last line"}) {
        std::vector<std::string> lines;
        LineReader reader(text);
        for (std::string_view line; reader.next(line);) {
            lines.emplace_back(line);
        }
        EXPECT_EQ(lines, SplitLines(text)) << text;
    }
}

// Model and parameter files are read up to a size; a device that never ends is refused too.
TEST(ReadTextFile, AFileBeyondItsLimitIsRefused) {
    ScratchFolder folder;
    folder.write("five.txt", "12345");
    EXPECT_EQ(ReadTextFile(folder.file("five.txt"), 5), "12345");
    const std::string message = ErrorOf([&] { ReadTextFile(folder.file("five.txt"), 4); });
    EXPECT_NE(message.find("five.txt\": it holds more than"), std::string::npos) << message;
    const std::string endless = ErrorOf([] { ReadTextFile("/dev/zero", kModelFileLimit); });
    EXPECT_NE(endless.find("more than 64 MB"), std::string::npos) << endless;
}

TEST(AtomicFileWriter, ReplacedTargetsKeepPermissionsAndLinksAndReadOnlyOnesAreRefused) {
    ScratchFolder folder;
    folder.write("private.dat", "old");
    ::chmod(folder.file("private.dat").c_str(), 0640);
    WriteTextFile(folder.file("private.dat"), "new");
    EXPECT_EQ(ModeOf(folder.file("private.dat")), 0640u);
    EXPECT_EQ(folder.read("private.dat"), "new");

    folder.write("real.dat", "old");
    fs::create_symlink("real.dat", folder.file("link.dat"));
    WriteTextFile(folder.file("link.dat"), "through");
    EXPECT_TRUE(fs::is_symlink(folder.file("link.dat")));
    EXPECT_EQ(folder.read("real.dat"), "through");
    // A dangling link (two hops, the last relative) is written through too: its file is created.
    fs::create_symlink(folder.file("second.lnk"), folder.file("dangling.dat"));
    fs::create_symlink("made.dat", folder.file("second.lnk"));
    WriteTextFile(folder.file("dangling.dat"), "made");
    EXPECT_TRUE(fs::is_symlink(folder.file("dangling.dat")));
    EXPECT_EQ(folder.read("made.dat"), "made");
    // A loop of links cannot be written through.
    fs::create_symlink("loop.b", folder.file("loop.a"));
    fs::create_symlink("loop.a", folder.file("loop.b"));
    const std::string loop = ErrorOf([&] { WriteTextFile(folder.file("loop.a"), "x"); });
    EXPECT_NE(loop.find("symbolic links"), std::string::npos) << loop;
    EXPECT_TRUE(fs::is_symlink(folder.file("loop.a")));

    folder.write("locked.dat", "old");
    ::chmod(folder.file("locked.dat").c_str(), 0444);
    const std::string message = ErrorOf([&] { WriteTextFile(folder.file("locked.dat"), "new"); });
    EXPECT_NE(message.find("Permission denied"), std::string::npos) << message;
    EXPECT_EQ(folder.read("locked.dat"), "old");
    EXPECT_EQ(folder.entries(), 9u);
}

// The suite runs as root, whom access() lets write anything, so the refusal of a file the user may
// not write is seen only as another user: a child drops to "nobody" and tries to replace root's
// file in a folder everyone may write, where a rename alone would succeed.
TEST(AtomicFileWriter, AFileTheUserMayNotWriteIsNotReplacedEvenInAWritableFolder) {
    const passwd* nobody = ::getpwnam("nobody");
    if (::geteuid() != 0 || nobody == nullptr) {
        GTEST_SKIP() << "needs root and a user \"nobody\" to become";
    }
    ScratchFolder folder;
    folder.write("theirs.dat", "old");
    ::chmod(folder.file("theirs.dat").c_str(), 0644);
    ::chmod(folder.file("").c_str(), 0777);
    const std::string path = folder.file("theirs.dat");
    const pid_t child = ::fork();
    if (child == 0) {
        if (::setgroups(0, nullptr) != 0 || ::setgid(nobody->pw_gid) != 0 ||
            ::setuid(nobody->pw_uid) != 0) {
            ::_exit(3);
        }
        const std::string message = ErrorOf([&] { WriteTextFile(path, "new"); });
        ::_exit(message.find("Permission denied") != std::string::npos ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "1: replaced or another message, 3: could not drop root";
    EXPECT_EQ(folder.read("theirs.dat"), "old");
    EXPECT_EQ(folder.entries(), 1u);
}

TEST(AtomicFileWriter, FailuresGiveTheSystemsReason) {
    ScratchFolder folder;
    struct Case {
        std::string path;
        const char* reason;
    };
    const Case cases[] = {
        {"/dev/full", "No space left on device"},
        {folder.file("missing/x.dat"), "No such file or directory"},
        {folder.file(""), "Is a directory"},
    };
    for (const Case& c : cases) {
        const std::string message = ErrorOf([&] {
            AtomicFileWriter writer(c.path);
            writer.stream() << std::string(200000, 'x');
            writer.commit();
        });
        EXPECT_NE(message.find(c.reason), std::string::npos) << c.path << ": " << message;
    }
}

TEST(AtomicFileWriter, AnInterruptionRemovesTheTemporaryFilesAndCommitsNothing) {
    ScratchFolder folder;
    folder.write("target.dat", "old");
    AtomicFileWriter writer(folder.file("target.dat"));
    writer.stream() << "new";
    EXPECT_EQ(folder.entries(), 2u);
    RemoveUnfinishedTemporaryFiles();
    EXPECT_EQ(folder.entries(), 1u);
    EXPECT_FALSE(ErrorOf([&] { writer.commit(); }).empty());
    EXPECT_EQ(folder.read("target.dat"), "old");
}

TEST(SameFile, NamesOfOneFileAreTheSame) {
    ScratchFolder folder;
    folder.write("a.mod", "x");
    fs::create_symlink(folder.file("a.mod"), folder.file("link.mod"));
    fs::create_hard_link(folder.file("a.mod"), folder.file("hard.mod"));
    struct Case {
        std::string first;
        std::string second;
        bool same;
    };
    const Case cases[] = {
        {folder.file("a.mod"), folder.file("a.mod"), true},
        {folder.file("a.mod"), folder.file("./a.mod"), true},
        {folder.file("link.mod"), folder.file("a.mod"), true},
        {folder.file("hard.mod"), folder.file("a.mod"), true},
        {folder.file("new.dat"), folder.file("./new.dat"), true},
        {folder.file("new.dat"), folder.file("a.mod"), false},
        {folder.file("new.dat"), folder.file("new.png"), false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(SameFile(c.first, c.second), c.same) << c.first << " " << c.second;
    }
}

}  // namespace
}  // namespace kalvora
