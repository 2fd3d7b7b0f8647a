#pragma once

#include "recordings/TravelMode.h"

#include <QString>
#include <QWidget>

#include <optional>
#include <vector>

class QLabel;

namespace velorin {

class TrackRecorder;

// The capsule the map screen shows while a track is recorded: a red dot, how the walker
// moves, the recording's duration, distance and ascent, the altitude when known, and why
// the recording cannot be written while it cannot; until the first point is kept, that it
// waits for the GPS. It has no controls; the map screen shows and hides it with the
// recording. GUI thread only; the recorder outlives it.
class RecordingPanel : public QWidget {
public:
    static constexpr int kSpacingPoints = 13;
    static constexpr int kHorizontalPaddingPoints = 14;
    static constexpr int kVerticalPaddingPoints = 9;
    static constexpr int kDotPoints = 9;
    static constexpr int kSymbolPoints = 14;
    static constexpr int kValuePoints = 14;
    static constexpr int kLabelPoints = 9;
    static constexpr int kFailurePoints = 12;
    static constexpr int kFailureSpacingPoints = 5;
    static constexpr const char* kWaitingText = "En attente du GPS…";

    struct Cell {
        QString value;
        QString label;
        bool operator==(const Cell&) const = default;
    };

    explicit RecordingPanel(const TrackRecorder& recorder, QWidget* parent = nullptr);

    // Reads the recorder's figures again, with the altitude text and the motion the map
    // screen has now; without a mode there is no mode icon, without an altitude no cell.
    void refresh(std::optional<QString> altitude, std::optional<TravelMode> mode);

    // What the row shows, for the screen's tests: the cells in order and the mode icon.
    std::vector<Cell> cells() const;
    QLabel& modeIcon() const { return *mode_; }
    // The recorder's write failure, shown after the cells; hidden without one.
    QLabel& writeFailure() const { return *failure_; }
    QLabel& waiting() const { return *waiting_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    struct CellLabels {
        QWidget* cell;
        QLabel* value;
        QLabel* label;
    };
    CellLabels addCell(const QString& label);
    void setValue(const CellLabels& cell, const QString& value);

    const TrackRecorder& recorder_;
    QWidget* dot_;
    QLabel* mode_;
    QLabel* waiting_;
    CellLabels duration_;
    CellLabels distance_;
    CellLabels ascent_;
    CellLabels altitude_;
    QWidget* failureItem_;
    QLabel* failure_;
};

} // namespace velorin
