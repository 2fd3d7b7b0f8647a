#include "app/AppModel.h"

#include <QPointer>

#include <utility>

namespace velorin {

namespace {

void cancel(std::shared_ptr<std::atomic<bool>>& task)
{
    if (task)
        task->store(true);
}

} // namespace

void AppModel::togglePhotoPins()
{
    publish(showsPhotoPins_, !showsPhotoPins_);
    defaults_->setBoolean(kPhotoPinsKey, showsPhotoPins_);
    if (auto canvas = canvas_.lock())
        canvas->setPhotos(showsPhotoPins_ ? trackPhotos_ : std::vector<TrackPhoto> {});
    reloadLibraryPhotos(showsPhotoPins_);
}

void AppModel::reloadLibraryPhotos(bool requestAccess)
{
    cancel(libraryPhotosTask_);
    if (!libraryPhotosEnabled(*defaults_) || !showsPhotoPins_) {
        publishLibraryPhotos({});
        return;
    }
    libraryPhotosTask_ = std::make_shared<std::atomic<bool>>(false);
    lookUpPhotos(libraryPhotosTask_,
        [requestAccess](const PhotoLibrary& library, const std::atomic<bool>* cancelled) {
            return TrackPhoto::libraryPhotos(requestAccess, library, cancelled);
        },
        &AppModel::publishLibraryPhotos);
}

void AppModel::publishLibraryPhotos(std::vector<TrackPhoto> photos)
{
    publish(libraryPhotos_, std::move(photos));
    if (auto canvas = canvas_.lock())
        canvas->setLibraryPhotos(libraryPhotos_);
}

void AppModel::shownTrackDidChange()
{
    // Photos are never looked up while recording.
    loadTrackPhotos(tracks_->current() ? std::nullopt : tracks_->displayedTrack());
}

void AppModel::loadTrackPhotos(const std::optional<Track>& track)
{
    cancel(photoTask_);
    if (!track) {
        publishTrackPhotos({});
        return;
    }
    photoTask_ = std::make_shared<std::atomic<bool>>(false);
    lookUpPhotos(photoTask_,
        [track = *track](const PhotoLibrary& library, const std::atomic<bool>* cancelled) {
            return TrackPhoto::fetch(track, library, cancelled);
        },
        &AppModel::publishTrackPhotos);
}

void AppModel::publishTrackPhotos(std::vector<TrackPhoto> photos)
{
    publish(trackPhotos_, std::move(photos));
    if (auto canvas = canvas_.lock())
        canvas->setPhotos(showsPhotoPins_ ? trackPhotos_ : std::vector<TrackPhoto> {});
}

void AppModel::lookUpPhotos(const std::shared_ptr<std::atomic<bool>>& cancelled,
    std::function<std::vector<TrackPhoto>(const PhotoLibrary&, const std::atomic<bool>*)> lookup,
    void (AppModel::*publishResult)(std::vector<TrackPhoto>))
{
    photoWorker_->post([weak = QPointer<AppModel>(this), library = photoLibrary_, mainQueue = mainQueue_, cancelled,
                           lookup = std::move(lookup), publishResult]() mutable {
        auto photos = lookup(*library, cancelled.get());
        mainQueue->post([weak = std::move(weak), cancelled = std::move(cancelled), photos = std::move(photos),
                            publishResult]() mutable {
            if (weak && !cancelled->load())
                (weak.data()->*publishResult)(std::move(photos));
        });
    });
}

void AppModel::photoTapped(int index)
{
    viewedPhotos_ = trackPhotos_;
    viewedPhotoIndex_ = index;
    emit changed();
}

void AppModel::libraryPhotosTapped(std::vector<TrackPhoto> photos)
{
    viewedPhotos_ = std::move(photos);
    viewedPhotoIndex_ = 0;
    emit changed();
}

void AppModel::setViewedPhotoIndex(std::optional<int> index)
{
    publish(viewedPhotoIndex_, index);
}

} // namespace velorin
