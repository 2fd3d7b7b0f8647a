#pragma once

#include <QAbstractButton>
#include <QString>
#include <QWidget>

#include <optional>

class QLabel;
class QToolButton;

namespace velorin {

class CaptureThumbnail;
class ProgressRing;

// One saved view or video in the library: a tap area (thumbnail, name, date) that opens it
// on the map, then the two save buttons, "Enregistrer dans Photos" and "Enregistrer dans un
// fichier", or a progress ring in their place while the video's film is computed. The
// owner connects the buttons. GUI thread only.
class CaptureRow : public QWidget {
public:
    static constexpr int kSpacingPoints = 12;
    static constexpr int kTextSpacingPoints = 3;
    static constexpr int kButtonSpacingPoints = 14;

    CaptureRow(const QString& name, const QString& subtitle, QWidget* parent = nullptr);

    QAbstractButton& tapArea() const { return *tapArea_; }
    CaptureThumbnail& thumbnail() const { return *thumbnail_; }
    QAbstractButton& photosButton() const;
    QAbstractButton& fileButton() const;
    QString name() const;
    QString subtitle() const;

    // The film's share computed so far puts the ring in place of the save buttons;
    // nothing gives the buttons back.
    void setProgress(std::optional<double> fraction);
    // Null while the save buttons show.
    ProgressRing* progressRing() const;
    bool showsSaveButtons() const;

private:
    QAbstractButton* tapArea_;
    CaptureThumbnail* thumbnail_;
    QLabel* name_;
    QLabel* subtitle_;
    QWidget* saveButtons_;
    QToolButton* photos_;
    QToolButton* file_;
    ProgressRing* ring_;
};

} // namespace velorin
