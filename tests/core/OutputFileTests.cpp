#include "foundations/OutputFile.h"

#include "foundations/Streams.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace kova {
namespace {

namespace fs = std::filesystem;

class OutputFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "kova-output-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        folder_ = pattern;
    }
    void TearDown() override {
        std::error_code ignored;
        fs::permissions(folder_, fs::perms::owner_all, fs::perm_options::add, ignored);
        fs::remove_all(folder_, ignored);
    }

    fs::path at(const std::string& name) const { return folder_ / name; }

    static std::string read(const fs::path& path) {
        std::ifstream in(path, std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    }
    static void write(const fs::path& path, const std::string& text) {
        std::ofstream(path, std::ios::binary) << text;
    }
    static void save(const fs::path& path, const std::string& text) {
        TOutputFile output(path.string());
        output.Stream() << text;
        output.Commit();
    }

    // Only the files a test made itself: no partial file is ever left over.
    std::vector<std::string> names() const {
        std::vector<std::string> found;
        for (const auto& entry : fs::directory_iterator(folder_))
            found.push_back(entry.path().filename().string());
        std::sort(found.begin(), found.end());
        return found;
    }

    fs::path folder_;
};

TEST_F(OutputFileTest, EachKindOfTargetIsWrittenTheWayThatKeepsIt) {
    // A symbolic link stays a link; the file it leads to gets the text.
    write(at("real.txt"), "old");
    fs::create_symlink("real.txt", at("link.txt"));
    save(at("link.txt"), "via link");
    EXPECT_TRUE(fs::is_symlink(at("link.txt")));
    EXPECT_EQ(read(at("real.txt")), "via link");

    // Hard links keep sharing one file.
    write(at("one.txt"), "old");
    fs::create_hard_link(at("one.txt"), at("two.txt"));
    save(at("one.txt"), "shared");
    EXPECT_EQ(read(at("two.txt")), "shared");
    EXPECT_EQ(fs::hard_link_count(at("one.txt")), 2U);

    // A private file stays private.
    write(at("private.txt"), "old");
    fs::permissions(at("private.txt"), fs::perms::owner_read | fs::perms::owner_write);
    save(at("private.txt"), "secret");
    EXPECT_EQ(fs::status(at("private.txt")).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write);

    // A named pipe is written into, not replaced. The reader is open before
    // the writer comes, and the text fits the pipe's buffer.
    ASSERT_EQ(mkfifo(at("pipe").c_str(), 0600), 0);
    const int reader = open(at("pipe").c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    save(at("pipe"), "through the pipe");
    char piped[64] = {};
    EXPECT_EQ(::read(reader, piped, sizeof piped), 16);
    close(reader);
    EXPECT_EQ(std::string(piped), "through the pipe");
    EXPECT_TRUE(fs::is_fifo(at("pipe")));

    // A device is written directly and stays what it is. A node of our own,
    // where we may make one, so that a fault cannot replace the system's
    // /dev/null.
    const bool ownNode = mknod(at("null").c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0;
    if (ownNode || geteuid() != 0) {
        const fs::path device = ownNode ? at("null") : fs::path("/dev/null");
        save(device, "nothing");
        EXPECT_TRUE(fs::is_character_file(device));
        fs::remove(at("null"));
    }

    EXPECT_EQ(names(), (std::vector<std::string>{"link.txt", "one.txt", "pipe", "private.txt",
                                                 "real.txt", "two.txt"}));
}

TEST_F(OutputFileTest, RefusedTargetsAndUncommittedTextLeaveEverythingAsItWas) {
    write(at("kept.txt"), "old");
    write(at("readonly.txt"), "old");
    fs::permissions(at("readonly.txt"), fs::perms::owner_read);
    fs::create_directory(at("folder"));

    const std::pair<fs::path, std::string> refused[] = {
        {at("readonly.txt"), "it is read-only"},
        {at("folder"), "it is a folder"},
        {at("missing/out.txt"), "No such file or directory"},
    };
    for (const auto& [path, reason] : refused) {
        SCOPED_TRACE(path);
        try {
            TOutputFile output(path.string());
            FAIL() << "accepted";
        } catch (const EStreamError& error) {
            EXPECT_EQ(std::string(error.what()),
                      "Cannot write \"" + path.string() + "\": " + reason);
        }
    }
    {
        TOutputFile output(at("kept.txt").string());
        output.Stream() << "never committed";
    }
    EXPECT_EQ(read(at("kept.txt")), "old");
    EXPECT_EQ(read(at("readonly.txt")), "old");
    EXPECT_EQ(names(), (std::vector<std::string>{"folder", "kept.txt", "readonly.txt"}));
}

// A writer that is another program (ffmpeg) replaces the partial file's
// contents by path; Commit then puts them in place as if written to Stream().
TEST_F(OutputFileTest, TextWrittenToThePartialFileByPathIsCommitted) {
    write(at("old.txt"), "old");
    write(at("linked.txt"), "old");
    fs::create_hard_link(at("linked.txt"), at("link.txt"));
    for (const char* name : {"new.txt", "old.txt", "linked.txt"}) {
        SCOPED_TRACE(name);
        TOutputFile output(at(name).string());
        const fs::path partial = output.PartialPath();
        EXPECT_EQ(partial.parent_path(), folder_);
        write(partial, std::string("from another writer to ") + name);
        EXPECT_EQ(read(at(name)), fs::exists(at(name)) ? "old" : "");
        output.Commit();
        EXPECT_EQ(read(at(name)), std::string("from another writer to ") + name);
        EXPECT_FALSE(fs::exists(partial));
    }
    EXPECT_EQ(read(at("link.txt")), "from another writer to linked.txt");
    EXPECT_EQ(TOutputFile("-").PartialPath(), "");
    EXPECT_EQ(names(), (std::vector<std::string>{"link.txt", "linked.txt", "new.txt", "old.txt"}));
}

TEST_F(OutputFileTest, OutputsCommittedTogetherAllKeepTheirOldTextWhenOneFails) {
    write(at("first.txt"), "first old");
    write(at("second.txt"), "second old");
    {
        TOutputFile fresh(at("fresh.txt").string());
        TOutputFile first(at("first.txt").string());
        TOutputFile second(at("second.txt").string());
        fresh.Stream() << "fresh new";
        first.Stream() << "first new";
        second.Stream() << "second new";
        // The last target turns into a folder, which no file can be renamed over.
        fs::remove(at("second.txt"));
        fs::create_directory(at("second.txt"));
        EXPECT_THROW(TOutputFile::CommitAll({&fresh, &first, &second}), EStreamError);
        EXPECT_EQ(read(at("first.txt")), "first old");
        EXPECT_FALSE(fs::exists(at("fresh.txt")));
    }
    fs::remove(at("second.txt"));

    TOutputFile again(at("first.txt").string());
    TOutputFile other(at("other.txt").string());
    again.Stream() << "first new";
    other.Stream() << "other new";
    TOutputFile::CommitAll({&again, nullptr, &other});
    EXPECT_EQ(read(at("first.txt")), "first new");
    EXPECT_EQ(read(at("other.txt")), "other new");
    EXPECT_EQ(names(), (std::vector<std::string>{"first.txt", "other.txt"}));
}

TEST_F(OutputFileTest, AnOutputMayBeNeitherAnInputNorAnotherOutput) {
    write(at("in.kvz"), "input");
    fs::create_hard_link(at("in.kvz"), at("hard.kvz"));
    fs::create_symlink("in.kvz", at("soft.kvz"));
    const std::string in = at("in.kvz").string();
    const std::string spelledOtherwise = (folder_ / "." / "in.kvz").string();
    const std::string fresh = at("new.csv").string();
    const std::string freshOtherwise = (folder_ / "x" / ".." / "new.csv").string();

    const struct {
        std::vector<std::string> Inputs, Outputs;
        bool Accepted;
    } cases[] = {
        {{in}, {in}, false},
        {{in}, {spelledOtherwise}, false},
        {{in}, {at("hard.kvz").string()}, false},
        {{in}, {at("soft.kvz").string()}, false},
        {{in}, {fresh, freshOtherwise}, false},
        {{in}, {"-", "-"}, false},
        {{in}, {fresh, at("other.json").string(), "-"}, true},
        {{in}, {"/dev/null", "/dev/null"}, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Outputs.back());
        if (c.Accepted)
            EXPECT_NO_THROW(CheckOutputsAreDistinct(c.Inputs, c.Outputs));
        else
            EXPECT_THROW(CheckOutputsAreDistinct(c.Inputs, c.Outputs), EStreamError);
    }
}

} // namespace
} // namespace kova
