#include "recordings/PhotoLibraryExport.h"

#include "recordings/CaptureFile.h"

#include "platform/DrainableMainQueue.h"
#include "platform/OperationQueue.h"
#include "testing/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <fstream>

#include <sys/stat.h>

using namespace velorin;
using testing_support::TemporaryFolder;

namespace {

void writeFile(const std::filesystem::path& path, const std::string& text)
{
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
}

std::string readFile(const std::filesystem::path& path)
{
    std::ifstream stream(path, std::ios::binary);
    return { std::istreambuf_iterator<char>(stream), std::istreambuf_iterator<char>() };
}

std::vector<std::string> entries(const std::filesystem::path& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace

TEST(PhotoLibraryExport, ACopyNeverReplacesAFileOfTheSameName)
{
    TemporaryFolder folder;
    const auto photo = folder / "capture/photo.jpg";
    writeFile(photo, "jpeg bytes");
    const auto pictures = folder / "Images";
    writeFile(pictures / "Vue du 1 mai 2024 à 10:05 (3).jpg", "someone else's");

    std::vector<std::filesystem::path> copies;
    for (int i = 0; i < 3; ++i) {
        auto copy = PhotoLibraryExport::copy(photo, pictures, "Vue du 1 mai 2024 à 10:05");
        ASSERT_TRUE(copy);
        copies.push_back(*copy);
    }
    EXPECT_EQ(copies[0], pictures / "Vue du 1 mai 2024 à 10:05.jpg");
    EXPECT_EQ(copies[1], pictures / "Vue du 1 mai 2024 à 10:05 (2).jpg");
    EXPECT_EQ(copies[2], pictures / "Vue du 1 mai 2024 à 10:05 (4).jpg");
    EXPECT_EQ(readFile(copies[2]), "jpeg bytes");
    EXPECT_EQ(readFile(pictures / "Vue du 1 mai 2024 à 10:05 (3).jpg"), "someone else's");
    // No temporary file stays behind.
    EXPECT_EQ(entries(pictures).size(), 4u);
}

TEST(PhotoLibraryExport, ACopyHasThePermissionsTheUmaskGivesAnyNewFile)
{
    TemporaryFolder folder;
    const auto photo = folder / "capture/photo.jpg";
    writeFile(photo, "jpeg bytes");
    std::filesystem::permissions(photo, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
    using P = std::filesystem::perms;
    struct Case {
        mode_t umask;
        P permissions;
    };
    for (const auto& c : { Case { 022, P::owner_read | P::owner_write | P::group_read | P::others_read },
             Case { 027, P::owner_read | P::owner_write | P::group_read },
             Case { 002, P::owner_read | P::owner_write | P::group_read | P::group_write | P::others_read } }) {
        const mode_t previous = ::umask(c.umask);
        const auto copy = PhotoLibraryExport::copy(photo, folder / "Images", "Vue");
        ::umask(previous);
        ASSERT_TRUE(copy);
        EXPECT_EQ(std::filesystem::status(*copy).permissions(), c.permissions) << std::oct << c.umask;
    }
}

TEST(CaptureFile, GivesTheFilesBytesOrSaysItCannotBeRead)
{
    TemporaryFolder folder;
    writeFile(folder / "film-720.mp4", std::string("mp4\0data", 8));
    const auto bytes = CaptureFile { folder / "film-720.mp4" }.contents();
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(bytes.data()), bytes.size()), std::string("mp4\0data", 8));
    for (const auto& unreadable : { folder / "missing.jpg", folder.path() }) {
        try {
            CaptureFile { unreadable }.contents();
            ADD_FAILURE() << unreadable;
        } catch (const std::runtime_error& error) {
            EXPECT_STREQ(error.what(), "Fichier illisible");
        }
    }
}

TEST(PhotoLibraryExport, NamesLoseSlashesAndControlCharactersAndAreCutBetweenCharacters)
{
    struct Case { std::string name, file; };
    const std::string prefix = std::string(150, 'a') + std::string(31, 'e');
    for (const auto& c : {
             Case { "Survol · Col/Pic\n\t", "Survol · Col-Pic--" },
             Case { prefix + "éééééééééééééééééééé", prefix + "ééééééééé" },
             Case { "", "Velorin" },
             Case { "..", "Velorin" },
         }) {
        SCOPED_TRACE(c.name);
        const auto file = PhotoLibraryExport::fileName(c.name);
        EXPECT_EQ(file, c.file);
        EXPECT_LE(file.size(), PhotoLibraryExport::kMaxNameBytes);
    }
}

TEST(PhotoLibraryExport, SavingAnswersOnTheMainQueueWhetherTheFileWasAdded)
{
    TemporaryFolder folder;
    auto folders = platform::Folders::under(folder.path());
    const auto film = folder / "capture/film-720.mp4";
    writeFile(film, "mp4");
    auto mainQueue = std::make_shared<platform::DrainableMainQueue>();
    platform::OperationQueue worker("export", 1);

    std::vector<bool> answers;
    auto save = [&](const std::filesystem::path& file, bool isVideo) {
        saveToPhotos(file, isVideo, "Survol", folders, worker, mainQueue, [&](bool added) { answers.push_back(added); });
        worker.waitUntilAllFinished();
        while (mainQueue->runOne()) {
        }
    };
    save(film, true);
    EXPECT_EQ(readFile(folders.videos / "Survol.mp4"), "mp4");
    save(folder / "capture/missing.jpg", false);
    // Pictures cannot be made under a file.
    writeFile(folder / "blocked", "");
    folders.pictures = folder / "blocked/Pictures";
    save(film, false);
    EXPECT_EQ(answers, (std::vector<bool> { true, false, false }));
}
