// Where the main window's controls and caption images go for a client size.
#pragma once

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
