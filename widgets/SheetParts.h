#pragma once

#include <QString>

class QDialog;
class QGroupBox;
class QLabel;
class QVBoxLayout;

namespace velorin {

// The parts a sheet is made of, alike on every sheet: a titled section, the footer that
// explains it in the dimmed colour, and the top bar whose "Fermer" closes the sheet. GUI
// thread only.
QGroupBox* makeSheetSection(const QString& title = {});
QLabel* makeSheetFooter(const QString& text);
// Adds the bar with "Fermer" (object name "close") at the top of `layout`, with the sheet's
// title in its middle when one is given (object name "title").
void addSheetCloseBar(QDialog& sheet, QVBoxLayout& layout, const QString& title = {});

} // namespace velorin
