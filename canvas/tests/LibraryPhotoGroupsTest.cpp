#include "canvas/LibraryPhotoGroups.h"

#include <gtest/gtest.h>

#include <deque>
#include <string>

namespace velorin {
namespace {

// Candidates at view points, named by their index.
class Candidates {
public:
    explicit Candidates(const std::vector<Camera::Point>& points)
    {
        for (std::size_t i = 0; i < points.size(); ++i)
            photos_.push_back({std::to_string(i), {}, {}});
        for (std::size_t i = 0; i < points.size(); ++i)
            list_.push_back({&photos_[i], points[i]});
    }
    const std::vector<LibraryPhotoGroups::Candidate>& list() const { return list_; }

private:
    std::deque<TrackPhoto> photos_;
    std::vector<LibraryPhotoGroups::Candidate> list_;
};

// The ids of each group, in order.
std::vector<std::vector<std::string>> ids(const std::vector<std::vector<TrackPhoto>>& groups)
{
    std::vector<std::vector<std::string>> result;
    for (const auto& group : groups) {
        result.emplace_back();
        for (const TrackPhoto& photo : group)
            result.back().push_back(photo.id);
    }
    return result;
}

TEST(LibraryPhotoGroups, PhotosShareAPinOnlyInsideOneCell)
{
    struct Case {
        const char* name;
        std::vector<Camera::Point> points;
        std::vector<std::vector<std::string>> groups;
    };
    const Case cases[] = {
        {"50 points apart in one cell", {{10, 10}, {60, 10}}, {{"0", "1"}}},
        {"50 points apart across a column", {{40, 10}, {90, 10}}, {{"0"}, {"1"}}},
        {"10 points apart across a column", {{68, 10}, {78, 10}}, {{"0"}, {"1"}}},
        {"10 points apart across a row", {{10, 140}, {10, 150}}, {{"0"}, {"1"}}},
        {"left of the view, across zero", {{-5, 10}, {5, 10}}, {{"0"}, {"1"}}},
        {"a later photo joins the first group of its cell", {{10, 10}, {100, 10}, {20, 20}}, {{"0", "2"}, {"1"}}},
    };
    for (const Case& c : cases) {
        const Candidates candidates(c.points);
        EXPECT_EQ(ids(LibraryPhotoGroups::group(candidates.list())), c.groups) << c.name;
    }
}

TEST(LibraryPhotoGroups, TheSixtyFirstOccupiedCellGetsNoPinWhileEarlierCellsStillGather)
{
    std::vector<Camera::Point> points;
    for (int cell = 0; cell < 61; ++cell)
        points.push_back({36.0 + 72 * (cell % 10), 36.0 + 72 * (cell / 10)});
    points.push_back(points[60]); // a second photo of the 61st cell
    points.push_back({40, 40});   // one more of the first cell
    const Candidates candidates(points);
    const auto groups = ids(LibraryPhotoGroups::group(candidates.list()));
    ASSERT_EQ(groups.size(), LibraryPhotoGroups::kMaxGroups);
    EXPECT_EQ(groups.front(), (std::vector<std::string> {"0", "62"}));
    for (const auto& group : groups) {
        for (const std::string& id : group)
            EXPECT_TRUE(id != "60" && id != "61") << "photo " << id << " of the 61st cell has a pin";
    }
}

} // namespace
} // namespace velorin
