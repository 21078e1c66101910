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

bool OverflowsSurely(std::string_view text, int lineHeight, int paneHeight)
{
    if (lineHeight <= 0 || paneHeight <= 0)
        return false;
    const size_t room = size_t(paneHeight / lineHeight) + 1; // a line cut at the bottom
    size_t lines = 1;
    for (size_t i = 0; i < text.size() && lines <= room; i++) {
        bool crlf = text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n';
        if (text[i] == '\n' || (text[i] == '\r' && !crlf))
            lines++;
    }
    return lines > room;
}
