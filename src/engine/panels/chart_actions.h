// The chart's file actions where people look for them: Record / Stop, Save shown span...,
// Save picture... and Open recording... at the head of the panel's File menu, and the chart's
// Record and Freeze buttons in the Tab order.
#pragma once

class QWidget;

namespace engine {

// For a main window with a strip chart; the program's own menu entries stay as they are.
void AddChartActions(QWidget* window);
// Every menu of the window's menu bar, when it opens, takes the charts' hover boxes away.
// After the last menu is added.
void HideHoverUnderMenus(QWidget* window);

}  // namespace engine
