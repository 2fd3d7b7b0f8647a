// Saved views and videos shown on the map, and the recording of flights and flyovers as
// camera poses for new videos.

#include "canvas/MapCanvasView.h"
#include "platform/LaunchArguments.h"
#include "renderer/PixelScale.h"

#include <fmt/format.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace velorin {

namespace {

CameraPose poseOf(const Camera& camera)
{
    return {camera.center.x, camera.center.y, camera.zoom, camera.bearing, camera.pitch, camera.focalLength,
        camera.viewSize.width, camera.viewSize.height};
}

// A pose the camera can take: every value finite, and an eye in front of the ground.
bool isShowable(const CameraPose& pose)
{
    return pose.isFinite() && pose.focal > 0;
}

} // namespace

void MapCanvasView::showPose(const CameraPose& pose)
{
    Camera& camera = renderer_->camera;
    camera.center = {pose.x, pose.y};
    camera.zoom = pose.zoom;
    // A pose keeps the size of the view it was taken in, but is shown in this one.
    camera.viewSize = pixelScale(window_.boundsInPoints(), window_.screenScale());
    camera.bearing = pose.bearing;
    camera.pitch = pose.pitch;
    camera.focalLength = pose.focal;
    targetBearing_ = pose.bearing;
    targetPitch_ = pose.pitch;
    cameraDidChange();
}

void MapCanvasView::apply(const CameraPose& pose)
{
    if (!isShowable(pose))
        return;
    endFlight();
    awaitingInitialLocation_ = false;
    showPose(pose);
    userFocalLength_ = pose.focal;
    if (onPitchChanged)
        onPitchChanged(pose.pitch > 0);
}

void MapCanvasView::play(const SavedVideo& video)
{
    if (video.poses.empty() || !(std::isfinite(video.frameRate) && video.frameRate > 0)
        || !std::all_of(video.poses.begin(), video.poses.end(), isShowable))
        return;
    apply(video.poses.front());
    replay_ = Replay {video, now() + kReplayHoldSeconds};
    startDisplayLink();
}

bool MapCanvasView::replayStep()
{
    const std::vector<CameraPose>& poses = replay_->video.poses;
    // Negative while the first pose is held; poses are shown as they fall, never blended.
    const double index = std::trunc((now() - replay_->start) * replay_->video.frameRate);
    if (index < double(poses.size())) {
        showPose(poses[std::size_t(std::max(0.0, index))]);
        return true;
    }
    const Replay ended = std::move(*replay_);
    replay_.reset();
    finishReplay(ended);
    return false;
}

void MapCanvasView::finishReplay(const Replay& replay)
{
    if (replay.video.poses.empty())
        return;
    const double focal = replay.video.poses.back().focal;
    if (focal == userFocalLength_)
        return;
    Camera& camera = renderer_->camera;
    camera.zoom -= std::log2(userFocalLength_ / focal);
    camera.focalLength = userFocalLength_;
    cameraDidChange();
}

void MapCanvasView::recordAnimationFrame(double dt)
{
    if (!flight_ && !flyover_) {
        finishRecording();
        return;
    }
    // Recording waits for the motion: a prepared flight's frames lying ahead, a flyover's
    // start ready.
    if ((flight_ && flight_->prepared && !flight_->playback.moving) || (flyover_ && flyover_->preparing))
        return;
    dumpFrame();
    if (flight_ && flight_->prepared) {
        // A prepared flight is recorded from its frames, whatever the screen kept up with.
        if (!recording_)
            recording_ = Recording {animationName_, renderer_->basemap, {}, 0};
        const double elapsed = flight_->playback.elapsed;
        while (double(recording_->poses.size()) / kRecordingPosesPerSecond <= elapsed) {
            const PreparedFlightFrame* frame
                = flight_->prepared->frame(double(recording_->poses.size()) / kRecordingPosesPerSecond);
            if (!frame)
                break;
            recording_->poses.push_back(poseOf(frame->scene.camera));
        }
        recording_->elapsed = elapsed;
        return;
    }
    const CameraPose pose = poseOf(renderer_->camera);
    if (!recording_) {
        recording_ = Recording {animationName_, renderer_->basemap, {pose}, 0};
        return;
    }
    // A camera at rest is cut out of the recording.
    if (pose == recording_->poses.back())
        return;
    recording_->elapsed += std::min(dt, 1 / kRecordingPosesPerSecond);
    if (recording_->elapsed >= double(recording_->poses.size()) / kRecordingPosesPerSecond)
        recording_->poses.push_back(pose);
    if (flyover_ && flightOptions_.filmSeconds && recording_->elapsed >= *flightOptions_.filmSeconds)
        stopAnimations();
}

void MapCanvasView::finishRecording()
{
    if (!recording_)
        return;
    const Recording finished = std::move(*recording_);
    recording_.reset();
    if (finished.poses.size() < kMinRecordedPoses) {
        // A scripted film waits for this recording: it must not wait for ever.
        if (platform::launchArgumentValue("-filmTo", environment_.arguments)) {
            fmt::print("film : enregistrement trop court\nfilm : échec\n");
            std::fflush(stdout);
            programExit()(EXIT_FAILURE);
        }
        return;
    }
    if (onAnimationRecorded)
        onAnimationRecorded(finished.name, finished.basemap, finished.poses, snapshot(kRecordingThumbnailPixels));
    filmRecording(finished.name, finished.basemap, finished.poses);
}

} // namespace velorin
