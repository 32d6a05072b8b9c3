// The player maps its own file to find its store.
#include "common/ExecutableImage.h"
#include "common/SelfFile.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace player;
namespace fs = std::filesystem;

TEST(SelfFile, TheRunningProgramMapsWholeAndItsImageEndsAtItsEnd)
{
    const std::string self = ownExecutablePath();
    ASSERT_FALSE(self.empty());
    EXPECT_EQ(self, fs::canonical("/proc/self/exe").string());
    const MappedFile file("/proc/self/exe");
    ASSERT_TRUE(file.ok()) << file.problem();
    EXPECT_EQ(file.size(), fs::file_size(self));
    EXPECT_EQ(executableImageSize(file.data(), file.size()).end, file.size());
}

TEST(SelfFile, WhatCannotBeMappedSaysWhy)
{
    const std::string dir = (fs::temp_directory_path() / ("glimmer-self-" + std::to_string(::getpid()))).string();
    fs::create_directories(dir);
    const MappedFile missing(dir + "/none");
    EXPECT_FALSE(missing.ok());
    EXPECT_NE(missing.problem().find("cannot be opened"), std::string::npos);
    const MappedFile folder(dir);
    EXPECT_EQ(folder.problem(), "it is not an ordinary file");
    ASSERT_EQ(::mkfifo((dir + "/pipe").c_str(), 0600), 0);
    const MappedFile pipe(dir + "/pipe");   // must not wait for a writer
    EXPECT_EQ(pipe.problem(), "it is not an ordinary file");
    std::ofstream(dir + "/empty").close();
    const MappedFile empty(dir + "/empty");
    EXPECT_TRUE(empty.ok());
    EXPECT_EQ(empty.size(), 0u);
    fs::remove_all(dir);
}
