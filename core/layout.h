// Where the main window's controls and caption images go for a client size.
#pragma once

#include <string_view>

struct Placement {
    int x, y, width, height;
};

struct MainLayout {
    Placement toolbar, searchBox, searchButton, keyPane, resultPane;
    int keyImageY, dataImageY; // the caption images are drawn at x 0
};

// Heights of the caption images that the program ships, used when one
// cannot be loaded.
const int DefaultKeyCaptionHeight = 39;
const int DefaultDataCaptionHeight = 35;

MainLayout ComputeMainLayout(int clientWidth, int clientHeight, int keyCaptionHeight,
                             int dataCaptionHeight);

// A pane's text takes a line at least per paragraph, each at least the
// font's height, however wide the pane: whether the text surely overflows
// a pane this high, so that it will need a vertical scroll bar.
bool OverflowsSurely(std::string_view text, int lineHeight, int paneHeight);
