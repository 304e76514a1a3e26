#include "export/atomic_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "tests/export/xls_readback.h"

namespace tollenby {
namespace {

TEST(AtomicFile, ReplacesTheTargetOnlyWhenCommitted) {
    testing::ScratchDir dir;
    const std::string path = dir.File("data.csv");
    testing::WriteBytes(path, "old bytes");
    {
        AtomicFile file(path);
        ASSERT_TRUE(file.Open());
        ASSERT_TRUE(file.Write("half of the new"));
        EXPECT_EQ(testing::ReadBytes(path), "old bytes") << "nothing shows before the commit";
        // Abandoned, as a writer does when its next step fails.
    }
    EXPECT_EQ(testing::ReadBytes(path), "old bytes");
    EXPECT_EQ(dir.Names(), std::vector<std::string>{"data.csv"}) << "the temporary file is gone";

    EXPECT_TRUE(WriteFileAtomically(path, "new bytes"));
    EXPECT_EQ(testing::ReadBytes(path), "new bytes");
    EXPECT_EQ(dir.Names(), std::vector<std::string>{"data.csv"});
    EXPECT_TRUE(WriteFileAtomically(path, ""));
    EXPECT_EQ(testing::ReadBytes(path), "") << "empty bytes still make the file";
}

TEST(AtomicFile, FailuresNameTheFileAndTheCause) {
    testing::ScratchDir dir;
    std::filesystem::create_directories(dir.File("taken/inside"));
    struct Case {
        const char* what;
        std::string path;
        std::string mustMention;
    } cases[] = {
        {"missing folder", dir.File("missing/1.gif"), dir.File("missing")},
        {"no file name", dir.Path() + "/", "没有文件名"},
        {"target is a non-empty folder", dir.File("taken"), dir.File("taken")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        WriteResult result = WriteFileAtomically(c.path, "bytes");
        EXPECT_FALSE(result.ok);
        EXPECT_NE(result.reason.find(c.mustMention), std::string::npos) << result.reason;
    }
    EXPECT_EQ(dir.Names(), std::vector<std::string>{"taken"}) << "no temporary file is left behind";
    EXPECT_TRUE(std::filesystem::exists(dir.File("taken/inside")));
}

}  // namespace
}  // namespace tollenby
