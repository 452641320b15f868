// How panels hold together on any desktop: a strip chart's plot never shrinks below a
// readable height whatever the font and the legend's rows, windows open centred on their
// screen and no larger than it, and the status line shows what fits with the whole in a
// tooltip.
#pragma once

#include <QLabel>

namespace engine {

// The least height of a strip chart's plot, in logical pixels.
inline constexpr int kLeastPlotHeight = 160;

// Keeps every strip chart of a loaded panel at least kLeastPlotHeight of plot: its least
// height follows its width (the legend wraps) and its font.
void HoldChartPlots(QWidget* window);
// Beside every entry the resource marks with portCeiling: "port allows up to N scans/s",
// while the bound port back end knows its ceiling.
void ShowPortCeilings(QWidget* window);
// Every label the resource marks with portSource reads "Parallel ports listed by the BIOS:",
// in the bound back end's words for where its port table came from (the status line's).
void ShowPortSource(QWidget* window);
// Before a window is first shown: its size no larger than its screen, centred on it.
void PlaceOnScreen(QWidget* window);

// The status line: as much of the text as the window's width allows, the rest elided, with
// the whole text as its tooltip. Its text() is always the whole line.
class StatusLabel : public QLabel {
  public:
    using QLabel::QLabel;
    QSize minimumSizeHint() const override;
    bool elided() const;

  protected:
    void paintEvent(QPaintEvent*) override;
    void resizeEvent(QResizeEvent*) override;
    void changeEvent(QEvent*) override;

  private:
    void updateTip();
};

}  // namespace engine
