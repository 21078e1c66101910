#include "core/layout.h"

namespace {

const int ToolbarHeight = 50;
const int SearchRowY = 50;
const int SearchButtonWidth = 60;
const int SearchRowHeight = 25;
const int SearchListHeight = 180; // the combo box's height includes its drop-down list
const int KeyImageY = 90;
const int KeyPaneHeight = 50;

int NotNegative(int v)
{
    return v < 0 ? 0 : v;
}

} // namespace

MainLayout ComputeMainLayout(int w, int h, int keyCaptionHeight, int dataCaptionHeight)
{
    MainLayout l;
    l.toolbar = {0, 0, w, ToolbarHeight};
    l.searchBox = {0, SearchRowY, NotNegative(w - SearchButtonWidth), SearchListHeight};
    l.searchButton = {w - SearchButtonWidth, SearchRowY, SearchButtonWidth, SearchRowHeight};
    l.keyImageY = KeyImageY;
    l.keyPane = {0, keyCaptionHeight + KeyImageY, w, KeyPaneHeight};
    l.dataImageY = keyCaptionHeight + KeyImageY + KeyPaneHeight;
    int resultY = keyCaptionHeight + dataCaptionHeight + KeyImageY + KeyPaneHeight;
    // A window made very small gets an empty pane, not a negative height.
    l.resultPane = {0, resultY, w, NotNegative(h - resultY)};
    return l;
}
