#pragma once

class QLabel;

// A label with links takes the Tab focus on a link: Tab into it marks its
// first link, Shift+Tab its last, so that no stop of the chain shows nothing
// (Qt gives the label itself the focus first, which draws no mark).
void FocusLinksOnTab(QLabel* label);
