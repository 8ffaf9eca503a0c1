#include "physics/core/dgFileStream.h"

#include "physics/core/dgDataFileLocator.h"

#include "TemporaryFolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

// A temporary folder holding "work" (the current folder) and "data" (the fallback folder), side by
// side so that the search of the current tree never reaches the fallback files.
class LocatorFolders {
public:
    LocatorFolders() {
        fs::create_directories(m_root.Path() / "work");
        fs::create_directories(m_root.Path() / "data");
        fs::current_path(m_root.Path() / "work");
        dgSetDataFallbackFolder(Data().c_str());
    }
    ~LocatorFolders() { dgSetDataFallbackFolder(nullptr); }

    fs::path Work() const { return m_root.Path() / "work"; }
    fs::path Data() const { return m_root.Path() / "data"; }
    fs::path Outside() const { return m_root.Path(); }

    /// Names directly in the current folder, sorted.
    std::vector<std::string> WorkEntries() const {
        std::vector<std::string> names;
        for (const fs::directory_entry& entry : fs::directory_iterator(Work())) {
            names.push_back(entry.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }

private:
    TemporaryFolder m_root;
};

// The first word of the stream.
std::string FirstWord(dgFileStream& stream) {
    char word[64] = {};
    return stream.Scan("%63s", word) == 1 ? word : "<nothing>";
}

using Names = std::vector<std::string>;

} // namespace

TEST(dgFileStreamLocator, NameThatOpensDirectlyIsNeitherSearchedNorCopied) {
    LocatorFolders folders;
    WriteTextFile(folders.Work() / "x.txt", "here");
    WriteTextFile(folders.Work() / "sub" / "x.txt", "sub");
    WriteTextFile(folders.Data() / "x.txt", "fallback");

    dgFileStream direct("x.txt", "r");
    ASSERT_TRUE(direct.IsOpen());
    EXPECT_EQ(FirstWord(direct), "here");
    dgFileStream byPath("sub/x.txt", "r");
    EXPECT_EQ(FirstWord(byPath), "sub");
    EXPECT_EQ(folders.WorkEntries(), (Names{"sub", "x.txt"}));
}

TEST(dgFileStreamLocator, FileInASubFolderIsOpenedInPlaceSortedDepthFirst) {
    LocatorFolders folders;
    WriteTextFile(folders.Work() / "b" / "x.txt", "b");
    WriteTextFile(folders.Work() / "a" / "deep" / "x.txt", "a-deep");
    WriteTextFile(folders.Data() / "x.txt", "fallback");

    // Only the last name component is looked for, whatever the separator before it.
    for (const char* name : {"x.txt", "nowhere/x.txt", "C:\\nowhere\\x.txt"}) {
        dgFileStream stream(name, "r");
        EXPECT_EQ(FirstWord(stream), "a-deep") << name;
    }
    std::string path;
    ASSERT_TRUE(dgFindFileInTree("x.txt", folders.Work().c_str(), path));
    EXPECT_EQ(fs::path(path), folders.Work() / "a" / "deep" / "x.txt");
    EXPECT_EQ(folders.WorkEntries(), (Names{"a", "b"}));
}

TEST(dgFileStreamLocator, DotFoldersLinkedFoldersAndFoldersOfTheNameAreNotFound) {
    LocatorFolders folders;
    WriteTextFile(folders.Work() / ".hidden" / "x.txt", "hidden");
    WriteTextFile(folders.Outside() / "elsewhere" / "x.txt", "linked");
    fs::create_directory_symlink(folders.Outside() / "elsewhere", folders.Work() / "link");
    fs::create_directories(folders.Work() / "folder.txt");

    dgFileStream hidden("x.txt", "r");
    EXPECT_FALSE(hidden.IsOpen());
    dgFileStream folder("folder.txt", "r");
    EXPECT_FALSE(folder.IsOpen());
    std::string path;
    EXPECT_FALSE(dgFindFileInTree("x.txt", folders.Work().c_str(), path));
    EXPECT_FALSE(dgFindFileInTree("", folders.Work().c_str(), path));
    EXPECT_FALSE(dgFindFileInTree("..", folders.Work().c_str(), path));
    EXPECT_FALSE(dgFindFileInTree("x.txt", "", path));
}

TEST(dgFileStreamLocator, FallbackFileIsCopiedUnderItsBaseNameAndLeftUnchanged) {
    LocatorFolders folders;
    WriteTextFile(folders.Data() / "set" / "x.txt", "fallback");

    dgFileStream stream("some/dir\\x.txt", "r");
    ASSERT_TRUE(stream.IsOpen());
    EXPECT_EQ(FirstWord(stream), "fallback");
    EXPECT_EQ(folders.WorkEntries(), (Names{"x.txt"}));
    EXPECT_EQ(ReadTextFile(folders.Work() / "x.txt"), "fallback");
    EXPECT_EQ(ReadTextFile(folders.Data() / "set" / "x.txt"), "fallback");
    // The copy keeps the source's last-write time.
    const std::string source = (folders.Data() / "set" / "x.txt").string();
    EXPECT_FALSE(dgIsFileNewer(source.c_str(), "x.txt"));
    EXPECT_FALSE(dgIsFileNewer("x.txt", source.c_str()));
}

TEST(dgFileStreamLocator, ExistingNameIsNeverOverwrittenNorWrittenThrough) {
    LocatorFolders folders;
    WriteTextFile(folders.Data() / "x.txt", "fallback");
    // A dangling link in the way: the copy must not create the file it points at.
    fs::create_symlink(folders.Outside() / "not-there", folders.Work() / "x.txt");

    dgFileStream stream("x.txt", "r");
    EXPECT_FALSE(stream.IsOpen());
    EXPECT_FALSE(fs::exists(folders.Outside() / "not-there"));
    EXPECT_TRUE(fs::is_symlink(folders.Work() / "x.txt"));

    WriteTextFile(folders.Work() / "kept.txt", "kept");
    EXPECT_FALSE(dgCopyFileNoOverwrite((folders.Data() / "x.txt").string(), "kept.txt"));
    EXPECT_EQ(ReadTextFile("kept.txt"), "kept");
    EXPECT_FALSE(dgCopyFileNoOverwrite("missing.txt", "new.txt"));
    EXPECT_FALSE(fs::exists("new.txt"));
}

TEST(dgFileStreamLocator, WriteModesOpenExactlyTheNameGiven) {
    LocatorFolders folders;
    WriteTextFile(folders.Work() / "sub" / "x.txt", "keep");
    WriteTextFile(folders.Data() / "x.txt", "keep-fallback");

    dgFileStream failed("missing/x.txt", "w");
    EXPECT_FALSE(failed.IsOpen());
    EXPECT_EQ(ReadTextFile(folders.Work() / "sub" / "x.txt"), "keep");
    EXPECT_EQ(ReadTextFile(folders.Data() / "x.txt"), "keep-fallback");
    EXPECT_EQ(folders.WorkEntries(), (Names{"sub"}));

    {
        dgFileStream appended("x.txt", "a");
        ASSERT_TRUE(appended.IsOpen());
        EXPECT_GT(appended.Print("%s", "new"), 0);
    }
    EXPECT_EQ(ReadTextFile(folders.Work() / "x.txt"), "new");
    EXPECT_EQ(ReadTextFile(folders.Work() / "sub" / "x.txt"), "keep");
}

TEST(dgFileStreamLocator, StreamThatFoundNothingReportsNothingRead) {
    LocatorFolders folders;
    int value = 0;
    dgFileStream stream("missing.txt", "r");
    EXPECT_FALSE(stream.IsOpen());
    EXPECT_EQ(stream.GetName(), "missing.txt");
    EXPECT_EQ(stream.FindKeyword("x"), 0);
    EXPECT_EQ(stream.Scan("%d", &value), EOF);
    EXPECT_EQ(stream.ScanKeyword("x", "%d", &value), 0);
    EXPECT_EQ(stream.ScanSectionKeyword("s", "x", "%d", &value), 0);
    EXPECT_LT(stream.Print("x"), 0);
    dgFileStream unnamed(nullptr, "r");
    EXPECT_FALSE(unnamed.IsOpen());
}

TEST(dgFileStreamLocator, FallbackFolderNameSurvivesTheBuildAndCanBeRestored) {
    const std::string builtIn = dgGetDataFallbackFolder();
    // A backslash passed through the build as an escape would leave a control character here.
    EXPECT_TRUE(std::none_of(builtIn.begin(), builtIn.end(), [](char c) { return c > 0 && c < ' '; }));
    dgSetDataFallbackFolder("/some/other");
    EXPECT_EQ(dgGetDataFallbackFolder(), "/some/other");
    dgSetDataFallbackFolder(nullptr);
    EXPECT_EQ(dgGetDataFallbackFolder(), builtIn);
}

TEST(dgFileStream, CallersBufferHoldsWritesUntilTheStreamCloses) {
    TemporaryFolder folder;
    char buffer[256] = {};
    {
        dgFileStream stream("out.txt", "w", buffer, sizeof(buffer));
        ASSERT_TRUE(stream.IsOpen());
        stream.Print("hello");
        EXPECT_EQ(std::string(buffer, 5), "hello");
        EXPECT_EQ(ReadTextFile("out.txt"), "");
    }
    EXPECT_EQ(ReadTextFile("out.txt"), "hello");
}

TEST(dgFileStreamKeywords, KeywordMatchesIgnoringCaseAndStreamStandsRightAfterIt) {
    TemporaryFolder folder;
    WriteTextFile("k.txt", "alpha Beta=gamma\n");
    dgFileStream stream("k.txt", "r");
    EXPECT_EQ(stream.FindKeyword("BETA"), 1);
    char next = 0;
    EXPECT_EQ(stream.Scan("%c", &next), 1);
    EXPECT_EQ(next, '=');
    EXPECT_EQ(stream.FindKeyword("gAmMa"), 1);
    EXPECT_EQ(stream.FindKeyword("alpha"), 0); // already passed
}

TEST(dgFileStreamKeywords, WordThatEndsTheFileIsNotFound) {
    TemporaryFolder folder;
    WriteTextFile("end.txt", "a b key");
    WriteTextFile("line.txt", "a b key\n");
    dgFileStream atEnd("end.txt", "r");
    EXPECT_EQ(atEnd.FindKeyword("key"), 0);
    dgFileStream beforeLineEnd("line.txt", "r");
    EXPECT_EQ(beforeLineEnd.FindKeyword("key"), 1);
}

TEST(dgFileStreamKeywords, RunsOfSeparatorsArePassedOver) {
    TemporaryFolder folder;
    WriteTextFile("s.txt", "first = \r\n = \t=second\r\nwidth = 12\r\nheight\t7\r\n");
    dgFileStream stream("s.txt", "r");
    EXPECT_EQ(stream.FindKeyword("second"), 1);
    int width = 0;
    int height = 0;
    EXPECT_EQ(stream.ScanKeyword("width", " = %d", &width), 1);
    EXPECT_EQ(width, 12);
    EXPECT_EQ(stream.ScanKeyword("height", "%d", &height), 1);
    EXPECT_EQ(height, 7);
}

TEST(dgFileStreamKeywords, MissedKeywordLeavesTheStreamAtItsEndUntilASectionRewinds) {
    TemporaryFolder folder;
    WriteTextFile("sections.txt", "[one]\nsize 1\n[two]\nsize 2\n");
    dgFileStream stream("sections.txt", "r");
    int size = 0;
    EXPECT_EQ(stream.ScanKeyword("missing", "%d", &size), 0);
    EXPECT_EQ(stream.ScanKeyword("size", "%d", &size), 0);
    EXPECT_EQ(stream.ScanSectionKeyword("[TWO]", "size", "%d", &size), 1);
    EXPECT_EQ(size, 2);
    EXPECT_EQ(stream.ScanSectionKeyword("[one]", "size", "%d", &size), 1);
    EXPECT_EQ(size, 1);
    EXPECT_EQ(stream.ScanKeyword("size", "%d", &size), 1);
    EXPECT_EQ(size, 2);
    EXPECT_EQ(stream.ScanSectionKeyword("[three]", "size", "%d", &size), 0);
    EXPECT_EQ(stream.ScanSectionKeyword("[two]", "colour", "%d", &size), 0);
}

TEST(dgFileStreamKeywords, LongWordsNeverMatchAnyPartOfThem) {
    TemporaryFolder folder;
    // A reader that cut words at 511 characters would see "key" as a word of its own here.
    WriteTextFile("long.txt", std::string(511, 'x') + "key 1 " + std::string(100000, 'y') + " key 2\n");
    dgFileStream stream("long.txt", "r");
    int value = 0;
    EXPECT_EQ(stream.ScanKeyword("key", "%d", &value), 1);
    EXPECT_EQ(value, 2);
}

TEST(dgFileStream, IsFileNewerComparesLastWriteTimes) {
    TemporaryFolder folder;
    WriteTextFile("old.txt", "old");
    WriteTextFile("new.txt", "new");
    WriteTextFile("same.txt", "same");
    fs::create_directories("folder");
    const fs::file_time_type base = fs::last_write_time("old.txt");
    fs::last_write_time("new.txt", base + std::chrono::seconds(10));
    fs::last_write_time("same.txt", base);
    fs::last_write_time("folder", base + std::chrono::seconds(10));

    EXPECT_TRUE(dgIsFileNewer("old.txt", "new.txt"));
    EXPECT_FALSE(dgIsFileNewer("new.txt", "old.txt"));
    EXPECT_FALSE(dgIsFileNewer("old.txt", "same.txt"));
    EXPECT_FALSE(dgIsFileNewer("old.txt", "missing.txt"));
    EXPECT_FALSE(dgIsFileNewer("missing.txt", "new.txt"));
    EXPECT_FALSE(dgIsFileNewer("old.txt", "folder"));
    EXPECT_FALSE(dgIsFileNewer(nullptr, "new.txt"));
}
