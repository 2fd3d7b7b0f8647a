#pragma once

#include "recordings/SavedVideo.h"
#include "recordings/SavedView.h"

#include <string>
#include <string_view>

namespace velorin {

// The texts of the saved views and videos tabs: the row subtitles, the film notice and the
// messages of the capture alert. Pure functions; any thread.
struct CaptureTexts {
    static constexpr std::string_view kSavedToPhotos = "Enregistré dans Photos.";
    // A missing source or a copy that failed, to Pictures, Videos or a chosen file.
    static constexpr std::string_view kNotSaved = "Le fichier n'a pas été enregistré.";
    static constexpr std::string_view kFilmFailed = "Le film n'a pas pu être calculé.";

    // The date the view was saved, day, month, year and time.
    static std::string viewSubtitle(const SavedView& view);
    // The same date, " · ", then how long the replay lasts; "—" for the length when the
    // frame rate is not a positive number.
    static std::string videoSubtitle(const SavedVideo& video);
    // Under the videos: how films are made, at 1080 lines when `hd`, else 720, and how
    // many videos are kept.
    static std::string filmNotice(bool hd);
};

} // namespace velorin
