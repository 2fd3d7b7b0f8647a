#include "app/AppModel.h"

#include "platform/FrenchDate.h"

#include <QPointer>

#include <system_error>
#include <utility>

namespace velorin {

namespace {

// Ends a film once, on whichever path comes first: its completion, a refused start, or the
// completion dropped unanswered (the canvas went away).
class FilmGuard {
public:
    explicit FilmGuard(std::function<void(bool)> finish)
        : finish_(std::move(finish))
    {
    }
    ~FilmGuard() { (*this)(false); }
    FilmGuard(const FilmGuard&) = delete;
    FilmGuard& operator=(const FilmGuard&) = delete;

    void operator()(bool exported)
    {
        if (auto finish = std::exchange(finish_, nullptr))
            finish(exported);
    }

private:
    std::function<void(bool)> finish_;
};

// The exported film moved into place; the temporary file removed on any other outcome.
std::optional<std::filesystem::path> placeFilm(bool exported, const std::filesystem::path& temporary,
    const std::filesystem::path& film)
{
    std::error_code error;
    if (exported) {
        std::filesystem::rename(temporary, film, error);
        if (!error)
            return film;
    }
    std::filesystem::remove(temporary, error);
    return std::nullopt;
}

} // namespace

void AppModel::saveCurrentView()
{
    auto canvas = canvas_.lock();
    const auto image = canvas ? canvas->snapshot() : std::nullopt;
    const auto pose = image ? canvas->camera() : std::nullopt;
    if (!pose) {
        showNotice(std::string(kViewNotSavedNotice));
        return;
    }
    const std::string name = flight_ ? flight_->first
                                     : "Vue du " + platform::frenchDate(now_(), { .year = true, .time = true });
    const auto saved = captures_->saveView(name, basemap_, *pose, *image);
    showNotice(std::string(saved ? kViewSavedNotice : kViewNotSavedNotice));
}

void AppModel::showNotice(std::string text)
{
    publish(captureNotice_, std::optional<std::string>(std::move(text)));
    QPointer<AppModel> weak(this);
    noticeTimer_.start(kNoticeSeconds, [weak] {
        if (weak)
            weak->publish(weak->captureNotice_, std::optional<std::string>());
    });
}

void AppModel::openSavedView(const SavedView& view)
{
    publish(isFollowingUser_, false);
    if (auto canvas = canvas_.lock())
        canvas->apply(view.pose);
    if (auto basemap = Basemap::fromRawValue(view.basemap))
        selectBasemap(*basemap);
}

void AppModel::playSavedVideo(const SavedVideo& video)
{
    publish(isFollowingUser_, false);
    if (auto basemap = Basemap::fromRawValue(video.basemap); basemap && !basemap->isApple())
        selectBasemap(*basemap);
    if (auto canvas = canvas_.lock())
        canvas->play(video);
}

void AppModel::makeFilm(const SavedVideo& video, std::function<void(std::optional<std::filesystem::path>)> done)
{
    if (!done)
        done = [](std::optional<std::filesystem::path>) {};
    const bool hd = defaults_->boolean(kVideoHDKey).value_or(false);
    const auto film = captures_->filmURL(video.id, hd);
    std::error_code error;
    if (std::filesystem::exists(film, error)) {
        done(film);
        return;
    }
    auto canvas = canvas_.lock();
    if (!canvas || movieProgress_.contains(video.id)) {
        done(std::nullopt);
        return;
    }
    movieProgress_[video.id] = 0;
    emit changed();
    const auto temporary = film.parent_path() / kFilmInProgressFile;
    QPointer<AppModel> weak(this);
    auto guard = std::make_shared<FilmGuard>([weak, id = video.id, temporary, film, done = std::move(done)](bool exported) {
        const auto placed = placeFilm(exported, temporary, film);
        if (weak && weak->movieProgress_.erase(id))
            emit weak->changed();
        done(placed);
    });
    auto progress = [weak, id = video.id](double fraction) {
        if (!weak)
            return;
        const auto entry = weak->movieProgress_.find(id);
        if (entry != weak->movieProgress_.end() && entry->second != fraction) {
            entry->second = fraction;
            emit weak->changed();
        }
    };
    const Basemap basemap = Basemap::fromRawValue(video.basemap).value_or(basemap_);
    if (!canvas->exportVideo(video, basemap, hd ? kFilmHeightHD : kFilmHeight, temporary, false, std::move(progress),
            [guard](bool exported) { (*guard)(exported); }))
        (*guard)(false);
}

void AppModel::animationRecorded(const std::string& name, Basemap basemap, const std::vector<CameraPose>& poses,
    const std::optional<platform::Image>& image)
{
    captures_->saveVideo(name, basemap, poses, kRecordedFrameRate, image);
}

} // namespace velorin
