#pragma once

#include "app/LoadState.h"
#include "canvas/MapCanvasView.h"

#include <QColor>
#include <QWidget>

#include <string>

namespace velorin {

class AppModel;

// The content of the application's window: a dark background under the screen that the
// model's start-up state calls for, the loading screen, the failure screen or the map
// screen. It starts nothing itself but the failure screen's retry. GUI thread only; the
// model outlives it.
class RootView : public QWidget {
public:
    static QColor backgroundColor() { return QColor::fromRgbF(0.11f, 0.145f, 0.22f); }

    RootView(AppModel& model, MapCanvasView::Environment environment, QWidget* parent = nullptr);

    // The screen shown now; nothing over the background when the model is ready without
    // a catalogue, a loader or a GPU device.
    QWidget* content() const { return content_; }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    enum class Screen { none, loading, failure, map };

    // Shows the screen that the model's state calls for, unless it is shown already.
    void follow();
    Screen wanted() const;
    void present(Screen screen);

    AppModel& model_;
    MapCanvasView::Environment environment_;
    Screen shown_ = Screen::none;
    // The reason on the failure screen shown.
    std::string shownMessage_;
    QWidget* content_ = nullptr;
};

} // namespace velorin
