#include "platform/AtomicWrite.h"
#include "platform/Folders.h"
#include "platform/MappedFile.h"
#include "testing/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>

using namespace platform;
using testing_support::TemporaryFolder;

namespace {

std::string text(const MappedFile& file)
{
    return std::string(reinterpret_cast<const char*>(file.bytes().data()), file.size());
}

} // namespace

TEST(Folders, FollowTheXdgVariablesAndNameEachStore)
{
    ::setenv("XDG_DATA_HOME", "/x/data", 1);
    ::setenv("XDG_CACHE_HOME", "/x/cache", 1);
    ::setenv("XDG_CONFIG_HOME", "relative/ignored", 1);
    ::setenv("HOME", "/home/marcheur", 1);
    Folders folders = Folders::fromEnvironment();
    EXPECT_EQ(folders.tracks(), "/x/data/Velorin/VelorinTracks");
    EXPECT_EQ(folders.captures(), "/x/data/Velorin/VelorinCaptures");
    EXPECT_EQ(folders.offline(), "/x/data/Velorin/VelorinOffline");
    EXPECT_EQ(folders.places(), "/x/data/Velorin/Places");
    EXPECT_EQ(folders.tiles(), "/x/cache/Velorin/VelorinTiles");
    EXPECT_EQ(folders.gestureJournal(), "/x/cache/Velorin/VelorinGestes.log");
    EXPECT_EQ(folders.defaults(), "/home/marcheur/.config/Velorin/defaults.json");
    ::unsetenv("XDG_DATA_HOME");
    ::unsetenv("XDG_CACHE_HOME");
    ::unsetenv("XDG_CONFIG_HOME");
}

TEST(Folders, PicturesAndVideosAreTheUsersOwnFoldersElseTheHomeDefaults)
{
    TemporaryFolder folder;
    ::setenv("XDG_CONFIG_HOME", folder.path().c_str(), 1);
    ::setenv("HOME", "/home/marcheur", 1);
    EXPECT_EQ(Folders::fromEnvironment().pictures, "/home/marcheur/Pictures");
    EXPECT_EQ(Folders::fromEnvironment().videos, "/home/marcheur/Videos");

    std::ofstream(folder / "user-dirs.dirs") << "# written by xdg-user-dirs-update\n"
                                                "XDG_PICTURES_DIR=\"$HOME/Images\"\n"
                                                "XDG_VIDEOS_DIR=\"/media/films\"\n"
                                                "XDG_MUSIC_DIR=\"$HOME/Musique\"\n"
                                                "XDG_PICTURES_DIR=\"$HOME/Photos\"\n";
    const Folders folders = Folders::fromEnvironment();
    EXPECT_EQ(folders.pictures, "/home/marcheur/Photos");
    EXPECT_EQ(folders.videos, "/media/films");
    ::unsetenv("XDG_CONFIG_HOME");
}

TEST(AtomicWrite, ReplacesWholeFilesAndCreatesFolders)
{
    TemporaryFolder folder;
    auto path = folder / "a/b/tile.png";
    atomicWrite(path, "first");
    auto before = MappedFile::open(path);
    atomicWrite(path, "second, longer");

    ASSERT_TRUE(before);
    EXPECT_EQ(text(*before), "first") << "an open mapping keeps the bytes it opened";
    auto after = MappedFile::open(path);
    ASSERT_TRUE(after);
    EXPECT_EQ(text(*after), "second, longer");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder / "a/b"), {}), 1)
        << "no temporary file is left behind";
}

TEST(AtomicWrite, GivesOrdinaryFilesToEveryReaderAndPrivateOnesToTheOwnerOnly)
{
    TemporaryFolder folder;
    namespace fs = std::filesystem;
    atomicWrite(folder / "ordinary", "x");
    atomicWrite(folder / "private", "x", fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(fs::status(folder / "ordinary").permissions(), kOrdinaryFilePermissions);
    EXPECT_EQ(fs::status(folder / "private").permissions(), fs::perms::owner_read | fs::perms::owner_write);
    atomicWrite(folder / "private", "replaced");
    EXPECT_EQ(fs::status(folder / "private").permissions(), kOrdinaryFilePermissions)
        << "a replacement takes the permissions it is given";
}

TEST(AtomicWrite, FailsLoudlyAndLeavesNothingWhereItCannotWrite)
{
    TemporaryFolder folder;
    std::ofstream(folder / "plain") << "x";
    EXPECT_THROW(atomicWrite(folder / "plain/inside", "data"), std::filesystem::filesystem_error);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path()), {}), 1);
}

TEST(MappedFile, OpensEmptyFilesAndRefusesMissingOnesAndFolders)
{
    TemporaryFolder folder;
    std::ofstream(folder / "empty").close();
    auto empty = MappedFile::open(folder / "empty");
    ASSERT_TRUE(empty);
    EXPECT_TRUE(empty->empty());
    EXPECT_FALSE(MappedFile::open(folder / "missing"));
    EXPECT_FALSE(MappedFile::open(folder.path()));
}
