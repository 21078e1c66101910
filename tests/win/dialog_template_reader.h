// Reads an extended dialog template (DLGTEMPLATEEX) from its raw resource
// bytes, so that tests can see exactly what the resource compiler wrote
// rather than what the dialog manager makes of it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// A class, menu or text field: either an ordinal (0xFFFF, n) or a string.
struct TemplateName {
    bool isOrdinal = false;
    uint16_t ordinal = 0;
    std::u16string text;
};

struct TemplateControl {
    uint32_t helpId = 0, exStyle = 0, style = 0;
    int16_t x = 0, y = 0, cx = 0, cy = 0;
    uint32_t id = 0;
    TemplateName windowClass, title;
    uint16_t extraCount = 0;
};

struct DialogTemplate {
    uint16_t version = 0, signature = 0;
    uint32_t helpId = 0, exStyle = 0, style = 0;
    int16_t x = 0, y = 0, cx = 0, cy = 0;
    TemplateName menu, windowClass;
    std::u16string title;
    bool hasFont = false;
    uint16_t pointSize = 0, weight = 0;
    uint8_t italic = 0, charset = 0;
    std::u16string typeface;
    std::vector<TemplateControl> controls;
};

// Fills `out` and returns true if `bytes` hold a complete extended template
// whose every field lies inside the buffer; false for anything else.
bool ReadDialogTemplateEx(const void* bytes, size_t size, DialogTemplate& out);
