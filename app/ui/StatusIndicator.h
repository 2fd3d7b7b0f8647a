#pragma once

#include <QWidget>

#include <optional>
#include <string>

class QGraphicsOpacityEffect;
class QLabel;
class QProgressBar;
class QVariantAnimation;

namespace velorin {

class AppModel;
class Pill;
class PillButton;

// The small pill in a top corner of the map that tells what the walker must know first: a
// recording that cannot be written, then what the map data pipeline is doing: a loading
// problem (a button to the diagnostics), a missing position while the map follows the
// walker, a TOP25 sheet being prepared with its progress, or sheets waiting. It hides
// itself, taking no room, when none of these holds, and redraws from the model's
// announcements. GUI thread only.
class StatusIndicator : public QWidget {
    Q_OBJECT

public:
    enum class Content { none, recording, problem, position, sheet, queue };

    static constexpr int kEdgePaddingPoints = 8;
    static constexpr double kFootnotePixelSize = 13;
    static constexpr double kCaptionPixelSize = 11;
    static constexpr int kProgressWidthPoints = 168;
    // A longer sheet name is cut short rather than stretching the pill across the map.
    static constexpr int kSheetNameMaxWidthPoints = 280;
    // A problem that starts or ends, or another sheet, fades in over this long, and a pill
    // that goes fades out over it.
    static constexpr int kFadeMilliseconds = 200;

    StatusIndicator(AppModel& model, QWidget* parent);

    // The first that holds: a recording write failure, a loading problem, a missing
    // position, a sheet in preparation, sheets waiting.
    static Content choose(const AppModel& model);
    Content content() const { return content_; }
    // The room of its largest pill, with the indicator's paddings, whichever shows now.
    QSize largestSize() const;
    bool isFading() const;

signals:
    // The problem pill was pressed: the map screen opens the diagnostics.
    void diagnosticsRequested();

private:
    void buildRecordingPill();
    void buildProblemPill();
    void buildSheetPill();
    void buildQueuePill();
    void buildPositionPill();
    void refresh();
    void fadeIn();
    // The pill shown stays while it fades out, then the indicator hides.
    void fadeOut();
    void showContent();

    AppModel& model_;
    Content content_ = Content::none;
    bool shownProblem_ = false;
    bool shownPosition_ = false;
    bool fadingOut_ = false;
    std::optional<std::string> shownSheet_;
    std::optional<std::string> shownFailure_;
    QGraphicsOpacityEffect* fade_;
    QVariantAnimation* fadeAnimation_;
    Pill* recordingPill_;
    QLabel* recordingMessage_;
    PillButton* problemPill_;
    QLabel* problemMessage_;
    Pill* sheetPill_;
    QLabel* sheetName_;
    QLabel* sheetBadge_;
    QProgressBar* sheetProgress_;
    QLabel* sheetPhase_;
    Pill* queuePill_;
    QLabel* queueText_;
    Pill* positionPill_;
    QLabel* positionText_;
};

} // namespace velorin
