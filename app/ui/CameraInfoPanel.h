#pragma once

#include <QWidget>

class QLabel;
class QPushButton;
class QStackedLayout;

namespace velorin {

class AppModel;

// The camera readout over the map: where the camera aims, where its eye is and how high,
// the bearing, pitch, zoom and focal factor, and a button that copies the "-startAt" line
// that reopens the view. It follows the model's readout and asks for a fresh one each time
// it is shown. GUI thread only; the model outlives it.
class CameraInfoPanel : public QWidget {
    Q_OBJECT

public:
    static constexpr int kWidthPoints = 224;
    static constexpr int kPaddingPoints = 12;
    static constexpr double kCornerRadius = 12;
    static constexpr int kSpacingPoints = 10;
    static constexpr int kSymbolSpacingPoints = 8;
    static constexpr int kColumnSpacingPoints = 14;
    static constexpr double kCaptionPixelSize = 12;
    static constexpr double kCaption2PixelSize = 11;
    static constexpr double kSymbolPixelSize = 11;
    static constexpr double kLinePixelSize = 9;
    static constexpr const char* kWaitingText = "Déplacez la carte…";
    static constexpr const char* kCopyHelp = "Copier la ligne qui rouvre cette vue";

    CameraInfoPanel(AppModel& model, QWidget* parent);

    // The texts shown now, as plain text.
    QString centerText() const;
    QString eyeText() const;
    QString altitudeText() const;
    QString bearingText() const;
    QString pitchText() const;
    QString zoomText() const;
    QString focalText() const;
    // The line the button copies; empty without a readout.
    const QString& launchLine() const { return line_; }
    bool showsReadout() const;
    QPushButton& copyButton() const { return *copy_; }
    // What the waiting text says before any readout.
    QLabel& waitingLabel() const { return *waiting_; }

protected:
    void showEvent(QShowEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void refresh();
    void elideLine();
    QWidget* buildReadout();

    AppModel& model_;
    QStackedLayout* pages_;
    QLabel* waiting_;
    QWidget* readout_ = nullptr;
    QLabel* center_ = nullptr;
    QLabel* eye_ = nullptr;
    QLabel* altitude_ = nullptr;
    QLabel* bearing_ = nullptr;
    QLabel* pitch_ = nullptr;
    QLabel* zoom_ = nullptr;
    QLabel* focal_ = nullptr;
    QWidget* rows_[4] {};
    QPushButton* copy_ = nullptr;
    QString line_;
};

} // namespace velorin
