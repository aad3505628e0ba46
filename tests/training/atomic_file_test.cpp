#include "training/atomic_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "tests/training/scratch_directory.h"

namespace {

TEST(AtomicFile, TheNewContentReplacesTheOldAndNoTemporaryFileRemains) {
    ScratchDirectory scratch;
    writeText("model.bin", "a much longer earlier content");
    const std::string content("new\0bytes", 9);
    ASSERT_TRUE(writeFileAtomically("model.bin", content.data(), content.size()));
    EXPECT_EQ(readText("model.bin"), content);
    EXPECT_FALSE(fileExists("model.bin.tmp"));
}

TEST(AtomicFile, AFailedWriteLeavesTheEarlierFileAndRemovesTheTemporaryOne) {
    ScratchDirectory scratch;
    writeText("model.bin", "earlier");
    std::filesystem::create_symlink("/dev/full", "model.bin.tmp");
    EXPECT_FALSE(writeFileAtomically("model.bin", "later", 5));
    EXPECT_EQ(readText("model.bin"), "earlier");
    EXPECT_FALSE(fileExists("model.bin.tmp"));
}

TEST(AtomicFile, ATemporaryFileThatCannotBeCreatedLeavesTheEarlierFile) {
    ScratchDirectory scratch;
    writeText("model.bin", "earlier");
    std::filesystem::create_directories("model.bin.tmp/inside");
    EXPECT_FALSE(writeFileAtomically("model.bin", "later", 5));
    EXPECT_EQ(readText("model.bin"), "earlier");
}

TEST(AtomicFile, AFileThatCannotBeReplacedLeavesNoTemporaryFile) {
    ScratchDirectory scratch;
    std::filesystem::create_directories("model.bin/inside");
    EXPECT_FALSE(writeFileAtomically("model.bin", "later", 5));
    EXPECT_TRUE(std::filesystem::is_directory("model.bin/inside"));
    EXPECT_FALSE(fileExists("model.bin.tmp"));
}

}  // namespace
