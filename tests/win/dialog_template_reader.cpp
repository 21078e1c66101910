#include "tests/win/dialog_template_reader.h"

namespace {

class Cursor {
public:
    Cursor(const uint8_t* data, size_t size) : data_(data), size_(size) {}

    bool U8(uint8_t& v) { return Take(&v, 1); }
    bool U16(uint16_t& v) { return TakeLe(v); }
    bool U32(uint32_t& v) { return TakeLe(v); }
    bool I16(int16_t& v)
    {
        uint16_t u;
        if (!TakeLe(u))
            return false;
        v = int16_t(u);
        return true;
    }

    // A zero-terminated UTF-16 string.
    bool Text(std::u16string& s)
    {
        s.clear();
        for (;;) {
            uint16_t c;
            if (!U16(c))
                return false;
            if (c == 0)
                return true;
            s.push_back(char16_t(c));
        }
    }

    // 0x0000 (none), 0xFFFF followed by an ordinal, or a string.
    bool Name(TemplateName& n)
    {
        uint16_t first;
        size_t start = pos_;
        if (!U16(first))
            return false;
        if (first == 0xFFFF) {
            n.isOrdinal = true;
            return U16(n.ordinal);
        }
        pos_ = start;
        n.isOrdinal = false;
        return Text(n.text);
    }

    bool Align(size_t to)
    {
        size_t aligned = (pos_ + to - 1) / to * to;
        if (aligned > size_)
            return false;
        pos_ = aligned;
        return true;
    }

    bool Skip(size_t n)
    {
        if (n > size_ - pos_)
            return false;
        pos_ += n;
        return true;
    }

private:
    bool Take(void* to, size_t n)
    {
        if (n > size_ - pos_)
            return false;
        auto* out = static_cast<uint8_t*>(to);
        for (size_t i = 0; i < n; i++)
            out[i] = data_[pos_ + i];
        pos_ += n;
        return true;
    }

    template <typename T> bool TakeLe(T& v)
    {
        uint8_t b[sizeof(T)];
        if (!Take(b, sizeof b))
            return false;
        v = 0;
        for (size_t i = 0; i < sizeof b; i++)
            v = T(v | T(b[i]) << (8 * i));
        return true;
    }

    const uint8_t* data_;
    size_t size_;
    size_t pos_ = 0;
};

const uint32_t DsSetFont = 0x40;
const uint32_t DsShellFont = 0x48;

bool ReadControl(Cursor& in, TemplateControl& c)
{
    return in.Align(4) && in.U32(c.helpId) && in.U32(c.exStyle) && in.U32(c.style) &&
           in.I16(c.x) && in.I16(c.y) && in.I16(c.cx) && in.I16(c.cy) && in.U32(c.id) &&
           in.Name(c.windowClass) && in.Name(c.title) && in.U16(c.extraCount) &&
           in.Skip(c.extraCount);
}

} // namespace

bool ReadDialogTemplateEx(const void* bytes, size_t size, DialogTemplate& t)
{
    t = DialogTemplate();
    Cursor in(static_cast<const uint8_t*>(bytes), size);
    uint16_t count = 0;
    if (!(in.U16(t.version) && in.U16(t.signature) && t.version == 1 &&
          t.signature == 0xFFFF))
        return false;
    if (!(in.U32(t.helpId) && in.U32(t.exStyle) && in.U32(t.style) && in.U16(count) &&
          in.I16(t.x) && in.I16(t.y) && in.I16(t.cx) && in.I16(t.cy) && in.Name(t.menu) &&
          in.Name(t.windowClass) && in.Text(t.title)))
        return false;
    t.hasFont = (t.style & DsSetFont) || (t.style & DsShellFont) == DsShellFont;
    if (t.hasFont && !(in.U16(t.pointSize) && in.U16(t.weight) && in.U8(t.italic) &&
                       in.U8(t.charset) && in.Text(t.typeface)))
        return false;
    t.controls.resize(count);
    for (TemplateControl& c : t.controls)
        if (!ReadControl(in, c))
            return false;
    return true;
}
